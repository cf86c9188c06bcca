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

// The support key of a bus type's section for an OS slot
// ("x64_support_win10" for os_index 7).
const char* support_key(uint32_t os_index);

// A support entry ("yes,Cfg10,yes,Extra") split in place into its fields.
// `supported` holds when it says yes and carries every field that needs:
// the configuration section, the subfolder answer and, when that is not no,
// the subfolder.
struct SupportEntry {
    bool says_yes;
    bool supported;
    const char* section_name;
    bool has_extract_subfolder;
    const char* extract_subfolder;
};
SupportEntry split_support_entry(char* entry);
