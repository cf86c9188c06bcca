// PE_: reading executable images. Our own header walk over bytes, shared by both
// backends, so no debugging-help or version DLL is loaded to read an image, and
// real Windows files serve as test input on Linux. Every read is checked
// against the image's size: bad bytes give "not found", never a read outside.
#pragma once

#include <cstddef>

#include "platform/types.h"

constexpr uint16_t PE_MACHINE_I386 = 0x014C;
constexpr uint16_t PE_MACHINE_AMD64 = 0x8664;
constexpr uint16_t PE_MACHINE_ARM64 = 0xAA64;

// The machine field of the file header, when the bytes hold a DOS header whose
// e_lfanew points at "PE\0\0" and a whole file header inside the image.
bool PE_GetMachineType(const uint8_t* image, uint64_t size, uint16_t* machine);

// Whether Windows can map the bytes as an image, as process creation does
// before anything runs: 0, or the error CreateProcess fails with
// (ERR_BAD_EXE_FORMAT). It wants an "MZ" header pointing at "PE\0\0", an
// optional header of a machine the system runs (x86 anywhere; x64 only on a
// 64-bit Windows, `os_is_64bit`) that reaches SizeOfHeaders, a section table
// inside the file and inside SizeOfImage, and every section's raw data inside
// the file: a header without the rest of its program is refused.
uint32_t PE_ImageStartError(const uint8_t* image, uint64_t size, bool os_is_64bit);

// A text of the image's version resource, found as VerQueryValueW finds it:
// `sub_block` names the keys from the root, each after a "\" and compared
// without regard to ASCII letter case ("\StringFileInfo\040904b0\ProductVersion").
// The version resource is the first language of RT_VERSION resource 1, a
// 32-bit (UTF-16) version block. The text (up to its NUL) is copied as UTF-16
// units, cut to capacity-1 and terminated. False when the image has no such
// text.
bool PE_QueryVersionString(const uint8_t* image, uint64_t size, const char* sub_block, uint16_t* text,
                           uint32_t capacity);
