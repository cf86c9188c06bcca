// PROC_: child processes.
#pragma once

#include "platform/types.h"

// CreateProcessA with no application name (the program is the command line's
// first, quoted part), no inherited handles, default flags, the caller's
// environment and directory; then an unbounded wait and the exit code.
// False when the process could not be created (last error set).
bool PROC_CreateAndWait(char* command_line, uint32_t* exit_code);

// ShellExecuteExA with the process handle requested, no owner window; waits
// without time limit. `directory` may be nullptr. With `no_error_ui` the
// shell shows no box of its own when the file cannot be started
// (SEE_MASK_FLAG_NO_UI). False when the execution failed.
bool PROC_ShellExecuteAndWait(const char* verb, const char* file, const char* parameters,
                              const char* directory, int show_command, bool no_error_ui);
constexpr int PROC_SW_HIDE = 0;
