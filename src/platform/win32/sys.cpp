#include <windows.h>

#include <stdio.h>

#include <type_traits>

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

void* SYS_GetLoadedModule(const char* name)
{
    return GetModuleHandleA(name);
}

bool SYS_HasExport(void* module, const char* name)
{
    return GetProcAddress(static_cast<HMODULE>(module), name) != nullptr;
}

// Functions looked up at run time are called through pointers of our own
// type, whose calling convention must be the export's: WINAPI is __stdcall in
// the shipped 32-bit build, where a __cdecl pointer would leave the stack
// unbalanced after every call, and means nothing in the 64-bit test build,
// whose one convention hides such a mistake. Each pointer type is checked
// against the system header's declaration, in both builds.
uint32_t SYS_GetSystemWow64DirectoryW(uint16_t* buffer, uint32_t capacity)
{
    using Query = UINT(WINAPI*)(LPWSTR, UINT);
    static_assert(std::is_same_v<Query, decltype(&GetSystemWow64DirectoryW)>);
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
    static_assert(std::is_same_v<SetDefault, decltype(&SetDefaultDllDirectories)>);
    HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
    FARPROC address = kernel32 != nullptr ? GetProcAddress(kernel32, "SetDefaultDllDirectories") : nullptr;
    if (address != nullptr) {
        constexpr DWORD SEARCH_SYSTEM32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
        reinterpret_cast<SetDefault>(reinterpret_cast<void*>(address))(SEARCH_SYSTEM32);
    }
    SetDllDirectoryA("");
}
