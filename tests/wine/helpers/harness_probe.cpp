// harness_probe.exe: a small GUI program that behaves like Setup.exe does
// towards the harness, so the harness itself is tested whatever state
// Setup.exe is in:
//
//   harness_probe.exe <command line of a child>
//
// 1. asks a Yes/No question (question icon, No is the default button);
// 2. on Yes, runs the child and waits for it; on No, runs nothing;
// 3. shows an information box whose text has line feeds, a tab and a
//    non-ASCII character, right-aligned and right-to-left;
// 4. exits with the child's exit code (Yes) or 0xC0000007 (No), so the full
//    32-bit exit code has to survive the trip.

#include <windows.h>

#include <cstring>
#include <vector>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    // What follows the program's own name: the child's command line.
    const char* line = GetCommandLineA();
    if (*line == '"') {
        const char* close = std::strchr(line + 1, '"');
        line = close ? close + 1 : line + std::strlen(line);
    } else {
        while (*line && *line != ' ' && *line != '\t') ++line;
    }
    while (*line == ' ' || *line == '\t') ++line;

    const int answer = MessageBoxA(nullptr, "Run the child?\nSecond line.", "Probe question",
                                   MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
    DWORD code = 0xC0000007;
    if (answer == IDYES) {
        std::vector<char> command(line, line + std::strlen(line) + 1);
        STARTUPINFOA si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        if (CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
            WaitForSingleObject(pi.hProcess, INFINITE);
            GetExitCodeProcess(pi.hProcess, &code);
            CloseHandle(pi.hThread);
            CloseHandle(pi.hProcess);
        } else {
            code = 0xC0000002;
        }
    }
    // \xE9 is e-acute in code page 1252, the prefix's ANSI code page.
    MessageBoxA(nullptr, "Done.\n\n\tIndented caf\xE9 line\nlast \"quoted\" \\ line", "Probe info",
                MB_OK | MB_ICONINFORMATION | MB_RIGHT | MB_RTLREADING);
    ExitProcess(code);
}
