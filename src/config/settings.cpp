#include "config/settings.h"

#include <cstring>

#include "config/support_matrix.h"
#include "platform/path.h"
#include "platform/profile.h"
#include "platform/sys.h"
#include "setup/bounded_string.h"
#include "setup/main_sequence.h"
#include "setup/messages.h"

namespace {

constexpr const char* STOCK_ENGINE = ".\\DPInst.exe";
constexpr const char* STOCK_DEFAULT_OPTIONS = " /f";
constexpr const char* STOCK_SILENT_OPTIONS = " /f /sw /se";

// The engine sections of layout 1 for the running Windows; `fallback` is the
// section that takes over when the first leaves the engine at the stock DPInst.
struct OsSections {
    const char* primary;
    const char* fallback;
};

bool choose_os_sections(const SYS_OsVersion& os, bool is_64bit, OsSections* sections)
{
    const bool nt = os.platform_id == SYS_PLATFORM_WIN32_NT;
    if (nt && os.major == 6 && os.minor == 1) {
        *sections = {is_64bit ? "W764" : "W732", nullptr};
    } else if (is_windows8_or_later(&os)) {
        *sections = is_64bit ? OsSections{"W864", "Vi64"} : OsSections{"W832", "Vi32"};
    } else if (nt && os.major == 6) {
        *sections = {is_64bit ? "VISTA64" : "VISTA32", nullptr};
    } else if (nt && os.major == 5 && os.minor >= 1) {
        *sections = {is_64bit ? "XP64" : "XP32", nullptr};
    } else {
        return false;
    }
    return true;
}

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
    read_setting_string(section, "Path", context->engine_path, sizeof context->engine_path, STOCK_ENGINE);
    read_setting_string(section, "Default", context->default_options, sizeof context->default_options,
                        STOCK_DEFAULT_OPTIONS);
    read_setting_string(section, "Silent", context->silent_options, sizeof context->silent_options,
                        STOCK_SILENT_OPTIONS);
    context->support_flags = read_setting_int(section, "Support", 0);
    return context->support_flags;
}

int load_setup_settings(ModuleHandle instance, SetupContext* context)
{
    settings_path(context->settings_file_path);
    context->major_version = read_setting_int("metadata", "major_version", 1);
    context->minor_version = read_setting_int("metadata", "minor_version", 0);

    if (context->major_version == 2) {
        context->support_flags = LAYOUT2_SUPPORT_PRESET;
        return load_support_matrix(context);
    }

    OsSections sections{};
    if (!choose_os_sections(g_process.os_version, is_64bit_os() != 0, &sections)) {
        ShowErrorMsg(instance, IDS_UNSUPPORTED_OS, IDS_CAPTION, 0);
        return 0;
    }
    apply_engine_section(sections.primary, context);
    if (sections.fallback != nullptr && std::strstr(context->engine_path, STOCK_ENGINE) != nullptr) {
        apply_engine_section(sections.fallback, context);
    }
    return 1;
}
