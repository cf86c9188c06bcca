// What one run of the program did, or would have done, to the machine it ran
// on: filled by the backends that leave a machine as it is (the simulated
// machine, and the check backend on a real one) and by the tool that hosts
// the run; printed by the transcript. Never part of Setup.exe. Its texts
// (paths, command lines, box texts) are ANSI of the machine's code page.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace record {

struct Box {
    std::string caption;  // ANSI, as the program passed it
    std::string text;
    uint32_t style = 0;
    int answer = 0;  // the button the box returned: always one of its own
    // An answer that named a button the box lacks: "the box has no Yes
    // button" (the default button was pressed), as the Wine runner reports it.
    std::string error;
    // The shell's own box for a program it could not start, not the program's.
    bool shown_by_shell = false;
};

struct Process {
    std::string kind;          // "create" (CreateProcess: the engine) or "shell" (ShellExecuteEx: a prerequisite)
    std::string command_line;  // exact command line; for "shell": file and parameters
    std::string file;          // the program file it names
    std::string directory;     // working directory ("shell" only)
    int show_command = 1;
    bool no_error_ui = false;  // "shell": the shell was asked to show no error box
    bool started = false;
    // A check run starts nothing: a process that could have been started is
    // held back, and the run goes on as if it had ended with exit_code.
    bool held_back = false;
    bool exit_code_chosen = false;  // held back: exit_code was chosen for the run, not the default
    uint32_t error = 0;             // last error when it could not be started
    uint32_t exit_code = 0;
};

struct WrittenFile {
    std::string path;     // Windows path
    std::string bytes;    // the content after the run, unless it is a copy
    uint64_t size = 0;    // bytes of the content
    std::string copy_of;  // the file it is a byte-for-byte copy of, or ""
};

// The machine as the run saw it, for the transcript's first line.
struct MachineDescription {
    uint32_t major = 0, minor = 0, build = 0;
    bool is_64bit = false;
    uint16_t system_language = 0;
    uint16_t ui_language = 0;
    uint32_t code_page = 0;
};

// One thing the run did, in the order it did them: the kind of item and
// where it is in that kind's list (a restart has no list).
enum class EventKind { Box, Process, Folder, File, Deleted, Reason, Restart };

struct Event {
    EventKind kind = EventKind::Box;
    size_t index = 0;
    bool operator==(const Event&) const = default;
};

// The kind's name in the transcript's JSON ("box", "process", "folder",
// "file", "deleted", "reason", "restart").
const char* event_kind_name(EventKind kind);

struct RunRecord {
    // Filled by the host.
    MachineDescription machine;
    std::string program_path;  // as the program sees its own path
    std::string command_line;  // as WinMain received it
    bool check_run = false;  // a check run: nothing was started, written or changed
    int result = 0;
    int exit_code = 0;
    bool ended_at_once = false;  // no end of run: no log, no restart

    // Filled as the run goes (by the backend, or by a host that compares the
    // machine's drives before and after).
    std::vector<Box> boxes;
    std::vector<Process> processes;
    std::vector<std::string> folders_created;  // Windows paths
    std::vector<WrittenFile> files_written;    // new or changed by the run
    std::vector<std::string> files_deleted;    // there before the run, gone after it
    // Why the run took a turn, where the boxes and files alone do not say it
    // (a check run: another Setup.exe holding the single-instance mutex).
    std::vector<std::string> reasons;
    bool shutdown_privilege_enabled = false;
    bool restart_requested = false;
    uint32_t restart_flags = 0;
    // The items above in the order they happened: the helpers below add an
    // item and its event together. A file written many times is one event,
    // at its first write.
    std::vector<Event> events;
};

// An item at the end of its list, with its event after the others; each
// returns the item as listed.
Box& add_box(RunRecord* run, const Box& box);
Process& add_process(RunRecord* run, const Process& process);
void add_folder(RunRecord* run, const std::string& path);
WrittenFile& add_written_file(RunRecord* run, const WrittenFile& file);
void add_deleted_file(RunRecord* run, const std::string& path);
void add_reason(RunRecord* run, const std::string& reason);
// The first request is the event; a later one changes only the flags.
void request_restart(RunRecord* run, uint32_t flags);

// An item taken out of its list with its event; the events of the items
// after it in that list name them where they are now.
void remove_written_file(RunRecord* run, size_t index);
void remove_deleted_file(RunRecord* run, size_t index);
// Every box and its event (a host that runs the program's routines one by
// one and reads the boxes each shows).
void clear_boxes(RunRecord* run);

// Moves the last positions.size() events, which a host added after the run
// for what it found on the machine, to where they happened: the i-th of
// them goes after the first positions[i] of the other events (as many as
// had been recorded when it happened). Events at the same position keep
// their order; a position past the other events (NOT_NOTED: not known)
// puts its event last.
constexpr size_t NOT_NOTED = static_cast<size_t>(-1);
void place_last_events(RunRecord* run, const std::vector<size_t>& positions);

// The button a box's style makes its default one, which a box answered
// without a person gets.
int default_button(uint32_t style);

// Button ids as MessageBox returns them and their names ("OK", "Cancel",
// "Abort", "Retry", "Ignore", "Yes", "No", "TryAgain", "Continue"): nullptr
// for an id that names no button, 0 for a name that names none (compared
// without regard to case).
const char* button_name(int id);
int button_id(const std::string& name);

// A number as the tools take one on their command lines: decimal (leading
// zeros are no octal) or hexadecimal after "0x", up to 0xFFFFFFFF. False for
// anything else.
bool parse_number(const std::string& text, uint32_t* value);

// A box answer as the tools take one: a button's name (button_id) or its
// number (1 to 99), else 0. A list is the answers one after another,
// separated by commas ("Yes,No,OK"); false at the first word that names no
// answer, which `bad_word` receives.
int parse_answer(const std::string& word);
bool parse_answers(const std::string& list, std::vector<int>* answers, std::string* bad_word);

// Answers the box as MessageBox does: with `answer` (a button id; 0 for none
// given) when the box has that button, else with its default button, and
// then, for an answer that was given, the reason in `error`. Windows' box
// returns only its own buttons, whatever was pressed or sent to it.
void answer_box(Box* box, int answer);

// The program a command line starts: its quoted first part, or everything up
// to the first blank.
std::string program_of(const std::string& command_line);

// The record of a process start, before it is tried: CreateProcess with a
// command line (the program is its first part), or a shell execution of a
// file with parameters, a working directory (may be nullptr) and a show
// command, where a file without a drive or a leading "\" is looked for in
// the working directory.
Process create_process(const char* command_line);
Process shell_process(const char* file, const char* parameters, const char* directory, int show_command,
                      bool no_error_ui);

// The error a shell execution fails with for a program file that opening it
// would fail with `open_error`: the shell looks the file up rather than open
// the path, so a missing folder is a missing file too (2), as under Wine.
uint32_t shell_start_error(uint32_t open_error);

// The shell's own box that ShellExecuteEx shows before it returns FALSE when
// it was not asked for silence (SEE_MASK_FLAG_NO_UI) and cannot find the
// file it was given (`file`, as passed) or finds no program Windows can start
// in it (193): false when the failed start shows none. Caption and text are
// Windows' (English; the text for 193 is the system's message for the
// error), an OK box with the error icon; Wine's shell shows the system's text
// for the error under the caption "Error" instead.
bool shell_error_box(const Process& failed_start, const char* file, Box* box);

}  // namespace record
