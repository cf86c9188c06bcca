// INF_ on the simulated machine: INF files read by SetupAPI's rules, as Wine
// 8.0's setupapi reads them (checked there case by case):
//
// - Lines end at LF (a CR is a blank); a Ctrl-Z byte ends the file. A file
//   starting with FF FE is UTF-16LE and is turned into ANSI text.
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
//   is %, a name that is not there stays as written, and replacements are not
//   replaced again. Not reproduced: numbered directory ids such as %10%.
// - A line before the first section fails the open (0xE0000000) unless the
//   file has a [Strings] section. A Windows-4 style open also needs
//   [Version] with a first "Signature" line of $Chicago$, $Windows NT$ or
//   $Windows 95$ (any case, as written: no replacement) and fails with
//   0xE0000100 without it.
// - Not reproduced: UTF-8 files with a byte-order mark (Wine reads them),
//   UTF-16 files without one.
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file.h"
#include "platform/inf.h"
#include "platform/sim/codepage.h"
#include "platform/sim/ini.h"
#include "platform/sim/machine.h"

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

struct InfFile {
    std::vector<Section> sections;
    const Section* strings = nullptr;  // set once all sections are read
};

constexpr size_t NO_SECTION = static_cast<size_t>(-1);

bool is_blank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// Section and key names compare as the profile functions compare them.
using sim::ini_names_equal;

size_t section_index(const InfFile& file, std::string_view name)
{
    for (size_t i = 0; i < file.sections.size(); ++i) {
        if (ini_names_equal(file.sections[i].name, name)) return i;
    }
    return NO_SECTION;
}

const Section* find_section(const InfFile& file, std::string_view name)
{
    const size_t index = section_index(file, name);
    return index != NO_SECTION ? &file.sections[index] : nullptr;
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
uint32_t parse(std::string_view text, InfFile* file)
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
            current = section_index(*file, name);
            if (current == NO_SECTION) {
                current = file->sections.size();
                file->sections.push_back(Section{name, {}});
            }
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
    file->strings = find_section(*file, "Strings");
    if (line_before_sections && file->strings == nullptr) return ERR_EXPECTED_SECTION_NAME;
    return ERR_SUCCESS;
}

bool has_known_signature(const InfFile& file)
{
    const Section* version = find_section(file, "Version");
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

// The text with its %name% replaced from [Strings].
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
        const std::string* replacement = nullptr;
        if (name.empty()) {
            out += '%';
        } else if (file.strings != nullptr) {
            for (const Line& line : file.strings->lines) {
                if (line.has_key && ini_names_equal(line.key, name) && !line.fields.empty()) {
                    replacement = &line.fields[0];
                    break;
                }
            }
        }
        if (replacement != nullptr) out += *replacement;
        else if (!name.empty()) out.append(text, start, i - start + 1);
        start = i + 1;
    }
    out.append(text, start, std::string::npos);
    return out;
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

    std::string text(reinterpret_cast<const char*>(view.data), view.size);
    FILE_Unmap(&view);
    if (text.size() >= 2 && text[0] == '\xFF' && text[1] == '\xFE') {
        text = sim::utf16_to_ansi(sim::utf16le_units(std::string_view(text).substr(2)), sim::current_ansi_code_page());
    }

    auto* file = new InfFile;
    uint32_t error = parse(text, file);
    if (error == ERR_SUCCESS && (style & INF_WIN4_STYLE) != 0 && !has_known_signature(*file)) {
        error = ERR_WRONG_INF_STYLE;
    }
    if (error != ERR_SUCCESS) {
        delete file;
        sim::current().last_error = error;
        return nullptr;
    }
    sim::current().last_error = ERR_SUCCESS;
    return file;
}

bool INF_FindFirstLine(INF_Handle inf, const char* section, const char* key, INF_Line* line)
{
    const auto* file = static_cast<const InfFile*>(inf);
    const Section* found = file != nullptr && section != nullptr ? find_section(*file, section) : nullptr;
    if (found != nullptr) {
        for (size_t i = 0; i < found->lines.size(); ++i) {
            const Line& candidate = found->lines[i];
            if (key != nullptr && !(candidate.has_key && ini_names_equal(substituted(*file, candidate.key), key))) {
                continue;
            }
            *line = INF_Line{inf, inf, static_cast<uint32_t>(found - file->sections.data()), static_cast<uint32_t>(i)};
            sim::current().last_error = ERR_SUCCESS;
            return true;
        }
    }
    sim::current().last_error = ERR_LINE_NOT_FOUND;
    return false;
}

bool INF_GetStringField(const INF_Line* line, uint32_t field, char* buffer, uint32_t capacity, uint32_t* required)
{
    // SetupAPI leaves the last error at 0 for a missing field.
    sim::current().last_error = ERR_SUCCESS;
    const auto* file = line != nullptr ? static_cast<const InfFile*>(line->current_inf) : nullptr;
    if (file == nullptr || line->section >= file->sections.size()) return false;
    const Section& section = file->sections[line->section];
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
