#include "platform/command_text.h"

const char* SYS_WinMainCommandText(const char* command_line)
{
    const auto above_blank = [](char c) { return static_cast<signed char>(c) > ' '; };
    const char* text = command_line;
    bool quoted = false;
    while (above_blank(*text) || (*text != '\0' && quoted)) {
        if (*text == '"') quoted = !quoted;
        ++text;
    }
    while (*text != '\0' && !above_blank(*text)) ++text;
    return text;
}
