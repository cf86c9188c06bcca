// Layout 2: bus types, OS slots and configuration sections.
#pragma once

#include <cstdint>

#include "setup/context.h"

int load_support_matrix(SetupContext* context);
int get_bus_information(const char* bus_name, SetupContext* context);
uint32_t register_configuration_section(const char* section_name, SetupContext* context, const os_slot* slot);
bool is_running_os_slot(const os_slot* slot);
