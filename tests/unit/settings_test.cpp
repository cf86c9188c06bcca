// The settings file beside the program: engine sections and their defaults.
#include <gtest/gtest.h>

#include <string>

#include "config/settings.h"
#include "setup/context.h"
#include "support/package_fixture.h"

namespace {

class SettingsTest : public PackageTest {
protected:
    int load()
    {
        g_process.os_version = SYS_OsVersion{SYS_OS_VERSION_SIZE, machine.major, machine.minor, machine.build,
                                             machine.platform_id, {}};
        return load_setup_settings(nullptr, &g_process.context);
    }
    const SetupContext& context() const { return g_process.context; }
};

TEST_F(SettingsTest, NoSettingsFileGivesTheStockEngineAndNoFlags)
{
    set_os(10, 0, true);
    EXPECT_EQ(load(), 1);
    EXPECT_STREQ(context().settings_file_path, "C:\\Package\\Setup.ini");
    EXPECT_EQ(context().major_version, 1u);
    EXPECT_STREQ(context().engine_path, ".\\DPInst.exe");
    EXPECT_STREQ(context().default_options, " /f");
    EXPECT_STREQ(context().silent_options, " /f /sw /se");
    EXPECT_EQ(context().support_flags, 0u);
}

TEST_F(SettingsTest, OwnEngineOnWindows8OrLaterKeepsItsSection)
{
    set_os(10, 0, true);
    write_settings("[W864]\nPath=x64\\Engine.exe\nSupport=9\n[Vi64]\nSupport=4\n");
    load();
    EXPECT_STREQ(context().engine_path, "x64\\Engine.exe");
    EXPECT_EQ(context().support_flags, 9u);
}

TEST_F(SettingsTest, StockEngineOnWindows8OrLaterHandsOverToTheViSection)
{
    const struct {
        const char* ini;
        const char* engine;
        uint32_t support;
    } rows[] = {
        {"[W832]\nSupport=8\n[Vi32]\nSupport=4\n", ".\\DPInst.exe", 4},
        {"[W832]\nPath=.\\DPInst.exe\nSupport=8\n[Vi32]\nPath=\\x86\\DPInst.exe\nSupport=5\n", "\\x86\\DPInst.exe", 5},
        {"[W832]\nPath=sub.\\DPInst.exe\nSupport=8\n", ".\\DPInst.exe", 0},  // substring, Vi32 missing: defaults
        {"[W832]\nPath=.\\dpinst.exe\nSupport=8\n[Vi32]\nSupport=4\n", ".\\dpinst.exe", 8},  // case-sensitive
    };
    set_os(6, 3, false);
    for (const auto& row : rows) {
        write_settings(row.ini);
        load();
        EXPECT_STREQ(context().engine_path, row.engine) << row.ini;
        EXPECT_EQ(context().support_flags, row.support) << row.ini;
    }
}

TEST_F(SettingsTest, OverlongOptionsAreCutToTheirBuffers)
{
    set_os(6, 1, false);
    write_settings("[W732]\nDefault=" + std::string(70, 'd') + "\nSilent=" + std::string(64, 's') + "\n");
    load();
    EXPECT_EQ(std::string(context().default_options), std::string(63, 'd'));
    EXPECT_EQ(std::string(context().silent_options), std::string(63, 's'));
}

TEST_F(SettingsTest, MajorVersionOtherThanTwoIsLayoutOne)
{
    set_os(6, 1, true);
    write_settings("[metadata]\nmajor_version=3\nminor_version=7\n[W764]\nSupport=12\n");
    EXPECT_EQ(load(), 1);
    EXPECT_EQ(context().major_version, 3u);
    EXPECT_EQ(context().minor_version, 7u);
    EXPECT_EQ(context().support_flags, 12u);
}

TEST_F(SettingsTest, LayoutTwoPresetsAllFlags)
{
    set_os(10, 0, true);
    write_settings("[metadata]\nmajor_version=2\n");
    load();
    EXPECT_EQ(context().major_version, 2u);
    EXPECT_EQ(context().support_flags, 31u);
    EXPECT_STREQ(context().engine_path, "");
}

TEST_F(SettingsTest, SettingsFileFollowsTheProgramsOwnName)
{
    set_os(6, 1, false);
    machine.module_path = "C:\\Drivers\\TouchSetup.exe";
    write_file("C:\\Drivers\\TouchSetup.ini", "[W732]\nSupport=2\n");
    load();
    EXPECT_STREQ(context().settings_file_path, "C:\\Drivers\\TouchSetup.ini");
    EXPECT_EQ(context().support_flags, 2u);
    // A name with two dots keeps the first: the settings are Touch.v2.ini.
    machine.module_path = "C:\\Drivers\\Touch.v2.exe";
    write_file("C:\\Drivers\\Touch.v2.ini", "[W732]\nSupport=4\n");
    load();
    EXPECT_STREQ(context().settings_file_path, "C:\\Drivers\\Touch.v2.ini");
    EXPECT_EQ(context().support_flags, 4u);
}

}  // namespace
