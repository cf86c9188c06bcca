// docs/deployment.md against the program, so that what administrators
// configure cannot drift from what Setup.exe does: the exit codes it lists
// are the program's result codes by their names, the engine exit codes it
// lists map as the program maps them, every box it lists with a scenario is
// the box that scenario (run under Wine and on the simulated machine)
// expects, in the same kind of run and with the same exit code, its command
// lines do what it says they do, the registry values of its detection rule
// are those the program reads, and its sample Setup.log is what the program
// writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/sim/machine.h"
#include "setup/context.h"
#include "setup/engine.h"
#include "support/package_fixture.h"
#include "support/scenario_files.h"
#include "version/version_queries.h"

namespace fs = std::filesystem;

namespace {

const fs::path SOURCE = fs::path(SOURCE_DIR);

using Row = std::vector<std::string>;

// A cell's first code span, its blanks kept (the caption "SETUP: "); a
// cell without one, without its surrounding blanks.
std::string cell_text(const std::string& cell)
{
    const size_t opening = cell.find('`');
    const size_t closing = opening == std::string::npos ? opening : cell.find('`', opening + 1);
    if (closing != std::string::npos) return cell.substr(opening + 1, closing - opening - 1);
    const size_t first = cell.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    return cell.substr(first, cell.find_last_not_of(' ') - first + 1);
}

// The guide after the line `line_before`.
std::istringstream guide_after(const std::string& line_before)
{
    std::istringstream lines(read_all(SOURCE / "docs" / "deployment.md"));
    std::string line;
    while (std::getline(lines, line) && line != line_before) {
    }
    return lines;
}

// The body rows of the first table after the line `heading` of the guide, as written.
std::vector<Row> table_after(const std::string& heading)
{
    std::istringstream lines = guide_after(heading);
    std::string line;
    while (std::getline(lines, line) && line.rfind('|', 0) != 0) {
    }
    std::getline(lines, line);  // the separator under the header
    std::vector<Row> rows;
    while (std::getline(lines, line) && line.rfind('|', 0) == 0) {
        Row row;
        std::istringstream cells(line.substr(1));
        for (std::string cell; std::getline(cells, cell, '|');) row.push_back(cell);
        rows.push_back(row);
    }
    return rows;
}

// A decimal or 0x... number, or -1 for anything else.
long long number(const std::string& text)
{
    if (text.empty()) return -1;
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text.c_str(), &end, 0);
    return *end == '\0' && value <= 0xFFFFFFFFull ? static_cast<long long>(value) : -1;
}

// The text of a string field of a one-line JSON record as it is written,
// escapes and all ("" when the record lacks it).
std::string raw_json_field(const std::string& record, const std::string& key)
{
    const std::string opening = "\"" + key + "\":\"";
    const size_t start = record.find(opening);
    if (start == std::string::npos) return "";
    std::string value;
    for (size_t at = start + opening.size(); at < record.size() && record[at] != '"'; ++at) {
        if (record[at] == '\\' && at + 1 < record.size()) value += record[at++];
        value += record[at];
    }
    return value;
}

// The first fenced block after the line `line_before`, with its line ends.
std::string code_block_after(const std::string& line_before)
{
    std::istringstream lines = guide_after(line_before);
    std::string line;
    while (std::getline(lines, line) && line.rfind("```", 0) != 0) {
    }
    std::string block;
    while (std::getline(lines, line) && line.rfind("```", 0) != 0) block += line + "\n";
    return block;
}

#define RESULT_CODE(name) {name, #name}

TEST(DeploymentGuide, ExitCodeTableListsEveryResultCodeByItsName)
{
    const std::map<long long, std::string> program = {
        RESULT_CODE(SUCCESS),        RESULT_CODE(DEP_SOFT_ERROR),
        RESULT_CODE(DEP_HARD_ERROR), RESULT_CODE(ERROR),
        RESULT_CODE(UNKNOWN_OPTION), RESULT_CODE(ERROR_INSTALL_PLATFORM_UNSUPPORTED),
        RESULT_CODE(REBOOT_REQUIRED),
    };
    std::map<long long, std::string> guide;
    for (const Row& row : table_after("## Exit codes")) {
        // A code listed twice is kept as a name no code has.
        const auto [entry, new_code] = guide.emplace(number(cell_text(row.at(0))), cell_text(row.at(1)));
        if (!new_code) entry->second += " (listed twice)";
    }
    EXPECT_EQ(guide, program);
}

TEST(DeploymentGuide, EngineExitCodesMapAsTheProgramMapsThem)
{
    // Every result the mapping gives over the bits it looks at: failure,
    // restart needed, packages only in the store (bits 8 and 12) and up to
    // two packages installed.
    std::set<long long> results_possible;
    for (const uint32_t failed : {0u, 0x80000000u}) {
        for (const uint32_t restart : {0u, 0x40000000u}) {
            for (const uint32_t store : {0u, 0x100u, 0x1000u, 0x1100u}) {
                for (const uint32_t installed : {0u, 1u, 2u}) {
                    results_possible.insert(map_engine_exit_code(failed | restart | store | installed));
                }
            }
        }
    }

    std::map<std::string, long long> stated;
    std::map<std::string, long long> mapped;
    std::set<long long> results_listed;
    for (const Row& row : table_after("### The engine's exit code")) {
        const std::string engine_text = cell_text(row.at(0));
        const long long engine_exit_code = number(engine_text);
        stated[engine_text] = number(cell_text(row.at(1)));
        mapped[engine_text] = engine_exit_code < 0 ? -1 : map_engine_exit_code(static_cast<uint32_t>(engine_exit_code));
        results_listed.insert(stated[engine_text]);
    }
    EXPECT_EQ(stated, mapped);
    EXPECT_EQ(results_listed, results_possible);
}

TEST(DeploymentGuide, BoxesListedWithAScenarioAreTheBoxesItExpects)
{
    // caption | text | when | silent | exit code | scenario
    std::vector<std::string> stated;
    std::vector<std::string> expected_by_scenario;
    for (const Row& row : table_after("## Boxes that appear in a silent run")) {
        const std::string scenario = cell_text(row.at(5));
        if (scenario == "-") continue;
        const std::string text = cell_text(row.at(1));
        stated.push_back(scenario + ": \"" + cell_text(row.at(0)) + "\" \"" + text + "\", silent " +
                         cell_text(row.at(3)) + ", exit code " + cell_text(row.at(4)));

        const fs::path folder = SOURCE / "tests" / "wine" / "scenarios" / scenario;
        std::map<std::string, std::string> settings;
        for (const auto& [key, value] : scenario_settings(folder)) settings[key] = value;
        const std::string arguments = settings["arguments"];
        const bool silent = arguments == "/s" || arguments == "/q";
        std::istringstream boxes(read_all(folder / "expect_boxes.jsonl"));
        std::string first_box;
        std::getline(boxes, first_box);
        // The guide gives a text up to the error code a box may end with.
        expected_by_scenario.push_back(scenario + ": \"" + raw_json_field(first_box, "caption") + "\" \"" +
                                       raw_json_field(first_box, "text").substr(0, text.size()) + "\", silent " +
                                       (silent ? "yes" : "no") + ", exit code " + settings["exit_code"]);
    }
    ASSERT_FALSE(stated.empty());
    EXPECT_EQ(stated, expected_by_scenario);
}

class DeploymentGuideRun : public PackageTest {
protected:
    // 64-bit Windows 10 with a layout-1 package that honours everything
    // (Support 15), an x64 engine that installs one package and asks for a
    // restart, and its touch-pad driver installed in the 64-bit view.
    void install_package_over(const std::string& installed_version)
    {
        set_os(10, 0, true);
        write_settings("[W864]\nPath=\\x64\\DPInst.exe\nSupport=15\n");
        write_engine("x64\\DPInst.exe", 0x8664);
        write_inf("x64\\VxTouch.inf");  // DriverVer 19.2.4.7
        write_file("C:\\Package\\Vi64\\VxTouch.inf", "");  // what an extraction copies
        set_registry_value("HKLM\\Software\\Vexa\\Kurso", "ProductVer", "Kurso " + installed_version,
                           sim::RegistryView::Only64);
        set_engine_exit_code(0x40000001);
    }
};

TEST_F(DeploymentGuideRun, CommandLinesDoWhatTheGuideSays)
{
    const char* const SETUP_LOG = "C:\\Windows\\Rire\\UpdatePackage\\log\\Setup.log";
    const char* const EXTRACTED = "C:\\Drivers\\Touchpad\\production\\Windows10-x64\\VxTouch.inf";
    // What each command line of the guide does over the same version.
    const struct {
        const char* command;
        const char* engine_options;  // "" when no engine starts
        int exit_code;
        bool restart;
        bool setup_log;
        const char* leaves;  // a file the run leaves, "" for none beyond Setup.log
    } expected[] = {
        {"/s", " /f /sw /se", REBOOT_REQUIRED, false, true, ""},
        {"/s /vLOGFILE=C:\\ProgramData\\Touchpad\\Setup.log", " /f /sw /se", REBOOT_REQUIRED, false, true,
         "C:\\ProgramData\\Touchpad\\Setup.log"},
        {"/s /f2 C:\\ProgramData\\Touchpad\\report.ini", " /f /sw /se", REBOOT_REQUIRED, false, false,
         "C:\\ProgramData\\Touchpad\\report.ini"},
        {"/s /vFORCE=true", " /f /sw /se", REBOOT_REQUIRED, false, true, ""},
        {"/s /vFORCE=false", "", DEP_SOFT_ERROR, false, true, ""},
        {"/s /vFORCERESTART=true", " /f /sw /se", REBOOT_REQUIRED, true, true, ""},
        {"/s /vDEBUG=true", " /f /sw /se", REBOOT_REQUIRED, false, true, ""},
        {"/extract_all:\"C:\\Drivers\\Touchpad\"", "", SUCCESS, false, true, EXTRACTED},
        {"/vEXTRACTDRIVERS=C:\\Drivers\\Touchpad", "", SUCCESS, false, true, EXTRACTED},
    };
    const auto outcome = [](const std::string& engine_options, int exit_code, bool restart, bool setup_log,
                            const std::string& leaves, bool left) {
        return "engine" + (engine_options.empty() ? std::string(" not started") : engine_options) + ", exit code " +
               std::to_string(exit_code) + ", restart " + (restart ? "yes" : "no") + ", Setup.log " +
               (setup_log ? "yes" : "no") + (leaves.empty() ? "" : ", leaves " + leaves + (left ? "" : " not"));
    };

    install_package_over("19.2.4.7");
    std::vector<std::string> stated;
    std::vector<std::string> done;
    for (const Row& row : table_after("## Command lines")) {
        const std::string command = cell_text(row.at(1)).substr(std::string("Setup.exe ").size());
        const auto* row_expected = std::find_if(std::begin(expected), std::end(expected),
                                                [&](const auto& candidate) { return command == candidate.command; });
        if (row_expected == std::end(expected)) {
            stated.push_back(command + ": a command line this test does not know");
            done.push_back(command);
            continue;
        }
        stated.push_back(command + ": " + outcome(row_expected->engine_options, row_expected->exit_code,
                                                  row_expected->restart, row_expected->setup_log,
                                                  row_expected->leaves, true));

        // Each run is a new process on the machine as installed: the last
        // one's mutex ended with it.
        machine.record = record::RunRecord{};
        machine.mutexes.clear();
        std::error_code ignored;
        fs::remove(sim::host_path(SETUP_LOG), ignored);
        if (row_expected->leaves[0] != '\0') fs::remove(sim::host_path(row_expected->leaves), ignored);
        const int exit_code = run(command);
        const std::string engine = engine_command_line();
        done.push_back(command + ": " + outcome(engine.substr(engine.find_last_of('"') + 1), exit_code,
                                                machine.record.restart_requested, file_exists(SETUP_LOG),
                                                row_expected->leaves, file_exists(row_expected->leaves)));
    }
    ASSERT_FALSE(stated.empty());
    EXPECT_EQ(done, stated);
}

TEST_F(DeploymentGuideRun, DetectionRuleNamesTheValuesTheProgramReadsInThe64BitView)
{
    set_os(10, 0, true);
    g_process.os_version.platform_id = 2;
    g_process.os_version.major = 10;
    // A version of its own for each row, so that a row read from another
    // row's key shows; two words, of which the program takes the second.
    std::map<std::string, std::string> stated;
    std::map<std::string, std::string> read;
    int row_number = 0;
    for (const Row& row : table_after("## Detecting the installed driver")) {
        const std::string inf = row.at(0).find('`') != std::string::npos ? cell_text(row.at(0)) : "VxTouch.inf";
        const std::string version = "19.2.4." + std::to_string(++row_number);
        set_registry_value(cell_text(row.at(1)), cell_text(row.at(2)), "Product " + version, sim::RegistryView::Only64);
        stated[inf] = version;
        char installed[VERSION_TEXT_CAPACITY] = "";
        query_installed_version(("C:\\Package\\" + inf).c_str(), installed);
        read[inf] = installed;
    }
    EXPECT_EQ(read, stated);
}

TEST_F(DeploymentGuideRun, SampleLogIsWhatASilentInstallThatNeedsARestartWrites)
{
    install_package_over("19.2.4.6");
    run("/s");

    // The log's UTF-16LE after its byte-order mark is ASCII here.
    const std::string bytes = read_file("C:\\Windows\\Rire\\UpdatePackage\\log\\Setup.log");
    std::string text;
    for (size_t at = 2; at + 1 < bytes.size(); at += 2) {
        if (bytes[at] != '\r') text += bytes[at];
    }
    const std::regex time("[0-9]+-[0-9]+-[0-9]+ [0-9]+:[0-9]+:[0-9]+");
    EXPECT_EQ(std::regex_replace(text, time, "(time)"),
              std::regex_replace(code_block_after("`Setup.log` of a silent installation that ends asking for a "
                                                  "restart:"),
                                 time, "(time)"));
}

}  // namespace
