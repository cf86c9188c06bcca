// The program's run, as the platform's entry point calls it. Kept apart from
// the program's other headers so that the Windows entry point can include it
// beside <windows.h>.
#pragma once

#include "platform/types.h"

// The whole run: returns the process exit code. `command_text` is the command
// line after the program name, as the entry point received it.
int run_setup(ModuleHandle instance, const char* command_text);
