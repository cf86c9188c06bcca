// setup-sim: runs the setup program on a simulated Windows machine and prints
// what it did.
//
//   setup-sim [--json] [--machine PROFILE.ini] [--answers Yes,No,...]     (--profile = --machine)
//             [--keep-root DIR] [--runs N] PACKAGE_FOLDER [COMMAND LINE WORDS...]
//   setup-sim check PACKAGE_FOLDER [--machines PROFILE_FOLDER] [--json]
//
// The package folder is copied onto the machine's drive C: at the profile's
// program folder (C:\Package by default) and the program runs as Setup.exe
// inside it, with the remaining words, joined by blanks, as its command line.
// With --runs it runs that many times in a row on the same machine (files,
// registry and the answers left carry over), one transcript per run.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/sim/machine.h"
#include "platform/sim/codepage.h"
#include "setup-sim/check_command.h"
#include "setup-sim/package_placement.h"
#include "setup-sim/profile_loader.h"
#include "setup-sim/program_start.h"
#include "setup/context.h"
#include "setup/entry.h"
#include "transcript/transcript.h"

namespace fs = std::filesystem;

namespace {

constexpr int USAGE_ERROR = 64;

void usage()
{
    std::cerr << "usage: setup-sim [--json] [--machine PROFILE.ini] [--answers Yes,No,...] [--keep-root DIR]\n"
                 "                 [--runs N] PACKAGE_FOLDER [COMMAND LINE WORDS...]\n"
                 "       setup-sim check PACKAGE_FOLDER [--machines PROFILE_FOLDER] [--json]\n";
}

// Every file below a folder with its contents, and every folder, to find
// what a run wrote.
struct DriveSnapshot {
    std::map<std::string, std::string> files;
    std::set<std::string> folders;
};

DriveSnapshot snapshot(const fs::path& root)
{
    DriveSnapshot drive;
    std::map<std::string, std::string>& files = drive.files;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(root, error); !error && it != fs::recursive_directory_iterator();
         it.increment(error)) {
        if (it->is_directory(error)) drive.folders.insert(fs::relative(it->path(), root).generic_string());
        if (!it->is_regular_file(error)) continue;
        std::ifstream in(it->path(), std::ios::binary);
        std::ostringstream content;
        content << in.rdbuf();
        files[fs::relative(it->path(), root).generic_string()] = content.str();
    }
    return drive;
}

std::string windows_path_of(char drive, const std::string& relative)
{
    std::string path = std::string(1, drive) + ":\\" + relative;
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::string(argv[1]) == "check") return run_check_command(argc - 2, argv + 2);

    bool json = false;
    std::string profile;
    std::string answers;
    std::string keep_root;
    std::string runs_text = "1";
    std::vector<std::string> words;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (words.empty() && argument == "--json") {
            json = true;
        } else if (words.empty() && (argument == "--machine" || argument == "--profile" || argument == "--answers" ||
                                     argument == "--keep-root" || argument == "--runs")) {
            if (i + 1 >= argc) {
                usage();
                return USAGE_ERROR;
            }
            (argument == "--answers"     ? answers
             : argument == "--keep-root" ? keep_root
             : argument == "--runs"      ? runs_text
                                         : profile) = argv[++i];
        } else if (words.empty() && (argument == "--help" || argument == "-h")) {
            usage();
            return 0;
        } else {
            words.push_back(argument);
        }
    }
    if (words.empty()) {
        usage();
        return USAGE_ERROR;
    }
    const fs::path package = words.front();
    if (!fs::is_directory(package)) {
        std::cerr << "setup-sim: no package folder " << package << '\n';
        return USAGE_ERROR;
    }
    char* runs_end = nullptr;
    const long runs = std::strtol(runs_text.c_str(), &runs_end, 10);
    if (*runs_end != '\0' || runs < 1 || runs > 100) {
        std::cerr << "setup-sim: --runs takes a number from 1 to 100\n";
        return USAGE_ERROR;
    }
    std::string command_line;
    for (size_t i = 1; i < words.size(); ++i) command_line += (i > 1 ? " " : "") + words[i];

    sim::Machine machine;
    builtin_machine(&machine);
    std::string error;
    if (!profile.empty() && !load_machine_profile(profile, &machine, &error)) {
        std::cerr << "setup-sim: " << profile << ": " << error << '\n';
        return USAGE_ERROR;
    }
    std::stringstream answer_list(answers);
    for (std::string word; std::getline(answer_list, word, ',');) {
        const int answer = parse_answer(word);
        if (answer == 0) {
            std::cerr << "setup-sim: unknown answer " << word << '\n';
            return USAGE_ERROR;
        }
        machine.answers.push_back(answer);
    }

    // Drive C: lives in a folder of its own for the run.
    fs::path root;
    if (!keep_root.empty()) {
        root = keep_root;
        fs::create_directories(root);
    } else if (!make_temporary_folder(&root)) {
        std::perror("setup-sim: temporary folder");
        return 1;
    }
    std::string program_folder;
    if (!place_package(&machine, package, root, &program_folder, &error)) {
        std::cerr << "setup-sim: " << error << '\n';
        return USAGE_ERROR;
    }
    const std::string host_folder = sim::host_path_of_unicode(program_folder);

    // A file that a run writes with the very bytes of a package file is shown
    // as a copy of it.
    std::map<std::string, std::string> package_files;  // bytes -> Windows path
    for (const auto& [relative, content] : snapshot(host_folder).files) {
        std::string path = program_folder + "\\" + relative;
        std::replace(path.begin(), path.end(), '/', '\\');
        package_files.emplace(content, path);
    }

    // Mutexes the profile names are held by other programs for every run; the
    // program's own mutex ends with its process.
    const std::set<std::string> held_elsewhere = machine.mutexes;
    for (long run = 1; run <= runs; ++run) {
        machine.mutexes = held_elsewhere;
        machine.record = record::RunRecord{};
        std::map<char, DriveSnapshot> before;
        for (const auto& [letter, folder] : machine.drives) before[letter] = snapshot(folder);

        record::RunRecord& outcome = machine.record;
        outcome.machine = {machine.major,           machine.minor,       machine.build,
                           machine.is_64bit,        machine.system_language, machine.ui_language,
                           sim::current_ansi_code_page()};
        outcome.program_path = machine.module_path;
        outcome.exit_code = start_program(command_line, &outcome.command_line);
        const RunEnding ending = last_run_ending();
        outcome.result = ending.result;
        outcome.ended_at_once = ending.ended_at_once;

        for (const auto& [letter, folder] : machine.drives) {
            const DriveSnapshot after = snapshot(folder);
            for (const std::string& relative : after.folders) {
                if (before[letter].folders.count(relative) == 0) {
                    outcome.folders_created.push_back(windows_path_of(letter, relative));
                }
            }
            for (const auto& [relative, content] : after.files) {
                const auto earlier = before[letter].files.find(relative);
                if (earlier == before[letter].files.end() || earlier->second != content) {
                    const auto package_file = package_files.find(content);
                    outcome.files_written.push_back({windows_path_of(letter, relative), content, content.size(),
                                                     package_file != package_files.end() ? package_file->second : ""});
                }
            }
            for (const auto& [relative, content] : before[letter].files) {
                if (after.files.count(relative) == 0) outcome.files_deleted.push_back(windows_path_of(letter, relative));
            }
        }
        if (json) {
            std::string object = transcript_json(outcome);
            if (runs > 1) object = (run == 1 ? "[" : ", ") + object.substr(0, object.size() - 1) + (run == runs ? "]\n" : "");
            std::cout << object;
        } else {
            if (runs > 1) std::cout << (run > 1 ? "\n" : "") << "Run " << run << " of " << runs << '\n';
            std::cout << transcript_text(outcome);
        }
    }
    sim::install(nullptr);
    reset_process_state();
    if (keep_root.empty()) {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
    return 0;
}
