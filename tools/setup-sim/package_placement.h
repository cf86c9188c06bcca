// A package folder laid onto a simulated machine, the way setup-sim runs it
// and the package check tries it.
#pragma once

#include <filesystem>
#include <string>

#include "platform/sim/machine.h"

// A new empty folder below /tmp for a drive of the machine; false when none
// could be made.
bool make_temporary_folder(std::filesystem::path* folder);

// Installs the machine, with drive C: behind `drive_c` unless the machine
// maps C: already, makes its Windows folder and copies the package folder
// to the machine's program folder (the folder of its module path), whose
// Windows path comes back in `program_folder`. False with a message when
// either folder is on no mapped drive.
bool place_package(sim::Machine* machine, const std::filesystem::path& package, const std::filesystem::path& drive_c,
                   std::string* program_folder, std::string* error);
