// The command-line text a program's WinMain receives, shared by every start
// of the program: the real one (SetupCheck.exe hands Setup.exe's logic what
// Setup.exe would receive) and the simulated machine's.
#pragma once

// What the MinGW-w64 start-up code (crtexe.c) hands WinMain from the
// process's ANSI command line (GetCommandLineA): the text after the program's
// name. The name runs to the first byte that is not above ' ' outside double
// quotes; what follows it is skipped while it is not above ' '. The start-up
// code compares plain `char`, which is signed on x86, so every byte from 0x80
// up counts as "not above ' '" too: a name is cut there, and such bytes right
// after the name are skipped with the blanks ("Setup.exe \xC4/s" hands "/s").
// It steps byte by byte (it is built without _MBCS); no trail byte of a
// double-byte code page is a quote, so that gives the same cut.
const char* SYS_WinMainCommandText(const char* command_line);
