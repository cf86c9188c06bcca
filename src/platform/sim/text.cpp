// TEXT_ on the simulated machine: the conversions of its ANSI code page.
#include <cstring>
#include <string>

#include "platform/sim/codepage.h"
#include "platform/text.h"

bool TEXT_WideToAnsi(const uint16_t* text, uint32_t length, char* buffer, uint32_t capacity)
{
    if (capacity == 0) return false;
    const std::string ansi = sim::utf16_to_ansi(std::u16string(text, text + length), sim::current_ansi_code_page());
    if (ansi.size() >= capacity) {
        buffer[0] = '\0';
        return false;
    }
    std::memcpy(buffer, ansi.c_str(), ansi.size() + 1);
    return true;
}
