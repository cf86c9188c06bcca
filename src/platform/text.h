// TEXT_: conversions between UTF-16 and the ANSI code page of the system.
#pragma once

#include "platform/types.h"

// WideCharToMultiByte(CP_ACP) of `length` UTF-16 units, terminated. False, with
// an empty buffer, when the converted text and its terminator do not fit.
bool TEXT_WideToAnsi(const uint16_t* text, uint32_t length, char* buffer, uint32_t capacity);
