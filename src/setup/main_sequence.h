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
// The package INF: the first "*.inf" in the engine's folder, whose folder
// becomes inf_folder. False with the Windows error when there is none.
bool find_package_inf(const char* engine_path, char* inf_path, uint32_t* error);
// The same, with the files-missing box when there is none.
int locate_package_inf(ModuleHandle instance, const char* engine_path, char* inf_path);
