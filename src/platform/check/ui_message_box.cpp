// Message boxes of the check run: recorded, never shown, each answered with
// its default button, as a box nobody is there to answer.
#include "platform/check/check_run.h"
#include "platform/ui.h"

int UI_MessageBox(const char* text, const char* caption, uint32_t style)
{
    record::Box box;
    box.text = text != nullptr ? text : "";
    // A box without a caption is titled "Error" by Windows.
    box.caption = caption != nullptr ? caption : "Error";
    box.style = style;
    record::answer_box(&box, 0);
    check::run_record().boxes.push_back(box);
    return box.answer;
}
