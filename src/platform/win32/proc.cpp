#include <windows.h>
#include <shellapi.h>

#include "platform/proc.h"

bool PROC_CreateAndWait(char* command_line, uint32_t* exit_code)
{
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, command_line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        return false;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    *exit_code = code;
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return true;
}

bool PROC_ShellExecuteAndWait(const char* verb, const char* file, const char* parameters, const char* directory,
                              int show_command, bool no_error_ui)
{
    SHELLEXECUTEINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | (no_error_ui ? SEE_MASK_FLAG_NO_UI : 0);
    info.lpVerb = verb;
    info.lpFile = file;
    info.lpParameters = parameters;
    info.lpDirectory = directory;
    info.nShow = show_command;
    if (!ShellExecuteExA(&info)) return false;
    if (info.hProcess != nullptr) {
        WaitForSingleObject(info.hProcess, INFINITE);
        CloseHandle(info.hProcess);
    }
    return true;
}
