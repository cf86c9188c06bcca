#include "setup-sim/check_command.h"

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "platform/sim/codepage.h"
#include "program_version.h"
#include "setup-sim/check_progress.h"
#include "setup-sim/check_report.h"
#include "setup-sim/package_check.h"
#include "setup-sim/profile_loader.h"

namespace fs = std::filesystem;

namespace {

constexpr int NOTHING_WRONG = 0;
constexpr int FINDINGS = 1;
constexpr int UNREADABLE = 2;
constexpr int USAGE_ERROR = 64;

const char USAGE[] = "usage: setup-sim check [--json | --wide] [--machines PROFILE_FOLDER] PACKAGE_FOLDER\n"
                     "       setup-sim check --help | --version\n";

int usage_error(const std::string& message)
{
    std::cerr << "setup-sim check: " << sim::escaped_utf8(message) << '\n' << USAGE;
    return USAGE_ERROR;
}

// Every machine profile of the folder (its *.ini files, by name), each on
// top of the built-in machine.
bool load_profiles(const fs::path& folder, std::vector<ProfileMachine>* profiles, std::string* error)
{
    std::error_code list_error;
    std::vector<fs::path> files;
    fs::directory_iterator entries(folder, list_error);
    for (; !list_error && entries != fs::directory_iterator(); entries.increment(list_error)) {
        std::error_code status_error;
        if (entries->is_regular_file(status_error) && entries->path().extension() == ".ini") {
            files.push_back(entries->path());
        }
    }
    if (list_error) {
        *error = folder.string() + ": " + list_error.message();
        return false;
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
        ProfileMachine profile{file.filename().string(), {}};
        builtin_machine(&profile.machine);
        if (!load_machine_profile(file.string(), &profile.machine, error)) return false;
        profiles->push_back(profile);
    }
    return true;
}

}  // namespace

int run_check_command(int count, char** arguments)
{
    bool json = false;
    bool wide = false;
    std::string package;
    std::string machines;
    for (int i = 0; i < count; ++i) {
        const std::string argument = arguments[i];
        if (argument == "--json") {
            json = true;
        } else if (argument == "--wide") {
            wide = true;
        } else if (argument == "--help" || argument == "-h") {
            std::cout << USAGE;
            return NOTHING_WRONG;
        } else if (argument == "--version") {
            std::cout << "setup-sim check " SETUP_VERSION_TEXT "\n";
            return NOTHING_WRONG;
        } else if (argument == "--machines") {
            if (i + 1 >= count) return usage_error("--machines needs a folder");
            machines = arguments[++i];
        } else if (argument.size() > 1 && argument[0] == '-') {
            return usage_error("unknown option " + argument);
        } else if (package.empty()) {
            package = argument;
        } else {
            return usage_error("one package folder only; " + argument + " is a second");
        }
    }
    if (package.empty()) return usage_error("no package folder");
    if (json && wide) return usage_error("--json and --wide exclude each other: the JSON holds every column already");

    std::vector<ProfileMachine> profiles;
    std::string error;
    if (!machines.empty() && !load_profiles(machines, &profiles, &error)) {
        std::cerr << "setup-sim check: " << sim::escaped_utf8(error) << '\n';
        return UNREADABLE;
    }
    PackageCheck check;
    CheckProgress progress(std::cerr);
    if (!check_package(package, profiles, &check, &error, &progress)) {
        std::cerr << "setup-sim check: " << sim::escaped_utf8(error) << '\n';
        return UNREADABLE;
    }
    const std::string shown = sim::escaped_utf8(package);
    std::cout << (json ? check_report_json(shown, check) : check_report_text(shown, check, wide));
    return check.findings.empty() ? NOTHING_WRONG : FINDINGS;
}
