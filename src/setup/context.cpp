#include "setup/context.h"

#include <cstdlib>

ProcessState g_process;

void reset_process_state()
{
    std::free(g_process.device_instance_ids.buffer);
    g_process = ProcessState{};
}
