// Formatted input as the Windows run-time library's sscanf reads it, for the
// "%s" and "%d" conversions the program uses: one portable reading, so that
// both builds read a text the same way whatever the host's C library does.
// Checked under Wine's msvcrt. White space is that of the "C" locale: space,
// tab, line feed, vertical tab, form feed, carriage return.
#pragma once

#include <cstddef>
#include <cstdint>

// "%s": skips white space, then takes the word up to the next white space or
// the end of `length` characters. The word is cut to capacity-1 characters
// and terminated (the run-time library would write past a buffer that is too
// small). False, with `word` untouched, when nothing but white space is left.
// *position moves past what was read.
bool scan_word(const char* text, size_t length, size_t* position, char* word, size_t capacity);

// "%d": skips white space, takes an optional sign and the decimal digits up to
// the first non-digit. A number beyond 32 bits is taken modulo 2^32, as the
// run-time library does ("4294967297" reads 1). False when no digit follows.
bool scan_decimal(const char* text, size_t length, size_t* position, int32_t* value);
