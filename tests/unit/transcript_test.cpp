// The transcript of a check run: what was held back instead of started, and
// what the run took the engine to end with.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/record/run_record.h"
#include "support/sim_fixture.h"
#include "transcript/transcript.h"

namespace {

class CheckRunTranscript : public SimMachineTest {};

record::Process engine(bool held_back, uint32_t exit_code, bool chosen, uint32_t error = 0)
{
    record::Process process;
    process.kind = "create";
    process.command_line = "\"C:\\P\\DPInst.exe\" /f";
    process.held_back = held_back;
    process.exit_code = exit_code;
    process.exit_code_chosen = chosen;
    process.error = error;
    return process;
}

TEST_F(CheckRunTranscript, SaysWhatWasHeldBackAndWhatItWasTakenToEndWith)
{
    record::Process prerequisite;
    prerequisite.kind = "shell";
    prerequisite.command_line = "dotNetFx40_Client_x86_x64.exe /q";
    prerequisite.directory = "C:\\P\\DotNetFx";
    prerequisite.held_back = true;
    const struct {
        record::Process process;
        const char* lines;  // the process's lines and the one after them
    } rows[] = {
        {engine(true, 0, false),
         " -> held back (check run), taken as ending with exit code 0x00000000 (the default; --engine-exit-code "
         "chooses another)\n  engine exit code: failed no, restart needed no, packages installed 0, only copied to "
         "the driver store 0 -> result 0 SUCCESS\nRestart: no\n"},
        {engine(true, 0x80000100, true),
         " -> held back (check run), taken as ending with exit code 0x80000100 (chosen with --engine-exit-code)\n"
         "  engine exit code: failed yes, restart needed no, packages installed 0, only copied to the driver store 1 "
         "-> result 4 DEP_HARD_ERROR\nRestart: no\n"},
        {engine(false, 0, false, 2), " -> not started, error 2\nRestart: no\n"},
        {prerequisite,
         "Process 1: shell dotNetFx40_Client_x86_x64.exe /q (in C:\\P\\DotNetFx) -> held back (check run), taken as "
         "started and ended\nRestart: no\n"},
    };
    for (const auto& row : rows) {
        record::RunRecord run;
        run.check_run = true;
        run.processes = {row.process};
        const std::string text = transcript_text(run);
        EXPECT_NE(text.find(row.lines), std::string::npos) << text;
        EXPECT_NE(text.find("\nCheck run: nothing started, written or changed; boxes answered as --answers says, "
                            "else with their default button\n"),
                  std::string::npos)
            << text;
    }
}

// The program's paths are ANSI text of the machine's code page; both forms of
// the transcript show them in UTF-8 ("表計算" is 95 5C 8C 76 8E 5A in 932),
// and the JSON names the machine they are read on.
TEST_F(CheckRunTranscript, ShowsAnsiPathsInUtf8)
{
    machine.system_language = 0x0411;
    record::RunRecord run;
    run.machine = {10, 0, 19045, true, 0x0411, 0x0411, 932};
    run.command_line = "/s /f2 C:\\\x95\x5C\x8C\x76\x8E\x5A\\r.txt";
    run.folders_created = {"C:\\\x95\x5C\x8C\x76\x8E\x5A"};
    run.files_written = {record::WrittenFile{"C:\\\x95\x5C\x8C\x76\x8E\x5A\\r.txt", "x", 1, ""}};
    const std::string text = transcript_text(run);
    const std::string json = transcript_json(run);
    for (const std::string& expected :
         {std::string("Command line: /s /f2 C:\\表計算\\r.txt\n"), std::string("Folder created: C:\\表計算\n"),
          std::string("File written: C:\\表計算\\r.txt (ANSI, 1 bytes)\n")}) {
        EXPECT_NE(text.find(expected), std::string::npos) << text;
    }
    EXPECT_NE(json.find("\"folders_created\": [\"C:\\\\表計算\"]"), std::string::npos) << json;
    EXPECT_NE(json.find(", \"machine\": {\"windows_version\": \"10.0.19045\", \"architecture\": \"x64\", "
                        "\"system_language\": 1041, \"ui_language\": 1041, \"code_page\": 932}, \"events\": ["),
              std::string::npos)
        << json;
}

// The lines between the transcript's head and its result, and its JSON events.
std::pair<std::string, std::string> events_of(const record::RunRecord& run)
{
    const std::string text = transcript_text(run);
    size_t from = text.find('\n', text.find("\nCommand line: ") + 1) + 1;
    if (run.check_run) from = text.find('\n', from) + 1;
    const std::string json = transcript_json(run);
    const size_t events = json.find("\"events\": ");
    return {text.substr(from, text.find("Result: ") - from), events == std::string::npos ? "" : json.substr(events)};
}

record::WrittenFile text_file(const std::string& path)
{
    return {path, "x\r\n", 3, ""};
}

record::Box question()
{
    record::Box box;
    box.caption = "Setup.exe";
    box.text = "Proceed?";
    box.style = 0x24;
    record::answer_box(&box, 0);
    return box;
}

const record::Process MISSING_ENGINE = engine(false, 0, false, 2);

// The record's events keep the order things happened in, whatever their
// kinds, also where the check run takes a file or a deletion back out, and
// where a host places what it found on the drives after the run.
TEST_F(CheckRunTranscript, ListsWhatHappenedInItsOrder)
{
    const struct {
        const char* name;
        bool check_run;
        void (*fill)(record::RunRecord* run);
        const char* lines;
        const char* events;
    } rows[] = {
        {"a box, the engine, the log, a reason and the restart", false,
         [](record::RunRecord* run) {
             record::add_box(run, question());
             record::add_process(run, MISSING_ENGINE);
             record::add_written_file(run, text_file("C:\\log.txt"));
             record::add_reason(run, "because");
             record::request_restart(run, 2);
             record::request_restart(run, 6);
         },
         "Box 1: caption \"Setup.exe\", style 0x00000024, answer 6 (Yes)\n  text: Proceed?\n"
         "Process 1: \"C:\\P\\DPInst.exe\" /f -> not started, error 2\n"
         "File written: C:\\log.txt (ANSI, 3 bytes)\n  | x\nWhy: because\nRestart: requested\n",
         "\"events\": [{\"kind\": \"box\", \"index\": 0}, {\"kind\": \"process\", \"index\": 0}, "
         "{\"kind\": \"file\", \"index\": 0}, {\"kind\": \"reason\", \"index\": 0}, {\"kind\": \"restart\"}]}\n"},
        {"a file written, then deleted: only the deletion is left", true,
         [](record::RunRecord* run) {
             record::add_written_file(run, text_file("C:\\a"));
             record::add_written_file(run, text_file("C:\\b"));
             record::remove_written_file(run, 0);
             record::add_process(run, MISSING_ENGINE);
             record::add_deleted_file(run, "C:\\a");
         },
         "Boxes: none\nFile would be written: C:\\b (ANSI, 3 bytes)\n  | x\n"
         "Process 1: \"C:\\P\\DPInst.exe\" /f -> not started, error 2\nFile would be deleted: C:\\a\nRestart: no\n",
         "\"events\": [{\"kind\": \"file\", \"index\": 0}, {\"kind\": \"process\", \"index\": 0}, "
         "{\"kind\": \"deleted\", \"index\": 0}]}\n"},
        {"a deleted file written again: its deletion is gone", true,
         [](record::RunRecord* run) {
             record::add_deleted_file(run, "C:\\a");
             record::add_deleted_file(run, "C:\\b");
             record::add_folder(run, "C:\\f");
             record::remove_deleted_file(run, 0);
             record::add_written_file(run, text_file("C:\\a"));
             record::remove_deleted_file(run, 5);
         },
         "Boxes: none\nProcesses: none\nFile would be deleted: C:\\b\nFolder would be created: C:\\f\n"
         "File would be written: C:\\a (ANSI, 3 bytes)\n  | x\nRestart: no\n",
         "\"events\": [{\"kind\": \"deleted\", \"index\": 0}, {\"kind\": \"folder\", \"index\": 0}, "
         "{\"kind\": \"file\", \"index\": 0}]}\n"},
        {"what the drives showed after the run, placed where it happened", false,
         [](record::RunRecord* run) {
             record::add_box(run, question());
             record::add_process(run, MISSING_ENGINE);
             record::add_folder(run, "C:\\f");
             record::add_written_file(run, text_file("C:\\f\\log"));
             record::add_deleted_file(run, "C:\\old");
             record::add_written_file(run, text_file("C:\\unknown"));
             record::place_last_events(run, {1, 1, 0, record::NOT_NOTED});
         },
         "File deleted: C:\\old\nBox 1: caption \"Setup.exe\", style 0x00000024, answer 6 (Yes)\n  text: Proceed?\n"
         "Folder created: C:\\f\nFile written: C:\\f\\log (ANSI, 3 bytes)\n  | x\n"
         "Process 1: \"C:\\P\\DPInst.exe\" /f -> not started, error 2\nFile written: C:\\unknown (ANSI, 3 bytes)\n"
         "  | x\nRestart: no\n",
         "\"events\": [{\"kind\": \"deleted\", \"index\": 0}, {\"kind\": \"box\", \"index\": 0}, "
         "{\"kind\": \"folder\", \"index\": 0}, {\"kind\": \"file\", \"index\": 0}, {\"kind\": \"process\", \"index\": 0}, "
         "{\"kind\": \"file\", \"index\": 1}]}\n"},
        {"a record filled without events, and events naming nothing: every item once, kind by kind", false,
         [](record::RunRecord* run) {
             run->reasons = {"because"};
             run->processes = {MISSING_ENGINE};
             run->restart_requested = true;
             run->events = {{record::EventKind::Box, 3}, {record::EventKind::Reason, 0}, {record::EventKind::Reason, 0}};
         },
         "Boxes: none\nFiles written: none\nWhy: because\n"
         "Process 1: \"C:\\P\\DPInst.exe\" /f -> not started, error 2\nRestart: requested\n",
         "\"events\": [{\"kind\": \"reason\", \"index\": 0}, {\"kind\": \"process\", \"index\": 0}, "
         "{\"kind\": \"restart\"}]}\n"},
    };
    for (const auto& row : rows) {
        record::RunRecord run;
        run.check_run = row.check_run;
        row.fill(&run);
        EXPECT_EQ(events_of(run), std::make_pair(std::string(row.lines), std::string(row.events))) << row.name;
    }
}

}  // namespace

// Numbers and box answers as both tools take them on their command lines.
TEST(ToolArguments, ReadNumbersAndAnswersOrRefuseThem)
{
    const struct {
        const char* text;
        bool read;
        uint32_t value;
    } numbers[] = {
        {"0", true, 0},           {"010", true, 10},        {"4294967295", true, 0xFFFFFFFF},
        {"0x40000001", true, 0x40000001}, {"0XFFFFFFFF", true, 0xFFFFFFFF}, {"4294967296", false, 0},
        {"0x100000000", false, 0}, {"0x", false, 0},        {"", false, 0},
        {"-1", false, 0},         {"12a", false, 0},        {" 1", false, 0},
    };
    for (const auto& row : numbers) {
        uint32_t value = 0;
        const bool read = record::parse_number(row.text, &value);
        EXPECT_EQ(std::make_pair(read, read ? value : 0u), std::make_pair(row.read, row.value)) << row.text;
    }
    const struct {
        const char* list;
        bool read;
        std::vector<int> answers;
        const char* bad_word;
    } lists[] = {
        {"", true, {}, ""},
        {"Yes,no,OK,7", true, {6, 7, 1, 7}, ""},
        {"Yes,Maybe,No", false, {6}, "Maybe"},
        {"Yes,,No", false, {6}, ""},
        {"100", false, {}, "100"},
    };
    for (const auto& row : lists) {
        std::vector<int> answers;
        std::string bad_word;
        const bool read = record::parse_answers(row.list, &answers, &bad_word);
        EXPECT_EQ(std::make_tuple(read, answers, bad_word), std::make_tuple(row.read, row.answers, std::string(row.bad_word)))
            << row.list;
    }
}
