// The settings file beside the program (its own name with ".ini").
#pragma once

#include <cstdint>

#include "platform/sys.h"
#include "platform/types.h"
#include "setup/context.h"

int load_setup_settings(ModuleHandle instance, SetupContext* context);

// The engine sections of layout 1 for a Windows version and bitness: the one
// named after it ("W764", "VISTA32", ...), and the one that takes over when
// that section leaves the engine at the stock DPInst.exe ("Vi32", "Vi64" on
// Windows 8 and later; nullptr elsewhere). False for a Windows that no
// section is named after.
struct Layout1Sections {
    const char* primary;
    const char* fallback;
};
bool layout1_engine_sections(const SYS_OsVersion& os, bool is_64bit, Layout1Sections* sections);
