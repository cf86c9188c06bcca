// SYS_, this running program: its own file, and the mutex that tells a
// second copy it is not alone.
#include <windows.h>

#include "platform/sys.h"
#include "platform/win32/module_path.h"

uint32_t SYS_GetModuleFileName(ModuleHandle module, char* buffer, uint32_t capacity)
{
    return ansi_module_file_name(static_cast<HMODULE>(module), buffer, capacity);
}

void* SYS_CreateMutex(const char* name, bool initially_owned)
{
    return CreateMutexA(nullptr, initially_owned ? TRUE : FALSE, name);
}
