#include <windows.h>

#include "platform/ui.h"

int UI_LoadString(ModuleHandle module, uint32_t id, char* buffer, int capacity)
{
    if (buffer == nullptr || capacity <= 0) return 0;
    buffer[0] = '\0';
    return LoadStringA(static_cast<HINSTANCE>(module), id, buffer, capacity);
}
