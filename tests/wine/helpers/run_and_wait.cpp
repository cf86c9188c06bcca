// run_and_wait.exe: starts one command line under Wine, answers the message
// boxes it shows, waits for it and records what happened.
//
//   run_and_wait.exe <job file>
//
// The job file holds one "key=value" per line; the value is everything after
// the first '=' (only a trailing CR is dropped), so command lines keep their
// exact characters, quotes included. The file is UTF-8: the command line and
// the directory are started as their UTF-16 form (CreateProcessW), so the
// program receives them in its own ANSI code page, as from a typed command:
//
//   command=<command line, passed to CreateProcess as it is>   (required)
//   directory=<current directory of the started process>
//   exit_code_file=<file that receives the full 32-bit exit code, decimal>
//   transcript=<file that receives one JSON line per box>
//   answer=<OK|Cancel|Abort|Retry|Ignore|Yes|No|TryAgain|Continue|default>
//          (repeatable: the answers for the boxes, in order; "default", or no
//          answer left, presses the box's default button)
//   watch=<any|child>   boxes of every process (default) or of the started one
//   timeout_ms=<whole run; on expiry the process is ended, default 30000>
//   wine_version=<value written to HKCU\Software\Wine "Version" first>
//   relay_log=<file where Wine's relay trace of the MessageBox calls goes>
//   output_file=<file that receives the started program's standard output and error>
//
// Wine's own exit status keeps only 8 bits, hence the exit code file. The
// relay trace is the only place the exact MessageBox style flags show up (the
// box window does not carry them), so when it is given, each box record gets
// the flags of the matching call, in call order.
//
// Exit status: 0 run completed, 2 bad job, 3 start failed, 4 timed out,
// 5 an output file could not be written.

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr size_t kMaxJobBytes = 1 << 20;
constexpr size_t kMaxLogBytes = 64u << 20;
constexpr int kMaxBoxes = 200;

struct Job {
    std::string command;
    std::string directory;
    std::string exit_code_file;
    std::string transcript;
    std::vector<std::string> answers;
    bool watch_any = true;
    DWORD timeout_ms = 30000;
    std::string wine_version;
    std::string relay_log;
    std::string output_file;
};

struct ButtonName {
    int id;
    const char* name;
};

constexpr ButtonName kButtons[] = {
    {IDOK, "OK"},       {IDCANCEL, "Cancel"}, {IDABORT, "Abort"},       {IDRETRY, "Retry"},
    {IDIGNORE, "Ignore"}, {IDYES, "Yes"},     {IDNO, "No"},             {IDHELP, "Help"},
    {IDTRYAGAIN, "TryAgain"}, {IDCONTINUE, "Continue"},
};

const char* button_name(int id)
{
    for (const auto& b : kButtons)
        if (b.id == id) return b.name;
    return nullptr;
}

int button_id(const std::string& name)
{
    for (const auto& b : kButtons)
        if (lstrcmpiA(b.name, name.c_str()) == 0) return b.id;
    return 0;
}

bool read_file(const std::string& path, size_t limit, std::string& out)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    out.clear();
    char chunk[65536];
    DWORD got = 0;
    while (ReadFile(h, chunk, sizeof chunk, &got, nullptr) && got > 0) {
        if (out.size() + got > limit) {
            CloseHandle(h);
            return false;
        }
        out.append(chunk, got);
    }
    CloseHandle(h);
    return true;
}

bool write_file(const std::string& path, const std::string& data)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD put = 0;
    const bool ok = WriteFile(h, data.data(), static_cast<DWORD>(data.size()), &put, nullptr) &&
                    put == data.size();
    CloseHandle(h);
    return ok;
}

std::vector<std::string> split_lines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

bool parse_job(const std::string& text, Job& job)
{
    for (const std::string& line : split_lines(text)) {
        if (line.empty() || line[0] == '#') continue;
        const size_t eq = line.find('=');
        if (eq == std::string::npos) {
            std::printf("run_and_wait: job line without '=': %s\n", line.c_str());
            return false;
        }
        const std::string key = line.substr(0, eq);
        const std::string value = line.substr(eq + 1);
        if (key == "command") job.command = value;
        else if (key == "directory") job.directory = value;
        else if (key == "exit_code_file") job.exit_code_file = value;
        else if (key == "transcript") job.transcript = value;
        else if (key == "answer") job.answers.push_back(value);
        else if (key == "watch") job.watch_any = (value != "child");
        else if (key == "timeout_ms") job.timeout_ms = static_cast<DWORD>(std::strtoul(value.c_str(), nullptr, 10));
        else if (key == "wine_version") job.wine_version = value;
        else if (key == "relay_log") job.relay_log = value;
        else if (key == "output_file") job.output_file = value;
        else {
            std::printf("run_and_wait: unknown job key: %s\n", key.c_str());
            return false;
        }
    }
    for (const std::string& a : job.answers) {
        if (lstrcmpiA(a.c_str(), "default") != 0 && button_id(a) == 0) {
            std::printf("run_and_wait: unknown answer: %s\n", a.c_str());
            return false;
        }
    }
    if (job.command.empty()) {
        std::printf("run_and_wait: the job names no command\n");
        return false;
    }
    if (job.timeout_ms == 0) job.timeout_ms = 30000;
    return true;
}

std::wstring from_utf8(const std::string& utf8)
{
    if (utf8.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    if (n <= 0) return {};
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

std::string to_utf8(const std::wstring& w)
{
    if (w.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    if (n <= 0) return {};
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::string json_string(const std::string& utf8)
{
    std::string out = "\"";
    for (unsigned char c : utf8) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20 || c == 0x7F) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

// Text of a window in another process: WM_GETTEXT is marshalled across
// processes for us; a hung owner must not hang the runner.
std::wstring window_text(HWND hwnd)
{
    DWORD_PTR len = 0;
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &len)) return {};
    if (len > 1u << 20) len = 1u << 20;
    std::vector<wchar_t> buf(len + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXT, static_cast<WPARAM>(buf.size()), reinterpret_cast<LPARAM>(buf.data()),
                             SMTO_ABORTIFHUNG, 2000, &copied))
        return {};
    if (copied > len) copied = len;
    return std::wstring(buf.data(), copied);
}

std::string process_name(DWORD pid)
{
    HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!h) return "?";
    wchar_t path[MAX_PATH * 4] = {};
    DWORD size = static_cast<DWORD>(sizeof path / sizeof path[0]);
    std::wstring name = L"?";
    if (QueryFullProcessImageNameW(h, 0, path, &size)) {
        std::wstring full(path, size);
        const size_t slash = full.find_last_of(L"\\/");
        name = slash == std::wstring::npos ? full : full.substr(slash + 1);
    }
    CloseHandle(h);
    return to_utf8(name);
}

struct Button {
    int id;
    HWND hwnd;
    LONG left;
};

struct ChildScan {
    std::vector<Button> buttons;
};

BOOL CALLBACK collect_button(HWND child, LPARAM param)
{
    auto* scan = reinterpret_cast<ChildScan*>(param);
    char cls[64] = {};
    GetClassNameA(child, cls, sizeof cls);
    if (lstrcmpiA(cls, "Button") != 0 || !IsWindowVisible(child)) return TRUE;
    const int id = GetDlgCtrlID(child);
    if (!button_name(id)) return TRUE;
    RECT r{};
    GetWindowRect(child, &r);
    scan->buttons.push_back({id, child, r.left});
    return TRUE;
}

struct Box {
    HWND hwnd = nullptr;
    std::string process;
    std::string caption;
    std::string text;
    std::vector<Button> buttons;  // left to right, as the user sees them
    int default_id = 0;
    bool has_icon = false;
    int pressed_id = 0;
    std::string error;
    bool have_style = false;
    DWORD style = 0;
};

// The text static of a message box has id 0xFFFF on Windows and on Wine.
constexpr int kTextId = 0xFFFF;

Box read_box(HWND hwnd, DWORD pid)
{
    Box box;
    box.hwnd = hwnd;
    box.process = process_name(pid);
    box.caption = to_utf8(window_text(hwnd));
    if (HWND text = GetDlgItem(hwnd, kTextId)) box.text = to_utf8(window_text(text));
    ChildScan scan;
    EnumChildWindows(hwnd, collect_button, reinterpret_cast<LPARAM>(&scan));
    for (size_t i = 1; i < scan.buttons.size(); ++i)
        for (size_t j = i; j > 0 && scan.buttons[j].left < scan.buttons[j - 1].left; --j)
            std::swap(scan.buttons[j], scan.buttons[j - 1]);
    box.buttons = scan.buttons;
    // The default button is the one drawn as default: Wine's message box
    // restyles it and leaves the dialog's own default id (DM_GETDEFID) at OK.
    for (const Button& b : box.buttons)
        if (!box.default_id && (GetWindowLongW(b.hwnd, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
            box.default_id = b.id;
    // Which icon cannot be told from here (icon handles are per process); the
    // relay trace gives it exactly. Whether there is one, we can see.
    for (HWND child = GetWindow(hwnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char cls[64] = {};
        GetClassNameA(child, cls, sizeof cls);
        if (lstrcmpiA(cls, "Static") != 0 || (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) continue;
        DWORD_PTR icon = 0;
        if (SendMessageTimeoutW(child, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 2000, &icon) && icon) box.has_icon = true;
    }
    return box;
}

struct TopScan {
    bool watch_any;
    DWORD child_pid;
    HWND found;
    DWORD found_pid;
    const std::vector<HWND>* handled;
};

BOOL CALLBACK find_box(HWND hwnd, LPARAM param)
{
    auto* scan = reinterpret_cast<TopScan*>(param);
    char cls[16] = {};
    if (!GetClassNameA(hwnd, cls, sizeof cls) || std::strcmp(cls, "#32770") != 0) return TRUE;
    if (!IsWindowVisible(hwnd)) return TRUE;
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (!scan->watch_any && pid != scan->child_pid) return TRUE;
    for (HWND seen : *scan->handled)
        if (seen == hwnd) return TRUE;
    scan->found = hwnd;
    scan->found_pid = pid;
    return FALSE;
}

int choose_button(Box& box, const std::string& answer)
{
    auto has = [&](int id) {
        for (const Button& b : box.buttons)
            if (b.id == id) return true;
        return false;
    };
    if (!answer.empty() && lstrcmpiA(answer.c_str(), "default") != 0) {
        const int id = button_id(answer);
        if (has(id)) return id;
        box.error = "the box has no " + answer + " button";
    }
    if (box.default_id && has(box.default_id)) return box.default_id;
    return box.buttons.empty() ? IDCANCEL : box.buttons.front().id;
}

// Clicks the button the way the dialog sees a click, then waits until the box
// is gone; a box that ignores the first click gets it again.
void press(const Box& box)
{
    HWND button = nullptr;
    for (const Button& b : box.buttons)
        if (b.id == box.pressed_id) button = b.hwnd;
    for (int attempt = 0; attempt < 10; ++attempt) {
        PostMessageW(box.hwnd, WM_COMMAND, MAKEWPARAM(box.pressed_id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
        for (int i = 0; i < 50; ++i) {
            if (!IsWindow(box.hwnd) || !IsWindowVisible(box.hwnd)) return;
            Sleep(20);
        }
    }
}

const char* icon_of_style(DWORD style)
{
    switch (style & MB_ICONMASK) {
    case 0: return "none";
    case MB_ICONHAND: return "error";
    case MB_ICONQUESTION: return "question";
    case MB_ICONEXCLAMATION: return "warning";
    case MB_ICONASTERISK: return "information";
    default: return "user";
    }
}

// Picks the style argument out of relay lines such as
//   0024:Call user32.MessageBoxA(00000000,0040a000 "text",0040a020 "cap",00000040) ret=00401234
// The strings may hold anything, so the style is found from the line's end.
std::vector<DWORD> relay_styles(const std::string& log)
{
    std::vector<DWORD> styles;
    static const char* const kCalls[] = {"Call user32.MessageBoxA(", "Call user32.MessageBoxW(",
                                         "Call user32.MessageBoxExA(", "Call user32.MessageBoxExW("};
    for (const std::string& line : split_lines(log)) {
        bool is_ex = false;
        bool match = false;
        for (const char* c : kCalls) {
            if (line.find(c) != std::string::npos) {
                match = true;
                is_ex = std::strstr(c, "Ex") != nullptr;
            }
        }
        if (!match) continue;
        const size_t end = line.rfind(") ret=");
        if (end == std::string::npos) continue;
        std::string args = line.substr(0, end);
        if (is_ex) {  // ..., type, language
            const size_t lang = args.rfind(',');
            if (lang == std::string::npos) continue;
            args.resize(lang);
        }
        const size_t comma = args.rfind(',');
        if (comma == std::string::npos) continue;
        styles.push_back(static_cast<DWORD>(std::strtoul(args.c_str() + comma + 1, nullptr, 16)));
    }
    return styles;
}

std::string box_json(const Box& box)
{
    std::string j = "{\"process\":" + json_string(box.process) + ",\"caption\":" + json_string(box.caption) +
                    ",\"text\":" + json_string(box.text) + ",\"buttons\":[";
    for (size_t i = 0; i < box.buttons.size(); ++i) {
        if (i) j += ",";
        j += json_string(button_name(box.buttons[i].id));
    }
    j += "],\"default\":";
    j += box.default_id && button_name(box.default_id) ? json_string(button_name(box.default_id)) : "null";
    if (box.have_style) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%08lx", static_cast<unsigned long>(box.style));
        j += ",\"icon\":" + json_string(icon_of_style(box.style)) + ",\"style\":" + json_string(hex);
    } else {
        j += ",\"icon\":" + json_string(box.has_icon ? "present" : "none");
    }
    j += ",\"pressed\":";
    j += button_name(box.pressed_id) ? json_string(button_name(box.pressed_id)) : "null";
    if (!box.error.empty()) j += ",\"error\":" + json_string(box.error);
    return j + "}\n";
}

void set_wine_version(const std::string& version)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS) {
        std::printf("run_and_wait: cannot open HKCU\\Software\\Wine\n");
        return;
    }
    RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version.c_str()),
                   static_cast<DWORD>(version.size() + 1));
    RegCloseKey(key);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::printf("usage: run_and_wait.exe <job file>\n");
        return 2;
    }
    std::string job_text;
    Job job;
    if (!read_file(argv[1], kMaxJobBytes, job_text)) {
        std::printf("run_and_wait: cannot read %s\n", argv[1]);
        return 2;
    }
    if (!parse_job(job_text, job)) return 2;
    if (!job.wine_version.empty()) set_wine_version(job.wine_version);
    // Wine starts its desktop process from the first program that needs it;
    // let that be us, not a program inside the job below, whose end would
    // take the desktop with it.
    GetDesktopWindow();

    std::wstring command = from_utf8(job.command);
    const std::wstring directory = from_utf8(job.directory);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    HANDLE output = INVALID_HANDLE_VALUE;
    if (!job.output_file.empty()) {
        SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
        output = CreateFileA(job.output_file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
        if (output == INVALID_HANDLE_VALUE) {
            std::printf("run_and_wait: cannot write %s\n", job.output_file.c_str());
            return 5;
        }
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = output;
        si.hStdError = output;
    }
    PROCESS_INFORMATION pi{};
    // The program and whatever it starts (the engine) share one job, so a
    // timeout ends them all and nothing is left behind for the next run.
    HANDLE tree = CreateJobObjectA(nullptr, nullptr);
    if (tree) {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        SetInformationJobObject(tree, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    }
    const BOOL inherit = output != INVALID_HANDLE_VALUE;
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, inherit, CREATE_SUSPENDED, nullptr,
                        directory.empty() ? nullptr : directory.c_str(), &si, &pi)) {
        std::printf("run_and_wait: CreateProcess failed, error %lu: %s\n", GetLastError(), job.command.c_str());
        if (tree) CloseHandle(tree);
        if (inherit) CloseHandle(output);
        return 3;
    }
    if (inherit) CloseHandle(output);
    if (tree && !AssignProcessToJobObject(tree, pi.hProcess)) {
        CloseHandle(tree);
        tree = nullptr;
    }
    ResumeThread(pi.hThread);
    CloseHandle(pi.hThread);

    std::vector<Box> boxes;
    std::vector<HWND> handled;
    size_t next_answer = 0;
    const ULONGLONG deadline = GetTickCount64() + job.timeout_ms;
    bool timed_out = false;
    for (;;) {
        const DWORD wait = WaitForSingleObject(pi.hProcess, 20);
        if (wait != WAIT_TIMEOUT) break;
        if (GetTickCount64() > deadline) {
            timed_out = true;
            if (!tree || !TerminateJobObject(tree, 0xDEAD)) TerminateProcess(pi.hProcess, 0xDEAD);
            WaitForSingleObject(pi.hProcess, 5000);
            break;
        }
        // Forget boxes that are gone: a later box may get the same handle.
        for (size_t i = 0; i < handled.size();) {
            if (!IsWindow(handled[i]) || !IsWindowVisible(handled[i])) handled.erase(handled.begin() + static_cast<long>(i));
            else ++i;
        }
        TopScan scan{job.watch_any, pi.dwProcessId, nullptr, 0, &handled};
        EnumWindows(find_box, reinterpret_cast<LPARAM>(&scan));
        if (!scan.found) continue;
        handled.push_back(scan.found);
        if (boxes.size() >= static_cast<size_t>(kMaxBoxes)) continue;
        Box box = read_box(scan.found, scan.found_pid);
        const std::string answer = next_answer < job.answers.size() ? job.answers[next_answer] : std::string();
        ++next_answer;
        box.pressed_id = choose_button(box, answer);
        press(box);
        boxes.push_back(box);
    }

    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    if (tree) CloseHandle(tree);

    if (!job.relay_log.empty()) {
        std::string log;
        if (read_file(job.relay_log, kMaxLogBytes, log)) {
            const std::vector<DWORD> styles = relay_styles(log);
            for (size_t i = 0; i < boxes.size() && i < styles.size(); ++i) {
                boxes[i].have_style = true;
                boxes[i].style = styles[i];
            }
            if (styles.size() != boxes.size())
                std::printf("run_and_wait: %u MessageBox calls traced, %u boxes seen\n",
                            static_cast<unsigned>(styles.size()), static_cast<unsigned>(boxes.size()));
        } else {
            std::printf("run_and_wait: cannot read the relay log %s\n", job.relay_log.c_str());
        }
    }

    bool written = true;
    if (!job.transcript.empty()) {
        std::string all;
        for (const Box& b : boxes) all += box_json(b);
        written = write_file(job.transcript, all) && written;
    }
    if (!job.exit_code_file.empty() && !timed_out) {
        char text[32];
        std::snprintf(text, sizeof text, "%lu\n", static_cast<unsigned long>(code));
        written = write_file(job.exit_code_file, text) && written;
    }
    std::printf("run_and_wait: exit code %lu (0x%08lx), %u box(es)%s\n", static_cast<unsigned long>(code),
                static_cast<unsigned long>(code), static_cast<unsigned>(boxes.size()),
                timed_out ? ", TIMED OUT" : "");
    if (timed_out) return 4;
    return written ? 0 : 5;
}
