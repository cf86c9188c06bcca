// What the program read of a package over all the runs of a check: each
// section and key it asked the settings file and the INFs for, found or not.
// The findings that follow from it name the lines no run read (with the
// name the program does read nearest to them) and the names the program
// asked for that a list it splits at commas holds joined by another
// separator. The trace is the simulated machine's (sim::Machine::read_trace),
// kept only while the program runs, never while the check looks at the files
// itself.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/sim/machine.h"
#include "setup-sim/check_session.h"
#include "setup-sim/package_check.h"

// One name the program asked a file for: a section, or a key of a section
// (key "" for the section read whole).
struct AskedName {
    std::string section;
    std::string key;
    bool found = false;
    auto operator<=>(const AskedName&) const = default;
};

// The names as a finding lists them: "A, B and C".
std::string listed(const std::vector<std::string>& names);

class PackageReads {
public:
    // The session's machine keeps a trace from here on...
    void start(CheckSession& session);
    // ...until here, when what it read of the package is added.
    void finish(CheckSession& session);

    // By file, its path in the package as the host names it ("I2C/VxI2C.inf").
    const std::map<std::string, std::set<AskedName>>& files() const { return files_; }

private:
    std::set<sim::FileRead> trace_;
    std::map<std::string, std::set<AskedName>> files_;
};

// The findings of the reads: `settings_file` is the settings file's path in
// the package as the host names it ("Setup.ini"), `code_page` the one the
// package's files were read in.
void find_read_problems(const PackageReads& reads, const std::filesystem::path& package,
                        const std::string& settings_file, uint32_t code_page, std::vector<Finding>* findings);

// Names outside ASCII among `opened` (paths in the package, in UTF-8 as
// findings name them: the files the runs read and the engines they looked
// at): the program opens them by their ANSI names, which only some code
// pages spell. Each one there is gets a warning naming those code pages.
void find_name_problems(const std::filesystem::path& package, const std::set<std::string>& opened,
                        std::vector<Finding>* findings);
