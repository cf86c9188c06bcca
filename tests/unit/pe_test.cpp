// Our own walk to the machine field of an executable image: only bytes inside
// the image are ever read.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/pe.h"
#include "support/package_fixture.h"

namespace {

bool machine_of(const std::string& image, uint16_t* machine)
{
    // Copy into a buffer of exactly the image's size so the sanitizer sees any overread.
    std::vector<uint8_t> bytes(image.begin(), image.end());
    return PE_GetMachineType(bytes.data(), bytes.size(), machine);
}

TEST(PeImage, ReadsTheMachineOfWellFormedImages)
{
    for (const uint16_t type : {PE_MACHINE_I386, PE_MACHINE_AMD64, PE_MACHINE_ARM64}) {
        uint16_t machine = 0;
        ASSERT_TRUE(machine_of(pe_image(type), &machine));
        EXPECT_EQ(machine, type);
    }
}

TEST(PeImage, RejectsWhatIsNoImage)
{
    std::string pe_offset_outside = pe_image(PE_MACHINE_I386);
    pe_offset_outside[0x3C] = '\xF0';
    pe_offset_outside[0x3F] = '\x7F';
    std::string header_cut = pe_image(PE_MACHINE_I386).substr(0, 64 + 4 + 10);
    std::string bad_signature = pe_image(PE_MACHINE_I386);
    bad_signature[64 + 2] = 'X';
    std::string no_mz = pe_image(PE_MACHINE_I386);
    no_mz[1] = 'Y';
    const std::string cases[] = {"", "MZ", std::string(63, 'M'), no_mz, pe_offset_outside, header_cut, bad_signature,
                                 "just a text file, long enough to hold a DOS header if it were one......"};
    for (const std::string& image : cases) {
        uint16_t machine = 0;
        EXPECT_FALSE(machine_of(image, &machine)) << image.size();
    }
    uint16_t machine = 0;
    EXPECT_FALSE(PE_GetMachineType(nullptr, 100, &machine));
}

}  // namespace
