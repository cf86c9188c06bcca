// Reads of the settings file beside the program (its own name with ".ini"),
// shared by the layout-1 settings, the support matrix and the ACPI check.
#pragma once

#include <cstdint>

#include "setup/context.h"

// The engine a section names when it has no "Path".
constexpr const char* STOCK_ENGINE = ".\\DPInst.exe";

// The settings file's path: the program's path with its extension replaced by ".ini".
void settings_path(char* path);

// One read of the settings file, whose path is derived afresh from the
// program's own file name each time.
uint32_t read_setting_string(const char* section, const char* key, char* buffer, uint32_t capacity,
                             const char* default_value);
uint32_t read_setting_int(const char* section, const char* key, int32_t default_value);

// Takes "Path", "Default", "Silent" and "Support" of an engine section into
// the context (stock values where keys are missing); returns support_flags.
uint32_t apply_engine_section(const char* section, SetupContext* context);
