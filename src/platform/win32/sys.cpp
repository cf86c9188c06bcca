#include <windows.h>

#include <stdio.h>

#include "platform/sys.h"

void SYS_SuppressCriticalErrorBoxes()
{
    SetErrorMode(SetErrorMode(0) | SEM_FAILCRITICALERRORS);
}

bool SYS_FormatText(char* buffer, size_t capacity, const char* format, va_list arguments)
{
    // msvcrt's own: -1, or the capacity itself, when the text did not fit,
    // and then no terminator.
    const int written = _vsnprintf(buffer, capacity, format, arguments);
    if (written >= 0 && static_cast<size_t>(written) < capacity) return true;
    buffer[capacity - 1] = '\0';
    return false;
}

static_assert(sizeof(SYS_Time) == sizeof(SYSTEMTIME));
static_assert(sizeof(SYS_OsVersion) == sizeof(OSVERSIONINFOA));

uint32_t SYS_GetLastError()
{
    return GetLastError();
}

void SYS_SetLastError(uint32_t error)
{
    SetLastError(error);
}

uint32_t SYS_GetModuleFileName(ModuleHandle module, char* buffer, uint32_t capacity)
{
    if (capacity == 0) return 0;
    const DWORD length = GetModuleFileNameA(static_cast<HMODULE>(module), buffer, capacity);
    // Windows XP leaves a cut path unterminated.
    buffer[length < capacity ? length : capacity - 1] = '\0';
    return length;
}

bool SYS_GetVersion(SYS_OsVersion* version)
{
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    return GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(version)) != FALSE;
#pragma GCC diagnostic pop
}

uint16_t SYS_GetSystemDefaultLangId()
{
    return GetSystemDefaultLangID();
}

void SYS_GetLocalTime(SYS_Time* time)
{
    GetLocalTime(reinterpret_cast<SYSTEMTIME*>(time));
}

void* SYS_CreateMutex(const char* name, bool initially_owned)
{
    return CreateMutexA(nullptr, initially_owned ? TRUE : FALSE, name);
}

void* SYS_GetLoadedModule(const char* name)
{
    return GetModuleHandleA(name);
}

bool SYS_HasExport(void* module, const char* name)
{
    return GetProcAddress(static_cast<HMODULE>(module), name) != nullptr;
}

uint32_t SYS_GetSystemWow64DirectoryW(uint16_t* buffer, uint32_t capacity)
{
    using Query = UINT(WINAPI*)(LPWSTR, UINT);
    HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
    FARPROC address = kernel32 != nullptr ? GetProcAddress(kernel32, "GetSystemWow64DirectoryW") : nullptr;
    if (address == nullptr) {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return 0;
    }
    auto query = reinterpret_cast<Query>(reinterpret_cast<void*>(address));
    return query(reinterpret_cast<LPWSTR>(buffer), capacity);
}

uint32_t SYS_GetEnvironmentVariable(const char* name, char* buffer, uint32_t capacity)
{
    return GetEnvironmentVariableA(name, buffer, capacity);
}

uint32_t SYS_ExpandEnvironmentStrings(const char* source, char* buffer, uint32_t capacity)
{
    return ExpandEnvironmentStringsA(source, buffer, capacity);
}

uint32_t SYS_AnsiToUtf16(const char* text, uint16_t* buffer, uint32_t capacity)
{
    const int count = MultiByteToWideChar(CP_ACP, 0, text, -1, reinterpret_cast<LPWSTR>(buffer),
                                          static_cast<int>(capacity));
    return count > 0 ? static_cast<uint32_t>(count) : 0;
}

uint32_t SYS_Utf16ToAnsi(const uint16_t* text, char* buffer, uint32_t capacity)
{
    const int count = WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<LPCWSTR>(text), -1, buffer,
                                          static_cast<int>(capacity), nullptr, nullptr);
    return count > 0 ? static_cast<uint32_t>(count) : 0;
}

void SYS_RestrictDllSearchToSystem32()
{
    // SetDefaultDllDirectories exists from Windows 8 (and 7 with KB2533623);
    // where it is missing, at least take the current folder out of the search.
    using SetDefault = BOOL(WINAPI*)(DWORD);
    HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
    FARPROC address = kernel32 != nullptr ? GetProcAddress(kernel32, "SetDefaultDllDirectories") : nullptr;
    if (address != nullptr) {
        constexpr DWORD SEARCH_SYSTEM32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
        reinterpret_cast<SetDefault>(reinterpret_cast<void*>(address))(SEARCH_SYSTEM32);
    }
    SetDllDirectoryA("");
}

bool SYS_EnableShutdownPrivilege()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return false;
    TOKEN_PRIVILEGES privileges{};
    bool enabled = false;
    if (LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &privileges.Privileges[0].Luid)) {
        privileges.PrivilegeCount = 1;
        privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        enabled = AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr) != FALSE;
    }
    CloseHandle(token);
    return enabled;
}

bool SYS_ExitWindows(uint32_t flags, uint32_t reason)
{
    return ExitWindowsEx(flags, reason) != FALSE;
}
