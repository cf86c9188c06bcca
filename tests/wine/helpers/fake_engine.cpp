// fake_engine.exe: stands in for the installer engine in the Wine tests. The
// tests copy it into a package folder under the engine's name (DPInst.exe).
//
// Each start appends its exact command line (GetCommandLineW, in UTF-8, so
// that the record does not depend on the code page of the run) and a line
// feed to engine_command_line.txt beside itself, then exits with the code
// written in engine_exit_code.txt beside itself ("0x40000001", "1603"; 0 if
// absent). When engine_log_lines.txt lies beside it, its bytes are added to
// the end of the engine's own log, "%SYSTEMROOT%\DpInst.log" (created when
// missing), as the real engine adds its entries. Its files are found through
// the Unicode calls, so a package folder of any name will do.
// Built for i686, so its PE machine is 0x14C like the 32-bit engine's.

#include <windows.h>

#include <cstdlib>
#include <cwchar>

namespace {

constexpr DWORD PATH_UNITS = 1024;

// Folder of this program with a trailing backslash, or "" when the path does
// not fit.
bool own_folder(wchar_t* out, DWORD size)
{
    const DWORD n = GetModuleFileNameW(nullptr, out, size);
    if (n == 0 || n >= size) return false;
    wchar_t* slash = std::wcsrchr(out, L'\\');
    if (!slash) return false;
    slash[1] = L'\0';
    return true;
}

bool beside(const wchar_t* folder, const wchar_t* name, wchar_t* out, size_t size)
{
    const size_t a = std::wcslen(folder);
    const size_t b = std::wcslen(name);
    if (a + b + 1 > size) return false;
    std::wmemcpy(out, folder, a);
    std::wmemcpy(out + a, name, b + 1);
    return true;
}

void append_command_line(const wchar_t* path)
{
    HANDLE h = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    const wchar_t* line = GetCommandLineW();
    const int size = WideCharToMultiByte(CP_UTF8, 0, line, -1, nullptr, 0, nullptr, nullptr);
    char* utf8 = size > 0 ? static_cast<char*>(std::malloc(static_cast<size_t>(size))) : nullptr;
    DWORD put = 0;
    if (utf8 != nullptr && WideCharToMultiByte(CP_UTF8, 0, line, -1, utf8, size, nullptr, nullptr) == size) {
        WriteFile(h, utf8, static_cast<DWORD>(size - 1), &put, nullptr);
    }
    std::free(utf8);
    WriteFile(h, "\n", 1, &put, nullptr);
    CloseHandle(h);
}

// Appends the whole of one file to another, creating the second.
void append_file_to(const wchar_t* source, const wchar_t* destination)
{
    HANDLE in = CreateFileW(source, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                            nullptr);
    if (in == INVALID_HANDLE_VALUE) return;
    HANDLE out = CreateFileW(destination, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out != INVALID_HANDLE_VALUE) {
        char chunk[4096];
        DWORD got = 0;
        DWORD put = 0;
        while (ReadFile(in, chunk, sizeof chunk, &got, nullptr) && got > 0) WriteFile(out, chunk, got, &put, nullptr);
        CloseHandle(out);
    }
    CloseHandle(in);
}

DWORD exit_code_from(const wchar_t* path)
{
    HANDLE h = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) return 0;
    char text[64] = {};
    DWORD got = 0;
    ReadFile(h, text, sizeof text - 1, &got, nullptr);
    CloseHandle(h);
    text[got < sizeof text ? got : sizeof text - 1] = '\0';
    return static_cast<DWORD>(std::strtoul(text, nullptr, 0));
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    wchar_t folder[PATH_UNITS];
    wchar_t path[PATH_UNITS + 64];
    if (!own_folder(folder, PATH_UNITS)) return 0;
    if (beside(folder, L"engine_command_line.txt", path, PATH_UNITS + 64)) append_command_line(path);
    wchar_t engine_log[PATH_UNITS + 16];
    const DWORD root = GetEnvironmentVariableW(L"SYSTEMROOT", engine_log, PATH_UNITS);
    if (root > 0 && root < PATH_UNITS && beside(folder, L"engine_log_lines.txt", path, PATH_UNITS + 64)) {
        std::wmemcpy(engine_log + root, L"\\DpInst.log", sizeof L"\\DpInst.log" / sizeof(wchar_t));
        append_file_to(path, engine_log);
    }
    const DWORD code = beside(folder, L"engine_exit_code.txt", path, PATH_UNITS + 64) ? exit_code_from(path) : 0;
    ExitProcess(code);
}
