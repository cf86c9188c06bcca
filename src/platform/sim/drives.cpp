// The simulated machine itself and the mapping of its drives onto host folders.
#include "platform/sim/drives.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/sim/codepage.h"
#include "platform/sim/machine.h"

namespace sim {

namespace {

namespace fs = std::filesystem;

Machine* installed_machine = nullptr;

bool is_separator(char c)
{
    return c == '\\' || c == '/';
}

bool has_drive(const std::string& path)
{
    return path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':';
}

char fold(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

constexpr std::string_view SEPARATORS = "\\/";

// Splits at "\" and "/", dropping empty pieces (runs of separators). The
// split steps by characters of the machine's code page: the second byte of a
// double-byte character can be 0x5C and is part of a name.
std::vector<std::string> split_segments(std::string_view text)
{
    const uint32_t code_page = current_ansi_code_page();
    std::vector<std::string> segments;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = find_first_of(text, SEPARATORS, code_page, start);
        if (end == std::string_view::npos) end = text.size();
        if (end > start) segments.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    return segments;
}

// Whether the path's last character is a separator (not the second byte of
// a double-byte character that happens to be 0x5C).
bool ends_in_separator(const std::string& path)
{
    const size_t last = find_last_of(path, SEPARATORS, current_ansi_code_page());
    return last != std::string_view::npos && last + 1 == path.size();
}

// The host folder a drive letter is mapped to; nullptr when it is not.
const std::string* drive_folder(const Machine& machine, char letter)
{
    const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
    const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(letter)));
    for (const char candidate : {upper, lower}) {
        const auto found = machine.drives.find(candidate);
        if (found != machine.drives.end()) return &found->second;
    }
    return nullptr;
}

// The name a folder entry really has, looked up as NTFS would: the exact
// spelling when it exists, else the first case-insensitive match.
bool find_entry(const std::string& host_folder, const std::string& name, std::string* actual)
{
    std::error_code error;
    if (fs::exists(fs::path(host_folder) / name, error)) {
        *actual = name;
        return true;
    }
    for (const std::string& entry : list_directory_sorted(host_folder)) {
        if (names_equal(entry, name)) {
            *actual = entry;
            return true;
        }
    }
    return false;
}

}  // namespace

Machine& current()
{
    if (installed_machine == nullptr) {
        std::fputs("sim::current(): no simulated machine is installed; call sim::install() first\n", stderr);
        std::abort();
    }
    return *installed_machine;
}

void install(Machine* machine)
{
    installed_machine = machine;
}

bool operation_fails(OperationKind kind)
{
    Machine& machine = current();
    const uint32_t count = ++machine.operations[static_cast<int>(kind)];
    if (machine.injected_failure.kind != kind || machine.injected_failure.nth != count) return false;
    machine.last_error = machine.injected_failure.error;
    return true;
}

bool names_equal(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (fold(a[i]) != fold(b[i])) return false;
    }
    return true;
}

bool name_less(std::string_view a, std::string_view b)
{
    const size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
        const auto x = static_cast<unsigned char>(fold(a[i]));
        const auto y = static_cast<unsigned char>(fold(b[i]));
        if (x != y) return x < y;
    }
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;  // names differing only in case (possible on the host): a stable order
}

std::string canonical_windows_path(const std::string& path)
{
    std::string root;
    size_t rest = 0;
    size_t fixed_segments = 0;  // segments that belong to the root (UNC server and share)
    if (has_drive(path)) {
        root = path.substr(0, 2) + "\\";
        rest = 2;
    } else if (path.size() >= 2 && is_separator(path[0]) && is_separator(path[1])) {
        root = "\\\\";
        rest = 2;
        fixed_segments = 2;
    } else if (!path.empty() && is_separator(path[0])) {
        root = "\\";
        rest = 1;
    }

    const std::vector<std::string> pieces = split_segments(std::string_view(path).substr(rest));
    std::vector<std::string> segments;
    for (size_t i = 0; i < pieces.size(); ++i) {
        std::string segment = pieces[i];
        if (i < fixed_segments) {
            segments.push_back(segment);
            continue;
        }
        if (segment == ".") continue;
        if (segment == "..") {
            if (root.empty() && (segments.empty() || segments.back() == "..")) {
                segments.push_back(segment);  // relative: nothing known to go up from
            } else if (segments.size() > fixed_segments) {
                segments.pop_back();
            }
            continue;
        }
        // "name." loses its period; "name.." and "..." are names of their own.
        if (segment.size() >= 2 && segment.back() == '.' && segment[segment.size() - 2] != '.') segment.pop_back();
        segments.push_back(segment);
    }

    bool trailing_separator = path.size() > rest && ends_in_separator(path);
    if (!trailing_separator && segments.size() > fixed_segments && segments.back() != "..") {
        std::string& last = segments.back();
        while (!last.empty() && (last.back() == '.' || last.back() == ' ')) last.pop_back();
        if (last.empty()) {
            segments.pop_back();
            trailing_separator = true;
        }
    }

    std::string result = root;
    // A relative path whose first segment looks like a drive (".\C:\x") stays
    // relative: without its ".\" it would name drive C.
    if (root.empty() && !segments.empty() && has_drive(segments[0])) result = ".\\";
    for (size_t i = 0; i < segments.size(); ++i) {
        if (i > 0) result += '\\';
        result += segments[i];
    }
    if (trailing_separator && !segments.empty()) result += '\\';
    return result;
}

std::vector<std::string> list_directory_sorted(const std::string& host_folder)
{
    std::vector<std::string> names;
    std::error_code error;
    fs::directory_iterator entries(host_folder, error);
    if (error) return names;
    for (const fs::directory_entry& entry : entries) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) { return name_less(a, b); });
    return names;
}

std::string host_path(const std::string& windows_path)
{
    if (!has_drive(windows_path)) return "";
    const std::string* folder = drive_folder(current(), windows_path[0]);
    if (folder == nullptr) return "";

    std::string host = *folder;
    while (host.size() > 1 && host.back() == '/') host.pop_back();

    const std::string canonical = canonical_windows_path(windows_path);
    bool present = true;  // whether `host` exists so far; below a missing part nothing is looked up
    for (const std::string& segment : split_segments(std::string_view(canonical).substr(3))) {
        std::string actual = segment;
        if (present) present = find_entry(host, segment, &actual);
        if (host.empty() || host.back() != '/') host += '/';
        host += actual;
    }
    return host;
}

std::string absolute_windows_path(const std::string& path)
{
    if (has_drive(path)) return path;
    if (path.size() >= 2 && is_separator(path[0]) && is_separator(path[1])) return path;
    const Machine& machine = current();
    std::string folder = machine.current_directory;
    if (folder.empty()) folder = machine.module_path.substr(0, machine.module_path.find_last_of('\\'));
    if (!path.empty() && is_separator(path[0])) return folder.substr(0, 2) + path;
    return folder + "\\" + path;
}

}  // namespace sim
