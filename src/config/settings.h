// The settings file beside the program (its own name with ".ini").
#pragma once

#include <cstdint>

#include "platform/types.h"
#include "setup/context.h"

int load_setup_settings(ModuleHandle instance, SetupContext* context);
