#include "config/settings.h"

#include <cstring>

#include "config/settings_file.h"
#include "config/support_matrix.h"
#include "platform/sys.h"
#include "setup/run_mode.h"
#include "setup/messages.h"

bool layout1_engine_sections(const SYS_OsVersion& os, bool is_64bit, Layout1Sections* sections)
{
    const bool nt = os.platform_id == SYS_PLATFORM_WIN32_NT;
    if (nt && os.major == 6 && os.minor == 1) {
        *sections = {is_64bit ? "W764" : "W732", nullptr};
    } else if (is_windows8_or_later(&os)) {
        *sections = is_64bit ? Layout1Sections{"W864", "Vi64"} : Layout1Sections{"W832", "Vi32"};
    } else if (nt && os.major == 6) {
        *sections = {is_64bit ? "VISTA64" : "VISTA32", nullptr};
    } else if (nt && os.major == 5 && os.minor >= 1) {
        *sections = {is_64bit ? "XP64" : "XP32", nullptr};
    } else {
        return false;
    }
    return true;
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

    Layout1Sections sections{};
    if (!layout1_engine_sections(g_process.os_version, is_64bit_os() != 0, &sections)) {
        ShowErrorMsg(instance, IDS_UNSUPPORTED_OS, IDS_CAPTION, 0);
        return 0;
    }
    apply_engine_section(sections.primary, context);
    if (sections.fallback != nullptr && std::strstr(context->engine_path, STOCK_ENGINE) != nullptr) {
        apply_engine_section(sections.fallback, context);
    }
    return 1;
}
