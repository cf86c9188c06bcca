#include "common/bounded_string.h"

#include <cstring>

#include "platform/sys.h"

namespace {
constexpr size_t MAX_BOUNDED_CAPACITY = 2147483647;
}

void bounded_copy(char* destination, size_t capacity, const char* source)
{
    if (capacity == 0) return;
    size_t n = 0;
    while (n + 1 < capacity && source[n] != '\0') {
        destination[n] = source[n];
        ++n;
    }
    destination[n] = '\0';
}

void bounded_copy_unquoted(char* destination, size_t capacity, const char* source)
{
    bounded_copy(destination, capacity, source[0] == '"' ? source + 1 : source);
    if (capacity == 0) return;
    const size_t length = std::strlen(destination);
    if (length > 0 && destination[length - 1] == '"') destination[length - 1] = '\0';
}

void bounded_append(char* destination, size_t capacity, const char* source)
{
    if (capacity == 0) return;
    const size_t used = strnlen(destination, capacity);
    if (used >= capacity) {
        // Not terminated inside its capacity: terminate at the end, append nothing.
        destination[capacity - 1] = '\0';
        return;
    }
    bounded_copy(destination + used, capacity - used, source);
}

uint32_t bounded_vprintf(char* buffer, size_t capacity, const char* format, va_list arguments)
{
    if (capacity == 0 || capacity > MAX_BOUNDED_CAPACITY) return STATUS_INVALID_ARGUMENT;
    return SYS_FormatText(buffer, capacity, format, arguments) ? 0 : STATUS_INSUFFICIENT_BUFFER;
}

uint32_t bounded_printf(char* buffer, size_t capacity, const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    const uint32_t status = bounded_vprintf(buffer, capacity, format, arguments);
    va_end(arguments);
    return status;
}

bool equals_ignoring_case(const char* a, const char* b)
{
    for (;; ++a, ++b) {
        unsigned char x = static_cast<unsigned char>(*a);
        unsigned char y = static_cast<unsigned char>(*b);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y) return false;
        if (x == '\0') return true;
    }
}
