#include "platform/sim/ini.h"

#include "platform/sim/codepage.h"

namespace sim {

namespace {

bool is_blank(char c)
{
    return c == ' ' || c == '\t' || c == '\v' || c == '\x1A';
}

std::string_view trim_blanks(std::string_view text)
{
    while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
    return text;
}

// Upper case of an ANSI (Windows-1252) byte, as Windows folds names.
unsigned char fold(unsigned char c)
{
    if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 0x20);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 0x20);
    if (c == 0x9A || c == 0x9C || c == 0x9E) return static_cast<unsigned char>(c - 0x10);  // š œ ž
    if (c == 0xFF) return 0x9F;                                                              // ÿ
    return c;
}

IniEntry parse_entry(std::string_view line)
{
    IniEntry entry;
    entry.comment = line.front() == ';';
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
        entry.name = std::string(line);
        return entry;
    }
    entry.name = std::string(trim_blanks(line.substr(0, equals)));
    entry.value = std::string(trim_blanks(line.substr(equals + 1)));
    entry.has_value = true;
    return entry;
}

}  // namespace

IniDocument parse_ini(const std::string& bytes, uint32_t code_page)
{
    const bool utf16 = bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
                       static_cast<unsigned char>(bytes[1]) == 0xFE;
    const std::string text = utf16 ? utf16_to_ansi(utf16le_units(std::string_view(bytes).substr(2)), code_page) : bytes;

    IniDocument document;
    std::vector<IniEntry>* entries = &document.preamble;
    size_t start = 0;
    uint32_t number = 0;
    while (start < text.size()) {
        size_t end = start;
        while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
        const std::string_view line = trim_blanks(std::string_view(text).substr(start, end - start));
        // CR LF ends one line.
        start = end + (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n' ? 2 : 1);
        ++number;
        if (line.empty()) continue;

        if (line.front() == '[') {
            const size_t close = line.find(']');
            const std::string_view name =
                line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1);
            document.sections.push_back(IniSection{std::string(trim_blanks(name)), number, {}});
            entries = &document.sections.back().entries;
            continue;
        }
        entries->push_back(parse_entry(line));
        entries->back().line = number;
    }
    return document;
}

bool ini_names_equal(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (fold(static_cast<unsigned char>(a[i])) != fold(static_cast<unsigned char>(b[i]))) return false;
    }
    return true;
}

std::string ini_folded_name(std::string_view name)
{
    std::string folded(name);
    for (char& c : folded) c = static_cast<char>(fold(static_cast<unsigned char>(c)));
    return folded;
}

std::string_view trim_name_argument(std::string_view name)
{
    while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
    while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
    return name;
}

const IniSection* find_section(const IniDocument& document, std::string_view name)
{
    const std::string_view wanted = trim_name_argument(name);
    for (const IniSection& section : document.sections) {
        if (ini_names_equal(section.name, wanted)) return &section;
    }
    return nullptr;
}

const IniEntry* find_key(const IniSection& section, std::string_view key)
{
    const std::string_view wanted = trim_name_argument(key);
    for (const IniEntry& entry : section.entries) {
        if (entry.has_value && !entry.comment && ini_names_equal(entry.name, wanted)) return &entry;
    }
    return nullptr;
}

std::string unquote_value(std::string_view value)
{
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return std::string(value);
}

std::optional<std::string> ini_lookup(const IniDocument& document, std::string_view section, std::string_view key)
{
    const IniSection* found_section = find_section(document, section);
    if (found_section == nullptr) return std::nullopt;
    const IniEntry* entry = find_key(*found_section, key);
    if (entry == nullptr) return std::nullopt;
    return unquote_value(entry->value);
}

}  // namespace sim
