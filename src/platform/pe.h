// PE_: reading executable images. Our own header walk over bytes, shared by both
// backends, so no debugging-help DLL is loaded to find the NT headers.
#pragma once

#include <cstddef>

#include "platform/types.h"

constexpr uint16_t PE_MACHINE_I386 = 0x014C;
constexpr uint16_t PE_MACHINE_AMD64 = 0x8664;
constexpr uint16_t PE_MACHINE_ARM64 = 0xAA64;

// The machine field of the file header, when the bytes hold a DOS header whose
// e_lfanew points at "PE\0\0" and a whole file header inside the image.
bool PE_GetMachineType(const uint8_t* image, uint64_t size, uint16_t* machine);
