#include <windows.h>

#include "platform/reg.h"

uint32_t REG_OpenKey(REG_Root root, const char* subkey, uint32_t access, REG_Key* key)
{
    HKEY base = root == REG_Root::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    HKEY opened = nullptr;
    const LONG status = RegOpenKeyExA(base, subkey, 0, access, &opened);
    if (status == ERROR_SUCCESS) *key = opened;
    return static_cast<uint32_t>(status);
}

uint32_t REG_QueryValue(REG_Key key, const char* name, uint32_t* type, uint8_t* data, uint32_t* size)
{
    DWORD value_type = 0;
    DWORD value_size = *size;
    const LONG status = RegQueryValueExA(static_cast<HKEY>(key), name, nullptr, &value_type, data, &value_size);
    if (type != nullptr) *type = value_type;
    *size = value_size;
    return static_cast<uint32_t>(status);
}

void REG_CloseKey(REG_Key key)
{
    RegCloseKey(static_cast<HKEY>(key));
}
