#include "setup-sim/check_command.h"

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "setup-sim/check_report.h"
#include "setup-sim/package_check.h"
#include "setup-sim/profile_loader.h"

namespace fs = std::filesystem;

namespace {

constexpr int NOTHING_WRONG = 0;
constexpr int FINDINGS = 1;
constexpr int UNREADABLE = 2;
constexpr int USAGE_ERROR = 64;

int usage()
{
    std::cerr << "usage: setup-sim check PACKAGE_FOLDER [--machines PROFILE_FOLDER] [--json]\n";
    return USAGE_ERROR;
}

// Every machine profile of the folder (its *.ini files, by name), each on
// top of the built-in machine.
bool load_profiles(const fs::path& folder, std::vector<ProfileMachine>* profiles, std::string* error)
{
    std::error_code list_error;
    std::vector<fs::path> files;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, list_error)) {
        if (entry.is_regular_file() && entry.path().extension() == ".ini") files.push_back(entry.path());
    }
    if (list_error) {
        *error = folder.string() + ": " + list_error.message();
        return false;
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
        ProfileMachine profile{file.filename().string(), {}};
        builtin_machine(&profile.machine);
        std::string profile_error;
        if (!load_machine_profile(file.string(), &profile.machine, &profile_error)) {
            *error = file.string() + ": " + profile_error;
            return false;
        }
        profiles->push_back(profile);
    }
    return true;
}

}  // namespace

int run_check_command(int count, char** arguments)
{
    bool json = false;
    std::string package;
    std::string machines;
    for (int i = 0; i < count; ++i) {
        const std::string argument = arguments[i];
        if (argument == "--json") {
            json = true;
        } else if (argument == "--machines" && i + 1 < count) {
            machines = arguments[++i];
        } else if (argument.rfind("--", 0) != 0 && package.empty()) {
            package = argument;
        } else {
            return usage();
        }
    }
    if (package.empty()) return usage();

    std::vector<ProfileMachine> profiles;
    std::string error;
    if (!machines.empty() && !load_profiles(machines, &profiles, &error)) {
        std::cerr << "setup-sim check: " << error << '\n';
        return UNREADABLE;
    }
    PackageCheck check;
    if (!check_package(package, profiles, &check, &error)) {
        std::cerr << "setup-sim check: " << error << '\n';
        return UNREADABLE;
    }
    std::cout << (json ? check_report_json(package, check) : check_report_text(package, check));
    return check.findings.empty() ? NOTHING_WRONG : FINDINGS;
}
