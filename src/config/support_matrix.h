// Layout 2: bus types, OS slots and configuration sections.
#pragma once

#include <cstdint>

#include "setup/context.h"

int load_support_matrix(SetupContext* context);
