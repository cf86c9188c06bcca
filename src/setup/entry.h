// The program's run, as the platform's entry point calls it. Kept apart from
// the program's other headers so that the Windows entry point can include it
// beside <windows.h>.
#pragma once

#include "platform/types.h"

// The whole run: returns the process exit code. `command_text` is the command
// line after the program name, as the entry point received it.
int run_setup(ModuleHandle instance, const char* command_text);

// How the last run ended, for a tool that hosts the run and reports it: the
// result code its exit code came from, and whether the process ended at
// once, without the end of run.
struct RunEnding {
    int result;
    bool ended_at_once;
};
RunEnding last_run_ending();
