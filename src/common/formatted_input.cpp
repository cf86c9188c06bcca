#include "common/formatted_input.h"

namespace {

bool is_white_space(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

bool is_digit(char c)
{
    return c >= '0' && c <= '9';
}

void skip_white_space(const char* text, size_t length, size_t* position)
{
    while (*position < length && is_white_space(text[*position])) ++*position;
}

}  // namespace

bool scan_word(const char* text, size_t length, size_t* position, char* word, size_t capacity)
{
    skip_white_space(text, length, position);
    if (*position >= length || capacity == 0) return false;
    size_t copied = 0;
    for (; *position < length && !is_white_space(text[*position]); ++*position) {
        if (copied + 1 < capacity) word[copied++] = text[*position];
    }
    word[copied] = '\0';
    return true;
}

bool scan_decimal(const char* text, size_t length, size_t* position, int32_t* value)
{
    skip_white_space(text, length, position);
    bool negative = false;
    if (*position < length && (text[*position] == '+' || text[*position] == '-')) {
        negative = text[*position] == '-';
        ++*position;
    }
    if (*position >= length || !is_digit(text[*position])) return false;
    uint32_t number = 0;
    for (; *position < length && is_digit(text[*position]); ++*position) {
        number = number * 10 + static_cast<uint32_t>(text[*position] - '0');
    }
    if (negative) number = 0u - number;
    *value = static_cast<int32_t>(number);
    return true;
}
