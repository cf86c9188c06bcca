// Whole runs of the program on the simulated machine, layout-1 packages.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <iterator>
#include <string>

#include "platform/pe.h"
#include "setup/context.h"
#include "setup/engine.h"
#include "support/package_fixture.h"

namespace {

constexpr uint32_t STYLE_INFORMATION = 0x40;
constexpr uint32_t STYLE_INFORMATION_RTL = 0x180040;
const std::string FILES_MISSING =
    "The setup program has detected that some of the driver files are missing. Click OK to exit setup.";
const std::string UNSUPPORTED_OS = "This software does not work on your operating system. \nClick OK to exit setup.";

class LayoutOneRun : public PackageTest {
protected:
    void SetUp() override
    {
        PackageTest::SetUp();
        set_os(10, 0, true);
        write_settings("[W864]\r\nPath=\\x64\\DPInst.exe\r\nSupport=8\r\n");
        write_engine("x64\\DPInst.exe", PE_MACHINE_AMD64);
        write_inf("x64\\Touch.inf");
    }
};

TEST_F(LayoutOneRun, SilentInstallRunsEngineWithSilentOptionsAndMapsRestart)
{
    set_engine_exit_code(0x40000001);
    EXPECT_EQ(run("/s"), REBOOT_REQUIRED);
    EXPECT_EQ(engine_command_line(), "\"C:\\Package\\x64\\DPInst.exe\" /f /sw /se");
    EXPECT_TRUE(machine.record.boxes.empty());
    EXPECT_EQ(g_process.dpinst_return_code, 0x40000001u);
    EXPECT_STREQ(g_process.inf_folder, "C:\\Package\\x64");
    EXPECT_TRUE(machine.dll_search_restricted);
}

TEST_F(LayoutOneRun, InteractiveRunUsesDefaultOptions)
{
    EXPECT_EQ(run(""), SUCCESS);
    EXPECT_EQ(engine_command_line(), "\"C:\\Package\\x64\\DPInst.exe\" /f");
}

TEST_F(LayoutOneRun, UpperCaseSilentOptionIsSilent)
{
    run("/S");
    EXPECT_EQ(engine_command_line(), "\"C:\\Package\\x64\\DPInst.exe\" /f /sw /se");
}

TEST_F(LayoutOneRun, ExitCodeIsZeroWithoutExitCodeFlag)
{
    write_settings("[W864]\r\nPath=\\x64\\DPInst.exe\r\nSupport=4\r\n");
    set_engine_exit_code(0x80000000);
    EXPECT_EQ(run("/s"), 0);
    EXPECT_EQ(g_process.final_result, ERROR);
}

TEST_F(LayoutOneRun, EngineExitCodesMapInTableOrder)
{
    const struct {
        uint32_t engine;
        int result;
    } rows[] = {
        {0x40000001, REBOOT_REQUIRED},
        {0x40000002, SUCCESS},      // restart needed, two installed: not the one exact code
        {0x00000001, SUCCESS},
        {0x00000100, DEP_HARD_ERROR},
        {0x80000100, DEP_HARD_ERROR},  // the staged-only row comes before the failure row
        {0x80000000, ERROR},
        {0x80001100, ERROR},
        {0x00001100, SUCCESS},
        {0x00000000, SUCCESS},
    };
    for (const auto& row : rows) {
        machine.record.processes.clear();
        machine.mutexes.clear();
        set_engine_exit_code(row.engine);
        EXPECT_EQ(run("/s"), row.result) << std::hex << row.engine;
    }
}

TEST(EngineExitCode, FieldsOfTheCode)
{
    const struct {
        uint32_t engine;
        EngineExitFields fields;
    } rows[] = {
        {0x40000001, {false, true, 1, 0}},
        {0x80000100, {true, false, 0, 1}},
        {0xC0001203, {true, true, 3, 0x12}},  // bit 12 counts in the driver-store byte
        {0x0000FF02, {false, false, 2, 255}},
        {0x3FFF0000, {false, false, 0, 0}},   // bits 16 to 29 say nothing
    };
    for (const auto& row : rows) {
        const EngineExitFields fields = decode_engine_exit_code(row.engine);
        EXPECT_EQ(fields.failed, row.fields.failed) << std::hex << row.engine;
        EXPECT_EQ(fields.restart_needed, row.fields.restart_needed) << std::hex << row.engine;
        EXPECT_EQ(fields.installed, row.fields.installed) << std::hex << row.engine;
        EXPECT_EQ(fields.store_only, row.fields.store_only) << std::hex << row.engine;
    }
}

TEST_F(LayoutOneRun, SecondInstanceEndsWithErrorButExitCodeZero)
{
    machine.mutexes.insert("Setup");
    EXPECT_EQ(run("/s"), 0);
    EXPECT_EQ(g_process.final_result, ERROR);
    EXPECT_EQ(g_process.context.support_flags, 0u);
    EXPECT_TRUE(machine.record.processes.empty());
    EXPECT_TRUE(machine.record.boxes.empty());
}

TEST_F(LayoutOneRun, HelpShowsTheHelpBoxAndInstallsNothing)
{
    EXPECT_EQ(run("/?"), SUCCESS);
    ASSERT_EQ(machine.record.boxes.size(), 1u);
    EXPECT_EQ(machine.record.boxes[0].caption, "Help");
    EXPECT_EQ(machine.record.boxes[0].style, STYLE_INFORMATION);
    EXPECT_TRUE(machine.record.processes.empty());
}

TEST_F(LayoutOneRun, MissingEngineIsReportedWithItsErrorCode)
{
    write_settings("[W864]\r\nPath=\\x64\\Missing.exe\r\nSupport=8\r\n");
    EXPECT_EQ(run("/s"), ERROR_INSTALL_PLATFORM_UNSUPPORTED);
    ASSERT_EQ(machine.record.boxes.size(), 1u);
    EXPECT_EQ(machine.record.boxes[0].caption, "Setup.exe");
    EXPECT_EQ(machine.record.boxes[0].text, FILES_MISSING + " [2]");
    EXPECT_TRUE(machine.record.processes.empty());
}

TEST_F(LayoutOneRun, EngineOfTheOtherBitnessIsRefused)
{
    write_engine("x64\\DPInst.exe", PE_MACHINE_I386);
    EXPECT_EQ(run("/s"), ERROR_INSTALL_PLATFORM_UNSUPPORTED);
    ASSERT_EQ(machine.record.boxes.size(), 1u);
    EXPECT_EQ(machine.record.boxes[0].text, UNSUPPORTED_OS);
    EXPECT_TRUE(machine.record.processes.empty());
}

TEST_F(LayoutOneRun, EngineThatIsNoImageIsRefusedWithoutMessage)
{
    write_file("C:\\Package\\x64\\DPInst.exe", "not an executable image at all, just some words");
    EXPECT_EQ(run("/s"), ERROR_INSTALL_PLATFORM_UNSUPPORTED);
    EXPECT_TRUE(machine.record.boxes.empty());
}

TEST_F(LayoutOneRun, EmptyEngineFileCannotBeMappedAndIsRefusedWithoutMessage)
{
    write_file("C:\\Package\\x64\\DPInst.exe", "");
    EXPECT_EQ(run("/s"), ERROR_INSTALL_PLATFORM_UNSUPPORTED);
    EXPECT_TRUE(machine.record.boxes.empty());
}

TEST_F(LayoutOneRun, MissingInfIsReportedBeforeTheEngineIsLookedAt)
{
    std::filesystem::remove(sim::host_path("C:\\Package\\x64\\Touch.inf"));
    EXPECT_EQ(run("/s"), ERROR_INSTALL_PLATFORM_UNSUPPORTED);
    ASSERT_EQ(machine.record.boxes.size(), 1u);
    EXPECT_EQ(machine.record.boxes[0].text, FILES_MISSING + " [2]");
}

TEST_F(LayoutOneRun, FirstInfOfTheFolderIsUsed)
{
    write_inf("x64\\B.inf");
    write_inf("x64\\a.inf");
    run("/s");
    EXPECT_STREQ(g_process.inf_folder, "C:\\Package\\x64");
}

TEST_F(LayoutOneRun, EngineThatCannotStartGivesLaunchMessageAndError)
{
    machine.programs["dpinst.exe"].can_start = false;
    machine.programs["dpinst.exe"].start_error = 5;
    EXPECT_EQ(run("/s"), ERROR);
    ASSERT_EQ(machine.record.boxes.size(), 1u);
    EXPECT_EQ(machine.record.boxes[0].text, "Could not launch the installer. [5]");
    EXPECT_EQ(g_process.result_code_override, 1620);
}

// An engine path without a leading separator names the file in the subfolder
// for all three users: the platform check, the INF search and the launch.
TEST_F(LayoutOneRun, EnginePathWithoutLeadingSeparatorLaunchesTheCheckedFile)
{
    const struct {
        const char* path;
        const char* command_line;
    } rows[] = {
        {"x64\\DPInst.exe", "\"C:\\Package\\x64\\DPInst.exe\" /f /sw /se"},
        {"\\x64\\DPInst.exe", "\"C:\\Package\\x64\\DPInst.exe\" /f /sw /se"},
        {".\\x64\\DPInst.exe", "\"C:\\Package\\x64\\DPInst.exe\" /f /sw /se"},
    };
    for (const auto& row : rows) {
        machine.record.processes.clear();
        machine.mutexes.clear();
        write_settings(std::string("[W864]\r\nPath=") + row.path + "\r\nSupport=8\r\n");
        set_engine_exit_code(0);
        EXPECT_EQ(run("/s"), SUCCESS) << row.path;
        EXPECT_EQ(engine_command_line(), row.command_line) << row.path;
        EXPECT_TRUE(machine.record.boxes.empty()) << row.path;
    }
}

TEST_F(LayoutOneRun, OverlongCommandLineIsCutAndStillHandedOver)
{
    // Make the folder long enough for quote, path, quote and options to pass 259.
    const std::string deep = "C:\\" + std::string(100, 'p') + "\\" + std::string(100, 'q');
    machine.module_path = deep + "\\Setup.exe";
    write_file(deep + "\\Setup.ini", "[W864]\r\nPath=\\x64\\DPInst.exe\r\nSilent= " + std::string(62, 'x') +
                                         "\r\nSupport=8\r\n");
    write_file(deep + "\\x64\\DPInst.exe", pe_image(PE_MACHINE_AMD64));
    write_file(deep + "\\x64\\Touch.inf", "[Version]\r\n");
    run("/s");
    ASSERT_EQ(machine.record.processes.size(), 1u);
    EXPECT_EQ(machine.record.processes[0].command_line.size(), 259u);
    EXPECT_EQ(machine.record.processes[0].command_line.substr(0, 1 + deep.size()), "\"" + deep);
}

TEST_F(LayoutOneRun, RightToLeftSystemLanguageTurnsErrorBoxesRightToLeft)
{
    const struct {
        uint16_t system_language;
        uint32_t style;
    } rows[] = {{0x040D, STYLE_INFORMATION_RTL}, {0x0401, STYLE_INFORMATION_RTL}, {0x0409, STYLE_INFORMATION},
                {0x0407, STYLE_INFORMATION}};
    for (const auto& row : rows) {
        machine.record.boxes.clear();
        machine.mutexes.clear();
        machine.system_language = row.system_language;
        write_engine("x64\\DPInst.exe", PE_MACHINE_I386);
        run("/s");
        ASSERT_EQ(machine.record.boxes.size(), 1u);
        EXPECT_EQ(machine.record.boxes[0].style, row.style) << std::hex << row.system_language;
    }
}

TEST_F(LayoutOneRun, HelpBoxIsNeverRightToLeft)
{
    machine.system_language = 0x040D;
    run("/?");
    ASSERT_EQ(machine.record.boxes.size(), 1u);
    EXPECT_EQ(machine.record.boxes[0].style, STYLE_INFORMATION);
}

TEST_F(LayoutOneRun, LanguagesWithoutSupportOnlyMarkTheResponseCode)
{
    const struct {
        uint16_t language;
        int override_code;
        int rtl;
    } rows[] = {{0x0402, 1623, 0}, {0x0425, 1623, 0}, {0x0426, 1623, 0}, {0x0427, 1623, 0},
                {0x0439, 1623, 0}, {0x0401, 0, 1},    {0x0C01, 0, 1},    {0x040D, 0, 1},
                {0x0409, 0, 0},    {0x0804, 0, 0}};
    for (const auto& row : rows) {
        machine.mutexes.clear();
        machine.system_language = row.language;
        run("/s");
        EXPECT_EQ(g_process.result_code_override, row.override_code) << std::hex << row.language;
        EXPECT_EQ(g_process.rtl_language, row.rtl) << std::hex << row.language;
        EXPECT_EQ(g_process.final_result, SUCCESS) << std::hex << row.language;
    }
}

// What the command line makes of a run: the engine's command line ("" when
// it did not run), the captions of the boxes, the exit code, whether the
// drivers were extracted to C:\out, and whether Windows' own critical-error
// boxes were turned off (runs nobody watches).
struct RunOutcome {
    std::string engine;
    std::string boxes;
    int exit_code;
    bool extracted;
    bool unattended;

    bool operator==(const RunOutcome&) const = default;
};

void PrintTo(const RunOutcome& o, std::ostream* out)
{
    *out << "{engine \"" << o.engine << "\", boxes \"" << o.boxes << "\", exit " << o.exit_code << ", extracted "
         << o.extracted << ", unattended " << o.unattended << "}";
}

TEST_F(LayoutOneRun, CommandLineSelectsWhatTheRunDoes)
{
    write_settings("[W864]\r\nPath=\\x64\\DPInst.exe\r\nSupport=11\r\n");
    write_file("C:\\Package\\Vi64\\touch.sys", "x64");
    const std::string silent = "\"C:\\Package\\x64\\DPInst.exe\" /f /sw /se";
    const std::string interactive = "\"C:\\Package\\x64\\DPInst.exe\" /f";
    const struct {
        const char* command_line;
        RunOutcome expected;
    } rows[] = {
        {"/s /s /?", {"", "Help", 0, false, false}},
        {"/? /s", {silent, "", 0, false, true}},
        {"/S", {silent, "", 0, false, true}},
        {"/s /vFORCE=yes", {"", "", UNKNOWN_OPTION, false, false}},
        {"/extract_all", {interactive, "", 0, false, false}},
        {"/s /extract_all:C:\\out", {silent, "", 0, false, true}},
        {"/extract_all:C:\\out /s", {silent, "", 0, false, true}},
        {"/extract_all:C:\\out", {"", "", 0, true, false}},
        {"/vEXTRACTDRIVERS=C:\\out /s", {"", "", 0, true, true}},
        {"/vEXTRACTDRIVERS=C:\\bad\"name", {"", "", DEP_SOFT_ERROR, false, true}},
    };
    for (const auto& row : rows) {
        std::filesystem::remove_all(sim::host_path("C:\\out"));
        machine.record.processes.clear();
        machine.record.boxes.clear();
        machine.mutexes.clear();  // each row is a run of its own
        machine.critical_error_boxes_suppressed = false;
        const int exit_code = run(row.command_line);
        std::string captions;
        for (const record::Box& box : machine.record.boxes) captions += box.caption;
        EXPECT_EQ((RunOutcome{engine_command_line(), captions, exit_code,
                              file_exists("C:\\out\\production\\Windows10-x64\\touch.sys"),
                              machine.critical_error_boxes_suppressed}),
                  row.expected)
            << row.command_line;
    }
}

// A Japanese system (932), where "表" (95 5C) and "ソ" (83 5C) end in the
// backslash byte: the log copy, the response report and the extraction land
// in the folders named, and no other folder is made on drive C.
TEST_F(LayoutOneRun, DoubleByteFolderNamesAreKeptWhole)
{
    machine.system_language = 0x0411;
    write_settings("[W864]\r\nPath=\\x64\\DPInst.exe\r\nSupport=15\r\n");
    write_file("C:\\Package\\Vi64\\touch.sys", "x64");
    const struct {
        const char* command_line;  // as the user types it (UTF-8 here)
        const char* file;   // the record or copy it leaves, in code page 932
        const char* start;  // how that file starts
        int entries;        // files and folders it leaves outside C:\Package and C:\Windows
    } rows[] = {
        {"/s /vLOGFILE=C:\\表示\\ソフト\\x.log",
         "C:\\\x95\x5C\x8E\xA6\\\x83\x5C\x83\x74\x83\x67\\x.log", "\xFF\xFE=", 3},
        {"/s /f2 C:\\表計算\\r.txt", "C:\\\x95\x5C\x8C\x76\x8E\x5A\\r.txt", "[ResponseResult]", 2},
        // Two folders, production and the four x64 folders with their file.
        {"/extract_all:C:\\ソ\\表", "C:\\\x83\x5C\\\x95\x5C\\production\\Windows10-x64\\touch.sys", "x64",
         11},
    };
    for (const auto& row : rows) {
        for (const auto& entry : std::filesystem::directory_iterator(drive_root)) {
            if (entry.path().filename() != "Package") std::filesystem::remove_all(entry.path());
        }
        machine.mutexes.clear();  // each row is a run of its own
        run(row.command_line);
        int entries = 0;
        for (const auto& top : std::filesystem::directory_iterator(drive_root)) {
            if (top.path().filename() == "Package" || top.path().filename() == "Windows") continue;
            entries += 1 + static_cast<int>(std::distance(std::filesystem::recursive_directory_iterator(top.path()),
                                                          std::filesystem::recursive_directory_iterator()));
        }
        EXPECT_EQ(read_file(row.file).substr(0, std::strlen(row.start)) + " " + std::to_string(entries),
                  row.start + std::string(" ") + std::to_string(row.entries))
            << row.command_line;
    }
}

class RestartRun : public LayoutOneRun {};

TEST_F(RestartRun, RestartOnlyWhenForcedAndRebootRequired)
{
    const struct {
        uint32_t force_restart;
        uint32_t engine;
        const char* command_line;
        bool restart;
    } rows[] = {
        {1, 0x40000001, "/s", true},
        {1, 0x00000001, "/s", false},
        {1, 0x80000000, "/s", false},
        {0, 0x40000001, "/s", false},
    };
    for (const auto& row : rows) {
        machine.record.restart_requested = false;
        machine.record.shutdown_privilege_enabled = false;
        machine.mutexes.clear();
        set_engine_exit_code(row.engine);
        reset_process_state();
        // The property parser sets this from FORCERESTART; here it is set directly.
        g_process.force_restart = row.force_restart;
        restart_system(map_engine_exit_code(row.engine));
        EXPECT_EQ(machine.record.restart_requested, row.restart) << row.force_restart << ' ' << std::hex << row.engine;
    }
}

TEST_F(RestartRun, SilentRunThatNeedsNoRestartLeavesWindowsRunning)
{
    set_engine_exit_code(0x40000001);
    run("/s");
    EXPECT_FALSE(machine.record.restart_requested);  // FORCERESTART was not given
}

struct OsCase {
    const char* name;
    uint32_t major, minor, platform_id;
    bool is_64bit;
    const char* section;  // the engine section the run uses, nullptr when refused
};

void PrintTo(const OsCase& os, std::ostream* out)
{
    *out << os.name;
}

class OsSectionRun : public PackageTest, public ::testing::WithParamInterface<OsCase> {};

TEST_P(OsSectionRun, ChoosesTheEngineSectionOfTheRunningWindows)
{
    const OsCase& os = GetParam();
    set_os(os.major, os.minor, os.is_64bit, os.platform_id);
    // Every section names its own engine folder, so the launch shows which one won.
    std::string ini;
    for (const char* section : {"XP32", "XP64", "VISTA32", "VISTA64", "W732", "W764", "W832", "W864"}) {
        ini += std::string("[") + section + "]\r\nPath=\\" + section + "\\DPInst.exe\r\nSupport=8\r\n";
        write_engine(std::string(section) + "\\DPInst.exe",
                     std::string(section).find("64") != std::string::npos ? PE_MACHINE_AMD64 : PE_MACHINE_I386);
        write_inf(std::string(section) + "\\Touch.inf");
    }
    write_settings(ini);
    const int exit_code = run("/s");
    if (os.section == nullptr) {
        EXPECT_EQ(exit_code, 0);  // refused before Support was read
        EXPECT_EQ(g_process.final_result, ERROR_INSTALL_PLATFORM_UNSUPPORTED);
        ASSERT_EQ(machine.record.boxes.size(), 1u);
        EXPECT_EQ(machine.record.boxes[0].text, UNSUPPORTED_OS);
        EXPECT_TRUE(machine.record.processes.empty());
    } else {
        EXPECT_EQ(exit_code, SUCCESS);
        EXPECT_EQ(engine_command_line(), std::string("\"C:\\Package\\") + os.section + "\\DPInst.exe\" /f /sw /se");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Windows, OsSectionRun,
    ::testing::Values(OsCase{"Win2000", 5, 0, 2, false, nullptr}, OsCase{"Win98", 4, 10, 1, false, nullptr},
                      OsCase{"Major7", 7, 0, 2, true, nullptr}, OsCase{"XP", 5, 1, 2, false, "XP32"},
                      OsCase{"XPx64", 5, 2, 2, true, "XP64"}, OsCase{"Vista", 6, 0, 2, false, "VISTA32"},
                      OsCase{"Vistax64", 6, 0, 2, true, "VISTA64"}, OsCase{"Win7", 6, 1, 2, false, "W732"},
                      OsCase{"Win7x64", 6, 1, 2, true, "W764"}, OsCase{"Win8", 6, 2, 2, false, "W832"},
                      OsCase{"Win81x64", 6, 3, 2, true, "W864"}, OsCase{"Win10", 10, 0, 2, false, "W832"},
                      OsCase{"Win10x64", 10, 0, 2, true, "W864"}, OsCase{"Major7Minor3", 7, 3, 2, true, "W864"}),
    [](const ::testing::TestParamInfo<OsCase>& param_info) { return std::string(param_info.param.name); });

}  // namespace
