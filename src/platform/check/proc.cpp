// PROC_ of the check run: no process is started. One whose program file is
// there and is an image Windows can load is held back and taken as having
// run (the engine as ending with the exit code the run was given); one whose
// file is missing or is no such image fails as its start would, so the
// program takes the same turn as on the real start.
#include <windows.h>

#include <string>

#include "platform/check/check_run.h"
#include "platform/check/file_overlay.h"
#include "platform/file.h"
#include "platform/proc.h"
#include "platform/sys.h"

namespace {

// What process creation fails with before anything runs, asked of Windows
// itself: the file mapped as an image, which the system's loader checks
// (ERROR_BAD_EXE_FORMAT for a header without its program, a machine the
// system does not run). Wine checks the sections' file data only when a view
// is mapped, so the view is mapped too; mapping an image runs none of it.
uint32_t image_error(const std::string& path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return GetLastError();
    HANDLE image = CreateFileMappingA(file, nullptr, PAGE_READONLY | SEC_IMAGE, 0, 0, nullptr);
    uint32_t error = image == nullptr ? GetLastError() : 0;
    if (image != nullptr) {
        void* view = MapViewOfFile(image, FILE_MAP_READ, 0, 0, 0);
        if (view == nullptr) error = GetLastError();
        else UnmapViewOfFile(view);
        CloseHandle(image);
    }
    CloseHandle(file);
    return error;
}

bool hold_back(record::Process process, uint32_t* exit_code)
{
    const uint32_t attributes = FILE_GetAttributes(process.file.c_str());
    if (attributes == FILE_INVALID_ATTRIBUTES) {
        process.error = process.kind == "shell" ? record::shell_start_error(SYS_GetLastError()) : SYS_GetLastError();
    } else if ((attributes & FILE_ATTR_DIRECTORY) != 0) {
        process.error = ERR_ACCESS_DENIED;
    } else {
        // A file the run itself put there stands for the machine's file it copies.
        const record::WrittenFile* written = check::written_file(check::full_path(process.file.c_str()));
        process.error = image_error(written != nullptr && !written->copy_of.empty() ? written->copy_of : process.file);
    }
    process.held_back = process.error == 0;
    if (process.held_back && exit_code != nullptr) {
        const check::RunSettings& settings = check::run_settings();
        process.exit_code = settings.engine_exit_code;
        process.exit_code_chosen = settings.engine_exit_code_chosen;
        *exit_code = process.exit_code;
    }
    record::add_process(&check::run_record(), process);
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
