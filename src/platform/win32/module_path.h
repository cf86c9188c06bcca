// The path of a module as every "A" function can use it, for Setup.exe's own
// path and SetupCheck.exe's.
#pragma once

#include <windows.h>

#include <cstdint>

// GetModuleFileNameA where the ANSI code page spells the path exactly. Where
// it does not (a folder named in another script: GetModuleFileNameA gives '?'
// for each character the code page lacks, a wildcard that fails every later
// file call, or a best fit, which can name another folder), the path's short
// form (GetShortPathNameW) when that is spelled exactly: 8.3 names are ASCII.
// Where there is none (short names off on that volume), GetModuleFileNameA's
// answer all the same. Copies at most capacity-1 characters, always
// terminates and returns the characters copied (capacity, with last error
// 122, when the path was cut), as GetModuleFileNameA does.
uint32_t ansi_module_file_name(HMODULE module, char* buffer, uint32_t capacity);

// A path in that form: its bytes in the ANSI code page with the terminator
// when the code page spells it exactly, else its short form's when the file
// is there and that is spelled exactly; 0 when neither, or when it does not
// fit in `capacity` bytes.
int exact_ansi_path(const wchar_t* path, char* buffer, int capacity);
