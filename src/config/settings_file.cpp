#include "config/settings_file.h"

#include <cstring>

#include "common/bounded_string.h"
#include "platform/path.h"
#include "platform/profile.h"
#include "platform/sys.h"

namespace {

constexpr const char* STOCK_DEFAULT_OPTIONS = " /f";
constexpr const char* STOCK_SILENT_OPTIONS = " /f /sw /se";

}  // namespace

void settings_path(char* path)
{
    SYS_GetModuleFileName(nullptr, path, PATH_CAPACITY);
    PATH_RemoveExtension(path);
    // The shell adds no extension to a name that still has one once its last
    // was removed: "Setup.v2.exe" must still read "Setup.v2.ini", not "Setup.v2".
    if (!PATH_AddExtension(path, ".ini") && std::strlen(path) + 4 < PATH_CAPACITY) {
        bounded_append(path, PATH_CAPACITY, ".ini");
    }
}

uint32_t read_setting_string(const char* section, const char* key, char* buffer, uint32_t capacity,
                             const char* default_value)
{
    char path[PATH_CAPACITY];
    settings_path(path);
    return PROFILE_GetString(section, key, default_value, buffer, capacity, path);
}

uint32_t read_setting_int(const char* section, const char* key, int32_t default_value)
{
    char path[PATH_CAPACITY];
    settings_path(path);
    return PROFILE_GetInt(section, key, default_value, path);
}

uint32_t apply_engine_section(const char* section, SetupContext* context)
{
    bounded_copy(g_process.engine_section, sizeof g_process.engine_section, section);
    read_setting_string(section, "Path", context->engine_path, sizeof context->engine_path, STOCK_ENGINE);
    read_setting_string(section, "Default", context->default_options, sizeof context->default_options,
                        STOCK_DEFAULT_OPTIONS);
    read_setting_string(section, "Silent", context->silent_options, sizeof context->silent_options,
                        STOCK_SILENT_OPTIONS);
    context->support_flags = read_setting_int(section, "Support", 0);
    return context->support_flags;
}
