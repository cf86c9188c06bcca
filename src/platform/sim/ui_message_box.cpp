// Message boxes on the simulated machine: each box is recorded and answered
// from the machine's list of answers, or with its default button.
#include "platform/sim/machine.h"
#include "platform/ui.h"

namespace {

constexpr uint32_t BUTTON_MASK = 0xF;
constexpr uint32_t DEFAULT_BUTTON_MASK = 0xF00;

int default_answer(uint32_t style)
{
    static const int buttons[][3] = {
        {UI_IDOK, 0, 0},                // MB_OK
        {UI_IDOK, UI_IDCANCEL, 0},      // MB_OKCANCEL
        {3, 4, 5},                      // MB_ABORTRETRYIGNORE
        {UI_IDYES, UI_IDNO, UI_IDCANCEL},  // MB_YESNOCANCEL
        {UI_IDYES, UI_IDNO, 0},         // MB_YESNO
        {4, UI_IDCANCEL, 0},            // MB_RETRYCANCEL
        {UI_IDCANCEL, 10, 11},          // MB_CANCELTRYCONTINUE
    };
    const uint32_t kind = style & BUTTON_MASK;
    if (kind >= sizeof buttons / sizeof buttons[0]) return UI_IDOK;
    const uint32_t chosen = (style & DEFAULT_BUTTON_MASK) >> 8;
    const int answer = chosen < 3 ? buttons[kind][chosen] : 0;
    return answer != 0 ? answer : buttons[kind][0];
}

}  // namespace

int UI_MessageBox(const char* text, const char* caption, uint32_t style)
{
    sim::Machine& machine = sim::current();
    sim::Box box;
    box.text = text != nullptr ? text : "";
    // A box without a caption is titled "Error" by Windows.
    box.caption = caption != nullptr ? caption : "Error";
    box.style = style;
    if (!machine.answers.empty()) {
        box.answer = machine.answers.front();
        machine.answers.pop_front();
    } else {
        box.answer = default_answer(style);
    }
    machine.boxes.push_back(box);
    return box.answer;
}
