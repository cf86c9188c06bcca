// SYS_ of the check run for the running program: it stands for the Setup.exe
// it checks, and it makes no mutex (a real Setup.exe started meanwhile must
// not find one), but sees one that a running Setup.exe holds.
#include <windows.h>

#include <cstring>
#include <string>

#include "platform/check/check_run.h"
#include "platform/sys.h"

namespace {
// Stands for the mutex the run would have made; the program only compares it with null.
char mutex_made;
}  // namespace

// The program only ever asks for its own file.
uint32_t SYS_GetModuleFileName(ModuleHandle /*module*/, char* buffer, uint32_t capacity)
{
    if (capacity == 0) return 0;
    const std::string& path = check::run_settings().program_path;
    if (path.size() < capacity) {
        std::memcpy(buffer, path.c_str(), path.size() + 1);
        return static_cast<uint32_t>(path.size());
    }
    std::memcpy(buffer, path.data(), capacity - 1);
    buffer[capacity - 1] = '\0';
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return capacity;
}

void* SYS_CreateMutex(const char* name, bool /*initially_owned*/)
{
    HANDLE existing = OpenMutexA(SYNCHRONIZE, FALSE, name);
    // One this process may not open exists all the same: an elevated Setup.exe holds it.
    if (existing != nullptr || GetLastError() == ERROR_ACCESS_DENIED) {
        record::add_reason(&check::run_record(), std::string("another Setup.exe is running: it holds the mutex ") + name +
                                                     ", so this run ends as a second copy does");
        SetLastError(ERROR_ALREADY_EXISTS);
        return existing;
    }
    SetLastError(ERROR_SUCCESS);
    return &mutex_made;
}
