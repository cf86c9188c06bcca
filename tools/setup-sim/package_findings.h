// What is wrong with a package: each finding names the settings line or the
// file it concerns and says what the program does because of it. The files
// are looked at (a section's size, the blanks in a field), but what the
// program does is what its own routines did on a simulated machine.
#pragma once

#include <vector>

#include "setup-sim/check_session.h"
#include "setup-sim/package_check.h"

// The settings file and the INFs it names, while `session` holds the package
// just after a run, so that the program's record holds the settings as it
// read them (and, in layout 2, check.supported_slots what it read of the INFs).
void find_settings_problems(CheckSession& session, const PackageCheck& check, std::vector<Finding>* findings);

// What one run used, on its session just after `row` was taken: its engine
// section, the engine, the INF beside it and the version library.
void find_run_problems(CheckSession& session, const PackageCheck& check, const CheckRow& row,
                       std::vector<Finding>* findings);

// Hardware IDs whose component has letters in a case that no device instance
// ID carries, with what the runs on a machine with that touch pad did.
void find_case_problems(const PackageCheck& check, std::vector<Finding>* findings);
