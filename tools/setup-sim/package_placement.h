// A package folder laid onto a simulated machine, the way setup-sim runs it
// and the package check tries it.
#pragma once

#include <filesystem>
#include <string>

#include "platform/sim/machine.h"

// Whether `path` is `folder` or lies below it, both taken as the host
// resolves them (links, "." and ".."); a part that does not exist yet is
// taken as written.
bool lies_within(const std::filesystem::path& path, const std::filesystem::path& folder);

// Installs the machine, with drive C: behind `drive_c` unless the machine
// maps C: already, makes its Windows folder and copies the package folder
// to the machine's program folder (the folder of its module path), whose
// Windows path (in Unicode, UTF-8) comes back in `program_folder`. When
// drive C: held anything before (a drive used again), `kept` (may be
// nullptr) says what stays of it; else it is "". False with a message naming
// the host file when the program folder or the Windows folder (%SYSTEMROOT%)
// is on no mapped drive, would lie inside the package or hold it, or the
// package holds what a Windows folder cannot: a link that leads nowhere or
// round in a loop, a FIFO, a socket or a device.
bool place_package(sim::Machine* machine, const std::filesystem::path& package, const std::filesystem::path& drive_c,
                   std::string* program_folder, std::string* kept, std::string* error);
