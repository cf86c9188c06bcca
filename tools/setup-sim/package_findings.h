// What is wrong with a package: each finding names the file and line it
// concerns and says what the program does because of it. The files are
// looked at (a section's size, the blanks in a field, the bytes of the
// settings file), but what the program does is what its own routines did on
// a simulated machine.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/sim/ini.h"
#include "setup-sim/check_session.h"
#include "setup-sim/package_check.h"

// Where in the package a finding is: a file (or folder), and in it a
// section, one of its key lines or its n-th line.
struct Place {
    std::string file;     // Windows path, as the program names it
    std::string section;  // "" for the file as a whole
    std::string key;      // "" for the section's header line
    int entry = -1;       // from 0: the section's line of that index, as a section read lists them
    std::string shown;    // what the finding names in it: "[PS2] x64_support_win81=yes, CfgPS2, no"
    uint32_t line = 0;    // a line given outright (the bytes of the file), or 0
};

// The lines of the package's settings file and INFs: each file read once a
// check and split into sections and key lines by the profile reader's rules.
class PackageLines {
public:
    // The line of the place on the session's machine, from 1; 0 when the
    // file, its section or the key is not there.
    uint32_t line_of(const Place& place);

private:
    std::map<std::string, sim::IniDocument> documents_;
};

// The settings file and the INFs it names, while `session` holds the package
// just after a run, so that the program's record holds the settings as it
// read them (and, in layout 2, check.supported_slots what it read of the INFs).
void find_settings_problems(CheckSession& session, const PackageCheck& check, PackageLines& lines,
                            std::vector<Finding>* findings);

// The settings file's bytes against the code page of the session's machine:
// a UTF-8 byte-order mark, text in another encoding.
void find_encoding_problems(CheckSession& session, PackageLines& lines, std::vector<Finding>* findings);

// What one run used, on its session just after `row` was taken: its engine
// section, the engine, the INF beside it and the version library.
void find_run_problems(CheckSession& session, const PackageCheck& check, const CheckRow& row, PackageLines& lines,
                       std::vector<Finding>* findings);

// Hardware IDs whose component has letters in a case that no device instance
// ID carries, with what the runs on a machine with that touch pad did.
void find_case_problems(const PackageCheck& check, std::vector<Finding>* findings);

// Every run that fails (a refusal, a program that cannot start, an engine
// that is no image) is told by a finding of the file responsible for it:
// where no other finding names that file, the run's own reason becomes one,
// once for all the runs that fail the same way. A Windows the program has
// no engine section for at all (Windows 2000) is no fault of the package.
void find_untold_failures(const PackageCheck& check, const std::string& settings_file, std::vector<Finding>* findings);

// The touch pads "[SupportOS_Option] OnlyWin7" names against those the INFs
// of the package declare in their models sections: the program looks for
// the device's ID, which Windows lists in upper case, in the list as
// written, so a name in another case, or one no INF declares, never applies.
void find_only_win7_problems(CheckSession& session, PackageLines& lines, const std::filesystem::path& package,
                             std::vector<Finding>* findings);

// Layout 2: the touch pads a configuration section declares for one
// bitness of a Windows and not for the other (VXB0801 for x86, VXB8001 for
// x64), where both are supported: a touch pad that works on one only.
void find_bitness_problems(const PackageCheck& check, std::vector<Finding>* findings);
