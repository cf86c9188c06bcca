#include <cstdlib>

#include "platform/mem.h"

// The C runtime's heap (msvcrt), which the program imports already.
void* MEM_Alloc(size_t size)
{
    return std::calloc(size > 0 ? size : 1, 1);
}

void* MEM_Realloc(void* block, size_t size)
{
    return std::realloc(block, size > 0 ? size : 1);
}

void MEM_Free(void* block)
{
    std::free(block);
}
