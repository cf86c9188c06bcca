#include "setup/main_sequence.h"

#include <cstring>

#include "cmdline/command_line.h"
#include "config/acpi_check.h"
#include "config/settings.h"
#include "log/custom_setting.h"
#include "log/engine_log.h"
#include "log/update_package_log.h"
#include "platform/file.h"
#include "platform/path.h"
#include "platform/proc.h"
#include "platform/reg.h"
#include "platform/sys.h"
#include "common/bounded_string.h"
#include "setup/engine.h"
#include "setup/messages.h"
#include "setup/run_mode.h"
#include "version/overwrite_decision.h"
#include "version/version_queries.h"
#include "version/version_resource_check.h"

namespace {

// Primary languages (low 10 bits of a language id).
constexpr uint16_t LANG_ARABIC = 0x01;
constexpr uint16_t LANG_BULGARIAN = 0x02;
constexpr uint16_t LANG_HEBREW = 0x0D;
constexpr uint16_t LANG_ESTONIAN = 0x25;
constexpr uint16_t LANG_LATVIAN = 0x26;
constexpr uint16_t LANG_LITHUANIAN = 0x27;
constexpr uint16_t LANG_HINDI = 0x39;
constexpr int RESULT_LANGUAGE_NOT_SUPPORTED = 1623;

// Windows before 8: the .NET Framework and WIC may have to be installed first.
int install_prerequisites()
{
    const SYS_OsVersion& os = g_process.os_version;
    const bool nt = os.platform_id == SYS_PLATFORM_WIN32_NT;
    const bool silent = is_silent_mode() != 0;

    char directory[PATH_CAPACITY];
    const char* working_directory = nullptr;
    if (SYS_GetModuleFileName(nullptr, directory, sizeof directory) != 0) {
        PATH_RemoveFileSpec(directory);
        bounded_append(directory, sizeof directory, "\\DotNetFx");
        working_directory = directory;
    }

    struct Prerequisite {
        bool considered;
        const char* presence_key;
        const char* installer;
        const char* silent_parameters;
    };
    const Prerequisite prerequisites[] = {
        {nt && os.major == 5 && os.minor == 1 && is_64bit_os(), "SOFTWARE\\Microsoft\\Windows Imaging Component",
         "wic_x64_enu.exe", " /quiet"},
        {true, "SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v4", "dotNetFx40_Client_x86_x64.exe", " /q"},
    };
    for (const Prerequisite& prerequisite : prerequisites) {
        if (!prerequisite.considered) continue;
        REG_Key key = nullptr;
        if (REG_OpenKey(REG_Root::LocalMachine, prerequisite.presence_key, REG_KEY_QUERY_VALUE, &key) == 0) {
            REG_CloseKey(key);
            continue;
        }
        const char* parameters = silent ? prerequisite.silent_parameters : " /norestart";
        if (!PROC_ShellExecuteAndWait("open", prerequisite.installer, parameters, working_directory, PROC_SW_HIDE,
                                      silent)) {
            return DEP_SOFT_ERROR;
        }
    }
    return SUCCESS;
}

int end_of_run(ModuleHandle instance, const char* command_text, int result, const SYS_Time& start_time,
               const char* inf_path, bool versions_queried)
{
    SetupContext* context = &g_process.context;
    if (is_silent_mode() || g_process.extract_drivers == 1) {
        g_process.log_requested = 0;
        if (!versions_queried) {
            loc_QueryInfFilesInf(inf_path, g_process.package_version, sizeof g_process.package_version);
            query_installed_version(inf_path, g_process.installed_version);
        }
        WriteUpdatePackageLog(instance, command_text, result, start_time, context);
        MergeEngineLog(ENGINE_LOG_RESTORE, context);
        restart_system(result);
    } else {
        if ((context->support_flags & SUPPORT_LOG) != 0) g_process.log_requested = 1;
        WriteUpdatePackageLog(instance, command_text, result, start_time, context);
        MergeEngineLog(ENGINE_LOG_RESTORE, context);
    }
    return (context->support_flags & SUPPORT_EXIT_CODE) != 0 ? result : 0;
}

// Steps 6 to 18 of a run: the result, or a request to end the process at once.
struct StepsOutcome {
    int result;
    bool ends_at_once;  // exit code 0 without the end of run: no log, no merge, no restart
};

StepsOutcome run_steps(ModuleHandle instance, char* inf_path, bool* versions_queried)
{
    SetupContext* context = &g_process.context;

    if (!load_setup_settings(instance, context)) return {ERROR_INSTALL_PLATFORM_UNSUPPORTED, false};

    int r = parse_command_line(g_process.command_line, g_process.custom_request_name, instance, context);
    if (is_silent_mode() || g_process.extract_drivers != 0) SYS_SuppressCriticalErrorBoxes();
    if (r == UNKNOWN_OPTION || r == DEP_SOFT_ERROR) return {r, false};
    if (r == COMPLETED) return {SUCCESS, false};

    if (equals_ignoring_case(g_process.command_line, "/?")) {
        ShowHelpMsg(instance, context);
        return {SUCCESS, false};
    }

    if ((context->support_flags & SUPPORT_EXTRACT_ALL) != 0 || context->major_version != 1) {
        r = handle_extract_all_option(instance, g_process.command_line, context);
        if (r == UNKNOWN_OPTION || r == DEP_SOFT_ERROR) return {r, false};
        if (r == COMPLETED) return {SUCCESS, false};
    }

    if (no_matching_configuration(context)) {
        ShowNoticeMsg(4, "%s", NOT_SUPPORTED_NOTICE);
        return {SUCCESS, false};
    }

    if (!locate_package_inf(instance, context->engine_path, inf_path)) {
        return {ERROR_INSTALL_PLATFORM_UNSUPPORTED, false};
    }

    if (!CheckExeAndPlatform(instance, context->engine_path)) return {ERROR_INSTALL_PLATFORM_UNSUPPORTED, false};

    if (!check_support_os_option()) {
        ShowErrorMsg(instance, IDS_UNSUPPORTED_OS, IDS_CAPTION, 0);
        return {ERROR_INSTALL_PLATFORM_UNSUPPORTED, false};
    }

    if ((context->support_flags & SUPPORT_PREREQUISITES) != 0 && !is_windows8_or_later(&g_process.os_version)) {
        if (install_prerequisites() == DEP_SOFT_ERROR) return {DEP_SOFT_ERROR, false};
    }

    if (!CheckVersionResource(inf_path)) return {SUCCESS, true};

    if (!is_silent_mode() && g_process.fresh_install == 0) {
        if (!ShowOverwriteMsg(instance, inf_path)) return {SUCCESS, true};
    }

    delete_custom_setting_file();
    write_custom_setting_file();

    // Left at "no driver installed" when the classification fails early, so the
    // engine runs.
    int overwrite_class = -1;
    CheckOverwrite(instance, inf_path, &overwrite_class);
    *versions_queried = true;
    if (g_process.force == 0 && (overwrite_class == 1 || overwrite_class == 2)) return {DEP_SOFT_ERROR, false};

    MergeEngineLog(ENGINE_LOG_SAVE, context);
    return {launch_installer_engine(instance, context), false};
}

}  // namespace

void reset_public_properties()
{
    g_process.force = 1;
    g_process.fresh_install = 0;
    g_process.force_restart = 0;
    g_process.debug = 0;
    g_process.extract_drivers = 0;
    std::memset(g_process.log_file, 0, sizeof g_process.log_file);
}

int check_system_language()
{
    switch (SYS_GetSystemDefaultLangId() & 0x3FF) {
    case LANG_ARABIC:
    case LANG_HEBREW:
        return 1;
    case LANG_BULGARIAN:
    case LANG_ESTONIAN:
    case LANG_LATVIAN:
    case LANG_LITHUANIAN:
    case LANG_HINDI:
        g_process.result_code_override = RESULT_LANGUAGE_NOT_SUPPORTED;
        return 0;
    default:
        return 0;
    }
}

int no_matching_configuration(const SetupContext* context)
{
    if (context->major_version == 1) return 0;
    for (uint32_t k = 0; k < context->section_count && k < MAX_CONFIGURATION_SECTIONS; ++k) {
        if (context->configuration_sections[k].matched != 0) return 0;
    }
    return 1;
}

bool find_package_inf(const char* engine_path, char* inf_path, uint32_t* error)
{
    // A join too long for a path finds nothing: an emptied path would search
    // the current folder instead of the engine's.
    char path[PATH_CAPACITY];
    bool joined = engine_full_path(engine_path, path);
    PATH_RemoveFileSpec(path);
    joined = joined && PATH_Append(path, "*.inf");

    FILE_FindData found{};
    FILE_FindHandle search = joined ? FILE_FindFirst(path, &found) : nullptr;
    if (search == nullptr) {
        *error = joined ? SYS_GetLastError() : ERR_PATH_NOT_FOUND;
        return false;
    }
    FILE_FindClose(search);

    PATH_RemoveFileSpec(path);
    bounded_copy(g_process.inf_folder, sizeof g_process.inf_folder, path);
    if (!PATH_Append(path, found.name)) {
        *error = ERR_PATH_NOT_FOUND;
        return false;
    }
    bounded_copy(inf_path, PATH_CAPACITY, path);
    return true;
}

int locate_package_inf(ModuleHandle instance, const char* engine_path, char* inf_path)
{
    uint32_t error = 0;
    if (find_package_inf(engine_path, inf_path, &error)) return 1;
    ShowErrorMsg(instance, IDS_FILES_MISSING, IDS_CAPTION, error);
    return 0;
}

int run_setup(ModuleHandle instance, const char* command_text)
{
    // An elevated setup program is often started from a downloads folder:
    // never load a DLL planted beside it.
    SYS_RestrictDllSearchToSystem32();

    SYS_Time start_time{};
    SYS_GetLocalTime(&start_time);
    reset_public_properties();

    char inf_path[PATH_CAPACITY] = "";
    bool versions_queried = false;
    int result = SUCCESS;

    // The mutex is held until the process ends.
    SYS_CreateMutex("Setup", true);
    if (SYS_GetLastError() == ERR_ALREADY_EXISTS) {
        result = ERROR;
    } else {
        g_process.os_version.size = SYS_OS_VERSION_SIZE;
        SYS_GetVersion(&g_process.os_version);
        bounded_copy(g_process.command_line, sizeof g_process.command_line, command_text);
        g_process.rtl_language = check_system_language();

        const StepsOutcome outcome = run_steps(instance, inf_path, &versions_queried);
        g_process.final_result = outcome.result;
        if (outcome.ends_at_once) {
            g_process.ended_at_once = true;
            return 0;
        }
        result = outcome.result;
    }
    g_process.final_result = result;
    return end_of_run(instance, command_text, result, start_time, inf_path, versions_queried);
}

RunEnding last_run_ending()
{
    return {g_process.final_result, g_process.ended_at_once};
}
