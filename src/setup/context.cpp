#include "setup/context.h"

#include <cstdlib>
#include <cstring>

ProcessState g_process;

void reset_process_state()
{
    std::free(g_process.device_instance_ids.buffer);
    std::memset(&g_process, 0, sizeof g_process);
}
