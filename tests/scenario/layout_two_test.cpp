// Whole runs of layout-2 packages: the matched configuration section decides
// the engine, a package that matches nothing says so, and the ACPI identity
// check refuses Windows-7-only touch pads elsewhere.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/pe.h"
#include "setup-sim/profile_loader.h"
#include "setup/context.h"
#include "support/package_fixture.h"

namespace {

const std::string NOT_SUPPORTED = "This driver does not support your touchpad";
const std::string UNSUPPORTED_OS = "This software does not work on your operating system. \nClick OK to exit setup.";
const char* const MOUSE = "{4D36E96F-E325-11CE-BFC1-08002BE10318}";

// One bus type whose Windows 7 and 10 x64 slots name CfgI2C: its INF (in
// "Drivers") declares ACPI\ABC0704, its engine lives in "Engine" beside the
// package INF that the install uses.
class LayoutTwoRun : public PackageTest {
protected:
    void SetUp() override
    {
        PackageTest::SetUp();
        set_os(10, 0, true);
        write_package("");
        write_file("C:\\Package\\Drivers\\Match.inf",
                   "[Manufacturer]\r\n%M%=Models,NTamd64\r\n[Models.NTamd64]\r\n%D%=I, ACPI\\ABC0704, *ABC0704\r\n");
        write_engine("Engine\\DPInst.exe", PE_MACHINE_AMD64);
        write_inf("Engine\\Package.inf");
        machine.devices.push_back(sim::Device{"ACPI\\ABC0704\\4&1A2B&0", MOUSE, true, {"ACPI\\VEN_ABC&DEV_0704"}});
    }
    void write_package(const std::string& more)
    {
        write_settings("[metadata]\nmajor_version=2\n[bus]\nsupport_types=I2C\n"
                       "[I2C]\nx64_support_win7=yes,CfgI2C,no\nx64_support_win10=yes,CfgI2C,no\n"
                       "[CfgI2C]\nsubfolder=Drivers\nmain_inf=Match.inf\nPath=\\Engine\\DPInst.exe\nSupport=12\n" +
                       more);
    }
};

TEST_F(LayoutTwoRun, MatchedSectionInstallsWithTheInfBesideItsEngine)
{
    EXPECT_EQ(run("/s"), SUCCESS);
    EXPECT_EQ(engine_command_line(), "\"C:\\Package\\Engine\\DPInst.exe\" /f /sw /se");
    EXPECT_STREQ(g_process.inf_folder, "C:\\Package\\Engine");
    EXPECT_TRUE(machine.record.boxes.empty());
}

// Support 31 stays when nothing matched, so the result is the exit code.
TEST_F(LayoutTwoRun, NoMatchShowsTheNoticeEvenInASilentRun)
{
    const struct {
        const char* name;
        uint32_t major, minor;
        bool device;
    } rows[] = {
        {"no device", 10, 0, false},
        {"Vista", 6, 0, true},
        {"Windows 8, no slot", 6, 2, true},
    };
    const std::vector<sim::Device> devices = machine.devices;
    for (const auto& row : rows) {
        machine.record.boxes.clear();
        machine.mutexes.clear();
        set_os(row.major, row.minor, true);
        machine.devices = row.device ? devices : std::vector<sim::Device>{};
        EXPECT_EQ(run("/s"), SUCCESS) << row.name;
        ASSERT_EQ(machine.record.boxes.size(), 1u) << row.name;
        EXPECT_EQ(machine.record.boxes[0].text, NOT_SUPPORTED) << row.name;
        EXPECT_TRUE(machine.record.processes.empty()) << row.name;
        EXPECT_EQ(g_process.context.support_flags, 31u) << row.name;
    }
}

TEST_F(LayoutTwoRun, EmptyBusListIsRefusedWithItsCodeAsExitCode)
{
    write_settings("[metadata]\nmajor_version=2\n[bus]\nsupport_types=\n");
    EXPECT_EQ(run("/s"), ERROR_INSTALL_PLATFORM_UNSUPPORTED);
    EXPECT_TRUE(machine.record.boxes.empty());
}

TEST_F(LayoutTwoRun, WindowsSevenOnlyTouchPadIsRefusedElsewhere)
{
    write_package("[SupportOS_Option]\nOnlyWin7=ABC0704\n");
    EXPECT_EQ(run("/s"), ERROR_INSTALL_PLATFORM_UNSUPPORTED);
    ASSERT_EQ(machine.record.boxes.size(), 1u);
    EXPECT_EQ(machine.record.boxes[0].text, UNSUPPORTED_OS);
    EXPECT_TRUE(machine.record.processes.empty());

    machine.record.boxes.clear();
    machine.mutexes.clear();
    set_os(6, 1, true);
    EXPECT_EQ(run("/s"), SUCCESS);
    EXPECT_EQ(engine_command_line(), "\"C:\\Package\\Engine\\DPInst.exe\" /f /sw /se");
}

// examples/layout2-package on the example machines, as setup-sim runs it.
TEST_F(LayoutTwoRun, ExamplePackageOnTheExampleMachines)
{
    const std::string examples = std::string(SOURCE_DIR) + "/examples";
    const struct {
        const char* profile;
        const char* engine;  // "" when the engine does not run
        const std::string box;
        int exit_code;
        uint32_t i2c_matched, ps2_matched;
    } rows[] = {
        {"layout2-ps2", "\"C:\\Package\\PS2\\DPInst.exe\" /f /lm /sw /se", "", 0, 0, 1},
        {"layout2-i2c", "\"C:\\Package\\I2C\\DPInst.exe\" /f /sw /se", "", 0, 1, 0},
        {"layout2-both", "\"C:\\Package\\PS2\\DPInst.exe\" /f /lm /sw /se", "", 0, 1, 1},
        {"layout2-none", "", NOT_SUPPORTED, 0, 0, 0},
        {"layout2-onlywin7", "", UNSUPPORTED_OS, ERROR_INSTALL_PLATFORM_UNSUPPORTED, 1, 0},
    };
    std::filesystem::remove_all(drive_root + "/Package");
    std::filesystem::copy(examples + "/layout2-package", drive_root + "/Package",
                          std::filesystem::copy_options::recursive);
    for (const auto& row : rows) {
        builtin_machine(&machine);
        machine.drives['C'] = drive_root;
        std::string error;
        ASSERT_TRUE(load_machine_profile(examples + "/machines/" + row.profile + ".ini", &machine, &error)) << error;
        machine.programs["dpinst.exe"].exit_code = 0;

        EXPECT_EQ(run("/s"), row.exit_code) << row.profile;
        EXPECT_EQ(engine_command_line(), row.engine) << row.profile;
        EXPECT_EQ(machine.record.boxes.empty() ? "" : machine.record.boxes[0].text, row.box) << row.profile;
        ASSERT_EQ(g_process.context.section_count, 2u) << row.profile;
        EXPECT_EQ(g_process.context.configuration_sections[0].matched, row.i2c_matched) << row.profile;
        EXPECT_EQ(g_process.context.configuration_sections[1].matched, row.ps2_matched) << row.profile;
        EXPECT_EQ(machine.device_enumerations, 1u) << row.profile;
    }
}

}  // namespace
