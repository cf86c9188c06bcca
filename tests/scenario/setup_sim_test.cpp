// setup-sim as a user runs it: the example package on the example machines.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

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

TEST(SetupSim, AnswersAndBoxesInTheTranscript)
{
    const Output output = run_setup_sim("--machine " + EXAMPLES + "/machines/win2000.ini " + EXAMPLES + "/package");
    EXPECT_NE(output.text.find("Box 1: caption \"Setup.exe\", style 0x00000040, answer 1 (OK)\n"
                               "  text: This software does not work on your operating system. \\nClick OK to exit setup.\n"),
              std::string::npos)
        << output.text;
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
