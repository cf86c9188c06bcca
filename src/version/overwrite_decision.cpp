#include "version/overwrite_decision.h"

#include <cstring>

#include "common/bounded_string.h"
#include "platform/path.h"
#include "platform/ui.h"
#include "setup/context.h"
#include "setup/messages.h"
#include "version/version_queries.h"

namespace {

// Reported in place of the run's result when an older driver was installed.
constexpr int RESULT_ANOTHER_VERSION_INSTALLED = 1638;

// The I2C package's question compares against the filter driver's INF beside it.
constexpr const char* I2C_INF = "VxaHIDI2C.inf";
constexpr const char* I2C_FILTER_INF = "VxHidFiltr.inf";

constexpr const char* UNREADABLE_INSTALLED_VERSION = "Failed to get current VexaNorde Touch Pad Driver version";
constexpr const char* UNREADABLE_PACKAGE_VERSION = "Failed to get package VexaNorde Touch Pad Driver version";

// A version the question cannot be asked about ends the run; the user is told
// which one, in English whatever the language, rather than left with a run
// that did nothing and said nothing.
int refuse_unreadable_version(const char* text)
{
    UI_MessageBox(text, "WARNING", UI_MB_OK | UI_MB_ICONINFORMATION);
    return 0;
}

}  // namespace

bool question_version_source(const char* inf_path, char* source)
{
    bounded_copy(source, PATH_CAPACITY, inf_path);
    if (std::strcmp(inf_file_name(inf_path), I2C_INF) != 0) return true;
    PATH_RemoveFileSpec(source);
    return PATH_Append(source, I2C_FILTER_INF);
}

int ShowOverwriteMsg(ModuleHandle instance, const char* inf_path)
{
    char installed[VERSION_TEXT_CAPACITY] = "";
    const int found = query_installed_version(inf_path, installed);
    char source[PATH_CAPACITY];
    const bool has_source = question_version_source(inf_path, source);

    if (found == 0) return 1;
    if (found < 0) return refuse_unreadable_version(UNREADABLE_INSTALLED_VERSION);
    char package[VERSION_TEXT_CAPACITY] = "";
    if (!has_source || !loc_QueryInfFilesInf(source, package, sizeof package)) {
        return refuse_unreadable_version(UNREADABLE_PACKAGE_VERSION);
    }

    switch (loc_CopmareDrvVersion(installed, package)) {
    case SAME_INSTALLED:
        return ShowYesNoMsg(instance, IDS_SAME_VERSION, IDS_CAPTION, UI_MB_DEFBUTTON2) == UI_IDYES ? 1 : 0;
    case NEWER_INSTALLED:
        return ShowYesNoMsg(instance, IDS_OLDER_VERSION, IDS_CAPTION, UI_MB_DEFBUTTON2) == UI_IDYES ? 1 : 0;
    case OLDER_INSTALLED:
        g_process.result_code_override = RESULT_ANOTHER_VERSION_INSTALLED;
        return 1;
    case INSTALLED_VERSION_MALFORMED:
        return refuse_unreadable_version(UNREADABLE_INSTALLED_VERSION);
    default:  // PACKAGE_VERSION_MALFORMED
        return refuse_unreadable_version(UNREADABLE_PACKAGE_VERSION);
    }
}

int CheckOverwrite(ModuleHandle /*instance*/, const char* inf_path, int* overwrite_class)
{
    char package[VERSION_TEXT_CAPACITY] = "";
    if (!loc_QueryInfFilesInf(inf_path, package, sizeof package)) return 0;
    char installed[VERSION_TEXT_CAPACITY] = "";
    const int found = query_installed_version(inf_path, installed);
    if (found == 0) {
        *overwrite_class = -1;
        bounded_copy(g_process.package_version, sizeof g_process.package_version, package);
        return 1;
    }
    if (found < 0) return 0;
    const int comparison = loc_CopmareDrvVersion(installed, package);
    if (comparison < 0) return 0;
    bounded_copy(g_process.installed_version, sizeof g_process.installed_version, installed);
    bounded_copy(g_process.package_version, sizeof g_process.package_version, package);
    *overwrite_class = comparison;
    return 1;
}
