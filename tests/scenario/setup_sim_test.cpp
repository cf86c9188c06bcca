// setup-sim as a user runs it: the example package on the example machines.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "platform/sim/codepage.h"
#include "program_version.h"

namespace {

struct Output {
    std::string text;
    int status;
};

// setup-sim with the words of `arguments`, in an environment that `assignments` ("NAME=value ...") changes.
Output run_setup_sim_in(const std::string& assignments, const std::string& arguments)
{
    const std::string command = assignments + " " + SETUP_SIM_PATH + " " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    Output output{"", -1};
    if (pipe == nullptr) return output;
    char chunk[4096];
    size_t read = 0;
    while ((read = fread(chunk, 1, sizeof chunk, pipe)) > 0) output.text.append(chunk, read);
    output.status = pclose(pipe);
    return output;
}

Output run_setup_sim(const std::string& arguments)
{
    return run_setup_sim_in("", arguments);
}

int exit_status(const Output& output)
{
    return WIFEXITED(output.status) ? WEXITSTATUS(output.status) : -1;
}

const std::string EXAMPLES = std::string(SOURCE_DIR) + "/examples";

// The events of the last run of a text transcript, one line each, without
// the lines under them and cut before what follows the item itself (" ("
// and the file's size, " -> " and the exit code).
std::vector<std::string> event_lines(const std::string& text)
{
    static const char* const EVENT_STARTS[] = {"Box ",          "Process ",      "Folder created: ", "File written: ",
                                               "File deleted: ", "Why: ",         "Restart: requested"};
    const size_t last_run = text.rfind("\nRun ");
    std::istringstream in(text.substr(last_run == std::string::npos ? 0 : last_run));
    std::vector<std::string> events;
    for (std::string line; std::getline(in, line);) {
        for (const char* start : EVENT_STARTS) {
            if (line.rfind(start, 0) == 0) events.push_back(line.substr(0, std::min(line.find(" ("), line.find(" -> "))));
        }
    }
    return events;
}

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
// extraction lists the folders it made and the files it copied, each where it
// made it.
TEST(SetupSim, CommandLinePassesThroughAndExtractionIsListed)
{
    const Output output = run_setup_sim(EXAMPLES + "/layout2-package '/extract_all:\"C:\\my  drivers\"'");
    EXPECT_NE(output.text.find("Command line: /extract_all:\"C:\\my  drivers\"\n"), std::string::npos) << output.text;
    EXPECT_NE(output.text.find("Folder created: C:\\my  drivers\\production\\Windows8-x64\n"
                               "File written: C:\\my  drivers\\production\\Windows8-x64\\DPInst.exe"),
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

// Each run's events in the order they happened, what the drives show placed
// where the run changed it: the first install says why (no driver installed)
// and the second asks and says why (both versions) before the engine runs,
// the engine's log and then the program's own come after it, the folders of
// the program's log before that log, and the log before the restart.
TEST(SetupSim, EventsInTheOrderTheyHappened)
{
    const std::string reinstall = "--runs 2 --answers Yes --machine " + EXAMPLES +
                                  "/machines/win10-x64-installs-driver.ini " + EXAMPLES + "/package";
    const std::string log_folders = "{\"kind\": \"folder\", \"index\": 0}, {\"kind\": \"folder\", \"index\": 1}, "
                                    "{\"kind\": \"folder\", \"index\": 2}";
    const struct {
        std::string arguments;
        std::vector<std::string> events;  // of each run
    } rows[] = {
        {reinstall,
         {"[{\"kind\": \"reason\", \"index\": 0}, {\"kind\": \"process\", \"index\": 0}, {\"kind\": \"file\", \"index\": 0}, " +
              log_folders + ", {\"kind\": \"file\", \"index\": 1}]",
          "[{\"kind\": \"box\", \"index\": 0}, {\"kind\": \"reason\", \"index\": 0}, {\"kind\": \"process\", \"index\": 0}, "
          "{\"kind\": \"file\", \"index\": 0}, {\"kind\": \"file\", \"index\": 1}]"}},
        {"--machine " + EXAMPLES + "/machines/win81-x64.ini " + EXAMPLES + "/package /s /vFORCERESTART=true",
         {"[{\"kind\": \"reason\", \"index\": 0}, {\"kind\": \"process\", \"index\": 0}, " + log_folders +
          ", {\"kind\": \"file\", \"index\": 0}, {\"kind\": \"restart\"}]"}},
    };
    for (const auto& row : rows) {
        const Output json = run_setup_sim("--json " + row.arguments);
        std::vector<std::string> events;
        const std::string key = "\"events\": ";
        for (size_t at = json.text.find(key); at != std::string::npos; at = json.text.find(key, at + 1)) {
            events.push_back(json.text.substr(at + key.size(), json.text.find(']', at) + 1 - at - key.size()));
        }
        EXPECT_EQ(events, row.events) << json.text;
    }
    const std::string text = run_setup_sim(reinstall).text;
    const size_t second_run = text.find("Run 2 of 2\n");
    const size_t box = text.find("Box 1: ", second_run);
    const size_t engine = text.find("Process 1: \"C:\\Package\\x64\\DPInst.exe\" /f -> exit code", second_run);
    const size_t engine_log = text.find("File written: C:\\Windows\\DpInst.log", second_run);
    const size_t log = text.find("File written: C:\\Windows\\Rire\\UpdatePackage\\log\\Setup.log", second_run);
    EXPECT_TRUE(second_run < box && box < engine && engine < engine_log && engine_log < log &&
                log != std::string::npos)
        << text;
}

// The log and the copy LOGFILE asks for come in the order the program writes
// them, whatever their names: Setup.log (its folders first), then the copy
// (its folders first), also when the copy lies beside the log, when it
// replaces the file an earlier run left, and with the engine's log joined to
// them. The machine's clock stands still, so all of a run's writes fall in
// one second.
TEST(SetupSim, LogCopyAfterTheLog)
{
    const std::string package = EXAMPLES + "/package /s ";
    const std::string no_driver = "Why: installed version none";  // before the engine
    const std::string engine = "Process 1: \"C:\\Package\\x64\\DPInst.exe\" /f /sw /se";
    const std::string rire = "Folder created: C:\\Windows\\Rire";
    const std::string update_package = rire + "\\UpdatePackage";
    const std::string log_folder = update_package + "\\log";
    const std::string log = "File written: C:\\Windows\\Rire\\UpdatePackage\\log\\Setup.log";
    const struct {
        std::string arguments;
        std::vector<std::string> events;  // of the last run
    } rows[] = {
        {package + "'/vLOGFILE=C:\\Logs\\touchpad.log'",
         {no_driver, engine, rire, update_package, log_folder, log, "Folder created: C:\\Logs",
          "File written: C:\\Logs\\touchpad.log"}},
        {package + "'/vLOGFILE=C:\\Windows\\Rire\\UpdatePackage\\log\\Copy.log'",
         {no_driver, engine, rire, update_package, log_folder, log,
          "File written: C:\\Windows\\Rire\\UpdatePackage\\log\\Copy.log"}},
        {"--runs 2 " + package + "'/vLOGFILE=C:\\Logs\\touchpad.log'",
         {no_driver, engine, log, "File written: C:\\Logs\\touchpad.log"}},
        {"--machine " + EXAMPLES + "/machines/win10-x64-installs-driver.ini " + package +
             "'/v\"DEBUG=true LOGFILE=C:\\ProgramData\\Touchpad\\Setup.log\"'",
         {no_driver, engine, "File written: C:\\Windows\\DpInst.log", rire, update_package, log_folder, log,
          "Folder created: C:\\ProgramData", "Folder created: C:\\ProgramData\\Touchpad",
          "File written: C:\\ProgramData\\Touchpad\\Setup.log"}},
    };
    for (const auto& row : rows) {
        const Output output = run_setup_sim(row.arguments);
        EXPECT_EQ(event_lines(output.text), row.events) << row.arguments << "\n" << output.text;
    }
}

// A folder of its own for the inputs of the tests below, the runs' working
// folder, and $TMPDIR of the runs, to see that they leave no temporary folder
// behind.
class SetupSimInputs : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/setup-sim-inputs-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        work_ = pattern;
        std::filesystem::create_directory(work_ + "/tmp");
    }
    void TearDown() override { std::filesystem::remove_all(work_); }

    // A copy of the example package with `extra` made in it.
    std::string package(const std::string& name, const std::function<void(const std::string&)>& extra = {})
    {
        const std::string folder = work_ + "/" + name;
        std::filesystem::copy(EXAMPLES + "/package", folder, std::filesystem::copy_options::recursive);
        if (extra) extra(folder);
        return folder;
    }
    std::string file(const std::string& name, const std::string& bytes)
    {
        const std::string path = work_ + "/" + name;
        std::FILE* out = std::fopen(path.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), out);
        std::fclose(out);
        return path;
    }
    Output run(const std::string& arguments)
    {
        return run_setup_sim_in("cd " + work_ + " && TMPDIR=" + work_ + "/tmp", arguments);
    }
    bool temporary_folders_left() const { return !std::filesystem::is_empty(work_ + "/tmp"); }

    std::string work_;
};

// Bad invocations and inputs, and the conventions of the command: each
// ends with its exit status and a message naming what is wrong, in UTF-8,
// with no temporary folder left.
TEST_F(SetupSimInputs, EachEndsWithItsStatusAndMessage)
{
    const std::string pkg = package("pkg");
    const std::string kept_drive = work_ + "/kept";
    std::filesystem::create_directories(kept_drive + "/Package");
    file("kept/Package/Old.inf", "[Version]\n");
    const std::string hebrew_program = file("hebrew.ini", "[Machine]\nSystemLanguage=0x040D\nUILanguage=0x0409\n"
                                                          "Program=C:\\חבילה\\Setup.exe\n");
    const struct {
        std::string arguments;
        int status;
        std::string message;  // a part of the output
    } rows[] = {
        {"--help", 0, "usage: setup-sim [--json]"},
        {"-h", 0, "usage: setup-sim [--json]"},
        {"--help", 0, "\n       setup-sim check [--json | --wide] [--machines PROFILE_FOLDER] PACKAGE_FOLDER\n"},
        {"--version", 0, "setup-sim " SETUP_VERSION_TEXT "\n"},
        {"check -h", 0, "usage: setup-sim check"},
        {"check --version", 0, "setup-sim check " SETUP_VERSION_TEXT "\n"},
        {"", 64, "setup-sim: no package folder\nusage:"},
        {"--jsn " + pkg, 64, "setup-sim: unknown option --jsn\nusage:"},
        {"--runs", 64, "setup-sim: --runs needs a value"},
        {"--runs 0 " + pkg, 64, "--runs takes a number from 1 to 100"},
        {"--answers Maybe " + pkg, 64, "unknown answer Maybe"},
        {"check --jsn " + pkg, 64, "setup-sim check: unknown option --jsn\nusage:"},
        {"check --json --wide " + pkg, 64, "setup-sim check: --json and --wide exclude each other: "},
        {"check --wide " + pkg + " --json", 64, "setup-sim check: --json and --wide exclude each other: "},
        {"check", 64, "setup-sim check: no package folder"},
        // The first word: a command, an option, or a package folder, even a
        // bare name; any other bare name is a mistyped command.
        {"chek " + pkg, 64, "setup-sim: unknown command chek (the commands: check); no package folder chek either\nusage:"},
        {"pkg /s", 0, "Result: 0 SUCCESS\n"},
        {"-- chek", 2, "setup-sim: no package folder chek\n"},
        // The program's exit code for scripts: 1641 has the low 8 bits 105.
        {"--exit-code --machine " + EXAMPLES + "/machines/win81-x64.ini " + pkg + " /s", 105, "Exit code: 1641\n"},
        {work_ + "/nowhere", 2, "setup-sim: no package folder " + work_ + "/nowhere\n"},
        {"'" + work_ + "/Gr\xF6\xDF" + "e'", 2, "no package folder " + work_ + "/Gr\\xF6\\xDFe\n"},
        {package("loop", [](const std::string& f) { std::filesystem::create_symlink("self", f + "/self"); }), 2,
         "setup-sim: " + work_ + "/loop/self: a link in a loop of links\n"},
        {package("dangling", [](const std::string& f) { std::filesystem::create_symlink("gone.inf", f + "/x64/a.inf"); }),
         2, "setup-sim: " + work_ + "/dangling/x64/a.inf: a link to gone.inf, which does not exist\n"},
        {package("up", [](const std::string& f) { std::filesystem::create_directory_symlink("..", f + "/x64/up"); }), 2,
         "setup-sim: " + work_ + "/up/x64/up: a link to a folder that holds it, a loop\n"},
        {package("fifo", [](const std::string& f) { mkfifo((f + "/pipe").c_str(), 0600); }), 2,
         "setup-sim: " + work_ + "/fifo/pipe: neither a file nor a folder"},
        {"--keep-root /proc/nope " + pkg, 2, "setup-sim: --keep-root /proc/nope: No such file or directory\n"},
        {"--keep-root " + pkg + "/kept " + pkg, 2, "--keep-root " + pkg + "/kept lies in the package folder " + pkg},
        {"--keep-root " + kept_drive + " " + pkg + " /s", 0,
         "setup-sim: drive C: " + kept_drive + " is used again: its 2 files and folders from before stay as they "
         "are; in the program folder, 1 the package does not hold: C:\\Package\\Old.inf\n"},
        {"--machine " + file("version.ini", "[Machine]\nVersion=4294967296.1\n") + " " + pkg, 2,
         work_ + "/version.ini:2: [Machine] Version: expected major.minor[.build], numbers from 0 to 4294967295\n"},
        {"--machine " + file("codepage.ini", "[Machine]\r\n\r\nCodePage=1234\r\n") + " " + pkg, 2,
         work_ + "/codepage.ini:3: [Machine] CodePage: expected 0 (the system language's) or a code page"},
        {"--machine " + file("early.ini", "; a machine\nVersion=6.1\n[Machine]\n") + " " + pkg, 2,
         work_ + "/early.ini:2: \"Version\" stands before any section\n"},
        {"--machine " + file("mark.ini", "\xEF\xBB\xBF[Machine]\nVersion=6.1\n") + " " + pkg, 2,
         work_ + "/mark.ini:1: a UTF-8 byte-order mark, which INI reading does not understand"},
        {"--machine " + file("drive.ini", "[Drives]\nC=new-drive\n") + " " + pkg, 2,
         work_ + "/drive.ini:2: [Drives] C: no folder " + work_ + "/new-drive\n"},
        {"--machine " + file("typo.ini", "[Machine]\nVersoin=6.1\n") + " " + pkg, 2,
         work_ + "/typo.ini:2: [Machine] Versoin: unknown key\n"},
        {"--machine " + work_ + " " + pkg, 2, "setup-sim: " + work_ + ": not a file\n"},
        {"check --machines " + work_ + " " + pkg, 2, "setup-sim check: " + work_ + "/codepage.ini:3: [Machine] CodePage"},
        // Paths of the machine in its code page (1255), in JSON too (the
        // profile names the program's folder in Unicode).
        {"--json --machine " + hebrew_program + " " + pkg + " /s", 0,
         R"("program": "C:\\חבילה\\Setup.exe", "command_line": "/s")"},
    };
    for (const auto& row : rows) {
        const Output output = run(row.arguments);
        EXPECT_TRUE(exit_status(output) == row.status && output.text.find(row.message) != std::string::npos &&
                    sim::escaped_utf8(output.text) == output.text && !temporary_folders_left())
            << row.arguments << " -> " << exit_status(output) << "\n" << output.text;
    }
    EXPECT_FALSE(std::filesystem::exists(pkg + "/kept"));
    EXPECT_FALSE(std::filesystem::exists(work_ + "/new-drive"));
}

// A run that rewrites a file with the bytes it had lists it all the same.
TEST_F(SetupSimInputs, AFileRewrittenWithTheSameBytesIsListed)
{
    const Output output = run("--runs 2 " + package("pkg") + " /s");
    const size_t second_run = output.text.find("Run 2 of 2\n");
    EXPECT_NE(output.text.find("File written: C:\\Windows\\Rire\\UpdatePackage\\log\\Setup.log", second_run),
              std::string::npos)
        << output.text;
}

// Why the last run went as it did, in the order the lines come: the
// sections, hardware IDs and devices behind the unsupported-touchpad notice,
// the two versions behind the version-library box, the installed and package
// versions where the run compared them, the value and registry view that held
// no installed driver (a driver that left its version in the other view is
// not found), a missing settings file.
TEST_F(SetupSimInputs, SaysWhyTheRunWentAsItDid)
{
    const std::string machines = EXAMPLES + "/machines/";
    const std::string scenarios = std::string(SOURCE_DIR) + "/tests/wine/scenarios/";
    const auto scenario_package = [&](const std::string& name) {
        const std::string folder = work_ + "/" + name;
        std::filesystem::copy(scenarios + name + "/package", folder, std::filesystem::copy_options::recursive);
        std::filesystem::copy(EXAMPLES + "/package/DPInst.exe", folder + "/DPInst.exe");
        return folder;
    };
    const std::string other_vendors = file("other-vendors.ini",
                                           "[Machine]\nVersion=10.0.19045\nArchitecture=x64\n[Devices]\nBuiltin=no\n"
                                           "[Device:ACPI\\VXB0900\\1]\nClass=Mouse\nHardwareIDs=ACPI\\VXB0900\n"
                                           "[Device:ACPI\\SYN1E10\\4&VXB0&0]\nClass=Mouse\nHardwareIDs=ACPI\\SYN1E10\n");
    const std::string reinstall = "--runs 2 --machine " + machines + "win10-x64-installs-driver.ini " + EXAMPLES + "/package";
    const std::string kurso = "HKEY_LOCAL_MACHINE\\Software\\Vexa\\Kurso, ProductVer";
    const std::string package_x64 = "package version 19.2.4.7 (DriverVer of C:\\Package\\x64\\VxTouch.inf)";
    const std::string same_version = "installed version 19.2.4.7 (" + kurso + "), " + package_x64 +
                                     ": the same version is installed";
    const struct {
        std::string arguments;
        std::vector<std::string> reasons;
    } rows[] = {
        {"--machine " + other_vendors + " " + EXAMPLES + "/layout2-package /s",
         {"bus I2C: x64_support_win10 names section CfgI2C; C:\\Package\\I2C\\VxI2C.inf "
          "[I2CModels.NTamd64.10.0] wants VXB0801, VXB0802",
          "bus PS2: x64_support_win10 names section CfgPS2; C:\\Package\\PS2\\VxPS2.inf [PS2Models.NTamd64] wants "
          "VXA0704",
          "devices seen: 2, none with a wanted ID; of the wanted vendors: ACPI\\VXB0900\\1"}},
        {"--machine " + machines + "win7-x86.ini " + scenario_package("version_library_mismatch") + " /s",
         {"C:\\Package\\VxaVer.dll has product version \"8, 1, 0, 83\"; the DriverVer of "
          "C:\\Package\\touchpad.inf gives \"8, 1, 0, 84\""}},
        {"--machine " + machines + "win7-x86.ini " + scenario_package("missing_settings") + " /s",
         {"no settings file C:\\Package\\Setup.ini: the run takes the program's defaults (layout 1, engine "
          ".\\DPInst.exe, that is C:\\Package\\DPInst.exe)",
          "installed version none (" + kurso + ", in the registry of 32-bit Windows: not there), package version "
          "8.1.0.83 (DriverVer of C:\\Package\\touchpad.inf): no driver is installed"}},
        {"--machine " + machines + "win7-x86.ini " + scenarios + "missing_settings/package /s",
         {"no settings file C:\\Package\\Setup.ini: the run takes the program's defaults (layout 1, engine "
          ".\\DPInst.exe, that is C:\\Package\\DPInst.exe), which is missing"}},
        {reinstall + " /s", {same_version}},
        {reinstall + " /s /vFORCE=false", {same_version + "; FORCE is off, so the run does not install over it"}},
        {"--answers No " + reinstall, {same_version}},
        {"--machine " + machines + "win10-x64-installs-driver.ini " + EXAMPLES + "/package /s",
         {"installed version none (" + kurso + ", in the 64-bit view: not there), " + package_x64 +
          ": no driver is installed"}},
        {"--machine " + file("wow6432node.ini", "[Machine]\nVersion=10.0.19045\nArchitecture=x64\n"
                                                 "[Registry32:HKLM\\SOFTWARE\\Vexa\\Kurso]\nProductVer=Kurso 19.2.4.7\n") +
             " " + EXAMPLES + "/package",
         {"installed version none (" + kurso + ", in the 64-bit view: not there), " + package_x64 +
          ": no driver is installed"}},
        {"--machine " + machines + "layout2-ps2.ini " + EXAMPLES + "/layout2-package /s",
         {"installed version none (HKEY_LOCAL_MACHINE\\Software\\Vexa\\VexaStick\\Common\\Current, ProductVer, in "
          "the 64-bit view: not there), package version 19.2.4.7 (DriverVer of C:\\Package\\PS2\\VxPS2.inf): no "
          "driver is installed"}},
    };
    for (const auto& row : rows) {
        const Output output = run(row.arguments);
        std::vector<std::string> reasons;
        const size_t second_run = output.text.find("Run 2 of 2\n");
        for (size_t at = output.text.find("\nWhy: ", second_run == std::string::npos ? 0 : second_run); at != std::string::npos;
             at = output.text.find("\nWhy: ", at + 1)) {
            reasons.push_back(output.text.substr(at + 6, output.text.find('\n', at + 1) - at - 6));
        }
        EXPECT_EQ(reasons, row.reasons) << row.arguments << "\n" << output.text;
    }
}

// A check stopped by a signal removes its temporary folders on the way out.
TEST_F(SetupSimInputs, ASignalLeavesNoTemporaryFolder)
{
    const std::string machines = EXAMPLES + "/machines";
    const std::string package = EXAMPLES + "/broken-package";
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        setenv("TMPDIR", (work_ + "/tmp").c_str(), 1);
        std::freopen("/dev/null", "w", stdout);
        execl(SETUP_SIM_PATH, SETUP_SIM_PATH, "check", "--machines", machines.c_str(), package.c_str(), nullptr);
        _exit(127);
    }
    for (int waited = 0; waited < 10000 && !temporary_folders_left(); ++waited) usleep(1000);
    const bool caught_in_the_act = temporary_folders_left();
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(caught_in_the_act && WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    EXPECT_FALSE(temporary_folders_left());
}

}  // namespace

// setup-sim check on the example packages: every finding it has on the
// broken ones, with the line or file it names, and nothing on the good ones.
namespace {

// The cells of the check's table line for this Windows, machine and run
// (cells stand two blanks or more apart); none when there is no such line.
std::vector<std::string> table_cells(const std::string& text, const std::string& windows, const std::string& machine,
                                     const std::string& run)
{
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string> cells;
        for (size_t at = 0; at < line.size();) {
            const size_t gap = std::min(line.find("  ", at), line.size());
            cells.push_back(line.substr(at, gap - at));
            at = std::min(line.find_first_not_of(' ', gap), line.size());
        }
        if (cells.size() > 3 && cells[0] == windows && cells[1] == machine && cells[2] == run) return cells;
    }
    return {};
}

// Packages made from an example with a few files changed: each edit puts
// `text` in place of every `old` of the file, or at its end when `old` is
// empty. Moves rename
// a file or folder first, or remove it when they have no new name.
struct Edit {
    const char* file;
    std::string old;
    std::string text;
};
struct Move {
    const char* from;
    const char* to;
};
struct Variant {
    const char* name;
    const char* example;
    std::vector<Edit> edits;
    std::vector<Move> moves;
};

const std::string UTF8_BOM = "\xEF\xBB\xBF";
const std::string GROESSE_1252 = "Gr\xF6\xDF" "e";

const Variant VARIANTS[] = {
    {"package-onlywin7", "package", {{"Setup.ini", "", "\n[SupportOS_Option]\nOnlyWin7=VXA0704\n"}}, {}},
    {"package-onlywin7-undeclared", "package", {{"Setup.ini", "", "\n[SupportOS_Option]\nOnlyWin7=VXA0704,VXA0705\n"}}, {}},
    {"package-onlywin7-lower-case", "package", {{"Setup.ini", "", "\n[SupportOS_Option]\nOnlyWin7=vxa0704\n"}}, {}},
    {"package-driverver-three",
     "package",
     {{"VxTouch.inf", "19.2.4.7", "19.2.4"}, {"x64/VxTouch.inf", "19.2.4.7", "19.2.4"}},
     {}},
    {"package-driverver-swapped",
     "package",
     {{"VxTouch.inf", "11/20/2026,19.2.4.7", "19.2.4.7,11/20/2026"},
      {"x64/VxTouch.inf", "11/20/2026,19.2.4.7", "19.2.4.7,11/20/2026"}},
     {}},
    // The x64 folder is "Größe"; the settings name it in UTF-8 or in code page 1252.
    {"package-folder-utf8", "package", {{"Setup.ini", "Path=\\x64\\", "Path=\\Größe\\"}}, {{"x64", "Größe"}}},
    {"package-folder-1252", "package", {{"Setup.ini", "Path=\\x64\\", "Path=\\" + GROESSE_1252 + "\\"}}, {{"x64", "Größe"}}},
    {"package-bom", "package", {{"Setup.ini", "; Settings", UTF8_BOM + "; Settings"}}, {}},
    {"layout2-bom",
     "layout2-package",
     {{"Setup.ini", "[metadata]\nmajor_version=2\nminor_version=0\n", ""},
      {"Setup.ini", "; Settings", UTF8_BOM + "[metadata]\nmajor_version=2\n; Settings"}},
     {}},
    {"layout2-unknown-key",
     "layout2-package",
     {{"Setup.ini", "x64_support_win81=yes,CfgI2C", "x64_suport_win81=yes,CfgI2C"}},
     {}},
    {"layout2-key-near-a-support-key",
     "layout2-package",
     {{"Setup.ini", "x64_support_win10=yes,CfgI2C", "x64_support_windows10=yes,CfgI2C"}},
     {}},
    {"layout2-ids-differ-by-bitness",
     "layout2-package",
     {{"Setup.ini", "x64_support_win10=yes,CfgI2C,yes,I2C", "x64_support_win10=yes,CfgI2C,yes,I2C\nx86_support_win10=yes,CfgI2C,yes,I2C"},
      {"I2C/VxI2C.inf", "I2CModels,NTamd64.10.0,NTamd64.6.1", "I2CModels,NTamd64.10.0,NTamd64.6.1,NTx86.10.0"},
      {"I2C/VxI2C.inf", "[I2CModels.NTamd64.10.0]",
       "[I2CModels.NTx86.10.0]\n%TouchpadA%=VxI2C_Inst, ACPI\\VXB8001, *VXB8001\n\n[I2CModels.NTamd64.10.0]"}},
     {}},
    {"layout2-decoration-inside-another",
     "layout2-package",
     {{"PS2/VxPS2.inf", "%Vendor%=PS2Models,NTamd64", "%Vendor%=PS2Models,NTamd64.6.2"},
      {"PS2/VxPS2.inf", "[PS2Models.NTamd64]", "[PS2Models.NTamd64.6.2]"}},
     {}},
    {"layout2-list-with-semicolon", "layout2-package", {{"Setup.ini", "support_types=I2C,PS2", "support_types=I2C;PS2"}}, {}},
    {"layout2-unknown-decoration",
     "layout2-package",
     {{"I2C/VxI2C.inf", "I2CModels,NTamd64.10.0", "I2CModels,NTx64.10.0"},
      {"I2C/VxI2C.inf", "[I2CModels.NTamd64.10.0]", "[I2CModels.NTx64.10.0]"}},
     {}},
    {"package-typos",
     "package",
     {{"Setup.ini", "[W764]", "[W7_64]"}, {"Setup.ini", "Silent=\" /f /lm /sw /se\"", "Sielnt=\" /f /lm /sw /se\""}},
     {}},
    {"package-key-typo", "package", {{"Setup.ini", "[XP32]\nPath=.\\DPInst.exe\nSupport=29", "[XP32]\nPath=.\\DPInst.exe\nSuport=29"}}, {}},
    {"package-section-never-read", "package", {{"Setup.ini", "", "\n[Extras]\nLanguage=en\n"}}, {}},
    {"package-sections-never-read", "package", {{"Setup.ini", "", "\n[Extras]\nLanguage=en\n[Notes]\nAuthor=me\n"}}, {}},
    {"package-prerequisite-not-a-program",
     "package",
     {{"DotNetFx/dotNetFx40_Client_x86_x64.exe", "", "MZ, but no program"}},
     {{"DotNetFx/dotNetFx40_Client_x86_x64.exe", nullptr}}},
    {"layout2-vendor-only",
     "layout2-package",
     {{"I2C/VxI2C.inf", "[I2CModels.NTamd64]\n", "[I2CModels.NTamd64]\n%TouchpadC%=VxI2C_Inst, HID\\VID_1D6B&PID_0104\n"}},
     {}},
    {"package-forward-slashes", "package", {{"Setup.ini", "[W864]\nPath=\\x64\\", "[W864]\nPath=x64/"}}, {}},
    {"package-hexadecimal-support",
     "package",
     {{"Setup.ini", "[W864]\nPath=\\x64\\DPInst.exe\nSupport=13", "[W864]\nPath=\\x64\\DPInst.exe\nSupport=0x0D"},
      {"Setup.ini", "[W764]\nPath=\\x64\\DPInst.exe\nSupport=29", "[W764]\nPath=\\x64\\DPInst.exe\nSupport=0X1D"}},
     {}},
    {"package-without-settings", "package", {}, {{"Setup.ini", nullptr}}},
};

std::string file_text(const std::string& path)
{
    std::string bytes;
    if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
        char chunk[4096];
        for (size_t read = 0; (read = std::fread(chunk, 1, sizeof chunk, file)) > 0;) bytes.append(chunk, read);
        std::fclose(file);
    }
    return bytes;
}

// A folder of this test process's own below the temporary folder, made
// afresh: CTest runs tests side by side, and two that made the same variant
// in one shared place would remove each other's files. The process's folder
// goes when it ends.
std::filesystem::path scratch_folder(const std::string& name)
{
    namespace fs = std::filesystem;
    static const struct Root {
        fs::path path = fs::temp_directory_path() / ("setup-sim-test-" + std::to_string(getpid()));
        ~Root()
        {
            std::error_code ignored;
            fs::remove_all(path, ignored);
        }
    } root;
    const fs::path folder = root.path / name;
    fs::remove_all(folder);
    fs::create_directories(folder.parent_path());
    return folder;
}

// The folder of an example package, or of a variant, made afresh.
std::string package_path(const std::string& name)
{
    const auto variant = std::find_if(std::begin(VARIANTS), std::end(VARIANTS),
                                      [&](const Variant& candidate) { return name == candidate.name; });
    if (variant == std::end(VARIANTS)) return EXAMPLES + "/" + name;
    namespace fs = std::filesystem;
    const fs::path folder = scratch_folder(name);
    fs::copy(EXAMPLES + "/" + variant->example, folder, fs::copy_options::recursive);
    for (const Move& move : variant->moves) {
        if (move.to == nullptr) {
            fs::remove_all(folder / move.from);
        } else {
            fs::rename(folder / move.from, folder / move.to);
        }
    }
    for (const Edit& edit : variant->edits) {
        std::string bytes = file_text((folder / edit.file).string());
        size_t at = edit.old.empty() ? bytes.size() : bytes.find(edit.old);
        if (at == std::string::npos) ADD_FAILURE() << name << ": no " << edit.old << " in " << edit.file;
        for (; at != std::string::npos; at = edit.old.empty() ? std::string::npos : bytes.find(edit.old, at + edit.text.size())) {
            bytes.replace(at, edit.old.size(), edit.text);
        }
        std::FILE* file = std::fopen((folder / edit.file).c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }
    return folder.string();
}

// A machine profile folder: Windows 10 x64 with each of the [Machine] lines.
std::string machines_folder(const std::string& name, const std::vector<std::string>& machines)
{
    const std::string folder = scratch_folder("machines-" + name).string();
    std::filesystem::create_directories(folder);
    for (size_t i = 0; i < machines.size(); ++i) {
        std::FILE* file = std::fopen((folder + "/machine" + std::to_string(i) + ".ini").c_str(), "w");
        std::fprintf(file, "[Machine]\nVersion=10.0.19045\nPlatform=NT\nArchitecture=x64\n%s\n", machines[i].c_str());
        std::fclose(file);
    }
    return folder;
}

// A finding as the JSON report begins it.
std::string json_finding(std::string file, int line, const char* severity, const char* kind)
{
    for (size_t at = file.find('\\'); at != std::string::npos; at = file.find('\\', at + 2)) file.insert(at, "\\");
    return "{\"file\": \"" + file + "\", \"line\": " + std::to_string(line) + ", \"severity\": \"" + severity +
           "\", \"kind\": \"" + kind + "\"";
}

// Each finding the check has on a package, by file, line, severity and kind,
// and how many findings it has in all.
TEST(SetupSimCheck, FindingsNameFileAndLine)
{
    const struct {
        const char* package;
        const char* file;
        int line;
        const char* severity;
        const char* kind;
    } rows[] = {
        {"broken-package", "Setup.ini", 10, "error", "too-many-bus-types"},
        {"broken-package", "Setup.ini", 22, "error", "malformed-support-entry"},
        {"broken-package", "Setup.ini", 24, "error", "support-entry-blanks"},
        {"broken-package", "Setup.ini", 48, "warning", "section-names-differ-in-case"},
        {"broken-package", "Setup.ini", 29, "error", "missing-configuration-section"},
        {"broken-package", "Setup.ini", 81, "error", "main-inf"},
        {"broken-package", "Setup.ini", 88, "error", "subfolder"},
        {"broken-package", "Setup.ini", 41, "error", "too-many-configuration-sections"},
        {"broken-package", "I2C\\VxI2C.inf", 11, "error", "no-manufacturer-entry"},
        {"broken-package", "I2C\\VxI2C.inf", 19, "error", "model-description-blanks"},
        {"broken-package", "I2C\\VxI2C.inf", 18, "error", "component-case"},
        {"broken-package", "SMB\\VxSMB.inf", 12, "error", "models-section-missing"},
        {"broken-package", "BIG\\VxBig.inf", 15, "error", "models-section-cut"},
        {"broken-package", "Setup.ini", 98, "error", "no-inf-beside-engine"},
        {"broken-package", "I2C\\VxaVer.dll", 0, "error", "version-library-mismatch"},
        {"broken-package", "Setup.ini", 52, "warning", "option-leading-blank"},
        {"broken-package", "Setup.ini", 64, "warning", "support-flags-no-exit-code"},
        {"broken-package", "Setup.ini", 63, "error", "option-too-long"},
        {"broken-package", "Setup.ini", 61, "error", "engine-wrong-machine"},
        {"broken-package", "PS2", 0, "warning", "several-infs"},
        {"broken-package", "PS2\\VxPS2-extra.inf", 3, "warning", "driver-ver-unreadable"},
        {"broken-package", "Setup.ini", 71, "warning", "support-flags-no-log"},
        {"broken-package", "Setup.ini", 70, "error", "engine-not-image"},
        {"broken-package", "Setup.ini", 77, "error", "engine-missing"},
        {"broken-layout1-package", "Setup.ini", 34, "warning", "fallback-undefined"},
        {"broken-layout1-package", "Setup.ini", 37, "error", "fallback-undefined"},
        {"package-driverver-three", "x64\\VxTouch.inf", 7, "error", "driver-ver-not-four-numbers"},
        {"package-driverver-swapped", "VxTouch.inf", 7, "error", "driver-ver-not-four-numbers"},
        {"package-folder-utf8", "Setup.ini", 20, "error", "settings-not-in-code-page"},
        {"package-folder-1252", "Größe", 0, "warning", "name-outside-ascii"},
        {"package-bom", "Setup.ini", 1, "warning", "utf8-byte-order-mark"},
        {"layout2-bom", "Setup.ini", 1, "error", "utf8-byte-order-mark"},
        {"layout2-unknown-key", "Setup.ini", 19, "error", "unread-key"},
        {"layout2-key-near-a-support-key", "Setup.ini", 20, "error", "unread-key"},
        {"layout2-list-with-semicolon", "Setup.ini", 15, "error", "list-separator"},
        {"layout2-decoration-inside-another", "PS2\\VxPS2.inf", 12, "error", "models-section-missing"},
        {"layout2-ids-differ-by-bitness", "I2C\\VxI2C.inf", 16, "warning", "touch-pad-on-one-bitness"},
        {"layout2-ids-differ-by-bitness", "I2C\\VxI2C.inf", 19, "warning", "touch-pad-on-one-bitness"},
        {"layout2-unknown-decoration", "I2C\\VxI2C.inf", 13, "error", "unknown-decoration"},
        {"package-typos", "Setup.ini", 35, "error", "unread-section"},
        {"package-typos", "Setup.ini", 46, "error", "unread-key"},
        {"package-section-never-read", "Setup.ini", 53, "warning", "unread-section"},
        {"package-key-typo", "Setup.ini", 17, "error", "unread-key"},
        {"package-sections-never-read", "Setup.ini", 53, "warning", "unread-section"},
        {"package-onlywin7-undeclared", "Setup.ini", 54, "error", "only-win7-unknown-touch-pad"},
        {"package-onlywin7-lower-case", "Setup.ini", 54, "error", "only-win7-unknown-touch-pad"},
        {"package-prerequisite-not-a-program", "DotNetFx\\dotNetFx40_Client_x86_x64.exe", 0, "error", "run-fails"},
        {"broken-layout1-package", "DPInst.exe", 0, "error", "run-fails"},
        {"broken-layout1-package", "x64\\DPInst.exe", 0, "error", "run-fails"},
        {"layout2-vendor-only", "I2C\\VxI2C.inf", 24, "warning", "vendor-only-component"},
        {"package-forward-slashes", "Setup.ini", 50, "warning", "path-forward-slashes"},
        {"package-hexadecimal-support", "Setup.ini", 51, "warning", "support-hexadecimal"},
        {"package-hexadecimal-support", "Setup.ini", 37, "error", "support-hexadecimal"},
        {"package-without-settings", "Setup.ini", 0, "note", "no-settings-file"},
    };
    const struct {
        const char* package;
        size_t findings;
    } packages[] = {{"broken-package", 24},
                    {"broken-layout1-package", 4},
                    {"package-driverver-three", 2},
                    {"package-driverver-swapped", 2},
                    {"package-folder-utf8", 4},
                    {"package-folder-1252", 1},
                    {"package-bom", 1},
                    {"layout2-bom", 1},
                    {"layout2-unknown-key", 1},
                    {"layout2-key-near-a-support-key", 1},
                    {"layout2-list-with-semicolon", 1},
                    {"layout2-decoration-inside-another", 1},
                    {"layout2-ids-differ-by-bitness", 4},
                    {"layout2-unknown-decoration", 1},
                    {"package-typos", 2},
                    {"package-section-never-read", 1},
                    {"package-key-typo", 1},
                    {"package-sections-never-read", 1},
                    {"package-prerequisite-not-a-program", 1},
                    {"package-onlywin7", 0},
                    {"package-onlywin7-undeclared", 1},
                    {"package-onlywin7-lower-case", 1},
                    {"layout2-vendor-only", 1},
                    {"package-forward-slashes", 1},
                    {"package-hexadecimal-support", 4},
                    {"package-without-settings", 5}};
    for (const auto& package : packages) {
        const Output output = run_setup_sim("check --json " + package_path(package.package));
        size_t count = 0;
        for (size_t at = output.text.find("{\"file\": "); at != std::string::npos;
             at = output.text.find("{\"file\": ", at + 1)) {
            ++count;
        }
        EXPECT_TRUE(exit_status(output) == (package.findings == 0 ? 0 : 1) && count == package.findings)
            << package.package << ": " << output.text;
        for (const auto& row : rows) {
            if (std::string(row.package) != package.package) continue;
            const std::string finding = json_finding(row.file, row.line, row.severity, row.kind);
            EXPECT_NE(output.text.find(finding), std::string::npos) << finding << "\n" << output.text;
        }
    }
}

// The settings file in another encoding than the machine's: a UTF-8 name
// on a code-page-1252 machine, a code-page-1252 name on a UTF-8 machine.
TEST(SetupSimCheck, SettingsInAnotherCodePage)
{
    const struct {
        const char* package;
        const char* machine;  // the machine profile's code page line, or "" for the built-in machines
        std::string text;     // the finding's text in the JSON report
    } rows[] = {
        {"package-folder-utf8", "",
         "is UTF-8 text (Path=\\\\Größe\\\\DPInst.exe), but Setup.exe reads the settings in the machine's code page "
         "1252, as Path=\\\\GrÃ¶ÃŸe\\\\DPInst.exe: save the file in code page 1252"},
        {"package-folder-1252", "CodePage=65001",
         "is not UTF-8 (Path=\\\\Gr\\\\xF6\\\\xDFe\\\\DPInst.exe), but Setup.exe reads the settings in the machine's "
         "code page 65001 (UTF-8), as Path=\\\\Gr\xEF\xBF\xBD\xEF\xBF\xBD" "e\\\\DPInst.exe: save the file in UTF-8"},
        {"package-folder-1252", "CodePage=1251",
         "names Größe\\\\DPInst.exe in another code page: Setup.exe reads the settings in the machine's code page 1251, "
         "as Path=\\\\GrцЯe\\\\DPInst.exe, which names no file of the package: write the name in ASCII"},
    };
    for (const auto& row : rows) {
        const std::string machines =
            *row.machine == '\0' ? "" : " --machines " + machines_folder(row.package + std::string("-") + row.machine, {row.machine});
        const Output output = run_setup_sim("check --json " + package_path(row.package) + machines);
        const std::string finding = json_finding("Setup.ini", 20, "error", "settings-not-in-code-page") +
                                    ", \"subject\": \"\", \"text\": \"" + row.text + "\"}";
        EXPECT_NE(output.text.find(finding), std::string::npos) << finding << "\n" << output.text;
    }
}

// Whatever the code page of the settings and of the machines, and wherever
// the program lies, the report is UTF-8, its text lines at most 120
// characters, and its findings name files inside the package.
TEST(SetupSimCheck, ReportIsUtf8AndFits)
{
    const std::string machines = machines_folder(
        "far", {"CodePage=65001", "SystemLanguage=0x040D\nProgram=C:\\חבילה\\Setup.exe",
                "SystemLanguage=0x0411\nProgram=C:\\Пакет\\Setup.exe"});
    for (const char* package : {"package-folder-utf8", "package-folder-1252", "broken-package"}) {
        for (const char* format : {"", "--json "}) {
            const Output output = run_setup_sim("check " + std::string(format) + package_path(package) + " --machines " + machines);
            const std::u16string units = sim::utf8_to_utf16(output.text);
            const bool utf8 = std::none_of(units.begin(), units.end(), [](char16_t unit) { return unit >= 0xDC80 && unit <= 0xDCFF; });
            size_t widest = 0;
            std::istringstream lines(output.text);
            for (std::string line; std::getline(lines, line);) {
                widest = std::max(widest, sim::utf8_to_utf16(line).size());
            }
            EXPECT_TRUE(utf8 && (format[0] != '\0' || widest <= 120) &&
                        output.text.find("\"file\": \"C:") == std::string::npos &&
                        output.text.find("\n  C:\\") == std::string::npos)
                << package << " " << format << widest << "\n" << output.text;
        }
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
        const char* run;
        Cells cells;  // section, engine, INF and DriverVer, outcome, result, exit code, command line
    } rows[] = {
        {"package", "Windows 7 x64", "no touch pad, ACPI\\VXA0704", "Setup.exe /s",
         {"W764", "\\x64\\DPInst.exe (x64)", "x64\\VxTouch.inf 19.2.4.7",
          "prerequisite dotNetFx40_Client_x86_x64.exe /q, then installs", "0", "0",
          "\"C:\\Package\\x64\\DPInst.exe\" /f /sw /se"}},
        {"package", "Windows 8.1 x86", "no touch pad, ACPI\\VXA0704", "Setup.exe /s",
         {"Vi32", ".\\DPInst.exe (x86)", "VxTouch.inf 19.2.4.7", "installs", "0", "0",
          "\"C:\\Package\\DPInst.exe\" /f /lm /sw /se"}},
        {"package", "Windows 2000", "no touch pad", "Setup.exe /s",
         {"-", "-", "-", "refused with message 2: no engine section for this Windows", "1633", "0", "-"}},
        {"layout2-package", "Windows 10 x64", "ACPI\\VXB0802", "Setup.exe /s",
         {"CfgI2C", "\\I2C\\DPInst.exe (x64)", "I2C\\VxI2C.inf 19.3.1.2",
          "refused with message 2: touch pad VXB0802 is listed in OnlyWin7", "1633", "1633",
          "\"C:\\Package\\I2C\\DPInst.exe\" /f /sw /se"}},
        {"layout2-package", "Windows 10 x86", "no touch pad", "Setup.exe /s",
         {"-", "-", "-", "\"This driver does not support your touchpad\"", "0", "0", "-"}},
        {"broken-package", "Windows 10 x64", "ACPI\\VXB0803", "Setup.exe /s",
         {"-", "-", "-", "\"This driver does not support your touchpad\"", "0", "0", "-"}},
        {"broken-package", "Windows 10 x64", "ACPI\\VXD0101", "Setup.exe /s",
         {"CfgUSB", "\\USB\\DPInst.exe (not an image, refused)", "USB\\VxUSB.inf 19.4.0.1",
          "ends without a message: the engine is not an image", "1633", "1633",
          "\"C:\\Package\\USB\\DPInst.exe\" /f /sw /se"}},
        // Layout 1 runs with the touch pad that OnlyWin7 names as well.
        {"package-onlywin7", "Windows 10 x64", "ACPI\\VXA0704", "Setup.exe /s",
         {"W864", "\\x64\\DPInst.exe (x64)", "x64\\VxTouch.inf 19.2.4.7",
          "refused with message 2: touch pad VXA0704 is listed in OnlyWin7", "1633", "1633",
          "\"C:\\Package\\x64\\DPInst.exe\" /f /sw /se"}},
        {"package-onlywin7", "Windows 7 x64", "no touch pad, ACPI\\VXA0704", "Setup.exe /s",
         {"W764", "\\x64\\DPInst.exe (x64)", "x64\\VxTouch.inf 19.2.4.7",
          "prerequisite dotNetFx40_Client_x86_x64.exe /q, then installs", "0", "0",
          "\"C:\\Package\\x64\\DPInst.exe\" /f /sw /se"}},
        // The overwrite decision, silent and interactive (its question answered Yes).
        {"package", "Windows 10 x64", "ACPI\\VXA0704, 19.2.4.6 installed", "Setup.exe",
         {"W864", "\\x64\\DPInst.exe (x64)", "x64\\VxTouch.inf 19.2.4.7", "installs", "0", "0",
          "\"C:\\Package\\x64\\DPInst.exe\" /f"}},
        {"package", "Windows 10 x64", "ACPI\\VXA0704, 19.2.4.7 installed", "Setup.exe",
         {"W864", "\\x64\\DPInst.exe (x64)", "x64\\VxTouch.inf 19.2.4.7",
          "asks whether to install the same version (message 4), answered Yes, installs", "0", "0",
          "\"C:\\Package\\x64\\DPInst.exe\" /f"}},
        {"package-driverver-three", "Windows 10 x64", "ACPI\\VXA0704, 1.0.0.0 installed", "Setup.exe",
         {"W864", "\\x64\\DPInst.exe (x64)", "x64\\VxTouch.inf 19.2.4",
          "ends after the message \"Failed to get package VexaNorde Touch Pad Driver version\"", "0", "0",
          "\"C:\\Package\\x64\\DPInst.exe\" /f"}},
        {"package-driverver-three", "Windows 10 x64", "ACPI\\VXA0704, 19.2.4 installed", "Setup.exe /s",
         {"W864", "\\x64\\DPInst.exe (x64)", "x64\\VxTouch.inf 19.2.4", "installs", "0", "0",
          "\"C:\\Package\\x64\\DPInst.exe\" /f /sw /se"}},
        // Both match; the bus listed last supplies the engine.
        {"broken-package", "Windows 8 x64", "ACPI\\VXB0801", "Setup.exe /s",
         {"Cfg10", "\\I2C\\DPInst.exe (x64)", "I2C\\VxI2C.inf 19.3.1.2", "version-library mismatch", "0", "0",
          "\"C:\\Package\\I2C\\DPInst.exe\" /f /sw /se"}},
    };
    std::map<std::string, std::string> reports;
    for (const auto& row : rows) {
        std::string& report = reports[row.package];
        if (report.empty()) report = run_setup_sim("check --wide " + package_path(row.package)).text;
        Cells expected{row.windows, row.machine, row.run};
        expected.insert(expected.end(), row.cells.begin(), row.cells.end());
        EXPECT_EQ(table_cells(report, row.windows, row.machine, row.run), expected) << report;
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
    const std::string folder = scratch_folder("empty-package").string();
    std::filesystem::create_directories(folder);
    const Output missing = run_setup_sim("check " + folder + "/missing");
    EXPECT_EQ(exit_status(missing), 2) << missing.text;
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
