// Our own walk to the version texts of an image: any bytes as the image.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "platform/pe.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    InputTimer timer;
    // A copy of exactly the input's size, so any read past it is reported.
    const std::vector<uint8_t> image(data, data + size);
    uint16_t text[16 + 1];
    text[16] = 0xAAAA;
    for (const char* sub_block : {"\\StringFileInfo\\040904b0\\ProductVersion", "\\", "\\VarFileInfo\\Translation"}) {
        if (PE_QueryVersionString(image.data(), image.size(), sub_block, text, 16)) {
            bool terminated = false;
            for (uint16_t unit : text) terminated = terminated || unit == 0;
            if (!terminated) __builtin_trap();
        }
        if (text[16] != 0xAAAA) __builtin_trap();  // never a write past the capacity
    }
    return 0;
}
