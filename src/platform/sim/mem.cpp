#include <cstdint>
#include <cstdlib>

#include "platform/mem.h"
#include "platform/sim/machine.h"

bool sim::within_address_space(uint64_t size)
{
    constexpr uint64_t GB = uint64_t{1} << 30;
    constexpr uint64_t HELD_BY_EVERY_PROCESS = uint64_t{4} << 20;
    const Machine& machine = current();
    const uint64_t space = machine.large_address_aware && machine.is_64bit ? 4 * GB : 2 * GB;
    return size <= space - HELD_BY_EVERY_PROCESS;
}

// The host's heap, within what a 32-bit process could have, with the
// machine's injected failures: an allocation the machine refuses leaves the
// last error at what it was told (8, not enough memory, as a rule). A block
// beyond the address space is refused as the heap refuses it: nullptr, the
// last error untouched (HeapAlloc does not set it).
void* MEM_Alloc(size_t size)
{
    if (sim::operation_fails(sim::OperationKind::Memory)) return nullptr;
    if (!sim::within_address_space(size)) return nullptr;
    return std::calloc(size > 0 ? size : 1, 1);
}

void* MEM_Realloc(void* block, size_t size)
{
    if (sim::operation_fails(sim::OperationKind::Memory)) return nullptr;
    if (!sim::within_address_space(size)) return nullptr;
    return std::realloc(block, size > 0 ? size : 1);
}

void MEM_Free(void* block)
{
    std::free(block);
}
