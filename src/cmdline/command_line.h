// The command line: options and public properties.
#pragma once

#include "platform/types.h"
#include "setup/context.h"

int parse_command_line(char* command_line, char* custom_request_name, ModuleHandle instance,
                       SetupContext* context);
int handle_extract_all_option(ModuleHandle instance, const char* command_line, SetupContext* context);
