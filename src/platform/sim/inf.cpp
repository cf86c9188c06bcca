// INF_ on the simulated machine: INF files read by SetupAPI's rules, as Wine
// 8.0's setupapi reads them (checked there case by case):
//
// - Encoding: a file that IsTextUnicode, with all its tests, takes for UTF-16
//   (a FF FE mark, or text whose every other byte is 0: UTF-16LE without a
//   mark) is UTF-16LE, its mark skipped; a file starting with the UTF-8 mark
//   EF BB BF is UTF-8; anything else is ANSI. UTF-16 and UTF-8 text is turned
//   into ANSI text of the machine's code page.
// - Lines end at LF (a CR is a blank); a Ctrl-Z byte ends the file.
// - "[" at the start of a line opens a section whose name runs, untrimmed, to
//   the first "]" on that line (none: the open fails with 0xE0000001; over 255
//   characters: 0xE0000002); the rest of that line is ignored. Sections of the
//   same name (in any case) are one section.
// - Other lines are fields separated by ","; text before a "=" that comes
//   before any "," is the key. A line of one field without a key has that
//   field as its key too.
// - Outside double quotes ";" starts a comment, and a "\" followed only by
//   blanks (or a comment) up to the end of the line joins the next line, whose
//   leading blanks are dropped; any other "\" is kept. Blanks around keys and
//   fields are dropped, blanks inside them kept.
// - Double quotes group text and are removed; "" inside quotes is one ".
// - Text of a key or a field read back has its %name% replaced by the first
//   field of the name's line in [Strings] (names without regard to case); %%
//   is %, and replacements are not replaced again. A name that [Strings] lacks
//   and that is a decimal number is a directory id: %10% is the Windows
//   folder, %24% the root of the system drive, and so on (directory_id); when
//   a "\" follows the id, the folder's own trailing "\" is dropped, so
//   "%24%\x" is "C:\x". Any other name stays as written.
// - A line before the first section fails the open (0xE0000000) unless the
//   file has a [Strings] section. A Windows-4 style open also needs
//   [Version] with a first "Signature" line of $Chicago$, $Windows NT$ or
//   $Windows 95$ (any case, as written: no replacement) and fails with
//   0xE0000100 without it.
// Microsoft documents ANSI and UTF-16LE as the encodings of an INF; how
// Windows reads a UTF-8 mark or UTF-16 without a mark is not documented, so
// those follow Wine (tests/wine/README.md).
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/file.h"
#include "platform/inf.h"
#include "platform/sim/codepage.h"
#include "platform/sim/ini.h"
#include "platform/sim/machine.h"
#include "platform/sim/parsed_file_cache.h"

namespace {

constexpr size_t MAX_SECTION_NAME = 255;
constexpr char CONTROL_Z = '\x1A';

struct Line {
    bool has_key = false;
    std::string key;
    std::vector<std::string> fields;
};

struct Section {
    std::string name;
    std::vector<Line> lines;
};

constexpr size_t NO_SECTION = static_cast<size_t>(-1);

// What an INF's bytes say, the same for every open of the same bytes.
struct InfContent {
    uint32_t error = ERR_SUCCESS;  // what opening it reports, before its style is looked at
    std::vector<Section> sections;
    std::unordered_map<std::string, size_t> section_by_name;  // by folded name
    size_t strings = NO_SECTION;                              // [Strings], once all sections are read
    std::unordered_map<std::string, size_t> string_by_name;   // its first line of each key, by folded key
};

// An open INF.
struct InfFile {
    std::shared_ptr<const InfContent> content;
    std::string folder;  // where the INF lies, with its trailing "\\"
    std::string host;    // its host path, for the machine's read trace
};

bool is_blank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// Section and key names compare as the profile functions compare them.
using sim::ini_names_equal;

size_t section_index(const InfContent& content, std::string_view name)
{
    const auto found = content.section_by_name.find(sim::ini_folded_name(name));
    return found != content.section_by_name.end() ? found->second : NO_SECTION;
}

const Section* find_section(const InfContent& content, std::string_view name)
{
    const size_t index = section_index(content, name);
    return index != NO_SECTION ? &content.sections[index] : nullptr;
}

// Reads the fields of one line from `pos` (its first character that is no
// blank) up to its end; returns where the next line starts.
class LineReader {
public:
    LineReader(std::string_view text, size_t pos) : text_(text), pos_(pos) {}

    size_t read(Line* line)
    {
        bool in_key = true;  // still in the first field, no "=" seen
        while (true) {
            const char c = at(pos_);
            if (c == '\n' || c == ';' || c == ',' || (c == '=' && in_key)) {
                if (c == '=') {
                    line->has_key = true;
                    line->key = token_;
                } else {
                    line->fields.push_back(token_);
                }
                token_.clear();
                blanks_.clear();
                if (c == ';') skip_to_line_end();
                if (c == '\n' || c == ';') break;
                in_key = false;
                ++pos_;
                skip_leading_blanks();
            } else if (c == '"') {
                take_blanks();
                read_quoted();
            } else if (c == '\\') {
                read_backslash();
            } else if (is_blank(c)) {
                blanks_ += c;
                ++pos_;
            } else {
                take_blanks();
                append(c);
                ++pos_;
            }
        }
        if (!line->has_key && line->fields.size() == 1) {
            line->has_key = true;
            line->key = line->fields[0];
        }
        return pos_;
    }

private:
    // The end of the text ends a line as a line feed does.
    char at(size_t i) const { return i < text_.size() ? text_[i] : '\n'; }

    // SetupAPI keeps a NUL byte of a field as a space.
    void append(char c) { token_ += c != '\0' ? c : ' '; }

    void take_blanks()
    {
        token_ += blanks_;
        blanks_.clear();
    }

    void skip_to_line_end()
    {
        while (at(pos_) != '\n') ++pos_;
    }

    void skip_leading_blanks()
    {
        while (is_blank(at(pos_))) ++pos_;
    }

    void read_quoted()
    {
        ++pos_;
        while (at(pos_) != '\n') {
            if (at(pos_) == '"') {
                if (at(pos_ + 1) != '"') {
                    ++pos_;
                    return;
                }
                ++pos_;
            }
            append(at(pos_));
            ++pos_;
        }
    }

    // A "\" that only blanks, more backslashes or a comment follow on its line
    // joins the next line; otherwise it and what follows it are text.
    void read_backslash()
    {
        size_t end = pos_;
        while (at(end) == '\\' || is_blank(at(end))) ++end;
        if (at(end) == ';') {
            while (at(end) != '\n') ++end;
        }
        if (at(end) == '\n') {
            blanks_.clear();
            pos_ = end + 1;
            skip_leading_blanks();
            return;
        }
        take_blanks();
        token_.append(text_.substr(pos_, end - pos_));
        pos_ = end;
    }

    std::string_view text_;
    size_t pos_;
    std::string token_;
    std::string blanks_;  // blanks kept only when more text follows
};

// Parses the text; 0 or the error SetupAPI reports for it.
uint32_t parse(std::string_view text, InfContent* file)
{
    text = text.substr(0, text.find(CONTROL_Z));
    size_t current = NO_SECTION;
    bool line_before_sections = false;
    size_t pos = 0;
    while (pos < text.size()) {
        const char c = text[pos];
        if (c == '\n' || is_blank(c)) {
            ++pos;
        } else if (c == ';') {
            pos = text.find('\n', pos);
        } else if (c == '[') {
            const size_t close = text.find_first_of("]\n", pos + 1);
            if (close == std::string_view::npos || text[close] != ']') return ERR_BAD_SECTION_NAME_LINE;
            std::string name(text.substr(pos + 1, close - pos - 1));
            if (name.size() > MAX_SECTION_NAME) return ERR_SECTION_NAME_TOO_LONG;
            for (char& n : name) n = n == '\0' ? ' ' : n;
            const auto [found, added] = file->section_by_name.emplace(sim::ini_folded_name(name), file->sections.size());
            if (added) file->sections.push_back(Section{name, {}});
            current = found->second;
            pos = text.find('\n', close);
        } else if (current == NO_SECTION) {
            // SetupAPI goes on character by character here.
            line_before_sections = true;
            ++pos;
        } else {
            std::vector<Line>& lines = file->sections[current].lines;
            lines.emplace_back();
            pos = LineReader(text, pos).read(&lines.back());
        }
    }
    file->strings = section_index(*file, "Strings");
    if (file->strings != NO_SECTION) {
        const std::vector<Line>& lines = file->sections[file->strings].lines;
        for (size_t i = 0; i < lines.size(); ++i) {
            if (lines[i].has_key) file->string_by_name.emplace(sim::ini_folded_name(lines[i].key), i);
        }
    }
    if (line_before_sections && file->strings == NO_SECTION) return ERR_EXPECTED_SECTION_NAME;
    return ERR_SUCCESS;
}

// The content of an INF's text.
InfContent parsed_content(std::string_view text)
{
    InfContent content;
    content.error = parse(text, &content);
    return content;
}

bool has_known_signature(const InfContent& content)
{
    const Section* version = find_section(content, "Version");
    if (version == nullptr) return false;
    for (const Line& line : version->lines) {
        if (!line.has_key || !ini_names_equal(line.key, "Signature")) continue;
        if (line.fields.empty()) return false;
        for (const char* known : {"$Chicago$", "$Windows NT$", "$Windows 95$"}) {
            if (ini_names_equal(line.fields[0], known)) return true;
        }
        return false;
    }
    return false;
}

// The folder of a directory id, as Windows documents the system ids
// ("Using Dirids"); nullopt for an id we do not model: the printer folders
// (23, 51, 52, 55), the user profile (53), the shell folders (16384 and up)
// and ids a program sets itself.
std::optional<std::string> directory_id(const InfFile& file, long id)
{
    const sim::Machine& machine = sim::current();
    const auto root = machine.environment.find("SYSTEMROOT");
    const std::string windows = root != machine.environment.end() ? root->second : "C:\\Windows";
    const std::string drive = windows.substr(0, 2) + "\\";
    switch (id) {
    case -1: case 0: case 65535: return std::string();  // absolute path, no folder
    case 1: return file.folder;                          // where the INF came from
    case 10: case 25: return windows;
    case 11: return windows + "\\System32";
    case 12: return windows + "\\System32\\drivers";
    case 17: return windows + "\\INF";
    case 18: return windows + "\\Help";
    case 20: return windows + "\\Fonts";
    case 21: return windows + "\\System32\\viewers";
    case 24: case 30: case 54: return drive;             // the system and boot drives' roots
    case 50: return windows + "\\system";
    default: return std::nullopt;
    }
}

// What %name% (name without the percent signs) stands for; nullopt when it
// stays as written. `before_backslash`: a "\\" follows the closing "%".
std::optional<std::string> replacement(const InfFile& file, std::string_view name, bool before_backslash)
{
    if (name.empty()) return std::string("%");
    const InfContent& content = *file.content;
    const auto found = content.string_by_name.find(sim::ini_folded_name(name));
    if (found != content.string_by_name.end()) {
        const Line& line = content.sections[content.strings].lines[found->second];
        if (!line.fields.empty()) return line.fields[0];
    }
    // Read as strtol reads it: blanks, a sign, decimal digits, and nothing after.
    const std::string digits(name);
    char* end = nullptr;
    const long id = std::strtol(digits.c_str(), &end, 10);
    if (*end != '\0' || end == digits.c_str()) return std::nullopt;
    std::optional<std::string> folder = directory_id(file, id);
    if (folder && before_backslash && !folder->empty() && folder->back() == '\\') folder->pop_back();
    return folder;
}

// The text with its %name% replaced.
std::string substituted(const InfFile& file, const std::string& text)
{
    std::string out;
    size_t start = 0;
    bool inside = false;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') continue;
        inside = !inside;
        if (inside) {
            out.append(text, start, i - start);
            start = i;
            continue;
        }
        const std::string_view name = std::string_view(text).substr(start + 1, i - start - 1);
        const std::optional<std::string> found = replacement(file, name, i + 1 < text.size() && text[i + 1] == '\\');
        if (found) out += *found;
        else out.append(text, start, i - start + 1);
        start = i + 1;
    }
    out.append(text, start, std::string::npos);
    return out;
}

// IsTextUnicode with all its tests, as SetupAPI asks it of an INF's bytes:
// the first 256 units (a last NUL byte aside) are looked at; an odd length, a
// byte-swapped mark or byte-swapped line ends and blanks say "not UTF-16"; a
// zero byte in a unit, the FF FE mark, mostly units below 0x100, or a line
// end, tab or blank as a unit say "UTF-16".
bool is_text_utf16(std::string_view bytes)
{
    if (bytes.size() < 2 || (bytes.size() & 1) != 0) return false;
    const std::u16string units = sim::utf16le_units(bytes.back() == '\0' ? bytes.substr(0, bytes.size() - 1) : bytes);
    const std::u16string_view tested = std::u16string_view(units).substr(0, 256);
    bool reverse = tested.front() == 0xFFFE;
    bool unicode = tested.front() == 0xFEFF;
    bool zero_byte = false;
    size_t narrow = 0;
    for (const char16_t unit : tested) {
        if (unit <= 0xFF) ++narrow;
        if ((unit & 0xFF) == 0 || (unit >> 8) == 0) zero_byte = true;
        if (unit == u'\r' || unit == u'\n' || unit == u'\t' || unit == u' ' || unit == 0x3000) unicode = true;
        if (unit == 0x0D00 || unit == 0x0A00 || unit == 0x0900 || unit == 0x2000) reverse = true;
    }
    if (narrow > tested.size() / 2) unicode = true;
    if (reverse) return false;
    return zero_byte || unicode;
}

// The INF's bytes as ANSI text of the machine's code page.
std::string inf_text(std::string bytes)
{
    const uint32_t code_page = sim::current_ansi_code_page();
    if (is_text_utf16(bytes)) {
        std::u16string units = sim::utf16le_units(bytes);
        if (!units.empty() && units.front() == 0xFEFF) units.erase(0, 1);
        return sim::utf16_to_ansi(units, code_page);
    }
    if (bytes.size() > 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        return sim::utf16_to_ansi(sim::utf8_to_utf16(bytes.substr(3)), code_page);
    }
    return bytes;
}

}  // namespace

INF_Handle INF_Open(const char* path, uint32_t style)
{
    FILE_Handle handle = FILE_OpenExistingForRead(path);
    if (handle == nullptr) return nullptr;
    FILE_View view{};
    const bool mapped = FILE_MapReadOnly(handle, &view);
    FILE_Close(handle);
    if (!mapped) return nullptr;

    static sim::ParsedFileCache<InfContent> parsed_files;
    const uint32_t code_page = sim::current_ansi_code_page();
    std::shared_ptr<const InfContent> content =
        parsed_files.get(std::string_view(reinterpret_cast<const char*>(view.data), view.size), code_page,
                         [](std::string_view bytes) { return parsed_content(inf_text(std::string(bytes))); });
    FILE_Unmap(&view);

    uint32_t error = content->error;
    if (error == ERR_SUCCESS && (style & INF_WIN4_STYLE) != 0 && !has_known_signature(*content)) {
        error = ERR_WRONG_INF_STYLE;
    }
    if (error != ERR_SUCCESS) {
        sim::current().last_error = error;
        return nullptr;
    }
    const std::string_view name(path);
    const size_t separator = sim::find_last_of(name, "\\", code_page);
    auto* file = new InfFile{std::move(content), std::string(name.substr(0, separator == std::string_view::npos ? 0 : separator + 1)),
                             sim::current().read_trace != nullptr ? sim::host_path(path) : std::string()};
    sim::current().last_error = ERR_SUCCESS;
    return file;
}

bool INF_FindFirstLine(INF_Handle inf, const char* section, const char* key, INF_Line* line)
{
    const auto* file = static_cast<const InfFile*>(inf);
    const Section* found = file != nullptr && section != nullptr ? find_section(*file->content, section) : nullptr;
    if (found != nullptr) {
        for (size_t i = 0; i < found->lines.size(); ++i) {
            const Line& candidate = found->lines[i];
            if (key != nullptr && !(candidate.has_key && ini_names_equal(substituted(*file, candidate.key), key))) {
                continue;
            }
            *line = INF_Line{inf, inf, static_cast<uint32_t>(found - file->content->sections.data()),
                             static_cast<uint32_t>(i)};
            sim::note_read(file->host, section, key, true);
            sim::current().last_error = ERR_SUCCESS;
            return true;
        }
    }
    if (file != nullptr) sim::note_read(file->host, section, key, false);
    sim::current().last_error = ERR_LINE_NOT_FOUND;
    return false;
}

bool INF_GetStringField(const INF_Line* line, uint32_t field, char* buffer, uint32_t capacity, uint32_t* required)
{
    // SetupAPI leaves the last error at 0 for a missing field.
    sim::current().last_error = ERR_SUCCESS;
    const auto* file = line != nullptr ? static_cast<const InfFile*>(line->current_inf) : nullptr;
    if (file == nullptr || line->section >= file->content->sections.size()) return false;
    const Section& section = file->content->sections[line->section];
    if (line->line >= section.lines.size()) return false;
    const Line& found = section.lines[line->line];
    const std::string* raw = nullptr;
    if (field == 0) raw = found.has_key ? &found.key : nullptr;
    else if (field <= found.fields.size()) raw = &found.fields[field - 1];
    if (raw == nullptr) return false;

    const std::string text = substituted(*file, *raw);
    if (required != nullptr) *required = static_cast<uint32_t>(text.size() + 1);
    if (buffer == nullptr) return true;
    if (capacity <= text.size()) {
        sim::current().last_error = ERR_INSUFFICIENT_BUFFER;
        return false;
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return true;
}

void INF_Close(INF_Handle inf)
{
    delete static_cast<InfFile*>(inf);
}
