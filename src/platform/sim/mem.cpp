#include <cstdlib>

#include "platform/mem.h"
#include "platform/sim/machine.h"

// The host's heap, with the machine's injected failures: an allocation the
// machine refuses leaves the last error at what it was told (8, not enough
// memory, as a rule).
void* MEM_Alloc(size_t size)
{
    if (sim::operation_fails(sim::OperationKind::Memory)) return nullptr;
    return std::calloc(size > 0 ? size : 1, 1);
}

void* MEM_Realloc(void* block, size_t size)
{
    if (sim::operation_fails(sim::OperationKind::Memory)) return nullptr;
    return std::realloc(block, size > 0 ? size : 1);
}

void MEM_Free(void* block)
{
    std::free(block);
}
