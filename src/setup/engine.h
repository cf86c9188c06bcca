// The installer engine: platform check, launch with exit-code mapping, restart.
#pragma once

#include <cstdint>

#include "platform/types.h"
#include "setup/context.h"

int CheckExeAndPlatform(ModuleHandle instance, const char* engine_path);
int launch_installer_engine(ModuleHandle instance, const SetupContext* context);
void restart_system(int result);

// The engine's full path: the program's folder with engine_path path-appended.
// False when the program's path cannot be read or the join fails.
bool engine_full_path(const char* engine_path, char* path);

// The quoted engine path followed by the options for this run's mode.
void build_engine_command_line(const SetupContext* context, char* command_line, uint32_t capacity);

// The result code for an engine exit code.
int map_engine_exit_code(uint32_t exit_code);

// The fields of an engine exit code, for people reading what a run did.
struct EngineExitFields {
    bool failed;          // a driver package could not be installed
    bool restart_needed;
    uint32_t installed;   // packages installed on a device
    uint32_t store_only;  // packages copied to the driver store without being installed on a device
};
EngineExitFields decode_engine_exit_code(uint32_t exit_code);
