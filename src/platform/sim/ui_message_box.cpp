// Message boxes on the simulated machine, the program's and the shell's: each
// box is recorded and answered from the machine's list of answers, or with
// its default button.
#include "platform/sim/machine.h"
#include "platform/ui.h"

namespace sim {

int show_box(record::Box box)
{
    Machine& machine = current();
    int answer = 0;
    if (!machine.answers.empty()) {
        answer = machine.answers.front();
        machine.answers.pop_front();
    }
    record::answer_box(&box, answer);
    return record::add_box(&machine.record, box).answer;
}

}  // namespace sim

int UI_MessageBox(const char* text, const char* caption, uint32_t style)
{
    record::Box box;
    box.text = text != nullptr ? text : "";
    // A box without a caption is titled "Error" by Windows.
    box.caption = caption != nullptr ? caption : "Error";
    box.style = style;
    return sim::show_box(box);
}
