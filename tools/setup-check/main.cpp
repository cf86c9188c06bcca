// SetupCheck.exe: what Setup.exe would do on this machine, with nothing
// installed or changed. It runs the program's own run_setup against the
// machine through the check backend and prints the transcript setup-sim
// prints.
//
//   SetupCheck.exe [--json] [--program FILE] [--engine-exit-code CODE] [--answers LIST] [--]
//                  [COMMAND LINE OF SETUP.EXE]
//   SetupCheck.exe --help | -h | --version
//
// --program           the program whose run is checked (default Setup.exe); a
//                     name or relative path is taken in SetupCheck.exe's folder
// --engine-exit-code  what the engine, which is not started, is taken to end
//                     with: 0x... or a decimal of at most seven digits (default 0)
// --answers           the boxes' answers in turn, as setup-sim takes them
//                     (Yes,No,OK,...); boxes beyond them get their default button
//
// Its own options come first and begin with "--", which no option of
// Setup.exe does; the rest of the command line reaches the program exactly
// as Setup.exe would receive it: in the ANSI code page, converted from the
// UTF-16 command line as Windows converts it for GetCommandLineA.
//
// Exit status: 0 when the run was checked, 2 when there is no program file to
// check, 64 for a mistake on the command line.
#include <windows.h>

#include <string>

#include "platform/check/check_run.h"
#include "platform/record/run_record.h"
#include "platform/sys.h"
#include "platform/win32/module_path.h"
#include "program_version.h"
#include "setup/entry.h"
#include "setup/run_mode.h"
#include "transcript/run_explanation.h"
#include "transcript/transcript.h"

namespace {

constexpr int CANNOT_RUN = 2;
constexpr int USAGE_ERROR = 64;

const char USAGE[] =
    "usage: SetupCheck.exe [--json] [--program FILE] [--engine-exit-code CODE] [--answers LIST] [--]\n"
    "                      [COMMAND LINE OF SETUP.EXE]\n"
    "       SetupCheck.exe --help | -h | --version\n";

// SetupCheck.exe's own options, which a warning names where they come too late.
const char* const OWN_OPTIONS[] = {"--json", "--program", "--engine-exit-code", "--answers", "--help", "--version"};

bool is_blank(wchar_t c)
{
    return c == L' ' || c == L'\t';
}

// UTF-16 in a code page: UTF-8, or the ANSI code page with best fit and '?',
// as Windows makes GetCommandLineA of the UTF-16 command line.
std::string narrow(UINT code_page, const std::wstring& wide)
{
    const int bytes = WideCharToMultiByte(code_page, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                          nullptr, nullptr);
    std::string text(static_cast<size_t>(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0) {
        WideCharToMultiByte(code_page, 0, wide.data(), static_cast<int>(wide.size()), text.data(), bytes, nullptr,
                            nullptr);
    }
    return text;
}

std::string utf8_of(const std::wstring& wide)
{
    return narrow(CP_UTF8, wide);
}

std::string ansi_of(const std::wstring& wide)
{
    return narrow(CP_ACP, wide);
}

std::string utf8_of_ansi(const std::string& ansi)
{
    const int units = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(units > 0 ? units : 0), L'\0');
    if (units > 0) MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), wide.data(), units);
    return utf8_of(wide);
}

// One word of our own options: quoted, or up to the next blank.
std::wstring next_word(const wchar_t** text)
{
    const wchar_t* cursor = *text;
    std::wstring word;
    if (*cursor == L'"') {
        for (++cursor; *cursor != L'\0' && *cursor != L'"'; ++cursor) word += *cursor;
        if (*cursor == L'"') ++cursor;
    } else {
        for (; *cursor != L'\0' && !is_blank(*cursor); ++cursor) word += *cursor;
    }
    while (is_blank(*cursor)) ++cursor;
    *text = cursor;
    return word;
}

// The text after the program's name on a UTF-16 command line, as the
// start-up code hands it to WinMain (quoted name, or up to the first blank).
const wchar_t* after_program_name(const wchar_t* line)
{
    if (*line == L'"') {
        for (++line; *line != L'\0' && *line != L'"'; ++line) {
        }
        if (*line == L'"') ++line;
    } else {
        while (*line != L'\0' && !is_blank(*line)) ++line;
    }
    while (is_blank(*line)) ++line;
    return line;
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

// Our own path as Windows started us; "" when it cannot give it whole.
std::wstring own_path()
{
    std::wstring path(32768, L'\0');  // the longest path Windows has, with its terminator
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    path.resize(length > 0 && length < path.size() ? length : 0);
    return path;
}

size_t name_start(const std::wstring& path)
{
    const size_t separator = path.find_last_of(L"\\/");
    return separator == std::wstring::npos ? 0 : separator + 1;
}

// The folder we lie in, without a trailing backslash.
std::wstring own_folder()
{
    const std::wstring path = own_path();
    const size_t start = name_start(path);
    return path.substr(0, start > 0 ? start - 1 : 0);
}

// Our file name as started, which our messages begin with, so that a
// renamed copy names itself.
std::string own_name()
{
    const std::wstring path = own_path();
    const std::wstring name = path.substr(name_start(path));
    return name.empty() ? "SetupCheck.exe" : utf8_of(name);
}

void tell(const std::string& message)
{
    write_out(GetStdHandle(STD_ERROR_HANDLE), own_name() + ": " + message + "\n");
}

int usage_error(const std::string& message)
{
    tell(message);
    write_out(GetStdHandle(STD_ERROR_HANDLE), USAGE);
    return USAGE_ERROR;
}

// An option of ours among the words Setup.exe gets is one given too late:
// it reaches the program as part of its command line, and a person should know.
void warn_of_late_options(const std::wstring& program_text)
{
    const wchar_t* cursor = program_text.c_str();
    while (*cursor != L'\0') {
        const std::string word = utf8_of(next_word(&cursor));
        for (const char* option : OWN_OPTIONS) {
            if (word == option) {
                tell("warning: " + word + " comes after the first word of Setup.exe's command line, so Setup.exe gets "
                     "it; " + own_name() + "'s options go first");
            }
        }
    }
}

// What --engine-exit-code takes: 0x and hex digits, or a decimal number. The
// engine's codes are written as eight hex digits (40000001), so a decimal of
// eight or more digits is taken for hex without its 0x and refused.
bool parse_engine_exit_code(const std::string& text, uint32_t* code)
{
    const bool hex = text.rfind("0x", 0) == 0 || text.rfind("0X", 0) == 0;
    return (hex || text.size() < 8) && record::parse_number(text, code);
}

// A name or relative path lies in SetupCheck.exe's folder, beside which it is
// shipped. The program gets the path in the form every "A" call can use, as
// Setup.exe takes its own: exact in the ANSI code page, or else its short
// form; a path with neither is converted as Windows converts it, and the
// program is then not found under that name.
std::string program_path(const std::wstring& given)
{
    const bool absolute = given.find(L':') != std::wstring::npos || given.rfind(L"\\\\", 0) == 0;
    std::wstring path = given;
    if (!absolute) path = own_folder() + L"\\" + given;
    wchar_t full[MAX_PATH] = L"";
    const DWORD length = GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr);
    if (length > 0 && length < MAX_PATH) path.assign(full, length);
    char ansi[2 * MAX_PATH];
    const int bytes = exact_ansi_path(path.c_str(), ansi, sizeof ansi);
    return bytes > 0 ? std::string(ansi, static_cast<size_t>(bytes - 1)) : ansi_of(path);
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
    // Our own words from the UTF-16 command line, so that a path in any
    // script survives; Setup.exe's words as it would get them.
    const wchar_t* text = after_program_name(GetCommandLineW());
    bool json = false;
    std::wstring program = L"Setup.exe";
    check::RunSettings settings;
    // No option of Setup.exe starts with "-": "-h" can only be asking for help.
    if (text[0] == L'-' && text[1] == L'h' && (text[2] == L'\0' || is_blank(text[2]))) {
        write_out(GetStdHandle(STD_OUTPUT_HANDLE), USAGE);
        return 0;
    }
    while (text[0] == L'-' && text[1] == L'-') {
        const std::string option = utf8_of(next_word(&text));
        if (option == "--") break;
        if (option == "--json") {
            json = true;
        } else if (option == "--help") {
            write_out(GetStdHandle(STD_OUTPUT_HANDLE), USAGE);
            return 0;
        } else if (option == "--version") {
            write_out(GetStdHandle(STD_OUTPUT_HANDLE), "SetupCheck.exe " SETUP_VERSION_TEXT "\n");
            return 0;
        } else if (option == "--program" || option == "--engine-exit-code" || option == "--answers") {
            if (*text == L'\0') return usage_error(option + " needs a value");
            const std::wstring value = next_word(&text);
            std::string bad_answer;
            if (option == "--program") {
                program = value;
            } else if (option == "--answers") {
                if (!record::parse_answers(utf8_of(value), &settings.answers, &bad_answer)) {
                    return usage_error("unknown answer " + bad_answer + " (Yes, No, OK, Cancel or a number)");
                }
            } else if (parse_engine_exit_code(utf8_of(value), &settings.engine_exit_code)) {
                settings.engine_exit_code_chosen = true;
            } else {
                return usage_error("--engine-exit-code " + utf8_of(value) +
                                   ": takes 0x and up to eight hex digits (0x40000001), or a decimal number of up to "
                                   "seven digits; eight or more digits without 0x are taken for hex missing its 0x");
            }
        } else {
            return usage_error("unknown option " + option);
        }
    }
    const std::wstring program_text = text;
    warn_of_late_options(program_text);
    const std::string command_text = ansi_of(program_text);
    settings.program_path = program_path(program);
    const DWORD attributes = GetFileAttributesA(settings.program_path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        // Nothing to check here: no mistake on the command line.
        const char* const folder = attributes == INVALID_FILE_ATTRIBUTES ? "" : " (a folder has that name)";
        tell("no program file " + utf8_of_ansi(settings.program_path) + folder + " to check; --program names another");
        return CANNOT_RUN;
    }

    check::start_run(settings);
    record::RunRecord& run = check::run_record();
    run.machine = this_machine();
    run.program_path = settings.program_path;
    run.command_line = command_text;
    run.exit_code = run_setup(GetModuleHandleA(nullptr), command_text.c_str());
    const RunEnding ending = last_run_ending();
    run.result = ending.result;
    run.ended_at_once = ending.ended_at_once;
    explain_run(&run);
    write_out(GetStdHandle(STD_OUTPUT_HANDLE), json ? transcript_json(run) : transcript_text(run));
    return 0;
}
