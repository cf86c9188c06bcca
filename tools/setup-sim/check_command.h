// setup-sim check PACKAGE [--machines DIR] [--json]: what the package does on
// each Windows (and on each machine profile of DIR), and what is wrong with it.
#pragma once

// Exit status: 0 nothing wrong, 1 findings, 2 the package or a machine
// profile cannot be read, 64 a mistake on the command line. `arguments`
// are the words after "check".
int run_check_command(int count, char** arguments);
