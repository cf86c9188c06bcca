// Machine profiles: INI files that describe a simulated Windows computer.
#pragma once

#include <string>

#include "platform/sim/machine.h"

// The setup class of mice and touch pads.
constexpr const char* MOUSE_CLASS_GUID = "{4D36E96F-E325-11CE-BFC1-08002BE10318}";

// The machine setup-sim uses without a profile: 64-bit Windows 10, English,
// with a touch pad that the example packages support.
void builtin_machine(sim::Machine* machine);

// Fill `machine` from a profile; what the profile leaves out keeps the
// built-in machine's value. False on a profile that cannot be read or is
// malformed, with a message that begins with the file ("win7.ini: ...") and,
// for a mistake in it, its line ("win7.ini:3: [Machine] Version: ...").
// [Drives] must name folders that exist: none is made on the host.
bool load_machine_profile(const std::string& host_file, sim::Machine* machine, std::string* error);
