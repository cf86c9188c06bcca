// The simulated machine itself and the mapping of its drives onto host folders.
#include "platform/sim/drives.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <system_error>

#include "platform/sim/codepage.h"
#include "platform/sim/machine.h"
#include "platform/sim/short_names.h"

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

bool is_ascii(std::string_view text)
{
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
}

// A host name's characters as NTFS compares them: UTF-16 units, upper-cased.
std::u16string folded(std::string_view name)
{
    std::u16string units = utf8_to_utf16(name);
    for (char16_t& unit : units) unit = upcase(unit);
    return units;
}

// The host name of one component of a Windows path in the machine's code
// page: its text in UTF-16, written as UTF-8, as NTFS stores the name the
// "A" functions were given.
std::string host_name(const std::string& ansi_segment)
{
    if (is_ascii(ansi_segment)) return ansi_segment;
    return utf16_to_utf8(ansi_to_utf16(ansi_segment, current_ansi_code_page()));
}

constexpr std::string_view SEPARATORS = "\\/";

// Paths in UTF-8 (the host's, and the Unicode names the machine keeps) have
// no double-byte characters: a 0x5C byte is always a backslash there.
constexpr uint32_t UTF8_CODE_PAGE = 65001;

// Splits at "\" and "/", dropping empty pieces (runs of separators). The
// split steps by characters of the code page: the second byte of a
// double-byte character can be 0x5C and is part of a name.
std::vector<std::string> split_segments(std::string_view text, uint32_t code_page)
{
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
bool ends_in_separator(const std::string& path, uint32_t code_page)
{
    const size_t last = find_last_of(path, SEPARATORS, code_page);
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

// Which short names a look-up accepts for the names they belong to: none,
// those set on entries, or also those the volume makes.
enum class ShortNames { None, Set, SetAndMade };

std::string resolve(const std::string& windows_path, bool from_ansi, bool with_short_names, std::string* short_form);

// The short name of each entry of a host folder (`entries`, in listing
// order): the alias set for it, the name itself when it is a legal 8.3 name,
// else the first made one that no other name of the folder takes (on a
// volume without short names: the long name).
std::vector<std::pair<std::string, std::string>> folder_short_names(const std::string& host_folder,
                                                                    const std::vector<std::string>& entries,
                                                                    ShortNames which)
{
    const Machine& machine = current();
    const uint32_t code_page = current_ansi_code_page();
    std::vector<std::pair<std::string, std::string>> aliases;  // host path, short name
    for (const auto& [windows_path, alias] : machine.short_name_aliases) {
        aliases.emplace_back(resolve(windows_path, false, false, nullptr), alias);
    }
    std::vector<std::pair<std::string, std::string>> names;
    std::set<std::u16string> taken;
    for (const std::string& entry : entries) {
        std::string short_name;
        for (const auto& [host, alias] : aliases) {
            if (host == host_folder + "/" + entry) short_name = alias;
        }
        if (short_name.empty() && is_legal_short_name(utf8_to_utf16(entry), code_page)) short_name = entry;
        taken.insert(folded(entry));
        if (!short_name.empty()) taken.insert(folded(short_name));
        names.emplace_back(entry, short_name);
    }
    for (auto& [entry, short_name] : names) {
        if (!short_name.empty()) continue;
        if (which != ShortNames::SetAndMade) {
            short_name = entry;
            continue;
        }
        const std::u16string long_name = utf8_to_utf16(entry);
        for (unsigned attempt = 1; attempt < 100000 && short_name.empty(); ++attempt) {
            const std::string candidate = generated_short_name(long_name, attempt);
            if (taken.insert(folded(candidate)).second) short_name = candidate;
        }
    }
    return names;
}

// The name a folder entry really has, looked up as NTFS would: the exact
// spelling when it exists, else the first case-insensitive match, else the
// entry whose short name it is.
bool find_entry(const std::string& host_folder, const std::string& name, ShortNames which, std::string* actual)
{
    std::error_code error;
    if (fs::exists(fs::path(host_folder) / name, error)) {
        *actual = name;
        return true;
    }
    const std::vector<std::string> entries = list_directory_sorted(host_folder);
    for (const std::string& entry : entries) {
        if (names_equal(entry, name)) {
            *actual = entry;
            return true;
        }
    }
    // A made short name always holds a '~'; a set one may be any 8.3 name.
    if (which == ShortNames::None || (name.find('~') == std::string::npos && current().short_name_aliases.empty()) ||
        !is_legal_short_name(utf8_to_utf16(name), current_ansi_code_page())) {
        return false;
    }
    for (const auto& [entry, short_name] : folder_short_names(host_folder, entries, which)) {
        if (names_equal(short_name, name)) {
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

void note_host_change(const std::string& host)
{
    Machine& machine = current();
    machine.host_paths_changed.emplace(host, HostChange{machine.record.events.size(), machine.host_paths_changed.size()});
}

void note_host_written(const std::string& host)
{
    current().host_files_written.insert(host);
    note_host_change(host);
}

void note_read(const std::string& host, const char* section, const char* key, bool found)
{
    std::set<FileRead>* trace = current().read_trace;
    if (trace == nullptr || host.empty() || section == nullptr) return;
    trace->insert({host, section, key != nullptr ? key : "", found});
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
    if (!is_ascii(a) || !is_ascii(b)) return folded(a) == folded(b);
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (upcase(static_cast<char16_t>(a[i])) != upcase(static_cast<char16_t>(b[i]))) return false;
    }
    return true;
}

bool name_less(std::string_view a, std::string_view b)
{
    const std::u16string x = folded(a);
    const std::u16string y = folded(b);
    if (x != y) return x < y;
    return a < b;  // names differing only in case (possible on the host): a stable order
}

namespace {

// The normalisation of canonical_windows_path on a path in the code page.
std::string canonical_path(const std::string& path, uint32_t code_page)
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

    const std::vector<std::string> pieces = split_segments(std::string_view(path).substr(rest), code_page);
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

    bool trailing_separator = path.size() > rest && ends_in_separator(path, code_page);
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

}  // namespace

std::string canonical_windows_path(const std::string& path)
{
    return canonical_path(path, current_ansi_code_page());
}

std::vector<std::string> list_directory_sorted(const std::string& host_folder)
{
    std::vector<std::pair<std::u16string, std::string>> keyed;  // folded name, host name
    std::error_code error;
    fs::directory_iterator entries(host_folder, error);
    if (error) return {};
    for (const fs::directory_entry& entry : entries) {
        std::string name = entry.path().filename().string();
        keyed.emplace_back(folded(name), std::move(name));
    }
    std::sort(keyed.begin(), keyed.end());
    std::vector<std::string> names;
    names.reserve(keyed.size());
    for (auto& [key, name] : keyed) names.push_back(std::move(name));
    return names;
}

namespace {

// The host path of a Windows path whose names are in the machine's code page
// (`from_ansi`) or already in UTF-8; short names stand for their entries
// unless `with_short_names` is false. With `short_form`, also the path with
// each component's short name there ("" when the path does not exist).
std::string resolve(const std::string& windows_path, bool from_ansi, bool with_short_names, std::string* short_form)
{
    if (short_form != nullptr) short_form->clear();
    if (!has_drive(windows_path)) return "";
    const Machine& machine = current();
    const std::string* folder = drive_folder(machine, windows_path[0]);
    if (folder == nullptr) return "";
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(windows_path[0])));
    const ShortNames which = !with_short_names                                   ? ShortNames::None
                             : machine.drives_without_short_names.count(letter) ? ShortNames::Set
                                                                                : ShortNames::SetAndMade;

    std::string host = *folder;
    while (host.size() > 1 && host.back() == '/') host.pop_back();

    const uint32_t code_page = from_ansi ? current_ansi_code_page() : UTF8_CODE_PAGE;
    const std::string canonical = canonical_path(windows_path, code_page);
    std::string shortened = canonical.substr(0, 3);
    bool present = true;  // whether `host` exists so far; below a missing part nothing is looked up
    for (const std::string& segment : split_segments(std::string_view(canonical).substr(3), code_page)) {
        const std::string name = from_ansi ? host_name(segment) : segment;
        std::string actual = name;
        if (present) present = find_entry(host, name, which, &actual);
        if (present && short_form != nullptr) {
            for (const auto& [entry, short_name] : folder_short_names(host, list_directory_sorted(host), which)) {
                if (entry == actual) shortened += (shortened.back() == '\\' ? "" : "\\") + short_name;
            }
        }
        if (host.empty() || host.back() != '/') host += '/';
        host += actual;
    }
    if (short_form != nullptr && present) *short_form = shortened;
    return host;
}

}  // namespace

std::string host_path(const std::string& windows_path)
{
    return resolve(windows_path, true, true, nullptr);
}

std::string host_path_of_unicode(const std::string& windows_path)
{
    return resolve(windows_path, false, true, nullptr);
}

std::string short_path(const std::string& windows_path)
{
    std::string shortened;
    resolve(windows_path, false, true, &shortened);
    return shortened;
}

std::string absolute_windows_path(const std::string& path)
{
    if (has_drive(path) && path.size() > 2 && is_separator(path[2])) return path;
    if (path.size() >= 2 && is_separator(path[0]) && is_separator(path[1])) return path;
    const Machine& machine = current();
    std::string folder = machine.current_directory;
    if (folder.empty()) {
        const std::string program = ansi_module_path();
        folder = program.substr(0, find_last_of(program, "\\", current_ansi_code_page()));
    }
    if (has_drive(path)) {
        // Windows keeps a current folder per drive: the process's own for the
        // drive it is on, the "=D:" variables for the others, else the root.
        const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(path[0])));
        std::string drive_folder = path.substr(0, 2) + "\\";
        if (has_drive(folder) && std::toupper(static_cast<unsigned char>(folder[0])) == letter) {
            drive_folder = folder;
        } else if (const auto kept = machine.drive_directories.find(letter); kept != machine.drive_directories.end()) {
            drive_folder = kept->second;
        }
        return path.size() == 2 ? drive_folder : drive_folder + "\\" + path.substr(2);
    }
    if (!path.empty() && is_separator(path[0])) return folder.substr(0, 2) + path;
    return folder + "\\" + path;
}

}  // namespace sim
