// The program started on the simulated machine as Windows starts a process:
// the one way setup-sim, its package check, the tests and the benchmarks run it.
#pragma once

#include <string>

// Runs the program as a new process on the installed machine. The command
// line arrives as the host gives it, in UTF-8: the program's quoted path (the
// machine's module path) and, after a blank, `arguments`. Windows converts
// it to the machine's ANSI code page for GetCommandLineA (best fit, '?' for a
// character the code page lacks), and the start-up code hands WinMain the
// text after the program's name (SYS_WinMainCommandText). Returns the
// process exit code; `winmain_text`, when given, receives what WinMain got.
int start_program(const std::string& arguments, std::string* winmain_text = nullptr);
