#include "platform/sim/short_names.h"

#include "platform/sim/codepage.h"

namespace sim {

namespace {

// The characters FAT refuses in a name; a made short name has '_' for them.
bool refused_by_fat(char16_t c)
{
    return c < 0x20 || std::u16string_view(u"\"*+,/:;<=>?[\\]|").find(c) != std::u16string_view::npos;
}

// The characters a made short name keeps (blanks, dots and everything past
// ASCII are left out), as they go into it.
bool kept(char16_t c)
{
    return c > u' ' && c != u'.' && c < 0x7F;
}

char16_t short_character(char16_t c)
{
    if (refused_by_fat(c)) return u'_';
    return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

// The checksum Windows puts into a short name when the name's own characters
// do not tell it apart.
uint16_t checksum(const std::u16string& name)
{
    if (name.empty()) return 0;
    if (name.size() == 1) return name[0];
    uint16_t hash = static_cast<uint16_t>((name[0] << 8) + name[1]);
    if (name.size() == 2) return hash;
    uint16_t saved = hash;
    for (size_t at = 2; at < name.size(); at += 2) {
        hash = static_cast<uint16_t>((hash << 7) + name[at]);
        hash = static_cast<uint16_t>((saved >> 1) + (hash << 8));
        if (at + 1 < name.size()) hash = static_cast<uint16_t>(hash + name[at + 1]);
        saved = hash;
    }
    return hash;
}

// Four hex digits of the checksum, its lowest digit first.
std::string checksum_digits(const std::u16string& name)
{
    uint16_t value = checksum(name);
    std::string digits;
    for (int i = 0; i < 4; ++i, value >>= 4) digits += "0123456789ABCDEF"[value & 0xF];
    return digits;
}

}  // namespace

bool is_legal_short_name(const std::u16string& name, uint32_t code_page)
{
    std::u16string upper = name;
    for (char16_t& c : upper) c = upcase(c);
    if (name.empty() || !converts_exactly(upper, code_page)) return false;
    const std::string bytes = utf16_to_ansi(upper, code_page);
    const size_t dot = bytes.find('.');
    if (dot == 0 || (dot != std::string::npos && bytes.find('.', dot + 1) != std::string::npos)) return false;
    const size_t base = dot == std::string::npos ? bytes.size() : dot;
    const size_t extension = dot == std::string::npos ? 0 : bytes.size() - dot - 1;
    if (base > 8 || extension > 3 || (dot != std::string::npos && extension == 0)) return false;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == ' ' || (byte < 0x80 && refused_by_fat(byte))) return false;
    }
    return true;
}

std::string generated_short_name(const std::u16string& name, unsigned attempt)
{
    size_t start = 0;
    while (start < name.size() && name[start] == u'.') ++start;  // leading dots are skipped
    const size_t dot = name.rfind(u'.');
    const size_t base_end = dot != std::u16string::npos && dot >= start ? dot : name.size();

    std::string base;
    for (size_t i = start; i < base_end && base.size() < 6; ++i) {
        if (kept(name[i])) base += static_cast<char>(short_character(name[i]));
    }
    std::string extension;
    for (size_t i = base_end + 1; i < name.size() && extension.size() < 3; ++i) {
        if (kept(name[i])) extension += static_cast<char>(short_character(name[i]));
    }

    unsigned index = attempt == 0 ? 1 : attempt;
    if (base.size() <= 2) {
        base += checksum_digits(name);
    } else if (index > 4) {
        base = base.substr(0, 2) + checksum_digits(name);
        index -= 4;
    }
    const std::string tail = "~" + std::to_string(index);
    if (base.size() + tail.size() > 8) base.resize(tail.size() < 8 ? 8 - tail.size() : 0);
    return base + tail + (extension.empty() ? "" : "." + extension);
}

}  // namespace sim
