#include "setup/run_mode.h"

#include "common/bounded_string.h"
#include "setup/context.h"

int is_silent_mode()
{
    return equals_ignoring_case(g_process.command_line, "/q") || equals_ignoring_case(g_process.command_line, "/s");
}

// The same answer from the shipped 32-bit program and the 64-bit test build:
// GetSystemWow64DirectoryW fails (120) only on a 32-bit Windows, and answers
// every process of a 64-bit one, native or under WOW64.
int is_64bit_os()
{
    void* kernel32 = SYS_GetLoadedModule("kernel32.dll");
    if (kernel32 == nullptr) return 0;
    if (!SYS_HasExport(kernel32, "GetSystemWow64DirectoryW")) return 0;
    uint16_t directory[PATH_CAPACITY];
    if (SYS_GetSystemWow64DirectoryW(directory, PATH_CAPACITY) != 0) return 1;
    return SYS_GetLastError() == ERR_CALL_NOT_IMPLEMENTED ? 0 : 1;
}

bool is_windows8_or_later(const SYS_OsVersion* version)
{
    if (version->platform_id != SYS_PLATFORM_WIN32_NT) return false;
    return (version->major == 6 && version->minor >= 2) || (version->major >= 6 && version->minor >= 3) ||
           version->major >= 10;
}
