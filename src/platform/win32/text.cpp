#include <windows.h>

#include "platform/text.h"

static_assert(sizeof(WCHAR) == sizeof(uint16_t));

bool TEXT_WideToAnsi(const uint16_t* text, uint32_t length, char* buffer, uint32_t capacity)
{
    if (capacity == 0) return false;
    buffer[0] = '\0';
    if (length == 0) return true;
    const int written = WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<const WCHAR*>(text), static_cast<int>(length),
                                            buffer, static_cast<int>(capacity - 1), nullptr, nullptr);
    if (written <= 0) {
        buffer[0] = '\0';
        return false;
    }
    buffer[written] = '\0';
    return true;
}
