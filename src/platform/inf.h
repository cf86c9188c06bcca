// INF_: reading INF files as SetupAPI reads them.
#pragma once

#include "platform/types.h"

using INF_Handle = void*;

// INF_STYLE_WIN4 (the name itself is a macro of setupapi.h).
constexpr uint32_t INF_WIN4_STYLE = 2;

// SetupAPI's own error codes.
constexpr uint32_t ERR_EXPECTED_SECTION_NAME = 0xE0000000;
constexpr uint32_t ERR_BAD_SECTION_NAME_LINE = 0xE0000001;
constexpr uint32_t ERR_SECTION_NAME_TOO_LONG = 0xE0000002;
constexpr uint32_t ERR_WRONG_INF_STYLE = 0xE0000100;
constexpr uint32_t ERR_LINE_NOT_FOUND = 0xE0000102;

// Where a line is (INFCONTEXT on Windows).
struct INF_Line {
    void* inf;
    void* current_inf;
    uint32_t section;
    uint32_t line;
};

// SetupOpenInfFileA without a class: nullptr on failure with the last error set
// (a Windows-4 style INF without a known Signature in [Version] fails with
// ERR_WRONG_INF_STYLE).
INF_Handle INF_Open(const char* path, uint32_t style);

// SetupFindFirstLineA: the first line of the section whose key is `key`
// (nullptr: its first line).
bool INF_FindFirstLine(INF_Handle inf, const char* section, const char* key, INF_Line* line);

// SetupGetStringFieldA: field 0 is the key, 1 to n the values. Fails when the
// field is missing, or with 122 when it does not fit in `capacity` characters
// (the buffer is then left as it was); *required (when given) is the length
// with its terminator.
bool INF_GetStringField(const INF_Line* line, uint32_t field, char* buffer, uint32_t capacity, uint32_t* required);

// SetupCloseInfFile.
void INF_Close(INF_Handle inf);
