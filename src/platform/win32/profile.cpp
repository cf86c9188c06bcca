#include <windows.h>

#include "platform/profile.h"

uint32_t PROFILE_GetString(const char* section, const char* key, const char* default_value, char* buffer,
                           uint32_t capacity, const char* file)
{
    return GetPrivateProfileStringA(section, key, default_value, buffer, capacity, file);
}

uint32_t PROFILE_GetInt(const char* section, const char* key, int32_t default_value, const char* file)
{
    return GetPrivateProfileIntA(section, key, default_value, file);
}

uint32_t PROFILE_GetSection(const char* section, char* buffer, uint32_t capacity, const char* file)
{
    return GetPrivateProfileSectionA(section, buffer, capacity, file);
}
