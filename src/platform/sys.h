// SYS_: process, module, OS version, language, time, mutex, environment,
// DLL search and restart.
#pragma once

#include <cstdarg>
#include <cstddef>

#include "platform/types.h"

// SYSTEMTIME: eight 16-bit fields.
struct SYS_Time {
    uint16_t year;
    uint16_t month;
    uint16_t day_of_week;
    uint16_t day;
    uint16_t hour;
    uint16_t minute;
    uint16_t second;
    uint16_t milliseconds;
};

// OSVERSIONINFOA: the size field must be 148 (SYS_OS_VERSION_SIZE) before the query.
struct SYS_OsVersion {
    uint32_t size;
    uint32_t major;
    uint32_t minor;
    uint32_t build;
    uint32_t platform_id;
    char service_pack[128];
};
constexpr uint32_t SYS_OS_VERSION_SIZE = 148;
constexpr uint32_t SYS_PLATFORM_WIN32_WINDOWS = 1;
constexpr uint32_t SYS_PLATFORM_WIN32_NT = 2;

// The C runtime's formatted print into a buffer of `capacity` (1 or more)
// bytes, always terminated: on Windows the system's msvcrt, whose formatting
// the program has always had. False when the text was cut to fit.
bool SYS_FormatText(char* buffer, size_t capacity, const char* format, va_list arguments)
    __attribute__((format(printf, 3, 0)));

// The last error of the calling thread, as the platform keeps it.
uint32_t SYS_GetLastError();
void SYS_SetLastError(uint32_t error);

// The program's own path in the ANSI code page, as GetModuleFileNameA gives
// it where the code page spells it exactly, else its short (8.3) form where
// the volume keeps one, so that every "A" call can use it. Copies at most
// capacity-1 characters and always terminates; returns the number of
// characters copied (capacity when the path was cut).
uint32_t SYS_GetModuleFileName(ModuleHandle module, char* buffer, uint32_t capacity);

// GetVersionExA on an ANSI version record; fails with 122 unless size is 148.
bool SYS_GetVersion(SYS_OsVersion* version);

// GetSystemDefaultLangID.
uint16_t SYS_GetSystemDefaultLangId();

// GetLocalTime.
void SYS_GetLocalTime(SYS_Time* time);

// CreateMutexA without security attributes. Returns a handle or nullptr; the last
// error is 183 when the mutex already existed (the handle is still valid then).
void* SYS_CreateMutex(const char* name, bool initially_owned);

// GetModuleHandleA of an already loaded module; nullptr when it is not loaded.
void* SYS_GetLoadedModule(const char* name);

// Whether a loaded module exports a function of this name (GetProcAddress).
bool SYS_HasExport(void* module, const char* name);

// kernel32's GetSystemWow64DirectoryW, called through its export: the length
// written, or 0 with the last error set (120 on 32-bit Windows). Callers check
// SYS_HasExport first.
uint32_t SYS_GetSystemWow64DirectoryW(uint16_t* buffer, uint32_t capacity);

// GetEnvironmentVariableA: the length copied, 0 when the variable is missing,
// or the required size (with terminator) when the buffer is too small.
uint32_t SYS_GetEnvironmentVariable(const char* name, char* buffer, uint32_t capacity);

// ExpandEnvironmentStringsA: the required size with terminator; the text is
// written only when it fits.
uint32_t SYS_ExpandEnvironmentStrings(const char* source, char* buffer, uint32_t capacity);

// MultiByteToWideChar with the system's ANSI code page (CP_ACP), no flags, on
// NUL-terminated text: the number of UTF-16 units written, terminator
// included. With capacity 0 nothing is written and the count needed is
// returned; a buffer too small for the whole text fails with 0 and 122.
uint32_t SYS_AnsiToUtf16(const char* text, uint16_t* buffer, uint32_t capacity);

// WideCharToMultiByte into the system's ANSI code page (CP_ACP), no flags,
// on NUL-terminated UTF-16 text: the number of bytes written, terminator
// included. With capacity 0 nothing is written and the count needed is
// returned; a buffer too small for the whole text fails with 0 and 122.
uint32_t SYS_Utf16ToAnsi(const uint16_t* text, char* buffer, uint32_t capacity);

// SetErrorMode with SEM_FAILCRITICALERRORS added to the current mode: a
// drive without a disk fails the call that touches it instead of asking
// the user. For runs nobody watches.
void SYS_SuppressCriticalErrorBoxes();

// Keep DLLs from being loaded out of the program's own folder: only System32
// is searched from now on.
void SYS_RestrictDllSearchToSystem32();

// Open the process token (access 0x28), look up "SeShutdownPrivilege" and
// enable it (attribute 2). False when any of the three calls failed.
bool SYS_EnableShutdownPrivilege();

// ExitWindowsEx (flags, reason).
bool SYS_ExitWindows(uint32_t flags, uint32_t reason);
constexpr uint32_t SYS_EWX_REBOOT = 2;
