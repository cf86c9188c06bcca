#include <windows.h>
#include <setupapi.h>

#include "platform/dev.h"

// SP_DEVINFO_DATA ends in a ULONG_PTR: 28 bytes in the shipped 32-bit build,
// 32 in the 64-bit test build. Its cbSize must be the process's own size
// (SetupDiEnumDeviceInfo fails with ERROR_INVALID_USER_BUFFER otherwise), so
// it is always sizeof, never a number; DEV_Device holds either.
static_assert(sizeof(SP_DEVINFO_DATA) == (sizeof(void*) == 8 ? 32 : 28));
static_assert(sizeof(SP_DEVINFO_DATA) <= sizeof(DEV_Device));
static_assert(alignof(SP_DEVINFO_DATA) <= alignof(DEV_Device));

namespace {

// {4D36E96F-E325-11CE-BFC1-08002BE10318}: the mouse setup class.
const GUID MOUSE_CLASS = {0x4D36E96F, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};

DEV_List as_list(HDEVINFO set)
{
    return set == INVALID_HANDLE_VALUE ? nullptr : set;
}

SP_DEVINFO_DATA* as_data(DEV_Device* device)
{
    return reinterpret_cast<SP_DEVINFO_DATA*>(device->opaque);
}

}  // namespace

DEV_List DEV_GetAllClasses()
{
    return as_list(SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES));
}

DEV_List DEV_GetPresentMouseDevices()
{
    return as_list(SetupDiGetClassDevsA(&MOUSE_CLASS, nullptr, nullptr, DIGCF_PRESENT));
}

bool DEV_Enum(DEV_List list, uint32_t index, DEV_Device* device)
{
    SP_DEVINFO_DATA* data = as_data(device);
    *data = SP_DEVINFO_DATA{};
    data->cbSize = sizeof(SP_DEVINFO_DATA);
    return SetupDiEnumDeviceInfo(static_cast<HDEVINFO>(list), index, data) != FALSE;
}

bool DEV_GetInstanceId(DEV_List list, DEV_Device* device, char* buffer, uint32_t capacity)
{
    return SetupDiGetDeviceInstanceIdA(static_cast<HDEVINFO>(list), as_data(device), buffer, capacity, nullptr) !=
           FALSE;
}

bool DEV_GetHardwareIds(DEV_List list, DEV_Device* device, uint8_t* buffer, uint32_t capacity,
                        uint32_t* required_size)
{
    DWORD required = 0;
    const BOOL ok = SetupDiGetDeviceRegistryPropertyA(static_cast<HDEVINFO>(list), as_data(device), SPDRP_HARDWAREID,
                                                      nullptr, buffer, capacity, &required);
    if (required_size != nullptr) *required_size = required;
    return ok != FALSE;
}

void DEV_Destroy(DEV_List list)
{
    SetupDiDestroyDeviceInfoList(static_cast<HDEVINFO>(list));
}
