// PROC_ of the check run: no process is started. One whose program file is
// there is held back and taken as having run (the engine as ending with the
// exit code the run was given); one whose file is missing fails as its start
// would, so the program takes the same turn as on the real start.
#include <string>

#include "platform/check/check_run.h"
#include "platform/file.h"
#include "platform/proc.h"
#include "platform/sys.h"

namespace {

bool hold_back(record::Process process, uint32_t* exit_code)
{
    const uint32_t attributes = FILE_GetAttributes(process.file.c_str());
    if (attributes == FILE_INVALID_ATTRIBUTES) {
        process.error = process.kind == "shell" ? record::shell_start_error(SYS_GetLastError()) : SYS_GetLastError();
    } else if ((attributes & FILE_ATTR_DIRECTORY) != 0) {
        process.error = ERR_ACCESS_DENIED;
    }
    process.held_back = process.error == 0;
    if (process.held_back && exit_code != nullptr) {
        const check::RunSettings& settings = check::run_settings();
        process.exit_code = settings.engine_exit_code;
        process.exit_code_chosen = settings.engine_exit_code_chosen;
        *exit_code = process.exit_code;
    }
    check::run_record().processes.push_back(process);
    if (!process.held_back) SYS_SetLastError(process.error);
    return process.held_back;
}

}  // namespace

bool PROC_CreateAndWait(char* command_line, uint32_t* exit_code)
{
    return hold_back(record::create_process(command_line), exit_code);
}

bool PROC_ShellExecuteAndWait(const char* /*verb*/, const char* file, const char* parameters, const char* directory,
                              int show_command, bool no_error_ui)
{
    if (hold_back(record::shell_process(file, parameters, directory, show_command, no_error_ui), nullptr)) return true;
    record::Box box;
    if (record::shell_error_box(check::run_record().processes.back(), file, &box)) check::show_box(box);
    return false;
}
