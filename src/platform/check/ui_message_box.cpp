// Message boxes of the check run (check::show_box).
#include "platform/check/check_run.h"
#include "platform/ui.h"

int UI_MessageBox(const char* text, const char* caption, uint32_t style)
{
    record::Box box;
    box.text = text != nullptr ? text : "";
    // A box without a caption is titled "Error" by Windows.
    box.caption = caption != nullptr ? caption : "Error";
    box.style = style;
    return check::show_box(box);
}
