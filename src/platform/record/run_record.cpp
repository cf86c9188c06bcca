#include "platform/record/run_record.h"

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

}  // namespace record
