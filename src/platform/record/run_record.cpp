#include "platform/record/run_record.h"

#include <cstring>

#include "platform/ui.h"

namespace record {

int default_button(uint32_t style)
{
    constexpr uint32_t BUTTON_MASK = 0xF;
    constexpr uint32_t DEFAULT_BUTTON_MASK = 0xF00;
    static const int buttons[][3] = {
        {UI_IDOK, 0, 0},                   // MB_OK
        {UI_IDOK, UI_IDCANCEL, 0},         // MB_OKCANCEL
        {3, 4, 5},                         // MB_ABORTRETRYIGNORE
        {UI_IDYES, UI_IDNO, UI_IDCANCEL},  // MB_YESNOCANCEL
        {UI_IDYES, UI_IDNO, 0},            // MB_YESNO
        {4, UI_IDCANCEL, 0},               // MB_RETRYCANCEL
        {UI_IDCANCEL, 10, 11},             // MB_CANCELTRYCONTINUE
    };
    const uint32_t kind = style & BUTTON_MASK;
    if (kind >= sizeof buttons / sizeof buttons[0]) return UI_IDOK;
    const uint32_t chosen = (style & DEFAULT_BUTTON_MASK) >> 8;
    const int answer = chosen < 3 ? buttons[kind][chosen] : 0;
    return answer != 0 ? answer : buttons[kind][0];
}

std::string program_of(const std::string& command_line)
{
    if (!command_line.empty() && command_line[0] == '"') {
        const size_t close = command_line.find('"', 1);
        return command_line.substr(1, close == std::string::npos ? std::string::npos : close - 1);
    }
    return command_line.substr(0, command_line.find_first_of(" \t"));
}

Process create_process(const char* command_line)
{
    Process process;
    process.kind = "create";
    process.command_line = command_line;
    process.file = program_of(process.command_line);
    return process;
}

Process shell_process(const char* file, const char* parameters, const char* directory, int show_command,
                      bool no_error_ui)
{
    Process process;
    process.kind = "shell";
    process.command_line = std::string(file) + (parameters != nullptr ? parameters : "");
    process.directory = directory != nullptr ? directory : "";
    process.show_command = show_command;
    process.no_error_ui = no_error_ui;
    const bool relative = std::strchr(file, ':') == nullptr && file[0] != '\\';
    process.file = relative && !process.directory.empty() ? process.directory + "\\" + file : file;
    return process;
}

}  // namespace record
