// setup-sim as a user runs it: the example package on the example machines.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Output {
    std::string text;
    int status;
};

Output run_setup_sim(const std::string& arguments)
{
    const std::string command = std::string(SETUP_SIM_PATH) + " " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    Output output{"", -1};
    if (pipe == nullptr) return output;
    char chunk[4096];
    size_t read = 0;
    while ((read = fread(chunk, 1, sizeof chunk, pipe)) > 0) output.text.append(chunk, read);
    output.status = pclose(pipe);
    return output;
}

const std::string EXAMPLES = std::string(SOURCE_DIR) + "/examples";

TEST(SetupSim, ExamplePackageOnEachExampleMachine)
{
    const struct {
        const char* machine;
        const char* command_line;  // engine command line as JSON text, "" when it does not run
        const char* result;
        int exit_code;
    } rows[] = {
        {"win10-x64", R"("\"C:\\Package\\x64\\DPInst.exe\" /f /sw /se")", "\"result\": 0,", 0},
        {"win81-x64", R"("\"C:\\Package\\x64\\DPInst.exe\" /f /sw /se")", "\"result\": 1641,", 1641},
        {"win8-x86", R"("\"C:\\Package\\DPInst.exe\" /f /lm /sw /se")", "\"result\": 0,", 0},
        {"win7-x86", R"("\"C:\\Package\\DPInst.exe\" /f /sw /se")", "\"result\": 0,", 0},
        {"win2000", "", "\"result\": 1633,", 0},
        {"win10-x64-second-instance", "", "\"result\": 1603,", 0},
    };
    for (const auto& row : rows) {
        const Output output =
            run_setup_sim("--json --machine " + EXAMPLES + "/machines/" + row.machine + ".ini " + EXAMPLES + "/package /s");
        ASSERT_EQ(output.status, 0) << output.text;
        EXPECT_NE(output.text.find(row.result), std::string::npos) << row.machine << ": " << output.text;
        EXPECT_NE(output.text.find("\"exit_code\": " + std::to_string(row.exit_code) + ","), std::string::npos)
            << row.machine << ": " << output.text;
        if (row.command_line[0] != '\0') {
            EXPECT_NE(output.text.find(std::string("\"command_line\": ") + row.command_line), std::string::npos)
                << row.machine << ": " << output.text;
        } else {
            EXPECT_NE(output.text.find("\"processes\": []"), std::string::npos) << row.machine << ": " << output.text;
        }
    }
}

// An answer naming a button the box lacks presses its default one and is
// noted, as the Wine runner notes it.
TEST(SetupSim, AnswersAndBoxesInTheTranscript)
{
    const std::string arguments =
        "--answers yes --machine " + EXAMPLES + "/machines/win2000.ini " + EXAMPLES + "/package";
    EXPECT_NE(run_setup_sim(arguments).text.find(
                  "Box 1: caption \"Setup.exe\", style 0x00000040, answer 1 (OK)\n"
                  "  text: This software does not work on your operating system. \\nClick OK to exit setup.\n"
                  "  answer not taken: the box has no Yes button\n"),
              std::string::npos);
    EXPECT_NE(run_setup_sim("--json " + arguments)
                  .text.find("\"answer\": 1, \"error\": \"the box has no Yes button\", \"shown_by_shell\": false}"),
              std::string::npos);
}

// The engine's exit code in its fields, beside the result the program makes of it.
TEST(SetupSim, EngineExitCodeIsDecoded)
{
    const std::string arguments = "--machine " + EXAMPLES + "/machines/win81-x64.ini " + EXAMPLES + "/package /s";
    EXPECT_NE(run_setup_sim(arguments).text.find(
                  "-> exit code 0x40000001\n  engine exit code: failed no, restart needed yes, packages installed 1, "
                  "only copied to the driver store 0 -> result 1641 REBOOT_REQUIRED\n"),
              std::string::npos);
    EXPECT_NE(run_setup_sim("--json " + arguments)
                  .text.find("\"engine_exit\": {\"failed\": false, \"restart_needed\": true, \"installed\": 1, "
                             "\"store_only\": 0, \"result\": 1641, \"result_name\": \"REBOOT_REQUIRED\"}"),
              std::string::npos);
}

// A word in single shell quotes reaches the program as written; an
// extraction lists the folders it made and the files it copied.
TEST(SetupSim, CommandLinePassesThroughAndExtractionIsListed)
{
    const Output output = run_setup_sim(EXAMPLES + "/layout2-package '/extract_all:\"C:\\my  drivers\"'");
    EXPECT_NE(output.text.find("Command line: /extract_all:\"C:\\my  drivers\"\n"), std::string::npos) << output.text;
    EXPECT_NE(output.text.find("Folder created: C:\\my  drivers\\production\\Windows8-x64\n"
                               "Folder created: C:\\my  drivers\\production\\Windows8.1-x64\n"),
              std::string::npos)
        << output.text;
    EXPECT_NE(output.text.find("File written: C:\\my  drivers\\production\\Windows7-x64\\I2C\\VxI2C.inf"
                               " (copy of C:\\Package\\I2C\\VxI2C.inf)\n"),
              std::string::npos)
        << output.text;
}

// A support person reads the record as text: the UTF-16 header decoded and
// the engine's own lines after the debugging banner, as the engine wrote them.
TEST(SetupSim, RecordOfADebugRunIsShownAsText)
{
    const char* path = "/tmp/setup-sim-engine-log-profile.ini";
    FILE* file = std::fopen(path, "w");
    ASSERT_NE(file, nullptr);
    std::fputs("[Program:DPInst.exe]\nLogLine=INFO: installed\n", file);
    std::fclose(file);
    const Output output = run_setup_sim(std::string("--machine ") + path + " " + EXAMPLES + "/package /s /vDEBUG=true");
    std::remove(path);
    EXPECT_NE(output.text.find("File written: C:\\Windows\\Rire\\UpdatePackage\\log\\Setup.log (UTF-16LE+ANSI, 735 bytes)\n"
                               "  | ===============> Update Package application started <===============\n"
                               "  | Command:C:\\Package\\Setup.exe /s /vDEBUG=true\n"),
              std::string::npos)
        << output.text;
    EXPECT_NE(output.text.find("  | ================> Report Information for Debugging <================\n"
                               "  | INFO: installed\n"),
              std::string::npos)
        << output.text;
}

// Install after install on one machine: the engine's log grows by one run's
// entries each time, while each run's record carries only its own; the second
// run finds the driver the first one installed, and its record says so.
TEST(SetupSim, RunsInARowShareTheMachine)
{
    const Output output = run_setup_sim("--runs 2 --machine " + EXAMPLES + "/machines/win10-x64-installs-driver.ini " +
                                        EXAMPLES + "/package /s /vDEBUG=true");
    const size_t second_run = std::min(output.text.find("Run 2 of 2\n"), output.text.size());
    const auto listed = [&](const std::string& text, bool in_second_run) {
        const size_t at = output.text.find(text, in_second_run ? second_run : 0);
        return at != std::string::npos && (at > second_run) == in_second_run;
    };
    EXPECT_TRUE(listed("File written: C:\\Windows\\DpInst.log (ANSI, 95 bytes)", false) &&
                listed("Setup.log (UTF-16LE+ANSI, 813 bytes)\n  | ===", false) &&
                listed("  |   Installed version:\n  |   Package version:19.2.4.7\n", false) &&
                listed("File written: C:\\Windows\\DpInst.log (ANSI, 190 bytes)", true) &&
                listed("Setup.log (UTF-16LE+ANSI, 829 bytes)\n  | ===", true) &&
                listed("  |   Installed version:19.2.4.7\n  |   Package version:19.2.4.7\n", true))
        << output.text;
}

TEST(SetupSim, MistakesInAProfileAreReported)
{
    const char* path = "/tmp/setup-sim-bad-profile.ini";
    FILE* file = std::fopen(path, "w");
    ASSERT_NE(file, nullptr);
    std::fputs("[Machine]\nVersoin=6.1\n", file);
    std::fclose(file);
    const Output output = run_setup_sim(std::string("--machine ") + path + " " + EXAMPLES + "/package /s");
    std::remove(path);
    EXPECT_NE(output.status, 0);
    EXPECT_NE(output.text.find("[Machine] Versoin: unknown key"), std::string::npos) << output.text;
}

}  // namespace

// setup-sim check on the example packages: every finding it has on the
// broken ones, with the line or file it names, and nothing on the good ones.
namespace {

int exit_status(const Output& output)
{
    return WIFEXITED(output.status) ? WEXITSTATUS(output.status) : -1;
}

// The cells of the check's table line for this Windows and machine (cells
// stand two blanks or more apart); none when there is no such line.
std::vector<std::string> table_cells(const std::string& text, const std::string& windows, const std::string& machine)
{
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string> cells;
        for (size_t at = 0; at < line.size();) {
            const size_t gap = std::min(line.find("  ", at), line.size());
            cells.push_back(line.substr(at, gap - at));
            at = std::min(line.find_first_not_of(' ', gap), line.size());
        }
        if (cells.size() > 2 && cells[0] == windows && cells[1] == machine) return cells;
    }
    return {};
}

TEST(SetupSimCheck, FindingsOnTheBrokenPackages)
{
    const struct {
        const char* package;
        const char* subject;
        const char* kind;
    } rows[] = {
        {"broken-package", "Setup.ini [bus] support_types=I2C,PS2,USB,SMB,EXTRA,SPI", "too-many-bus-types"},
        {"broken-package", "Setup.ini [PS2] x64_support_win7=yes,CfgPS2", "malformed-support-entry"},
        {"broken-package", "Setup.ini [PS2] x64_support_win81=yes, CfgPS2, no", "support-entry-blanks"},
        {"broken-package", "Setup.ini configuration sections cfgi2c and CfgI2C", "section-names-differ-in-case"},
        {"broken-package", "Setup.ini [USB] x64_support_win81=yes,CfgGone,no", "missing-configuration-section"},
        {"broken-package", "Setup.ini [CfgNoInf] main_inf (missing)", "main-inf"},
        {"broken-package", "Setup.ini [CfgBadFolder] subfolder=Nowhere", "subfolder"},
        {"broken-package", "Setup.ini [EXTRA] x64_support_win81=yes,Cfg11,no", "too-many-configuration-sections"},
        {"broken-package", "I2C\\VxI2C.inf [Manufacturer]", "no-manufacturer-entry"},
        {"broken-package", "I2C\\VxI2C.inf [I2CModels.NTamd64.10.0] Vexa I2C Touchpad=VxI2C_Inst, ACPI\\VXB0804, *VXB0804",
         "model-description-blanks"},
        {"broken-package", "I2C\\VxI2C.inf [I2CModels.NTamd64.10.0] %TouchpadB%=VxI2C_Inst, Acpi\\Vxb0803, *VXB0803",
         "component-case"},
        {"broken-package", "SMB\\VxSMB.inf [SMBModels.NTamd64.6.3]", "models-section-missing"},
        {"broken-package", "BIG\\VxBig.inf [BigModels.NTamd64]", "models-section-cut"},
        {"broken-package", "Setup.ini [CfgBig] Path=\\BIG\\bin\\DPInst.exe", "no-inf-beside-engine"},
        {"broken-package", "I2C\\VxaVer.dll", "version-library-mismatch"},
        {"broken-package", "Setup.ini [CfgI2C] Silent=/f /sw /se", "option-leading-blank"},
        {"broken-package", "Setup.ini [CfgPS2] Support=5", "support-flags-no-exit-code"},
        {"broken-package",
         "Setup.ini [CfgPS2] Silent= /f /lm /sw /se /path C:\\Program Files\\Vexa\\Norde\\Touchpad\\Drivers\\PS2",
         "option-too-long"},
        {"broken-package", "Setup.ini [CfgPS2] Path=\\PS2\\DPInst.exe", "engine-wrong-machine"},
        {"broken-package", "PS2", "several-infs"},
        {"broken-package", "PS2\\VxPS2-extra.inf [Version] DriverVer", "driver-ver-unreadable"},
        {"broken-package", "Setup.ini [CfgUSB] Support=9", "support-flags-no-log"},
        {"broken-package", "Setup.ini [CfgUSB] Path=\\USB\\DPInst.exe", "engine-not-image"},
        {"broken-package", "Setup.ini [CfgSMB] Path=\\SMB\\DPInst.exe", "engine-missing"},
        {"broken-layout1-package", "Setup.ini [W832] Path (missing)", "fallback-undefined"},
        {"broken-layout1-package", "Setup.ini [W864] Path (missing)", "fallback-undefined"},
        {"broken-layout1-package", "Setup.ini [Vi64] Support (missing)", "support-flags-no-exit-code"},
        {"broken-layout1-package", "Setup.ini [Vi64] Support (missing)", "support-flags-no-log"},
        {"broken-layout1-package", "Setup.ini [Vi64] Path=.\\DPInst.exe", "engine-wrong-machine"},
    };
    const struct {
        const char* package;
        size_t findings;
    } packages[] = {{"broken-package", 24}, {"broken-layout1-package", 7}};
    for (const auto& package : packages) {
        const Output output = run_setup_sim("check " + EXAMPLES + "/" + package.package);
        for (const auto& row : rows) {
            if (std::string(row.package) != package.package) continue;
            // The subject's line, then the finding's text ending in its kind.
            const std::string subject = "\n  " + std::string(row.subject) + "\n    ";
            bool found = false;
            for (size_t at = output.text.find(subject); at != std::string::npos && !found;
                 at = output.text.find(subject, at + 1)) {
                const size_t end = output.text.find('\n', at + subject.size());
                found = output.text.compare(end - std::strlen(row.kind) - 2, std::strlen(row.kind) + 2,
                                            "[" + std::string(row.kind) + "]") == 0;
            }
            EXPECT_TRUE(found) << row.subject << " " << row.kind << "\n" << output.text;
        }
        EXPECT_TRUE(exit_status(output) == 1 &&
                    output.text.find("Findings: " + std::to_string(package.findings) + "\n") != std::string::npos)
            << output.text;
    }
}

// What the program does, row by row: the section, the options of the
// section that takes over, the prerequisite and the refusals with their reason.
TEST(SetupSimCheck, RowsTellWhatEachWindowsGets)
{
    using Cells = std::vector<std::string>;
    const struct {
        const char* package;
        const char* windows;
        const char* machine;
        Cells cells;  // section, engine, INF and DriverVer, outcome, result, exit code, command line
    } rows[] = {
        {"package", "Windows 7 x64", "no touch pad",
         {"W764", "\\x64\\DPInst.exe (x64)", "x64\\VxTouch.inf 19.2.4.7",
          "prerequisite dotNetFx40_Client_x86_x64.exe /q, then installs", "0", "0",
          "\"C:\\Package\\x64\\DPInst.exe\" /f /sw /se"}},
        {"package", "Windows 8.1 x86", "no touch pad",
         {"Vi32", ".\\DPInst.exe (x86)", "VxTouch.inf 19.2.4.7", "installs", "0", "0",
          "\"C:\\Package\\DPInst.exe\" /f /lm /sw /se"}},
        {"package", "Windows 2000", "no touch pad",
         {"-", "-", "-", "refused with message 2: no engine section for this Windows", "1633", "0", "-"}},
        {"layout2-package", "Windows 10 x64", "ACPI\\VXB0802",
         {"CfgI2C", "\\I2C\\DPInst.exe (x64)", "I2C\\VxI2C.inf 19.3.1.2",
          "refused with message 2: touch pad VXB0802 is listed in OnlyWin7", "1633", "1633",
          "\"C:\\Package\\I2C\\DPInst.exe\" /f /sw /se"}},
        {"layout2-package", "Windows 10 x86", "no touch pad",
         {"-", "-", "-", "\"This driver does not support your touchpad\"", "0", "0", "-"}},
        {"broken-package", "Windows 10 x64", "ACPI\\VXB0803",
         {"-", "-", "-", "\"This driver does not support your touchpad\"", "0", "0", "-"}},
        {"broken-package", "Windows 10 x64", "ACPI\\VXD0101",
         {"CfgUSB", "\\USB\\DPInst.exe (not an image, refused)", "USB\\VxUSB.inf 19.4.0.1",
          "ends without a message: the engine is not an image", "1633", "1633",
          "\"C:\\Package\\USB\\DPInst.exe\" /f /sw /se"}},
        // Both match; the bus listed last supplies the engine.
        {"broken-package", "Windows 8 x64", "ACPI\\VXB0801",
         {"Cfg10", "\\I2C\\DPInst.exe (x64)", "I2C\\VxI2C.inf 19.3.1.2", "version-library mismatch", "0", "0",
          "\"C:\\Package\\I2C\\DPInst.exe\" /f /sw /se"}},
    };
    std::map<std::string, std::string> reports;
    for (const auto& row : rows) {
        std::string& report = reports[row.package];
        if (report.empty()) report = run_setup_sim("check " + EXAMPLES + "/" + row.package).text;
        Cells expected{row.windows, row.machine};
        expected.insert(expected.end(), row.cells.begin(), row.cells.end());
        EXPECT_EQ(table_cells(report, row.windows, row.machine), expected) << report;
    }
}

TEST(SetupSimCheck, GoodExamplesAreClean)
{
    for (const char* package : {"package", "layout2-package"}) {
        const Output text = run_setup_sim("check " + EXAMPLES + "/" + package);
        EXPECT_TRUE(exit_status(text) == 0 && text.text.find("\nFindings: none\n") != std::string::npos) << text.text;
        const Output json =
            run_setup_sim("check --json " + EXAMPLES + "/" + package + " --machines " + EXAMPLES + "/machines");
        EXPECT_TRUE(exit_status(json) == 0 && json.text.find("\"machine\": \"win81-x64.ini\"") != std::string::npos &&
                    json.text.find("\"findings\": []}") != std::string::npos)
            << json.text;
    }
}

TEST(SetupSimCheck, ExitStatusTwoForAPackageItCannotRead)
{
    const std::string folder = "/tmp/setup-sim-check-empty-package";
    std::filesystem::create_directories(folder);
    for (const std::string& package : {folder, folder + "/missing"}) {
        const Output output = run_setup_sim("check " + package);
        EXPECT_EQ(exit_status(output), 2) << output.text;
    }
    // A settings file it can read, but with no bus type in layout 2.
    std::FILE* file = std::fopen((folder + "/Setup.ini").c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fputs("[metadata]\nmajor_version=2\n", file);
    std::fclose(file);
    const Output output = run_setup_sim("check " + folder);
    std::filesystem::remove_all(folder);
    EXPECT_TRUE(exit_status(output) == 1 && output.text.find("[no-bus-types]") != std::string::npos) << output.text;
}

}  // namespace
