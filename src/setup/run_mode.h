// The run's mode and the facts about the Windows it runs on, asked afresh at
// each use by every subsystem that behaves differently in a silent run or on
// 64-bit Windows.
#pragma once

#include "platform/sys.h"

// 1 when the whole (rewritten) command line is "/q" or "/s", in any case.
int is_silent_mode();

// 1 on 64-bit Windows, asked through kernel32's WOW64 export.
int is_64bit_os();

// Windows 8 or later by the OS version record (NT 6.2+, 6.3+ or 10+).
bool is_windows8_or_later(const SYS_OsVersion* version);
