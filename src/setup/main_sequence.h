// The entry point's fixed sequence and its small helpers.
#pragma once

#include "platform/types.h"
#include "setup/context.h"
#include "setup/entry.h"

void reset_public_properties();
int is_silent_mode();
int check_system_language();
int is_64bit_os();
int no_matching_configuration(const SetupContext* context);
int locate_package_inf(ModuleHandle instance, const char* engine_path, char* inf_path);

// Windows 8 or later by the OS version record (NT 6.2+, 6.3+ or 10+).
bool is_windows8_or_later(const SYS_OsVersion* version);
