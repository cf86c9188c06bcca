// The command line: slash tokens, their classification, the log option and
// the "/extract_all:" option.
#pragma once

#include "platform/types.h"
#include "setup/context.h"

// Splits and classifies the command line, runs the property and log-option
// handlers, and rewrites `command_line` to the last mode option given.
// 0 to go on, UNKNOWN_OPTION or DEP_SOFT_ERROR from a handler (the command
// line is then left as it was), or COMPLETED after an EXTRACTDRIVERS run.
int parse_command_line(char* command_line, char* custom_request_name, ModuleHandle instance,
                       SetupContext* context);

// "/f2 <file>" and "/f2DEBUG <file>": the response report's file, and debug.
int parse_log_file_option(const char* token);

// "/extract_all:<path>" in the rewritten command line: 0 when absent, else
// COMPLETED or DEP_SOFT_ERROR after the extraction.
int handle_extract_all_option(ModuleHandle instance, const char* command_line, SetupContext* context);
