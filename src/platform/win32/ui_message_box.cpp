#include <windows.h>

#include "platform/ui.h"

int UI_MessageBox(const char* text, const char* caption, uint32_t style)
{
    return MessageBoxA(nullptr, text, caption, style);
}
