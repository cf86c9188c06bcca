#include "setup/engine.h"

#include "platform/file.h"
#include "platform/path.h"
#include "platform/pe.h"
#include "platform/proc.h"
#include "platform/sys.h"
#include "common/bounded_string.h"
#include "setup/run_mode.h"
#include "setup/messages.h"

namespace {

// Bits of the engine's exit code: bit 31 failed, bit 30 restart needed,
// bits 8 to 15 the packages only copied to the driver store, bits 0 to 7 the
// packages installed.
constexpr uint32_t ENGINE_FAILED = 0x80000000;
constexpr uint32_t ENGINE_RESTART_NEEDED = 0x40000000;
constexpr uint32_t ENGINE_ONE_INSTALLED_RESTART = ENGINE_RESTART_NEEDED | 1;
constexpr uint32_t ENGINE_STAGED_MASK = 0x1100;
constexpr uint32_t ENGINE_STAGED_ONLY = 0x100;

}  // namespace

bool engine_full_path(const char* engine_path, char* path)
{
    if (SYS_GetModuleFileName(nullptr, path, PATH_CAPACITY) == 0) {
        path[0] = '\0';
        return false;
    }
    PATH_RemoveFileSpec(path);
    return PATH_Append(path, engine_path);
}

int CheckExeAndPlatform(ModuleHandle instance, const char* engine_path)
{
    char path[PATH_CAPACITY];
    engine_full_path(engine_path, path);

    FILE_Handle file = FILE_OpenExistingForRead(path);
    if (file == nullptr) {
        ShowErrorMsg(instance, IDS_FILES_MISSING, IDS_CAPTION, SYS_GetLastError());
        return 0;
    }

    int fits = 0;
    FILE_View view{};
    uint16_t machine = 0;
    if (FILE_MapReadOnly(file, &view)) {
        if (PE_GetMachineType(view.data, view.size, &machine)) {
            const uint16_t wanted = is_64bit_os() ? PE_MACHINE_AMD64 : PE_MACHINE_I386;
            if (machine == wanted) {
                fits = 1;
            } else {
                ShowErrorMsg(instance, IDS_UNSUPPORTED_OS, IDS_CAPTION, 0);
            }
        }
        FILE_Unmap(&view);
    }
    FILE_Close(file);
    return fits;
}

void build_engine_command_line(const SetupContext* context, char* command_line, uint32_t capacity)
{
    // The same joined path that the platform check opened and the INF search
    // looked beside, so all three name one file whatever form engine_path has.
    char path[PATH_CAPACITY];
    engine_full_path(context->engine_path, path);

    bounded_copy(command_line, capacity, "\"");
    bounded_append(command_line, capacity, path);
    bounded_append(command_line, capacity, "\"");
    bounded_append(command_line, capacity, is_silent_mode() ? context->silent_options : context->default_options);
}

int map_engine_exit_code(uint32_t exit_code)
{
    if (exit_code == ENGINE_ONE_INSTALLED_RESTART) return REBOOT_REQUIRED;
    if ((exit_code & ENGINE_STAGED_MASK) == ENGINE_STAGED_ONLY) return DEP_HARD_ERROR;
    if ((exit_code & ENGINE_FAILED) != 0) return ERROR;
    return SUCCESS;
}

EngineExitFields decode_engine_exit_code(uint32_t exit_code)
{
    return {(exit_code & ENGINE_FAILED) != 0, (exit_code & ENGINE_RESTART_NEEDED) != 0, exit_code & 0xFF,
            (exit_code >> 8) & 0xFF};
}

int launch_installer_engine(ModuleHandle instance, const SetupContext* context)
{
    char command_line[PATH_CAPACITY];
    build_engine_command_line(context, command_line, sizeof command_line);

    uint32_t exit_code = 0;
    if (!PROC_CreateAndWait(command_line, &exit_code)) {
        ShowErrorMsg(instance, IDS_LAUNCH_FAILED, IDS_CAPTION, SYS_GetLastError());
        g_process.result_code_override = 1620;
        return ERROR;
    }
    g_process.dpinst_return_code = exit_code;
    return map_engine_exit_code(exit_code);
}

void restart_system(int result)
{
    if (g_process.force_restart != 1) return;
    if (result != REBOOT_REQUIRED) return;
    // A failure anywhere here simply leaves Windows running.
    SYS_EnableShutdownPrivilege();
    SYS_ExitWindows(SYS_EWX_REBOOT, 0);
}
