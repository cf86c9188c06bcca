// Whole runs over an installed driver: the overwrite question, the
// classification stored for the log, and the version-library check.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>

#include "platform/pe.h"
#include "setup/context.h"
#include "support/package_fixture.h"

namespace {

const char kTouchPadKey[] = "HKLM\\Software\\Vexa\\Kurso";
const char kPointingStickKey[] = "HKLM\\Software\\Vexa\\VexaStick\\Common\\Current";
const std::string kLibrary =
    std::string(SOURCE_DIR) + "/tests/wine/scenarios/version_library_mismatch/package/VxaVer.dll";

std::string inf_with_version(const std::string& version)
{
    return "[Version]\r\nSignature=\"$Windows NT$\"\r\nDriverVer=11/20/2026," + version + "\r\n";
}

class VersionDecisionRun : public PackageTest {
protected:
    void SetUp() override
    {
        PackageTest::SetUp();
        set_os(10, 0, true);
        write_settings("[W864]\r\nPath=\\x64\\DPInst.exe\r\nSupport=9\r\n");  // properties, exit code
        write_engine("x64\\DPInst.exe", PE_MACHINE_AMD64);
    }

    // The run as one line: its boxes, whether the engine ran, the exit code,
    // the response-report override and the version texts kept for the log.
    std::string outcome(const std::string& command_line)
    {
        machine.record.boxes.clear();
        machine.record.processes.clear();
        machine.mutexes.clear();  // each run is a new process, not a second instance
        const int exit_code = run(command_line);
        static const std::map<std::string, std::string> known = {
            {"You are attempting to install a driver that is the same version as the one that is currently "
             "installed on your system.  Do you wish to proceed with the installation?",
             "question 4"},
            {"You are attempting to install a driver that is an older version than the one that is currently "
             "installed on your system.  Do you wish to proceed with the installation?",
             "question 5"},
        };
        std::string text;
        for (const record::Box& box : machine.record.boxes) {
            const auto name = known.find(box.text);
            char style[16];
            std::snprintf(style, sizeof style, "%X", box.style);
            text += box.caption + " " + (name != known.end() ? name->second : "\"" + box.text + "\"") + " " + style +
                    " answered " + std::to_string(box.answer) + "; ";
        }
        if (g_process.ended_at_once) text += "ended at once; ";
        else {
            text += std::string("engine ") + (engine_command_line().empty() ? "no" : "yes") + "; exit " +
                    std::to_string(exit_code) + "; override " + std::to_string(g_process.result_code_override) +
                    "; ";
        }
        return text + "versions " + g_process.installed_version + " / " + g_process.package_version;
    }
};

constexpr int YES = 6;
constexpr int NO = 7;
constexpr int DEFAULT_BUTTON = 0;

TEST_F(VersionDecisionRun, AsksBeforeTheSameOrAnOlderVersionIsInstalled)
{
    write_inf("x64\\Touch.inf");  // 19.2.4.7
    const struct {
        const char* installed;  // "ProductVer" of the touch pad; nullptr: no driver installed
        const char* command_line;
        int answer;
        const char* expected;
    } rows[] = {
        {nullptr, "", DEFAULT_BUTTON, "engine yes; exit 0; override 0; versions  / 19.2.4.7"},
        {"VexaNorde 19.2.4.7", "", YES,
         "Setup.exe question 4 124 answered 6; engine yes; exit 0; override 0; versions 19.2.4.7 / 19.2.4.7"},
        {"VexaNorde 19.2.4.7", "", NO, "Setup.exe question 4 124 answered 7; ended at once; versions  / "},
        {"VexaNorde 19.2.4.7", "", DEFAULT_BUTTON, "Setup.exe question 4 124 answered 7; ended at once; versions  / "},
        {"VexaNorde 19.2.4.10", "", YES,
         "Setup.exe question 5 124 answered 6; engine yes; exit 0; override 0; versions 19.2.4.10 / 19.2.4.7"},
        {"VexaNorde 19.2.4.10", "", NO, "Setup.exe question 5 124 answered 7; ended at once; versions  / "},
        {"VexaNorde 19.2.3.99", "", DEFAULT_BUTTON,
         "engine yes; exit 0; override 1638; versions 19.2.3.99 / 19.2.4.7"},
        {"  ", "", DEFAULT_BUTTON,
         "WARNING \"Failed to get current VexaNorde Touch Pad Driver version\" 40 answered 1; ended at once; versions  / "},
        {"VexaNorde beta", "", DEFAULT_BUTTON,
         "WARNING \"Failed to get current VexaNorde Touch Pad Driver version\" 40 answered 1; ended at once; versions  / "},
        // A silent run asks nothing; FORCE left at its default lets the engine run.
        {"VexaNorde 19.2.4.7", "/s", DEFAULT_BUTTON, "engine yes; exit 0; override 0; versions 19.2.4.7 / 19.2.4.7"},
        {"VexaNorde 19.2.4.10", "/s", DEFAULT_BUTTON,
         "engine yes; exit 0; override 0; versions 19.2.4.10 / 19.2.4.7"},
        {"  ", "/s", DEFAULT_BUTTON, "engine yes; exit 0; override 0; versions  / "},
        {"VexaNorde beta", "/s", DEFAULT_BUTTON, "engine yes; exit 0; override 0; versions  / "},
        // FORCE=false refuses a same or newer installed driver, with both versions for the log.
        {"VexaNorde 19.2.4.7", "/s /vFORCE=false", DEFAULT_BUTTON,
         "engine no; exit 3; override 0; versions 19.2.4.7 / 19.2.4.7"},
        {"VexaNorde 19.2.4.10", "/s /vFORCE=false", DEFAULT_BUTTON,
         "engine no; exit 3; override 0; versions 19.2.4.10 / 19.2.4.7"},
        {"VexaNorde 19.2.3.99", "/s /vFORCE=false", DEFAULT_BUTTON,
         "engine yes; exit 0; override 0; versions 19.2.3.99 / 19.2.4.7"},
        {nullptr, "/s /vFORCE=false", DEFAULT_BUTTON, "engine yes; exit 0; override 0; versions  / 19.2.4.7"},
        // Not classified: the engine runs whatever FORCE says.
        {"  ", "/s /vFORCE=false", DEFAULT_BUTTON, "engine yes; exit 0; override 0; versions  / "},
        {"VexaNorde beta", "/s /vFORCE=false", DEFAULT_BUTTON, "engine yes; exit 0; override 0; versions  / "},
        // FRESHINSTALL=true skips the question; the FORCE rule still holds.
        {"VexaNorde 19.2.4.7", "/vFRESHINSTALL=true", DEFAULT_BUTTON,
         "engine yes; exit 0; override 0; versions 19.2.4.7 / 19.2.4.7"},
        {"VexaNorde 19.2.4.7", "/vFRESHINSTALL=true /vFORCE=false", DEFAULT_BUTTON,
         "engine no; exit 3; override 0; versions 19.2.4.7 / 19.2.4.7"},
        {"  ", "/vFRESHINSTALL=true", DEFAULT_BUTTON, "engine yes; exit 0; override 0; versions  / "},
    };
    for (const auto& row : rows) {
        machine.registry.clear();
        if (row.installed != nullptr) set_registry_value(kTouchPadKey, "ProductVer", row.installed);
        if (row.answer != DEFAULT_BUTTON) machine.answers = {row.answer};
        EXPECT_EQ(outcome(row.command_line), row.expected) << (row.installed ? row.installed : "none") << " '"
                                                           << row.command_line << "'";
    }
}

// A version that cannot be compared ends an interactive run over an installed
// driver with a warning that names the side; a silent run goes on to the engine.
TEST_F(VersionDecisionRun, UnreadableVersionEndsTheQuestionWithAWarningNamingIt)
{
    const std::string installed = "WARNING \"Failed to get current VexaNorde Touch Pad Driver version\" 40 answered 1; "
                                  "ended at once; versions  / ";
    const std::string package = "WARNING \"Failed to get package VexaNorde Touch Pad Driver version\" 40 answered 1; "
                                "ended at once; versions  / ";
    const struct {
        const char* installed;  // "ProductVer"
        const char* driver_ver;  // the INF's whole DriverVer value
        std::string expected;
    } rows[] = {
        {"VexaNorde 19.2.4", "11/20/2026,19.2.4.7", installed},
        {"VexaNorde 19.2.3.99", "11/20/2026,19.2.4", package},
        {"VexaNorde 19.2.3.99", "19.2.4.7,11/20/2026", package},  // fields swapped
        {"VexaNorde 19.2.3.99", "11/20/2026", package},           // no version field: the INF gives none
        {"VexaNorde 19.2", "11/20/2026,19.2", installed},         // both: the installed side is named
        {"VexaNorde 19.2.3.99", "11/20/2026,19.2.4.7", "engine yes; exit 0; override 1638; versions 19.2.3.99 / 19.2.4.7"},
    };
    for (const auto& row : rows) {
        write_file("C:\\Package\\x64\\Touch.inf",
                   std::string("[Version]\r\nSignature=\"$Windows NT$\"\r\nDriverVer=") + row.driver_ver + "\r\n");
        machine.registry.clear();
        set_registry_value(kTouchPadKey, "ProductVer", row.installed);
        EXPECT_EQ(outcome(""), row.expected) << row.installed << " / " << row.driver_ver;
        EXPECT_EQ(outcome("/s").rfind("engine yes; exit 0;", 0), 0u) << row.installed << " / " << row.driver_ver;
    }
}

TEST_F(VersionDecisionRun, QuestionIsRightToLeftOnARightToLeftSystem)
{
    write_inf("x64\\Touch.inf");
    set_registry_value(kTouchPadKey, "ProductVer", "VexaNorde 19.2.4.7");
    machine.system_language = 0x040D;
    machine.answers = {NO};
    run("");
    ASSERT_EQ(machine.record.boxes.size(), 1u);
    EXPECT_EQ(machine.record.boxes[0].style, 0x180124u);
}

TEST_F(VersionDecisionRun, InfNameChoosesFamilyAndTheQuestionsVersionSource)
{
    const struct {
        const char* inf;             // the package INF in x64, 19.2.4.7
        const char* filter_version;  // VxHidFiltr.inf beside it; nullptr: none
        const char* key;             // where 19.2.4.7 is installed
        const char* expected;
    } rows[] = {
        {"VxPS2.inf", nullptr, kPointingStickKey, "Setup.exe question 4 124 answered 7; ended at once; versions  / "},
        {"VxPS2.inf", nullptr, kTouchPadKey, "engine yes; exit 0; override 0; versions  / 19.2.4.7"},
        {"vxps2.inf", nullptr, kTouchPadKey, "Setup.exe question 4 124 answered 7; ended at once; versions  / "},
        // The I2C package's question compares with the filter driver's INF; the
        // classification and the log use the package INF itself.
        {"VxaHIDI2C.inf", "20.0.0.0", kTouchPadKey,
         "engine yes; exit 0; override 1638; versions 19.2.4.7 / 19.2.4.7"},
        {"VxaHIDI2C.inf", "19.2.4.7", kTouchPadKey,
         "Setup.exe question 4 124 answered 7; ended at once; versions  / "},
        {"VxaHIDI2C.inf", nullptr, kTouchPadKey,
         "WARNING \"Failed to get package VexaNorde Touch Pad Driver version\" 40 answered 1; ended at once; "
         "versions  / "},
        {"vxahidi2c.inf", "20.0.0.0", kTouchPadKey,
         "Setup.exe question 4 124 answered 7; ended at once; versions  / "},
    };
    for (const auto& row : rows) {
        std::filesystem::remove_all(sim::host_path("C:\\Package\\x64"));
        write_engine("x64\\DPInst.exe", PE_MACHINE_AMD64);
        write_inf(std::string("x64\\") + row.inf);
        if (row.filter_version != nullptr) {
            write_file("C:\\Package\\x64\\VxHidFiltr.inf", inf_with_version(row.filter_version));
        }
        machine.registry.clear();
        set_registry_value(row.key, "ProductVer", "VexaNorde 19.2.4.7");
        EXPECT_EQ(outcome(""), row.expected) << row.inf << ' ' << (row.filter_version ? row.filter_version : "");
    }
}

TEST_F(VersionDecisionRun, SilentRunEndingEarlyStillReadsBothVersionsForTheLog)
{
    write_inf("x64\\Touch.inf");
    write_engine("x64\\DPInst.exe", PE_MACHINE_I386);
    set_registry_value(kTouchPadKey, "ProductVer", "VexaNorde 19.2.4.7");
    EXPECT_EQ(outcome("/s"),
              "Setup.exe \"This software does not work on your operating system. \nClick OK to exit setup.\" 40 "
              "answered 1; engine no; exit 1633; override 0; versions 19.2.4.7 / 19.2.4.7");
}

TEST_F(VersionDecisionRun, VersionLibraryMustStateTheInfVersion)
{
    const std::string mismatch =
        "ERROR \"VxaVer.dll version does not correspond to Driver version\" 40 answered 1; ended at once; versions  / ";
    const std::string pass = "engine yes; exit 0; override 0; versions  / ";
    const struct {
        const char* library;      // copied beside the INF; "" writes no library
        const char* inf_version;  // DriverVer's version field; nullptr: no version field
        std::string expected;
    } rows[] = {
        {"", "8.1.0.83", pass + "8.1.0.83"},
        {"VxaVer.dll", "8.1.0.83", pass + "8.1.0.83"},  // "8, 1, 0, 83" in the library
        {"VxaVer.dll", "8.1.0.84", mismatch},
        {"VxaVer.dll", "08.1.0.83", mismatch},  // text, not numbers
        {"VxaVer.dll", "8.1.0.83.0", mismatch},
        {"VxaVer.dll", "8, 1, 0, 83", mismatch},  // commas split DriverVer: its version field is "8"
        {"VxaVer.dll", nullptr, pass},
        {"not a library", "8.1.0.84", pass + "8.1.0.84"},
    };
    for (const char* command_line : {"", "/s"}) {
        for (const auto& row : rows) {
            std::filesystem::remove_all(sim::host_path("C:\\Package\\x64"));
            write_engine("x64\\DPInst.exe", PE_MACHINE_AMD64);
            write_file("C:\\Package\\x64\\Touch.inf", row.inf_version != nullptr
                                                          ? inf_with_version(row.inf_version)
                                                          : "[Version]\r\nSignature=$Windows NT$\r\nDriverVer=11/20/2026\r\n");
            if (std::string(row.library) == "VxaVer.dll") {
                std::filesystem::copy_file(kLibrary, sim::host_path("C:\\Package\\x64\\VxaVer.dll"));
            } else if (*row.library != '\0') {
                write_file("C:\\Package\\x64\\VxaVer.dll", row.library);
            }
            EXPECT_EQ(outcome(command_line), row.expected)
                << row.library << ' ' << (row.inf_version ? row.inf_version : "-") << " '" << command_line << "'";
        }
    }
}

TEST_F(VersionDecisionRun, VersionLibraryOutsideTheInfFolderIsNotLookedAt)
{
    write_file("C:\\Package\\x64\\Touch.inf", inf_with_version("8.1.0.84"));
    std::filesystem::copy_file(kLibrary, sim::host_path("C:\\Package\\VxaVer.dll"));
    EXPECT_EQ(outcome("/s"), "engine yes; exit 0; override 0; versions  / 8.1.0.84");
}

}  // namespace
