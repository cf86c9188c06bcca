// Public properties: NAME=value settings in a "/v" token of the command line.
#pragma once

#include "platform/types.h"
#include "setup/context.h"

// Handles one property token in the fixed order EXTRACTDRIVERS, FORCE,
// FRESHINSTALL, FORCERESTART, LOGFILE, DEBUG: 0, UNKNOWN_OPTION for a
// boolean that is neither "true" nor "false", or the extraction's result
// when the token holds EXTRACTDRIVERS (nothing else of it is looked at then).
int parse_public_properties(ModuleHandle instance, const char* token, SetupContext* context);
