// The entry point's fixed sequence and its small helpers.
#pragma once

#include "platform/types.h"
#include "setup/context.h"
#include "setup/entry.h"

// The notice of a layout-2 package that matched no device of the machine.
constexpr const char* NOT_SUPPORTED_NOTICE = "This driver does not support your touchpad";

void reset_public_properties();
int check_system_language();
int no_matching_configuration(const SetupContext* context);
// The package INF: the first "*.inf" in the engine's folder into inf_path
// (PATH_CAPACITY), its folder into g_process.inf_folder. find_package_inf
// gives the error when there is none; locate_package_inf shows it in the
// files-missing box.
bool find_package_inf(const char* engine_path, char* inf_path, uint32_t* error);
int locate_package_inf(ModuleHandle instance, const char* engine_path, char* inf_path);
