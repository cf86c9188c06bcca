// SYS_, this running program: its own file, and the mutex that tells a
// second copy it is not alone.
#include <windows.h>

#include "platform/sys.h"

uint32_t SYS_GetModuleFileName(ModuleHandle module, char* buffer, uint32_t capacity)
{
    if (capacity == 0) return 0;
    const DWORD length = GetModuleFileNameA(static_cast<HMODULE>(module), buffer, capacity);
    // Windows XP leaves a cut path unterminated.
    buffer[length < capacity ? length : capacity - 1] = '\0';
    return length;
}

void* SYS_CreateMutex(const char* name, bool initially_owned)
{
    return CreateMutexA(nullptr, initially_owned ? TRUE : FALSE, name);
}
