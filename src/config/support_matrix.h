// Layout 2: bus types, OS slots and configuration sections, and the choice of
// the configuration section whose INF declares a device of this machine.
#pragma once

#include <cstdint>

#include "setup/context.h"

// Reads the whole matrix; 1 when "support_types" names at least one bus type.
int load_support_matrix(SetupContext* context);

// Fills the next bus type of the record: 1, or 0 when the record has no room
// left (the bus type is then not looked at).
int get_bus_information(const char* bus_name, SetupContext* context);

// Finds or adds the configuration section, matches its INF against the
// machine for the slot and returns the section's index;
// MAX_CONFIGURATION_SECTIONS when a new section has no room left.
uint32_t register_configuration_section(const char* section_name, SetupContext* context, const os_slot* slot);

// Whether the slot is the running Windows version and bitness.
bool is_running_os_slot(const os_slot* slot);
