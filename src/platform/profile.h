// PROFILE_: private-profile (INI) reads, with the platform's exact cutting rules.
#pragma once

#include "platform/types.h"

// GetPrivateProfileStringA: returns the characters copied; cut to capacity-1.
uint32_t PROFILE_GetString(const char* section, const char* key, const char* default_value,
                           char* buffer, uint32_t capacity, const char* file);

// GetPrivateProfileIntA.
uint32_t PROFILE_GetInt(const char* section, const char* key, int32_t default_value, const char* file);

// GetPrivateProfileSectionA: "key=value\0...\0\0"; returns the count without the
// final NUL, size-2 when cut.
uint32_t PROFILE_GetSection(const char* section, char* buffer, uint32_t capacity, const char* file);
