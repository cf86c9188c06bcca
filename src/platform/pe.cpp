#include "platform/pe.h"

namespace {

uint32_t read_u32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

constexpr uint64_t DOS_HEADER_SIZE = 64;
constexpr uint64_t LFANEW_OFFSET = 0x3C;
constexpr uint64_t FILE_HEADER_SIZE = 20;

}  // namespace

bool PE_GetMachineType(const uint8_t* image, uint64_t size, uint16_t* machine)
{
    if (image == nullptr || size < DOS_HEADER_SIZE) return false;
    if (image[0] != 'M' || image[1] != 'Z') return false;
    const uint64_t nt = read_u32(image + LFANEW_OFFSET);
    // Signature and the whole file header must lie inside the image.
    if (nt > size || size - nt < 4 + FILE_HEADER_SIZE) return false;
    const uint8_t* header = image + nt;
    if (header[0] != 'P' || header[1] != 'E' || header[2] != 0 || header[3] != 0) return false;
    *machine = static_cast<uint16_t>(header[4] | header[5] << 8);
    return true;
}
