// PROFILE_ on the simulated machine: the private-profile reads with the
// cutting rules, return values and last errors Windows has.
//
// Last error, as Windows leaves it: 0 after a value or a section was read,
// 234 (more data) when the result was cut or the buffer has no room at all,
// 2 when the file, the section or the key is missing (Windows 7 and later
// report the missing key too), 3 for a missing folder, 5 for a folder given
// as the file.
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <system_error>
#include <string_view>

#include "platform/profile.h"
#include "platform/sim/codepage.h"
#include "platform/sim/drives.h"
#include "platform/sim/ini.h"
#include "platform/sim/machine.h"
#include "platform/sim/parsed_file_cache.h"

namespace {

namespace fs = std::filesystem;

// The file a profile call reads: NULL is win.ini, a bare name lives in the
// Windows folder (where a file given without any folder is looked for),
// anything with a folder is taken as it is.
std::string profile_file(const char* file)
{
    const std::string name = file != nullptr ? file : "win.ini";
    const bool has_folder = sim::find_first_of(name, "\\/", sim::current_ansi_code_page()) != std::string::npos ||
                            (name.size() >= 2 && name[1] == ':');
    return has_folder ? name : sim::windows_folder() + "\\" + name;
}

// Reads the file's bytes into `bytes`: 0, or the error opening it gives.
uint32_t read_file(const char* file, std::string* bytes)
{
    if (sim::operation_fails(sim::OperationKind::File)) return sim::current().last_error;
    const std::string path = profile_file(file);
    if (path.size() >= PATH_CAPACITY) return ERR_PATH_NOT_FOUND;
    const std::string host = sim::host_path(path);
    if (host.empty()) return ERR_PATH_NOT_FOUND;

    std::error_code error;
    const fs::file_status status = fs::status(host, error);
    if (fs::is_directory(status)) return ERR_ACCESS_DENIED;
    if (!fs::exists(status)) {
        return fs::is_directory(fs::path(host).parent_path(), error) ? ERR_FILE_NOT_FOUND : ERR_PATH_NOT_FOUND;
    }
    std::ifstream in(host, std::ios::binary | std::ios::ate);
    if (!in) return ERR_ACCESS_DENIED;
    // One read of the whole file: every profile call comes through here.
    bytes->resize(static_cast<size_t>(std::max<std::streamoff>(in.tellg(), 0)));
    in.seekg(0);
    in.read(bytes->data(), static_cast<std::streamsize>(bytes->size()));
    bytes->resize(static_cast<size_t>(in.gcount()));
    return ERR_SUCCESS;
}

// Notes the read in the machine's read trace (which the package check keeps).
void note_profile_read(const char* file, const char* section, const char* key, bool found)
{
    if (sim::current().read_trace == nullptr) return;
    sim::note_read(sim::host_path(profile_file(file)), section, key, found);
}

// Reads and parses the file: its document, or an empty one with *error set
// to what opening it gives. The document stays valid until the next call.
const sim::IniDocument* load(const char* file, uint32_t* error)
{
    static const sim::IniDocument empty;
    static std::shared_ptr<const sim::IniDocument> last;
    static std::string bytes;  // kept for its capacity: the same file is read call after call
    *error = read_file(file, &bytes);
    if (*error != ERR_SUCCESS) return &empty;
    last = sim::kept_profile_parse(bytes, sim::current_ansi_code_page());
    return last.get();
}

// A string into a buffer of `capacity` (at least 1): cut to capacity-1 and
// always terminated. Returns the characters copied.
uint32_t copy_cut(const std::string& text, char* buffer, uint32_t capacity, bool* cut)
{
    const size_t room = capacity - 1;
    const size_t length = text.size() <= room ? text.size() : room;
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
    *cut = length < text.size();
    return static_cast<uint32_t>(length);
}

// Strings one after another, each with its NUL, for a buffer of `capacity`:
// once they fill it, the strings after are left out, as no result shows them,
// so a section of any size costs what the buffer holds.
class MultiString {
public:
    explicit MultiString(uint32_t capacity) : capacity_(capacity) {}

    // False once the strings fill the buffer: there is no need to add more.
    bool add(std::string_view text)
    {
        if (all_.size() >= capacity_) return false;
        all_.append(text);
        all_ += '\0';
        ++count_;
        return true;
    }
    bool empty() const { return count_ == 0; }
    const std::string& all() const { return all_; }

private:
    uint32_t capacity_;
    std::string all_;
    size_t count_ = 0;
};

// The strings, the whole ended by a second NUL. Returns the count without the
// final NUL; when they do not fit, the last string is cut so that two NULs
// end the buffer, and the return is capacity-2.
uint32_t copy_multi(const MultiString& strings, char* buffer, uint32_t capacity, bool* cut)
{
    *cut = false;
    if (capacity == 0) return 0;
    const std::string& all = strings.all();
    if (all.size() + 1 <= capacity) {
        std::memcpy(buffer, all.data(), all.size());
        buffer[all.size()] = '\0';
        if (all.empty() && capacity >= 2) buffer[1] = '\0';
        return static_cast<uint32_t>(all.size());
    }
    *cut = true;
    if (capacity < 2) {
        buffer[0] = '\0';
        return 0;
    }
    std::memcpy(buffer, all.data(), capacity - 2);
    buffer[capacity - 2] = '\0';
    buffer[capacity - 1] = '\0';
    return capacity - 2;
}

std::string default_value(const char* value)
{
    std::string text = value != nullptr ? value : "";
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

uint32_t copy_default(const char* value, char* buffer, uint32_t capacity)
{
    bool cut = false;
    return copy_cut(default_value(value), buffer, capacity, &cut);
}

// GetPrivateProfileString with no section: the section names. A missing
// file gives an empty string (one NUL only).
uint32_t section_names(const sim::IniDocument& document, uint32_t load_error, char* buffer, uint32_t capacity)
{
    sim::Machine& machine = sim::current();
    if (load_error != ERR_SUCCESS) {
        buffer[0] = '\0';
        machine.last_error = load_error;
        return 0;
    }
    MultiString names(capacity);
    for (const sim::IniSection& section : document.sections) {
        if (!section.name.empty() && !names.add(section.name)) break;
    }
    bool cut = false;
    const uint32_t count = copy_multi(names, buffer, capacity, &cut);
    machine.last_error = cut ? ERR_MORE_DATA : ERR_SUCCESS;
    return count;
}

// GetPrivateProfileString with no key: the key names of the section (no
// comments, no lines without "="). Nothing to list gives the default.
uint32_t key_names(const sim::IniDocument& document, uint32_t load_error, const char* file, const char* section,
                   const char* default_text, char* buffer, uint32_t capacity)
{
    sim::Machine& machine = sim::current();
    MultiString names(capacity);
    const sim::IniSection* found = load_error == ERR_SUCCESS ? sim::find_section(document, section) : nullptr;
    note_profile_read(file, section, "", found != nullptr);
    if (found != nullptr) {
        for (const sim::IniEntry& entry : found->entries) {
            if (entry.has_value && !entry.comment && !names.add(entry.name)) break;
        }
    }
    if (names.empty()) {
        machine.last_error = load_error != ERR_SUCCESS ? load_error : ERR_FILE_NOT_FOUND;
        return copy_default(default_text, buffer, capacity);
    }
    bool cut = false;
    const uint32_t count = copy_multi(names, buffer, capacity, &cut);
    machine.last_error = cut ? ERR_MORE_DATA : ERR_SUCCESS;
    return count;
}

// Reads a value as the string read returns it; false (and the error) when
// the file, section or key is missing.
bool read_value(const char* section, const char* key, const char* file, std::string* value, uint32_t* error)
{
    const sim::IniDocument* document = load(file, error);
    if (*error != ERR_SUCCESS) return false;
    const std::optional<std::string> found = sim::ini_lookup(*document, section, key);
    note_profile_read(file, section, key, found.has_value());
    if (!found) {
        *error = ERR_FILE_NOT_FOUND;
        return false;
    }
    *value = *found;
    return true;
}

// The integer the NT string-to-integer conversion (automatic base) makes of
// a value: blanks and control characters skipped, an optional sign, then
// "0x" (hex), "0o" (octal), "0b" (binary) or decimal digits up to the first
// that does not belong; wraps modulo 2^32. "42A9" is 42, "B42" is 0.
uint32_t parse_profile_integer(const std::string& text)
{
    size_t i = 0;
    while (i < text.size() && static_cast<unsigned char>(text[i]) <= ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    uint32_t base = 10;
    if (i + 1 < text.size() && text[i] == '0') {
        const char prefix = text[i + 1];
        base = prefix == 'x' ? 16 : prefix == 'o' ? 8 : prefix == 'b' ? 2 : 10;
        if (base != 10) i += 2;
    }
    uint32_t value = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        uint32_t digit = 0;
        if (c >= '0' && c <= '9') {
            digit = static_cast<uint32_t>(c - '0');
        } else if (c >= 'a' && c <= 'f') {
            digit = static_cast<uint32_t>(c - 'a' + 10);
        } else if (c >= 'A' && c <= 'F') {
            digit = static_cast<uint32_t>(c - 'A' + 10);
        } else {
            break;
        }
        if (digit >= base) break;
        value = value * base + digit;
    }
    return negative ? 0u - value : value;
}

}  // namespace

std::shared_ptr<const sim::IniDocument> sim::kept_profile_parse(std::string_view bytes, uint32_t code_page)
{
    static sim::ParsedFileCache<sim::IniDocument> parsed_files;
    return parsed_files.get(bytes, code_page, [code_page](std::string_view text) {
        return sim::parse_ini(std::string(text), code_page);
    });
}

uint32_t PROFILE_GetString(const char* section, const char* key, const char* default_text, char* buffer,
                           uint32_t capacity, const char* file)
{
    sim::Machine& machine = sim::current();
    if (buffer == nullptr || capacity == 0) {
        machine.last_error = ERR_MORE_DATA;
        return 0;
    }

    if (section == nullptr || key == nullptr) {
        uint32_t error = ERR_SUCCESS;
        const sim::IniDocument* document = load(file, &error);
        return section == nullptr ? section_names(*document, error, buffer, capacity)
                                  : key_names(*document, error, file, section, default_text, buffer, capacity);
    }

    std::string value;
    uint32_t error = ERR_SUCCESS;
    if (!read_value(section, key, file, &value, &error)) {
        const uint32_t count = copy_default(default_text, buffer, capacity);
        machine.last_error = error;
        return count;
    }
    bool cut = false;
    const uint32_t count = copy_cut(value, buffer, capacity, &cut);
    machine.last_error = cut ? ERR_MORE_DATA : ERR_SUCCESS;
    return count;
}

// GetPrivateProfileInt: a missing key and a key whose value reads as empty
// both give the default; anything else is converted as above, so "0x10"
// is 16 (Windows hands the value to its automatic-base conversion).
uint32_t PROFILE_GetInt(const char* section, const char* key, int32_t default_value, const char* file)
{
    sim::Machine& machine = sim::current();
    const auto fallback = static_cast<uint32_t>(default_value);
    if (section == nullptr || key == nullptr) return fallback;
    std::string value;
    uint32_t error = ERR_SUCCESS;
    if (!read_value(section, key, file, &value, &error)) {
        machine.last_error = error;
        return fallback;
    }
    machine.last_error = ERR_SUCCESS;
    if (value.empty()) return fallback;
    return parse_profile_integer(value);
}

// GetPrivateProfileSection: "key=value" strings with the value as it stands
// in the file (blanks around "=" gone, quotes kept), a line without "=" as
// its bare word, ";" comment lines left out.
uint32_t PROFILE_GetSection(const char* section, char* buffer, uint32_t capacity, const char* file)
{
    sim::Machine& machine = sim::current();
    if (section == nullptr || buffer == nullptr) {
        machine.last_error = ERR_INVALID_PARAMETER;
        return 0;
    }
    if (capacity == 0) return 0;

    uint32_t error = ERR_SUCCESS;
    const sim::IniDocument* document = load(file, &error);
    const sim::IniSection* found = error == ERR_SUCCESS ? sim::find_section(*document, section) : nullptr;
    note_profile_read(file, section, "", found != nullptr);
    if (found == nullptr) {
        bool cut = false;
        copy_multi(MultiString(capacity), buffer, capacity, &cut);
        machine.last_error = error != ERR_SUCCESS ? error : ERR_FILE_NOT_FOUND;
        return 0;
    }

    MultiString lines(capacity);
    for (const sim::IniEntry& entry : found->entries) {
        if (entry.comment) continue;
        if (!lines.add(entry.has_value ? entry.name + "=" + entry.value : entry.name)) break;
    }
    bool cut = false;
    const uint32_t count = copy_multi(lines, buffer, capacity, &cut);
    machine.last_error = cut ? ERR_MORE_DATA : ERR_SUCCESS;
    return count;
}
