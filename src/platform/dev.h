// DEV_: SetupAPI device information sets.
#pragma once

#include "platform/types.h"

using DEV_List = void*;

// One member of a device information set (SP_DEVINFO_DATA on Windows).
struct DEV_Device {
    alignas(8) unsigned char opaque[32];
};

// SetupDiGetClassDevsA(NULL, NULL, NULL, DIGCF_ALLCLASSES): every device,
// present or not. nullptr on failure.
DEV_List DEV_GetAllClasses();

// SetupDiGetClassDevsA(GUID_DEVCLASS_MOUSE, NULL, NULL, DIGCF_PRESENT).
DEV_List DEV_GetPresentMouseDevices();

// SetupDiEnumDeviceInfo: false past the last member (last error 259).
bool DEV_Enum(DEV_List list, uint32_t index, DEV_Device* device);

// SetupDiGetDeviceInstanceIdA into a buffer of `capacity` characters.
bool DEV_GetInstanceId(DEV_List list, DEV_Device* device, char* buffer, uint32_t capacity);

// SetupDiGetDeviceRegistryPropertyA(SPDRP_HARDWAREID): a multi-string. When the
// buffer is too small: false, last error 122 and *required_size set.
bool DEV_GetHardwareIds(DEV_List list, DEV_Device* device, uint8_t* buffer, uint32_t capacity,
                        uint32_t* required_size);

void DEV_Destroy(DEV_List list);
