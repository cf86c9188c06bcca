#include "setup/context.h"

#include "platform/mem.h"

ProcessState g_process;

void reset_process_state()
{
    MEM_Free(g_process.device_instance_ids.buffer);
    g_process = ProcessState{};
}
