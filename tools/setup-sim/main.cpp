// setup-sim: runs the setup program on a simulated Windows machine and prints
// what it did.
//
//   setup-sim [--json] [--machine PROFILE.ini] [--answers Yes,No,...]     (--profile = --machine)
//             [--keep-root DIR] [--runs N] [--exit-code] [--] PACKAGE_FOLDER [COMMAND LINE WORDS...]
//   setup-sim check [--json | --wide] [--machines PROFILE_FOLDER] PACKAGE_FOLDER
//   setup-sim --help | --version
//
// The package folder is copied onto the machine's drive C: at the profile's
// program folder (C:\Package by default) and the program runs as Setup.exe
// inside it, with the remaining words, joined by blanks, as its command line.
// With --runs it runs that many times in a row on the same machine (files,
// registry and the answers left carry over), one transcript per run; --json
// prints them as one array, one object per run, however many runs there are.
//
// Exit status: 0 (with --exit-code the program's exit code, its low 8 bits),
// 2 when what the command line names cannot be used (package, profile,
// --keep-root), 64 for a mistake on the command line.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/sim/machine.h"
#include "platform/sim/codepage.h"
#include "program_version.h"
#include "setup-sim/check_command.h"
#include "setup-sim/package_placement.h"
#include "setup-sim/profile_loader.h"
#include "setup-sim/program_start.h"
#include "setup-sim/temporary_folder.h"
#include "setup/context.h"
#include "setup/entry.h"
#include "transcript/run_explanation.h"
#include "transcript/transcript.h"

namespace fs = std::filesystem;

namespace {

constexpr int CANNOT_RUN = 2;
constexpr int USAGE_ERROR = 64;

const char USAGE[] =
    "usage: setup-sim [--json] [--machine PROFILE.ini] [--answers Yes,No,...] [--keep-root DIR]\n"
    "                 [--runs N] [--exit-code] [--] PACKAGE_FOLDER [COMMAND LINE WORDS...]\n"
    "       setup-sim check [--json | --wide] [--machines PROFILE_FOLDER] PACKAGE_FOLDER\n"
    "       setup-sim --help | --version\n";

// A message on standard error, in UTF-8 whatever bytes the host's names hold.
int refuse(int status, const std::string& message)
{
    std::cerr << "setup-sim: " << sim::escaped_utf8(message) << '\n';
    if (status == USAGE_ERROR) std::cerr << USAGE;
    return status;
}

// A drive's host folder without a trailing separator, as paths below it are
// compared with it.
fs::path drive_root(const std::string& folder)
{
    const fs::path root = fs::path(folder).lexically_normal();
    return root.has_filename() || !root.has_parent_path() ? root : root.parent_path();
}

// Every file below a folder with its contents, and every folder, to find
// what a run wrote. Only plain files are read: a FIFO or a device that a
// profile's own drive holds is never opened.
struct DriveSnapshot {
    std::map<std::string, std::string> files;
    std::set<std::string> folders;
};

DriveSnapshot snapshot(const std::string& folder)
{
    const fs::path root = drive_root(folder);
    DriveSnapshot drive;
    std::map<std::string, std::string>& files = drive.files;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(root, fs::directory_options::skip_permission_denied, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        const std::string relative = it->path().lexically_relative(root).generic_string();
        std::error_code status_error;
        if (it->is_directory(status_error)) drive.folders.insert(relative);
        if (!it->is_regular_file(status_error)) continue;
        std::ifstream in(it->path(), std::ios::binary);
        std::ostringstream content;
        content << in.rdbuf();
        files[relative] = content.str();
    }
    return drive;
}

// A host path relative to a drive's folder, as the drive's snapshot names
// it, or "" when it is on another drive.
std::string relative_on(const fs::path& root, const std::string& host)
{
    const fs::path relative = fs::path(host).lexically_normal().lexically_relative(root);
    return !relative.empty() && *relative.begin() != ".." ? relative.generic_string() : "";
}

// The files the run wrote on one drive, relative to its folder, even those
// whose bytes did not change.
std::set<std::string> written_on(const fs::path& root, const std::set<std::string>& host_files)
{
    std::set<std::string> written;
    for (const std::string& host : host_files) {
        if (const std::string relative = relative_on(root, host); !relative.empty()) written.insert(relative);
    }
    return written;
}

// When the run first changed each path of one drive, by the path relative
// to the drive's folder.
std::map<std::string, sim::HostChange> changed_on(const fs::path& root,
                                                  const std::map<std::string, sim::HostChange>& host_paths)
{
    std::map<std::string, sim::HostChange> changed;
    for (const auto& [host, change] : host_paths) {
        if (const std::string relative = relative_on(root, host); !relative.empty()) changed.emplace(relative, change);
    }
    return changed;
}

// A Windows path for the run record, which holds the machine's code page:
// the drives name their files in Unicode (UTF-8).
std::string ansi_path(std::string utf8_path)
{
    std::replace(utf8_path.begin(), utf8_path.end(), '/', '\\');
    return sim::utf16_to_ansi(sim::utf8_to_utf16(utf8_path), sim::current_ansi_code_page());
}

std::string windows_path_of(char drive, const std::string& relative)
{
    return ansi_path(std::string(1, drive) + ":\\" + relative);
}

// A change the drives show after a run: a folder made, a file written or
// one deleted (a folder or a deleted file has its path only), with when the
// machine noted it.
struct FoundChange {
    record::EventKind kind = record::EventKind::File;
    record::WrittenFile file;
    sim::HostChange noted{record::NOT_NOTED, record::NOT_NOTED};
};

// What the drives show the run changed, compared with their snapshots from
// before it, added to the run's record among its events where the machine
// noted each change, in the order it made them; a change it did not note
// comes last. A file written with the very bytes of a package file (by
// bytes, its Windows path) is shown as a copy of it.
void add_drive_changes(const sim::Machine& machine, const std::map<char, DriveSnapshot>& before,
                       const std::map<std::string, std::string>& package_files, record::RunRecord* outcome)
{
    std::vector<FoundChange> found;
    for (const auto& [drive_letter, folder] : machine.drives) {
        const char letter = drive_letter;  // clang 14 lets no lambda capture a structured binding
        const DriveSnapshot& earlier = before.at(letter);
        const DriveSnapshot after = snapshot(folder);
        const std::set<std::string> written = written_on(drive_root(folder), machine.host_files_written);
        const std::map<std::string, sim::HostChange> changed = changed_on(drive_root(folder), machine.host_paths_changed);
        const auto change = [&](record::EventKind kind, const std::string& relative, record::WrittenFile file) {
            file.path = windows_path_of(letter, relative);
            FoundChange item{kind, file};
            if (const auto noted = changed.find(relative); noted != changed.end()) item.noted = noted->second;
            found.push_back(item);
        };
        for (const std::string& relative : after.folders) {
            if (earlier.folders.count(relative) == 0) change(record::EventKind::Folder, relative, {});
        }
        for (const auto& [relative, content] : after.files) {
            const auto old = earlier.files.find(relative);
            if (old == earlier.files.end() || old->second != content || written.count(relative) != 0) {
                const auto package_file = package_files.find(content);
                change(record::EventKind::File, relative,
                       {"", content, content.size(), package_file != package_files.end() ? package_file->second : ""});
            }
        }
        for (const auto& [relative, content] : earlier.files) {
            if (after.files.count(relative) == 0) change(record::EventKind::Deleted, relative, {});
        }
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const FoundChange& a, const FoundChange& b) { return a.noted.order < b.noted.order; });
    std::vector<size_t> positions;
    for (const FoundChange& item : found) {
        if (item.kind == record::EventKind::Folder) {
            record::add_folder(outcome, item.file.path);
        } else if (item.kind == record::EventKind::Deleted) {
            record::add_deleted_file(outcome, item.file.path);
        } else {
            record::add_written_file(outcome, item.file);
        }
        positions.push_back(item.noted.events);
    }
    record::place_last_events(outcome, positions);
}

// The folder that holds drive C: for --keep-root: made when missing; false
// with a message when it cannot be used.
bool keep_root_folder(const fs::path& folder, const fs::path& package, std::string* error)
{
    if (lies_within(folder, package)) {
        *error = "--keep-root " + folder.string() + " lies in the package folder " + package.string() +
                 ", which would be copied into itself";
        return false;
    }
    std::error_code failure;
    fs::create_directories(folder, failure);
    if (failure || !fs::is_directory(folder, failure)) {
        *error = "--keep-root " + folder.string() + ": " + (failure ? failure.message() : "not a folder");
        return false;
    }
    return true;
}

// The one command that takes the first word; any other first word is an
// option, or the package folder of a run.
const char CHECK_COMMAND[] = "check";

// A first word that is no option, no path and no folder here is taken for a
// mistyped command ("chek") rather than for a package folder: a package
// folder given by a path that does not exist is still told as such.
bool names_unknown_command(const std::string& first)
{
    std::error_code status_error;
    return !first.empty() && first[0] != '-' && first.find('/') == std::string::npos &&
           !fs::is_directory(first, status_error);
}

int run_command(int argc, char** argv)
{
    if (argc > 1 && std::string(argv[1]) == CHECK_COMMAND) return run_check_command(argc - 2, argv + 2);
    if (argc > 1 && names_unknown_command(argv[1])) {
        return refuse(USAGE_ERROR, std::string("unknown command ") + argv[1] + " (the commands: " + CHECK_COMMAND +
                                       "); no package folder " + argv[1] + " either");
    }

    bool json = false;
    bool exit_code = false;
    bool options_ended = false;
    std::string profile;
    std::string answers;
    std::string keep_root;
    std::string runs_text = "1";
    std::vector<std::string> words;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (!words.empty() || options_ended) {
            words.push_back(argument);
        } else if (argument == "--") {
            options_ended = true;
        } else if (argument == "--json") {
            json = true;
        } else if (argument == "--exit-code") {
            exit_code = true;
        } else if (argument == "--machine" || argument == "--profile" || argument == "--answers" ||
                   argument == "--keep-root" || argument == "--runs") {
            if (i + 1 >= argc) return refuse(USAGE_ERROR, argument + " needs a value");
            (argument == "--answers"     ? answers
             : argument == "--keep-root" ? keep_root
             : argument == "--runs"      ? runs_text
                                         : profile) = argv[++i];
        } else if (argument == "--help" || argument == "-h") {
            std::cout << USAGE;
            return 0;
        } else if (argument == "--version") {
            std::cout << "setup-sim " SETUP_VERSION_TEXT "\n";
            return 0;
        } else if (argument.size() > 1 && argument[0] == '-') {
            return refuse(USAGE_ERROR, "unknown option " + argument);
        } else {
            words.push_back(argument);
        }
    }
    if (words.empty()) return refuse(USAGE_ERROR, "no package folder");
    char* runs_end = nullptr;
    const long runs = std::strtol(runs_text.c_str(), &runs_end, 10);
    if (*runs_end != '\0' || runs < 1 || runs > 100) return refuse(USAGE_ERROR, "--runs takes a number from 1 to 100");
    std::vector<int> answer_codes;
    std::string bad_answer;
    if (!record::parse_answers(answers, &answer_codes, &bad_answer)) {
        return refuse(USAGE_ERROR, "unknown answer " + bad_answer + " (Yes, No, OK, Cancel or a number)");
    }
    const fs::path package = words.front();
    std::error_code status_error;
    if (!fs::is_directory(package, status_error)) return refuse(CANNOT_RUN, "no package folder " + package.string());
    std::string command_line;
    for (size_t i = 1; i < words.size(); ++i) command_line += (i > 1 ? " " : "") + words[i];

    sim::Machine machine;
    builtin_machine(&machine);
    std::string error;
    if (!profile.empty() && !load_machine_profile(profile, &machine, &error)) return refuse(CANNOT_RUN, error);
    machine.answers.insert(machine.answers.end(), answer_codes.begin(), answer_codes.end());

    // Drive C: lives in a folder of its own for the run.
    fs::path root;
    std::optional<TemporaryFolder> temporary;
    if (!keep_root.empty()) {
        if (!keep_root_folder(keep_root, package, &error)) return refuse(CANNOT_RUN, error);
        root = keep_root;
    } else {
        temporary.emplace();
        if (temporary->path().empty()) return refuse(CANNOT_RUN, std::string("no temporary folder: ") + std::strerror(errno));
        root = temporary->path();
    }
    std::string program_folder;
    std::string kept;
    if (!place_package(&machine, package, root, &program_folder, &kept, &error)) return refuse(CANNOT_RUN, error);
    if (!kept.empty()) std::cerr << "setup-sim: drive C: " << sim::escaped_utf8(kept) << '\n';
    const std::string host_folder = sim::host_path_of_unicode(program_folder);

    std::map<std::string, std::string> package_files;  // bytes -> Windows path
    for (const auto& [relative, content] : snapshot(host_folder).files) {
        package_files.emplace(content, ansi_path(program_folder + "\\" + relative));
    }

    // Mutexes the profile names are held by other programs for every run; the
    // program's own mutex ends with its process.
    const std::set<std::string> held_elsewhere = machine.mutexes;
    int last_exit_code = 0;
    for (long run = 1; run <= runs; ++run) {
        machine.mutexes = held_elsewhere;
        machine.record = record::RunRecord{};
        machine.host_files_written.clear();
        machine.host_paths_changed.clear();
        std::map<char, DriveSnapshot> before;
        for (const auto& [letter, folder] : machine.drives) before[letter] = snapshot(folder);

        record::RunRecord& outcome = machine.record;
        outcome.machine = {machine.major,           machine.minor,       machine.build,
                           machine.is_64bit,        machine.system_language, machine.ui_language,
                           sim::current_ansi_code_page()};
        outcome.program_path = sim::ansi_module_path();
        outcome.exit_code = start_program(command_line, &outcome.command_line);
        const RunEnding ending = last_run_ending();
        outcome.result = ending.result;
        outcome.ended_at_once = ending.ended_at_once;

        add_drive_changes(machine, before, package_files, &outcome);
        explain_run(&outcome);
        last_exit_code = outcome.exit_code;
        if (json) {
            std::string object = transcript_json(outcome);
            // One shape for any number of runs: an array of their transcripts.
            object = (run == 1 ? "[" : ", ") + object.substr(0, object.size() - 1) + (run == runs ? "]\n" : "");
            std::cout << object;
        } else {
            if (runs > 1) std::cout << (run > 1 ? "\n" : "") << "Run " << run << " of " << runs << '\n';
            std::cout << transcript_text(outcome);
        }
    }
    sim::install(nullptr);
    reset_process_state();
    // A shell sees the low 8 bits of an exit status: 1603 comes out as 67.
    return exit_code ? last_exit_code & 0xFF : 0;
}

}  // namespace

int main(int argc, char** argv)
{
    remove_temporary_folders_on_signals();
    try {
        return run_command(argc, argv);
    } catch (const std::exception& failure) {
        // Whatever else the host refuses (a file system error, no memory)
        // ends with its message, the temporary folders removed on the way.
        return refuse(CANNOT_RUN, failure.what());
    }
}
