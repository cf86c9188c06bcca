// Message boxes on the simulated machine: each box is recorded and answered
// from the machine's list of answers, or with its default button.
#include "platform/sim/machine.h"
#include "platform/ui.h"

int UI_MessageBox(const char* text, const char* caption, uint32_t style)
{
    sim::Machine& machine = sim::current();
    record::Box box;
    box.text = text != nullptr ? text : "";
    // A box without a caption is titled "Error" by Windows.
    box.caption = caption != nullptr ? caption : "Error";
    box.style = style;
    int answer = 0;
    if (!machine.answers.empty()) {
        answer = machine.answers.front();
        machine.answers.pop_front();
    }
    record::answer_box(&box, answer);
    machine.record.boxes.push_back(box);
    return box.answer;
}
