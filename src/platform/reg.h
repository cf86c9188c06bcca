// REG_: registry keys and values.
#pragma once

#include "platform/types.h"

enum class REG_Root : uint32_t { LocalMachine, CurrentUser };

constexpr uint32_t REG_KEY_QUERY_VALUE = 0x0001;
constexpr uint32_t REG_KEY_WOW64_64KEY = 0x0100;
constexpr uint32_t REG_KEY_WOW64_32KEY = 0x0200;
constexpr uint32_t REG_KEY_READ = 0x20019;

constexpr uint32_t REG_TYPE_SZ = 1;
constexpr uint32_t REG_TYPE_EXPAND_SZ = 2;
constexpr uint32_t REG_TYPE_BINARY = 3;
constexpr uint32_t REG_TYPE_DWORD = 4;
constexpr uint32_t REG_TYPE_MULTI_SZ = 7;

// Which registry a key of HKEY_LOCAL_MACHINE\Software names depends on the
// process: the shipped 32-bit program on 64-bit Windows reads the 32-bit view
// (Software\Wow6432Node) unless it asks for REG_KEY_WOW64_64KEY, while the
// 64-bit test build reads the 64-bit view either way. So the installed
// driver's version is read with the flag (version_queries.cpp), and the
// prerequisites' presence keys without it, as the shipped program reads them.
using REG_Key = void*;

// RegOpenKeyExA: returns 0 or the Windows error code; *key is set only on success.
uint32_t REG_OpenKey(REG_Root root, const char* subkey, uint32_t access, REG_Key* key);

// RegQueryValueExA: *size is the buffer's byte count in and the value's size out;
// 234 when the buffer is too small.
uint32_t REG_QueryValue(REG_Key key, const char* name, uint32_t* type, uint8_t* data, uint32_t* size);

void REG_CloseKey(REG_Key key);
