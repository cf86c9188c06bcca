#include "platform/sim/codepage.h"

#include <cerrno>
#include <iconv.h>
#include <string_view>

#include "platform/sim/machine.h"

namespace sim {

namespace {

constexpr uint16_t primary_language(uint16_t langid) { return langid & 0x3FF; }
constexpr uint16_t sub_language(uint16_t langid) { return langid >> 10; }

// One iconv conversion, closed on every path.
class Converter {
public:
    // An empty name (a code page we have no table for) gives a converter that is not ok().
    Converter(const char* to, const char* from)
        : cd_(*to != '\0' && *from != '\0' ? iconv_open(to, from) : reinterpret_cast<iconv_t>(-1))
    {
    }
    ~Converter()
    {
        if (ok()) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return cd_; }
    // Back to the initial state after a failed call.
    void reset() const { iconv(cd_, nullptr, nullptr, nullptr, nullptr); }

private:
    iconv_t cd_;
};

// glibc's name of a Windows code page; "" when we have none. glibc's CP932,
// CP936, CP949 and CP950 are Microsoft's tables (not plain Shift-JIS, GB2312,
// EUC-KR or Big5).
std::string iconv_name(uint32_t code_page)
{
    switch (code_page) {
    case 874: case 932: case 936: case 949: case 950:
    case 1250: case 1251: case 1252: case 1253: case 1254:
    case 1255: case 1256: case 1257: case 1258:
        return "CP" + std::to_string(code_page);
    case 65001:
        return "UTF-8";
    default:
        return "";
    }
}

// The most bytes one character takes in the code page.
size_t max_char_size(uint32_t code_page)
{
    switch (code_page) {
    case 932: case 936: case 949: case 950:
        return 2;
    case 65001:
        return 4;
    default:
        return 1;
    }
}

// Windows does not give '?' for every character an ANSI code page lacks: its
// tables put a close one in the place of many ("best fit"), mostly a letter
// without its accent, and U+00AB as the double angle bracket of 932 and 949.
// The rows hold those replacements, taken from Windows' tables, for the
// characters of our own string table, the text that meets a foreign code page
// when the user-interface language is not the system's; anything else the
// code page lacks becomes '?'. Per character one byte, or two for the
// two-byte code pages. A new translation may need more rows: the test
// SharedCodePages compares every string-table character with Wine's copy of
// the tables and names the ones missing.
struct BestFit {
    uint32_t code_page;
    std::u16string_view characters;
    std::string_view replacements;
};

constexpr BestFit BEST_FIT[] = {
    {932, u"«»", "\x81\xE1\x81\xE2"},
    {932, u"ÎÖàáâãäåæçèéêíîïóöøúüý", "IOaaaaaaaceeeiiiooouuy"},
    {936, u"âý", "ay"},
    {949, u"«»", "\xA1\xEC\xA1\xED"},
    {949, u"ÎÖàáâãäåçèéêíîïóöúüý", "IOaaaaaaceeeiiioouuy"},
    {950, u"ÎÖàáâãäåæçèéêíîïóöøúüý", "IOaaaaaaaceeeiiiooouuy"},
    {1250, u"àãåæèêïøğıμー", "aaaaeeiogi\xB5\x97"},
    {1251, u"ÎÖàáâãäåçèéêíîïóöøúüýăćčęěğłńőşšţťűżŽž", "IOaaaaaaceeeiiiooouuyacceeglnossttuzZz"},
    {1252, u"ăćčęěğıłńőşţťűżΘαδεμπστ", "acceegilnosttuzTade\xB5pst"},
    {1253, u"ÎÖàáâãäåçèéêíîïóöøúüýăćčęěğłńőşšţťűżŽž", "IOaaaaaaceeeiiiooouuyacceeglnossttuzZz"},
    {1254, u"ýăćčęěłńőţťűżŽžμー", "yacceelnottuzZz\xB5\x97"},
    {1256, u"Î", "I"},
};

// The best-fit bytes of a character the code page lacks; empty when none.
std::string_view best_fit(uint32_t code_page, char32_t code)
{
    if (code > 0xFFFF) return {};
    for (const BestFit& row : BEST_FIT) {
        if (row.code_page != code_page) continue;
        const size_t at = row.characters.find(static_cast<char16_t>(code));
        if (at == std::u16string_view::npos) continue;
        const size_t width = row.replacements.size() / row.characters.size();
        return row.replacements.substr(at * width, width);
    }
    return {};
}

// The code points of UTF-16 text; an unpaired surrogate comes out as 0xFFFFFFFF.
constexpr char32_t BAD_CODE_POINT = 0xFFFFFFFF;

template <typename Visit>
void for_each_code_point(const std::u16string& text, Visit visit)
{
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            visit(0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) +
                  (static_cast<char32_t>(text[i + 1]) - 0xDC00));
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            visit(BAD_CODE_POINT);
        } else {
            visit(static_cast<char32_t>(unit));
        }
    }
}

// The length of the well-formed UTF-8 sequence at text[at], or 0 when the
// byte there starts none: a stray continuation byte, an overlong form, a
// surrogate, a value past U+10FFFF, the old 5- and 6-byte forms.
size_t utf8_sequence_length(std::string_view text, size_t at)
{
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[at + k]); };
    const unsigned char lead = byte(0);
    const size_t length = lead < 0x80                    ? 1
                          : lead >= 0xC2 && lead <= 0xDF ? 2
                          : lead >= 0xE0 && lead <= 0xEF ? 3
                          : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                         : 0;
    bool ok = length != 0 && at + length <= text.size();
    for (size_t k = 1; ok && k < length; ++k) ok = (byte(k) & 0xC0) == 0x80;
    if (ok && length >= 3) {
        const unsigned char second = byte(1);
        ok = !(lead == 0xE0 && second < 0xA0) && !(lead == 0xED && second >= 0xA0) &&
             !(lead == 0xF0 && second < 0x90) && !(lead == 0xF4 && second >= 0x90);
    }
    return ok ? length : 0;
}

// Well-formed UTF-8 as it is, each other byte as `bad(byte)` gives it.
template <typename Bad>
std::string utf8_replacing_bad_bytes(const std::string& text, Bad bad)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const size_t length = utf8_sequence_length(text, i);
        if (length != 0) {
            out.append(text, i, length);
            i += length;
        } else {
            out += bad(static_cast<unsigned char>(text[i]));
            ++i;
        }
    }
    return out;
}

// UTF-8 read as Windows reads code page 65001: a byte that starts no
// well-formed sequence becomes U+FFFD, so what comes out is always valid UTF-8.
std::string well_formed_utf8(const std::string& text)
{
    return utf8_replacing_bad_bytes(text, [](unsigned char) { return std::string("\xEF\xBF\xBD"); });
}

}  // namespace

uint32_t ansi_code_page_for_language(uint16_t langid)
{
    const uint16_t sub = sub_language(langid);
    switch (primary_language(langid)) {
    case 0x04:  // Chinese: PRC, Singapore and the Simplified neutral form; the rest Traditional
        return (sub == 0x00 || sub == 0x02 || sub == 0x04) ? 936 : 950;
    case 0x11:  // Japanese
        return 932;
    case 0x12:  // Korean
        return 949;
    case 0x1E:  // Thai
        return 874;
    case 0x08:  // Greek
        return 1253;
    case 0x1F:  // Turkish
        return 1254;
    case 0x0D:  // Hebrew
        return 1255;
    case 0x01:  // Arabic
    case 0x20:  // Urdu
    case 0x29:  // Persian
    case 0x80:  // Uyghur
    case 0x8C:  // Dari
        return 1256;
    case 0x25:  // Estonian
    case 0x26:  // Latvian
    case 0x27:  // Lithuanian
        return 1257;
    case 0x2A:  // Vietnamese
        return 1258;
    case 0x02:  // Bulgarian
    case 0x19:  // Russian
    case 0x22:  // Ukrainian
    case 0x23:  // Belarusian
    case 0x28:  // Tajik
    case 0x2F:  // Macedonian
    case 0x3F:  // Kazakh
    case 0x40:  // Kyrgyz
    case 0x44:  // Tatar
    case 0x50:  // Mongolian (Cyrillic)
    case 0x6D:  // Bashkir
    case 0x85:  // Sakha
        return 1251;
    case 0x05:  // Czech
    case 0x0E:  // Hungarian
    case 0x15:  // Polish
    case 0x18:  // Romanian
    case 0x1B:  // Slovak
    case 0x1C:  // Albanian
    case 0x24:  // Slovenian
    case 0x42:  // Turkmen
        return 1250;
    case 0x1A:  // Croatian, Serbian, Bosnian: Latin forms 1250, Cyrillic forms 1251
        return (sub == 0x03 || sub == 0x07 || sub == 0x08 || sub == 0x0A || sub == 0x0C) ? 1251 : 1250;
    case 0x2C:  // Azerbaijani
    case 0x43:  // Uzbek
        return sub == 0x02 ? 1251 : 1254;
    default:    // Western languages, and the Unicode-only ones (see the header)
        return 1252;
    }
}

uint32_t current_ansi_code_page()
{
    const Machine& machine = current();
    return machine.ansi_code_page != 0 ? machine.ansi_code_page
                                       : ansi_code_page_for_language(machine.system_language);
}

bool is_dbcs_lead_byte(uint32_t code_page, unsigned char byte)
{
    switch (code_page) {
    case 932:
        return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    case 936:
    case 949:
    case 950:
        return byte >= 0x81 && byte <= 0xFE;
    default:
        return false;
    }
}

size_t ansi_prefix_length(const std::string& text, uint32_t code_page, size_t max_bytes)
{
    size_t length = 0;
    while (length < text.size()) {
        const size_t width = is_dbcs_lead_byte(code_page, static_cast<unsigned char>(text[length])) ? 2 : 1;
        if (length + width > max_bytes || length + width > text.size()) break;
        length += width;
    }
    return length;
}

size_t next_char(std::string_view text, size_t at, uint32_t code_page)
{
    if (at >= text.size()) return text.size();
    const bool pair = is_dbcs_lead_byte(code_page, static_cast<unsigned char>(text[at])) && at + 1 < text.size();
    return at + (pair ? 2 : 1);
}

size_t find_first_of(std::string_view text, std::string_view characters, uint32_t code_page, size_t from)
{
    if (max_char_size(code_page) != 2) return text.find_first_of(characters, from);  // every byte a character
    for (size_t at = from; at < text.size(); at = next_char(text, at, code_page)) {
        if (characters.find(text[at]) != std::string_view::npos) return at;
    }
    return std::string_view::npos;
}

size_t find_last_of(std::string_view text, std::string_view characters, uint32_t code_page)
{
    if (max_char_size(code_page) != 2) return text.find_last_of(characters);
    size_t found = std::string_view::npos;
    for (size_t at = find_first_of(text, characters, code_page); at != std::string_view::npos;
         at = find_first_of(text, characters, code_page, next_char(text, at, code_page))) {
        found = at;
    }
    return found;
}

std::u16string utf16le_units(std::string_view bytes)
{
    std::u16string units;
    units.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        units.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                              (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    }
    return units;
}

std::string utf16_to_ansi(const std::u16string& text, uint32_t code_page)
{
    const std::string name = iconv_name(code_page);
    const Converter converter(name.empty() ? "" : name.c_str(), "UTF-16LE");

    std::string out;
    out.reserve(text.size());
    // One character at a time, so that a character the code page lacks costs only
    // itself: it becomes the default character and the rest goes on.
    for_each_code_point(text, [&](char32_t code) {
        if (code < 0x80) {  // every Windows ANSI code page is a superset of ASCII
            out.push_back(static_cast<char>(code));
            return;
        }
        if (!converter.ok() || code == BAD_CODE_POINT) {
            out.push_back('?');
            return;
        }
        char in_bytes[4];
        size_t in_size = 0;
        const auto put_unit = [&](char32_t unit) {
            in_bytes[in_size++] = static_cast<char>(unit & 0xFF);
            in_bytes[in_size++] = static_cast<char>((unit >> 8) & 0xFF);
        };
        if (code >= 0x10000) {
            put_unit(0xD800 + ((code - 0x10000) >> 10));
            put_unit(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            put_unit(code);
        }
        char out_bytes[16];
        char* in_ptr = in_bytes;
        size_t in_left = in_size;
        char* out_ptr = out_bytes;
        size_t out_left = sizeof(out_bytes);
        const bool converted =
            iconv(converter.get(), &in_ptr, &in_left, &out_ptr, &out_left) != static_cast<size_t>(-1) && in_left == 0;
        // glibc writes some characters that 1255 and 1258 lack as a letter and
        // a combining mark ("a" and U+0303 for U+00E3); Windows does not split
        // them, so more than one character's bytes means "lacking" here too.
        const size_t written = static_cast<size_t>(out_ptr - out_bytes);
        if (converted && written <= max_char_size(code_page)) {
            out.append(out_bytes, written);
            return;
        }
        converter.reset();
        const std::string_view replacement = best_fit(code_page, code);
        if (replacement.empty()) out.push_back('?');
        else out.append(replacement);
    });
    return out;
}

std::u16string ansi_to_utf16(const std::string& text, uint32_t code_page)
{
    const std::string name = iconv_name(code_page);
    const Converter converter("UTF-16LE", name.empty() ? "" : name.c_str());
    const char16_t default_character = code_page == 932 ? u'\u30FB' : u'?';

    std::u16string out;
    out.reserve(text.size());
    size_t at = 0;
    while (at < text.size()) {
        const unsigned char first = static_cast<unsigned char>(text[at]);
        const size_t width = is_dbcs_lead_byte(code_page, first) ? 2 : 1;
        if (first < 0x80) {  // every Windows ANSI code page is a superset of ASCII
            out.push_back(static_cast<char16_t>(first));
            ++at;
            continue;
        }
        std::string character = text.substr(at, width);
        at += width;
        char16_t units[8];
        size_t count = 0;
        if (converter.ok() && character.size() == width) {
            char* in_ptr = character.data();
            size_t in_left = character.size();
            char* out_ptr = reinterpret_cast<char*>(units);
            size_t out_left = sizeof units;
            const bool converted = iconv(converter.get(), &in_ptr, &in_left, &out_ptr, &out_left) !=
                                       static_cast<size_t>(-1) &&
                                   in_left == 0 &&
                                   // 1255 and 1258 hold a letter back in case a mark follows.
                                   iconv(converter.get(), nullptr, nullptr, &out_ptr, &out_left) !=
                                       static_cast<size_t>(-1);
            if (converted) count = (sizeof units - out_left) / 2;
            else converter.reset();
        }
        if (count == 1 || count == 2) {
            for (size_t i = 0; i < count; ++i) {
                const auto* bytes = reinterpret_cast<const unsigned char*>(&units[i]);
                out.push_back(static_cast<char16_t>(bytes[0] | (bytes[1] << 8)));
            }
        } else if (width == 1 && first <= 0x9F) {
            out.push_back(static_cast<char16_t>(first));
        } else {
            out.push_back(default_character);
        }
    }
    return out;
}

std::string ansi_to_utf8(const std::string& text, uint32_t code_page)
{
    if (code_page == 65001) return well_formed_utf8(text);
    const std::string name = iconv_name(code_page);
    const Converter converter("UTF-8", name.empty() ? "" : name.c_str());
    std::string out;
    out.reserve(text.size());
    if (!converter.ok()) {
        for (const char c : text) out.push_back(static_cast<unsigned char>(c) < 0x80 ? c : '?');
        return out;
    }

    // Every byte becomes at most one character of at most 4 UTF-8 bytes.
    std::string chunk(4 * text.size() + 16, '\0');
    // Emits what a stateful converter (1255, 1258 combine a letter with the marks
    // after it) still holds, and returns it to its initial state.
    const auto flush = [&] {
        char* out_ptr = chunk.data();
        size_t out_left = chunk.size();
        iconv(converter.get(), nullptr, nullptr, &out_ptr, &out_left);
        out.append(chunk.data(), static_cast<size_t>(out_ptr - chunk.data()));
    };
    std::string input = text;  // iconv wants a mutable input pointer
    char* in_ptr = input.data();
    size_t in_left = input.size();
    while (in_left > 0) {
        char* out_ptr = chunk.data();
        size_t out_left = chunk.size();
        const size_t result = iconv(converter.get(), &in_ptr, &in_left, &out_ptr, &out_left);
        const int error = errno;
        out.append(chunk.data(), static_cast<size_t>(out_ptr - chunk.data()));
        if (result != static_cast<size_t>(-1) || error == E2BIG) continue;
        if (in_left == 0) break;  // not an error iconv reports; never loop on it
        // EILSEQ: a byte the code page does not define; EINVAL: a lead byte without
        // its trail byte at the end (or any other failure). That byte becomes '?'.
        flush();
        out.push_back('?');
        ++in_ptr;
        --in_left;
    }
    flush();
    return out;
}

bool is_supported_code_page(uint32_t code_page)
{
    return !iconv_name(code_page).empty();
}

std::string escaped_utf8(const std::string& text)
{
    return utf8_replacing_bad_bytes(text, [](unsigned char byte) {
        return std::string("\\x") + "0123456789ABCDEF"[byte >> 4] + "0123456789ABCDEF"[byte & 0xF];
    });
}

}  // namespace sim

namespace sim {

std::u16string utf8_to_utf16(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[i + k]); };
        const unsigned char lead = byte(0);
        const size_t length = utf8_sequence_length(text, i);
        if (length == 0) {
            out.push_back(static_cast<char16_t>(0xDC00 | lead));
            ++i;
            continue;
        }
        char32_t code = length == 1 ? lead : lead & (0x7F >> length);
        for (size_t k = 1; k < length; ++k) code = (code << 6) | (byte(k) & 0x3F);
        if (code >= 0x10000) {
            out.push_back(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(code));
        }
        i += length;
    }
    return out;
}

std::string utf16_to_utf8(const std::u16string& text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        char32_t code = unit;
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            code = 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (static_cast<char32_t>(text[++i]) - 0xDC00);
        } else if (unit >= 0xDC80 && unit <= 0xDCFF) {
            out.push_back(static_cast<char>(unit & 0xFF));  // a host byte that was not UTF-8
            continue;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            code = 0xFFFD;
        }
        if (code < 0x80) {
            out.push_back(static_cast<char>(code));
        } else if (code < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (code >> 6)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else if (code < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (code >> 12)));
            out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (code >> 18)));
            out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        }
    }
    return out;
}

bool converts_exactly(const std::u16string& text, uint32_t code_page)
{
    bool ascii = true;
    for (const char16_t unit : text) ascii = ascii && unit < 0x80;
    return ascii || ansi_to_utf16(utf16_to_ansi(text, code_page), code_page) == text;
}

namespace {

// Windows' casing table over U+0080-U+052F, as runs: every `step`-th unit
// from `first` to `last` has its capital `delta` away.
struct CaseRun {
    char16_t first;
    char16_t last;
    int delta;
    int step;
};

constexpr CaseRun CASE_RUNS[] = {
    {0x00E0, 0x00F6, -32, 1},  {0x00F8, 0x00FE, -32, 1},  {0x00FF, 0x00FF, 121, 1},
    {0x0101, 0x012F, -1, 2},   {0x0133, 0x0137, -1, 2},   {0x013A, 0x0148, -1, 2},   {0x014B, 0x0177, -1, 2},
    {0x017A, 0x017E, -1, 2},   {0x0371, 0x0373, -1, 2},   {0x0377, 0x0377, -1, 1},   {0x037B, 0x037D, 130, 1},
    {0x03AC, 0x03AC, -38, 1},  {0x03AD, 0x03AF, -37, 1},  {0x03B1, 0x03C1, -32, 1},  {0x03C3, 0x03CB, -32, 1},
    {0x03CC, 0x03CC, -64, 1},  {0x03CD, 0x03CE, -63, 1},  {0x03D7, 0x03D7, -8, 1},   {0x03D9, 0x03EF, -1, 2},
    {0x03F2, 0x03F2, 7, 1},    {0x03F3, 0x03F3, -116, 1}, {0x03F8, 0x03F8, -1, 1},   {0x03FB, 0x03FB, -1, 1},
    {0x0430, 0x044F, -32, 1},  {0x0450, 0x045F, -80, 1},  {0x0461, 0x0481, -1, 2},   {0x048B, 0x04BF, -1, 2},
    {0x04C2, 0x04CE, -1, 2},   {0x04CF, 0x04CF, -15, 1},  {0x04D1, 0x052F, -1, 2},
};

}  // namespace

char16_t upcase(char16_t unit)
{
    if (unit < 0x80) return unit >= 'a' && unit <= 'z' ? static_cast<char16_t>(unit - 32) : unit;
    for (const CaseRun& run : CASE_RUNS) {
        if (unit >= run.first && unit <= run.last && (unit - run.first) % run.step == 0) {
            return static_cast<char16_t>(unit + run.delta);
        }
    }
    return unit;
}

}  // namespace sim
