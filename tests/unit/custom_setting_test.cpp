// The custom-setting request file: deleted first, then written with the
// named request's exact bytes.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "common/bounded_string.h"
#include "log/custom_setting.h"
#include "setup/context.h"
#include "support/sim_fixture.h"

namespace {

using CustomSettingFile = SimMachineTest;

TEST_F(CustomSettingFile, DeletedThenWrittenWithTheRequestsBytes)
{
    const std::string long_request(300, 'r');
    const struct {
        const char* why;
        const char* name;
        std::string settings;
        std::string expected;  // the file afterwards, "-" when there is none
    } rows[] = {
        {"no request named", "", "[Touch]\r\nCustomRequestCnt=1\r\nCustomRequest=x\r\n", "-"},
        {"no count", "Touch", "[Touch]\r\nCustomRequest=x\r\n", "-"},
        {"count 0", "Touch", "[Touch]\r\nCustomRequestCnt=0\r\nCustomRequest=x\r\n", "-"},
        {"no such section", "Other", "[Touch]\r\nCustomRequestCnt=1\r\nCustomRequest=x\r\n", "-"},
        {"exact bytes, nothing added", "touch", "[Touch]\r\nCustomRequestCnt=1\r\nCustomRequest= Mode=2;Tap=off \r\n",
         "Mode=2;Tap=off"},
        {"cut to 260 x count - 1", "Touch", "[Touch]\r\nCustomRequestCnt=1\r\nCustomRequest=" + long_request + "\r\n",
         long_request.substr(0, 259)},
        {"room for all of it, in a new folder", "Touch", "[Touch]\r\nCustomRequestCnt=2\r\nCustomRequest=" + long_request + "\r\n",
         long_request},
        {"count but no text: an empty file", "Touch", "[Touch]\r\nCustomRequestCnt=2\r\n", ""},
        {"a count whose size does not fit 32 bits", "Touch", "[Touch]\r\nCustomRequestCnt=-1\r\nCustomRequest=x\r\n",
         "-"},
        {"4 GB less 18 KB: more than the 32-bit process can have", "Touch",
         "[Touch]\r\nCustomRequestCnt=16519035\r\nCustomRequest=x\r\n", "-"},
    };
    const char* REQUEST = "C:\\VexaCustomSetting\\VexaCoustomSet.ini";
    for (const auto& row : rows) {
        std::filesystem::remove_all(drive_root);
        // Without an earlier request its folder is missing too.
        if (row.expected != long_request) write_file(REQUEST, "earlier request");
        write_file("C:\\Package\\Setup.ini", row.settings);
        bounded_copy(g_process.custom_request_name, sizeof g_process.custom_request_name, row.name);
        delete_custom_setting_file();
        write_custom_setting_file();
        EXPECT_EQ(file_exists(REQUEST) ? read_file(REQUEST) : "-", row.expected) << row.why;
    }
}

// The user address space of the 32-bit program: 2 GB, 4 GB only for a
// large-address-aware image on 64-bit Windows, less what the process holds.
TEST_F(CustomSettingFile, BlocksBeyondTheAddressSpaceOfA32BitProcessCannotBeHad)
{
    constexpr uint64_t GB = uint64_t{1} << 30;
    const struct {
        bool is_64bit, large_address_aware;
        uint64_t size;
        bool fits;
    } rows[] = {
        {true, false, GB, true},          {true, false, 2 * GB - 1, false}, {false, true, 2 * GB + 1, false},
        {true, true, 2 * GB + 1, true},   {true, true, 4 * GB - 18420, false}, {true, true, 4 * GB - (8u << 20), true},
    };
    for (const auto& row : rows) {
        machine.is_64bit = row.is_64bit;
        machine.large_address_aware = row.large_address_aware;
        EXPECT_EQ(sim::within_address_space(row.size), row.fits)
            << row.size << (row.is_64bit ? " x64" : " x86") << (row.large_address_aware ? " LAA" : "");
    }
}

}  // namespace
