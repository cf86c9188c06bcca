// MEM_: the heap. Every buffer the program allocates (device properties, the
// multi-string list, the ACPI list, the log's conversion buffer, the custom
// request) comes from here, so that the simulated machine can refuse
// any one of them and a test can see the program take its defined path.
#pragma once

#include <cstddef>

// A zero-filled block, or nullptr when none can be had.
void* MEM_Alloc(size_t size);

// The block grown or shrunk, contents kept; nullptr (block untouched) on failure.
void* MEM_Realloc(void* block, size_t size);

// Releases a block; nullptr is allowed.
void MEM_Free(void* block);
