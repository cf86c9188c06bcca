// Bounded text operations: every write stays inside the destination's capacity
// and always leaves it terminated; text that does not fit is cut silently.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

constexpr uint32_t STATUS_INVALID_ARGUMENT = 0x80070057;
constexpr uint32_t STATUS_INSUFFICIENT_BUFFER = 0x8007007A;

// Copy at most capacity-1 characters of source. Capacity 0 writes nothing.
void bounded_copy(char* destination, size_t capacity, const char* source);

// Append at most what still fits of source.
void bounded_append(char* destination, size_t capacity, const char* source);

// Copy source without one double quote at its start and one at its end (each
// only where it stands), as command-line values are written: "C:\a b" -> C:\a b.
void bounded_copy_unquoted(char* destination, size_t capacity, const char* source);

// printf into the buffer: 0, STATUS_INSUFFICIENT_BUFFER when cut, or
// STATUS_INVALID_ARGUMENT (nothing written) for a capacity of 0 or above 2^31-1.
uint32_t bounded_printf(char* buffer, size_t capacity, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
uint32_t bounded_vprintf(char* buffer, size_t capacity, const char* format, va_list arguments)
    __attribute__((format(printf, 3, 0)));

// Whole-string comparison without regard to case (ASCII letters; other bytes,
// including multibyte lead and trail bytes, compare exactly).
bool equals_ignoring_case(const char* a, const char* b);
