// SetupCheck.exe: what Setup.exe would do on this machine, with nothing
// installed or changed. It runs the program's own run_setup against the
// machine through the check backend and prints the transcript setup-sim
// prints.
//
//   SetupCheck.exe [--json] [--program FILE] [--engine-exit-code CODE] [--] [COMMAND LINE OF SETUP.EXE]
//   SetupCheck.exe --help | -h | --version
//
// --program           the program whose run is checked (default Setup.exe); a
//                     name or relative path is taken in SetupCheck.exe's folder
// --engine-exit-code  what the engine, which is not started, is taken to end
//                     with: decimal or 0x... (default 0)
//
// Its own options come first and begin with "--", which no option of
// Setup.exe does; the rest of the command line reaches the program exactly
// as Setup.exe would receive it.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "platform/check/check_run.h"
#include "platform/command_text.h"
#include "platform/path.h"
#include "platform/sys.h"
#include "platform/win32/module_path.h"
#include "program_version.h"
#include "setup/entry.h"
#include "setup/run_mode.h"
#include "transcript/transcript.h"

namespace {

constexpr int USAGE_ERROR = 64;

const char USAGE[] =
    "usage: SetupCheck.exe [--json] [--program FILE] [--engine-exit-code CODE] [--] [COMMAND LINE OF SETUP.EXE]\n"
    "       SetupCheck.exe --help | -h | --version\n";

bool is_blank(char c)
{
    return c == ' ' || c == '\t';
}

// One word of our own options: quoted, or up to the next blank.
std::string next_word(const char** text)
{
    const char* cursor = *text;
    std::string word;
    if (*cursor == '"') {
        for (++cursor; *cursor != '\0' && *cursor != '"'; ++cursor) word += *cursor;
        if (*cursor == '"') ++cursor;
    } else {
        for (; *cursor != '\0' && !is_blank(*cursor); ++cursor) word += *cursor;
    }
    while (is_blank(*cursor)) ++cursor;
    *text = cursor;
    return word;
}

void write_out(HANDLE handle, const std::string& utf8)
{
    DWORD mode = 0;
    if (!GetConsoleMode(handle, &mode)) {
        // A file or a pipe gets the UTF-8 bytes.
        DWORD written = 0;
        WriteFile(handle, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
        return;
    }
    // A console shows UTF-16 whatever its code page.
    const int units = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(units), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), units);
    DWORD written = 0;
    WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
}

int usage_error(const std::string& message)
{
    write_out(GetStdHandle(STD_ERROR_HANDLE), "SetupCheck: " + message + "\n" + USAGE);
    return USAGE_ERROR;
}

// In the form every "A" call can use, as Setup.exe takes its own path: it
// lies in the same folder.
std::string own_folder()
{
    char path[MAX_PATH] = "";
    const DWORD length = ansi_module_file_name(nullptr, path, sizeof path);
    if (length == 0 || length >= sizeof path) return "";
    const char* separator = PATH_FindLastOf(path, "\\");
    return separator != nullptr ? std::string(path, static_cast<size_t>(separator - path)) : std::string(path);
}

// A name or relative path lies in SetupCheck.exe's folder, beside which it is shipped.
std::string program_path(const std::string& given)
{
    const bool absolute = given.find(':') != std::string::npos || given.rfind("\\\\", 0) == 0;
    const std::string path = absolute ? given : own_folder() + "\\" + given;
    char full[MAX_PATH] = "";
    const DWORD length = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    return length > 0 && length < sizeof full ? std::string(full, length) : path;
}

bool parse_code(const std::string& text, uint32_t* code)
{
    if (text.empty()) return false;
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text.c_str(), &end, 0);
    if (*end != '\0' || value > 0xFFFFFFFFull || text[0] == '-') return false;
    *code = static_cast<uint32_t>(value);
    return true;
}

record::MachineDescription this_machine()
{
    record::MachineDescription machine;
    SYS_OsVersion version{};
    version.size = SYS_OS_VERSION_SIZE;
    SYS_GetVersion(&version);
    machine.major = version.major;
    machine.minor = version.minor;
    machine.build = version.build;
    machine.is_64bit = is_64bit_os() != 0;
    machine.system_language = SYS_GetSystemDefaultLangId();
    machine.ui_language = GetUserDefaultUILanguage();
    machine.code_page = GetACP();
    return machine;
}

}  // namespace

int main()
{
    const char* text = SYS_WinMainCommandText(GetCommandLineA());
    bool json = false;
    std::string program = "Setup.exe";
    check::RunSettings settings;
    // No option of Setup.exe starts with "-": "-h" can only be asking for help.
    if (text[0] == '-' && text[1] == 'h' && (text[2] == '\0' || is_blank(text[2]))) {
        write_out(GetStdHandle(STD_OUTPUT_HANDLE), USAGE);
        return 0;
    }
    while (text[0] == '-' && text[1] == '-') {
        const std::string option = next_word(&text);
        if (option == "--") break;
        if (option == "--json") {
            json = true;
        } else if (option == "--help") {
            write_out(GetStdHandle(STD_OUTPUT_HANDLE), USAGE);
            return 0;
        } else if (option == "--version") {
            write_out(GetStdHandle(STD_OUTPUT_HANDLE), "SetupCheck.exe " SETUP_VERSION_TEXT "\n");
            return 0;
        } else if (option == "--program" || option == "--engine-exit-code") {
            if (*text == '\0') return usage_error(option + " needs a value");
            const std::string value = next_word(&text);
            if (option == "--program") {
                program = value;
            } else if (parse_code(value, &settings.engine_exit_code)) {
                settings.engine_exit_code_chosen = true;
            } else {
                return usage_error("--engine-exit-code takes a number from 0 to 0xFFFFFFFF");
            }
        } else {
            return usage_error("unknown option " + option);
        }
    }
    settings.program_path = program_path(program);
    const DWORD attributes = GetFileAttributesA(settings.program_path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return usage_error("no program " + settings.program_path + " (--program names another)");
    }

    check::start_run(settings);
    record::RunRecord& run = check::run_record();
    run.machine = this_machine();
    run.program_path = settings.program_path;
    run.command_line = text;
    run.exit_code = run_setup(GetModuleHandleA(nullptr), text);
    const RunEnding ending = last_run_ending();
    run.result = ending.result;
    run.ended_at_once = ending.ended_at_once;
    write_out(GetStdHandle(STD_OUTPUT_HANDLE), json ? transcript_json(run) : transcript_text(run));
    return 0;
}
