// Our own walks over executable images, to the machine field and to the
// version texts: only bytes inside the image are ever read.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
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

// What process creation refuses before anything runs: the error for each
// image on a 32-bit and on a 64-bit Windows.
TEST(PeImage, StartsOnlyWholeImagesOfAMachineTheSystemRuns)
{
    const std::string x86 = pe_image(PE_MACHINE_I386);
    std::string no_optional_header = x86.substr(0, 152);
    no_optional_header[0x54] = '\0';
    std::string sections_outside_image = x86;
    sections_outside_image[0x58 + 56 + 1] = '\0';  // SizeOfImage 0x2000 becomes 0
    const struct {
        const char* name;
        std::string image;
        uint32_t on_32bit, on_64bit;
    } rows[] = {
        {"x86", x86, 0, 0},
        {"x64", pe_image(PE_MACHINE_AMD64), ERR_BAD_EXE_FORMAT, 0},
        {"ARM64", pe_image(PE_MACHINE_ARM64), ERR_BAD_EXE_FORMAT, ERR_BAD_EXE_FORMAT},
        {"headers without their section", x86.substr(0, 0x200), ERR_BAD_EXE_FORMAT, ERR_BAD_EXE_FORMAT},
        {"no optional header", no_optional_header, ERR_BAD_EXE_FORMAT, ERR_BAD_EXE_FORMAT},
        {"section table beyond SizeOfImage", sections_outside_image, ERR_BAD_EXE_FORMAT, ERR_BAD_EXE_FORMAT},
        {"MZ alone", "MZ", ERR_BAD_EXE_FORMAT, ERR_BAD_EXE_FORMAT},
    };
    for (const auto& row : rows) {
        const std::vector<uint8_t> bytes(row.image.begin(), row.image.end());
        EXPECT_EQ(std::make_pair(PE_ImageStartError(bytes.data(), bytes.size(), false),
                                 PE_ImageStartError(bytes.data(), bytes.size(), true)),
                  std::make_pair(row.on_32bit, row.on_64bit))
            << row.name;
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

// The version texts of real libraries, read with our own walk.

const std::string kLibrary =
    std::string(SOURCE_DIR) + "/tests/wine/scenarios/version_library_mismatch/package/VxaVer.dll";
const char kProductVersion[] = "\\StringFileInfo\\040904b0\\ProductVersion";

std::vector<uint8_t> file_bytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The text as ASCII, "none" when not found. Units past `capacity` must stay
// untouched.
std::string query(const std::vector<uint8_t>& image, const char* sub_block, uint32_t capacity = 64)
{
    uint16_t units[80];
    std::fill(std::begin(units), std::end(units), 0xAAAA);
    const bool found = PE_QueryVersionString(image.data(), image.size(), sub_block, units, capacity);
    for (uint32_t i = capacity; i < 80; ++i) {
        if (units[i] != 0xAAAA) return "written past the capacity";
    }
    if (!found) return "none";
    std::string text;
    for (const uint16_t* unit = units; *unit != 0; ++unit) text += static_cast<char>(*unit);
    return text;
}

TEST(PeVersionString, FindsTextsAsTheVersionQueryDoes)
{
    const std::vector<uint8_t> library = file_bytes(kLibrary);
    ASSERT_FALSE(library.empty()) << kLibrary;
    const struct {
        const char* sub_block;
        uint32_t capacity;
        const char* expected;
    } rows[] = {
        {kProductVersion, 64, "8, 1, 0, 83"},
        {"\\StringFileInfo\\040904B0\\productversion", 64, "8, 1, 0, 83"},  // keys in any case
        {"\\StringFileInfo\\040904b0\\CompanyName", 64, "Vexa"},
        {kProductVersion, 5, "8, 1"},  // cut to the capacity
        {"\\StringFileInfo\\040904b0\\ProductVersio", 64, "none"},
        {"\\StringFileInfo\\04090000\\ProductVersion", 64, "none"},
        {"\\VarFileInfo\\ProductVersion", 64, "none"},
    };
    for (const auto& row : rows) EXPECT_EQ(query(library, row.sub_block, row.capacity), row.expected) << row.sub_block;
}

TEST(PeVersionString, ReadsWinesOwnLibrary)
{
    const std::vector<uint8_t> library = file_bytes("/usr/lib/i386-linux-gnu/wine/i386-windows/version.dll");
    if (library.empty()) GTEST_SKIP() << "Wine's 32-bit version.dll is not installed";
    EXPECT_EQ(query(library, kProductVersion), "5.1.2600.2180");
}

TEST(PeVersionString, CutOrDamagedLibrariesGiveTheTextOrNone)
{
    const std::vector<uint8_t> library = file_bytes(kLibrary);
    ASSERT_FALSE(library.empty()) << kLibrary;
    for (size_t size = 0; size < library.size(); ++size) {
        const std::vector<uint8_t> cut(library.begin(), library.begin() + static_cast<std::ptrdiff_t>(size));
        const std::string text = query(cut, kProductVersion);
        EXPECT_TRUE(text == "none" || text == "8, 1, 0, 83") << size << ": " << text;
    }
    // Any damaged byte: never a read outside the image (the sanitizer build
    // watches), never a write past the capacity.
    for (size_t at = 0; at < library.size(); ++at) {
        for (const uint8_t value : {0x00, 0x7F, 0xFF}) {
            std::vector<uint8_t> damaged = library;
            damaged[at] = value;
            EXPECT_NE(query(damaged, kProductVersion, 16), "written past the capacity") << at;
        }
    }
    const std::string no_resources = pe_image(PE_MACHINE_I386);
    EXPECT_EQ(query(std::vector<uint8_t>(no_resources.begin(), no_resources.end()), kProductVersion), "none");
}

}  // namespace
