// Portable types shared by the program's logic and both platform backends.
// The logic never includes a Windows header; everything it needs from the
// operating system is expressed in these plain types.
#pragma once

#include <cstdint>

// The program instance (HINSTANCE on Windows). Opaque to the logic.
using ModuleHandle = void*;

// Windows error codes the program and the simulated machine rely on.
constexpr uint32_t ERR_SUCCESS = 0;
constexpr uint32_t ERR_FILE_NOT_FOUND = 2;
constexpr uint32_t ERR_PATH_NOT_FOUND = 3;
constexpr uint32_t ERR_ACCESS_DENIED = 5;
constexpr uint32_t ERR_INVALID_HANDLE = 6;
constexpr uint32_t ERR_NOT_ENOUGH_MEMORY = 8;
constexpr uint32_t ERR_BAD_FORMAT = 11;
constexpr uint32_t ERR_NO_MORE_FILES = 18;
constexpr uint32_t ERR_SHARING_VIOLATION = 32;
constexpr uint32_t ERR_INVALID_PARAMETER = 87;
constexpr uint32_t ERR_CALL_NOT_IMPLEMENTED = 120;
constexpr uint32_t ERR_INSUFFICIENT_BUFFER = 122;
constexpr uint32_t ERR_ALREADY_EXISTS = 183;
constexpr uint32_t ERR_BAD_EXE_FORMAT = 193;
constexpr uint32_t ERR_MORE_DATA = 234;
constexpr uint32_t ERR_NO_MORE_ITEMS = 259;
constexpr uint32_t ERR_FILE_INVALID = 1006;
constexpr uint32_t ERR_RESOURCE_TYPE_NOT_FOUND = 1813;

// Paths and most texts live in buffers of this many characters (MAX_PATH).
constexpr uint32_t PATH_CAPACITY = 260;
