// fake_engine.exe: stands in for the installer engine in the Wine tests. The
// tests copy it into a package folder under the engine's name (DPInst.exe).
//
// Each start appends its exact command line (GetCommandLineA) and a line feed
// to engine_command_line.txt beside itself, then exits with the code written
// in engine_exit_code.txt beside itself ("0x40000001", "1603"; 0 if absent).
// When engine_log_lines.txt lies beside it, its bytes are added to the end of
// the engine's own log, "%SYSTEMROOT%\DpInst.log" (created when missing), as
// the real engine adds its entries.
// Built for i686, so its PE machine is 0x14C like the 32-bit engine's.

#include <windows.h>

#include <cstdlib>
#include <cstring>

namespace {

// Folder of this program with a trailing backslash, or "" when the path does
// not fit.
bool own_folder(char* out, size_t size)
{
    const DWORD n = GetModuleFileNameA(nullptr, out, static_cast<DWORD>(size));
    if (n == 0 || n >= size) return false;
    char* slash = std::strrchr(out, '\\');
    if (!slash) return false;
    slash[1] = '\0';
    return true;
}

bool beside(const char* folder, const char* name, char* out, size_t size)
{
    const size_t a = std::strlen(folder);
    const size_t b = std::strlen(name);
    if (a + b + 1 > size) return false;
    std::memcpy(out, folder, a);
    std::memcpy(out + a, name, b + 1);
    return true;
}

void append_command_line(const char* path)
{
    HANDLE h = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    const char* line = GetCommandLineA();
    DWORD put = 0;
    WriteFile(h, line, static_cast<DWORD>(std::strlen(line)), &put, nullptr);
    WriteFile(h, "\n", 1, &put, nullptr);
    CloseHandle(h);
}

// Appends the whole of one file to another, creating the second.
void append_file_to(const char* source, const char* destination)
{
    HANDLE in = CreateFileA(source, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                            nullptr);
    if (in == INVALID_HANDLE_VALUE) return;
    HANDLE out = CreateFileA(destination, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
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

DWORD exit_code_from(const char* path)
{
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
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
    char folder[MAX_PATH * 2];
    char path[MAX_PATH * 2 + 64];
    if (!own_folder(folder, sizeof folder)) return 0;
    if (beside(folder, "engine_command_line.txt", path, sizeof path)) append_command_line(path);
    char engine_log[MAX_PATH + 16];
    const DWORD root = GetEnvironmentVariableA("SYSTEMROOT", engine_log, MAX_PATH);
    if (root > 0 && root < MAX_PATH && beside(folder, "engine_log_lines.txt", path, sizeof path)) {
        std::memcpy(engine_log + root, "\\DpInst.log", sizeof "\\DpInst.log");
        append_file_to(path, engine_log);
    }
    const DWORD code = beside(folder, "engine_exit_code.txt", path, sizeof path) ? exit_code_from(path) : 0;
    ExitProcess(code);
}
