// The short ACPI ID of the machine's pointing device and the Windows-7-only list.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/acpi_check.h"
#include "setup/context.h"
#include "support/package_fixture.h"

namespace {

const char* const MOUSE = "{4D36E96F-E325-11CE-BFC1-08002BE10318}";

class AcpiCheckTest : public PackageTest {
protected:
    void add_device(const std::string& instance_id, std::vector<std::string> hardware_ids, bool present = true,
                    const char* class_guid = MOUSE)
    {
        machine.devices.push_back(sim::Device{instance_id, class_guid, present, std::move(hardware_ids)});
    }
    void set_running_os(uint32_t major, uint32_t minor, uint32_t platform_id = 2)
    {
        g_process.os_version = SYS_OsVersion{SYS_OS_VERSION_SIZE, major, minor, 0, platform_id, {}};
    }
};

TEST_F(AcpiCheckTest, ShortIdOfTheFirstHardwareId)
{
    const struct {
        const char* hardware_id;
        int found;
        const char* short_id;
    } rows[] = {
        {"ACPI\\VEN_ABC&DEV_0704", 1, "ABC0704"},
        {"ACPI\\ABC0705", 1, "ABC0705"},
        {"ACPI\\WXYZ1234AB", 1, "WXYZ1234"},
        {"ACPI\\VEN_ABC&DEV_012345", 1, "ABC01234"},
        {"ACPI\\VEN_AB", 1, "AB"},  // short or malformed: what is there
        {"ACPI\\VEN_ABC&DE", 1, "ABC"},
        {"ACPI\\", 1, ""},
        {"ACPI\\X", 1, "X"},  // the plain form has no device part to add
        {"ROOT\\ACPI\\ABC0706", 1, "ABC0706"},
        {"acpi\\ABC0704", 0, ""},
        {"HID\\VID_1234&PID_5678", 0, ""},
    };
    for (const auto& row : rows) {
        reset_process_state();
        machine.devices.clear();
        add_device("ACPI\\TOUCH\\0", {row.hardware_id, "*PNP0F13"});
        EXPECT_EQ(query_acpi_device_id(), row.found) << row.hardware_id;
        EXPECT_STREQ(g_process.acpi_device_id, row.short_id) << row.hardware_id;
    }
}

// Devices in the platform's order (by instance ID, part by part, so ACPI\E
// comes before ACPI\E&1): absent ones, other classes, those whose first
// hardware ID is not ACPI and unreadable ones do not count; the first ACPI
// mouse does, and the next is never looked at.
TEST_F(AcpiCheckTest, OnlyTheFirstPresentAcpiMouseCounts)
{
    add_device("ACPI\\A\\0", {"ACPI\\AAA0001"}, false);
    add_device("ACPI\\B\\0", {"ACPI\\BBB0002"}, true, "{4D36E968-E325-11CE-BFC1-08002BE10318}");
    add_device("ACPI\\C\\0", {"*PNP0F13", "ACPI\\CCC0003"});
    add_device("ACPI\\D\\0", {});
    add_device("ACPI\\E&1\\0", {"ACPI\\VEN_FFF&DEV_0006"});
    add_device("ACPI\\E\\0", {"ACPI\\VEN_EEE&DEV_0005"});
    EXPECT_EQ(query_acpi_device_id(), 1);
    EXPECT_STREQ(g_process.acpi_device_id, "EEE0005");
}

TEST_F(AcpiCheckTest, HardwareIdsLongerThanTheFirstBufferAreReadAfterGrowing)
{
    add_device("ACPI\\A\\0", {"HID\\" + std::string(300, 'h')});
    add_device("ACPI\\B\\0", {"ACPI\\ABC0704", std::string(400, 'x')});
    EXPECT_EQ(query_acpi_device_id(), 1);
    EXPECT_STREQ(g_process.acpi_device_id, "ABC0704");
}

TEST_F(AcpiCheckTest, ListedDeviceIsRefusedOnEveryWindowsButSeven)
{
    const struct {
        const char* only_win7;
        const char* hardware_id;
        uint32_t major, minor, platform_id;
        int result;
    } rows[] = {
        {"ABC0704,ABC0705", "ACPI\\VEN_ABC&DEV_0704", 6, 3, 2, 0},
        {"ABC0704,ABC0705", "ACPI\\VEN_ABC&DEV_0704", 10, 0, 2, 0},
        {"ABC0704,ABC0705", "ACPI\\VEN_ABC&DEV_0704", 6, 1, 2, 1},
        {"ABC0704,ABC0705", "ACPI\\ABC0705", 6, 2, 2, 0},
        {"ABC0704,ABC0705", "ACPI\\ABC0705", 6, 1, 2, 1},
        {"ABC0704,ABC0705", "ACPI\\VEN_ABC&DEV_0704", 6, 0, 2, 0},  // Vista
        {"ABC0704,ABC0705", "ACPI\\VEN_ABC&DEV_0704", 5, 1, 2, 0},  // XP
        {"ABC0704,ABC0705", "ACPI\\VEN_ABC&DEV_0704", 6, 1, 1, 0},  // 6.1 but not NT
        {"ABC07041", "ACPI\\VEN_ABC&DEV_0704", 10, 0, 2, 0},        // substring
        {"abc0704", "ACPI\\VEN_ABC&DEV_0704", 10, 0, 2, 1},         // case counts
        {"ABC0704", "ACPI\\ABC0705", 10, 0, 2, 1},
        {"ABC0704", "HID\\ABC0704", 10, 0, 2, 1},
        {"ABC0704", "ACPI\\", 10, 0, 2, 1},  // an empty short ID names no listed device
    };
    for (const auto& row : rows) {
        reset_process_state();
        machine.devices.clear();
        add_device("ACPI\\TOUCH\\0", {row.hardware_id});
        write_settings(std::string("[SupportOS_Option]\nOnlyWin7=") + row.only_win7 + "\n");
        set_running_os(row.major, row.minor, row.platform_id);
        EXPECT_EQ(check_support_os_option(), row.result)
            << row.only_win7 << " " << row.hardware_id << " " << row.major << "." << row.minor;
    }
}

TEST_F(AcpiCheckTest, NothingListedPassesWithoutLookingForDevices)
{
    add_device("ACPI\\TOUCH\\0", {"ACPI\\ABC0704"});
    set_running_os(10, 0);
    EXPECT_EQ(check_support_os_option(), 1);  // no settings file
    write_settings("[SupportOS_Option]\nOnlyWin7=\n");
    EXPECT_EQ(check_support_os_option(), 1);
    EXPECT_STREQ(g_process.acpi_device_id, "");
}

}  // namespace

namespace {

// Windows sorts key names folded to upper case: "AB" before "A_B" ("_" lies
// between "Z" and "a"), which a lower-case fold would turn round.
TEST_F(AcpiCheckTest, DeviceOrderFoldsToUpperCaseAsWindowsDoes)
{
    add_device("ACPI\\A_B\\0", {"ACPI\\VEN_UND&DEV_0001"});
    add_device("ACPI\\ab\\0", {"ACPI\\VEN_LOW&DEV_0002"});
    EXPECT_EQ(query_acpi_device_id(), 1);
    EXPECT_STREQ(g_process.acpi_device_id, "LOW0002");
}

}  // namespace
