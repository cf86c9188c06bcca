// The settings file beside the program (its own name with ".ini").
#pragma once

#include <cstdint>

#include "platform/types.h"
#include "setup/context.h"

int load_setup_settings(ModuleHandle instance, SetupContext* context);
uint32_t apply_engine_section(const char* section, SetupContext* context);

// One read of the settings file, whose path is derived afresh from the
// program's own file name each time.
uint32_t read_setting_string(const char* section, const char* key, char* buffer, uint32_t capacity,
                             const char* default_value);
uint32_t read_setting_int(const char* section, const char* key, int32_t default_value);

// The settings file's path: the program's path with its extension replaced by ".ini".
void settings_path(char* path);
