// INI documents read the way the Windows private-profile functions read them.
// The simulated PROFILE_ functions use this, and so can setup-sim for its own
// machine-profile files, so that both read INI text by the same rules:
//
// - Lines end at CR LF, LF or CR. Blanks (space, tab, vertical tab, and the
//   Ctrl-Z byte 0x1A that a "copy" of text files leaves at their end, which
//   Wine reads so and Windows documents nothing about) around a line, a key,
//   "=" and a value are dropped; blanks inside a value stay.
// - "[" starts a section line; the name ends at the first "]" (so "[W732]]"
//   is "W732"), or at the end of the line when there is none ("[W732" is
//   "W732"), and is trimmed; text after "]" is ignored. "[]" names the
//   section "". Lines before the first section belong to no section and no
//   look-up reaches them.
// - In a section, a line whose first character is ";" is a comment. "#" is
//   not, and there are no comments after a value ("k=v ;x" is "v ;x").
// - A line without "=" is kept as a bare word (a section listing shows it;
//   no key look-up finds it).
// - Names match case-insensitively. The first of duplicate sections and the
//   first of duplicate keys win.
// - A file starting with FF FE is UTF-16LE and is turned into ANSI bytes of
//   the given code page ("?" for what it cannot show); anything else is taken
//   as ANSI bytes as they are. A UTF-8 byte order mark is not understood: it
//   stays part of the first line, so a section named there is never found.
//   UTF-16BE (FE FF) is not understood either.
// Where Wine reads these differently (tests/wine/README.md) this follows
// Windows.
#pragma once

#include <cstdint>
#include <optional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

struct IniEntry {
    std::string name;        // the key, trimmed; the whole line when it has no "="
    std::string value;       // after "=", trimmed; quotes still on
    bool has_value = false;  // the line had an "="
    bool comment = false;    // the line started with ";"
    uint32_t line = 0;       // its line in the file, from 1
};

struct IniSection {
    std::string name;
    uint32_t line = 0;  // the line of its "[", from 1
    std::vector<IniEntry> entries;  // in file order
};

struct IniDocument {
    std::vector<IniEntry> preamble;    // lines before the first section
    std::vector<IniSection> sections;  // in file order, duplicates kept
};

// Parses a whole file's bytes. Never fails: any bytes give some document.
// `code_page` only matters for UTF-16 files (the simulated PROFILE_ functions
// pass the machine's ANSI code page).
IniDocument parse_ini(const std::string& bytes, uint32_t code_page = 1252);

// The parse of a file's bytes that the private-profile functions keep and
// read from: parsed once for the same bytes and code page, however often
// it is asked for.
std::shared_ptr<const IniDocument> kept_profile_parse(std::string_view bytes, uint32_t code_page);

// Section and key names compare case-insensitively: ASCII letters, and the
// letters of the Latin-1 range as Windows-1252 has them.
bool ini_names_equal(std::string_view a, std::string_view b);

// The name with its letters folded as ini_names_equal folds them: two names
// are equal exactly when their folded names are the same bytes.
std::string ini_folded_name(std::string_view name);

// A section or key name as a caller passes it: leading and trailing spaces
// (0x20 only) do not count.
std::string_view trim_name_argument(std::string_view name);

// The first section of that name (the argument trimmed); nullptr when none.
const IniSection* find_section(const IniDocument& document, std::string_view name);

// The first key line of that name in the section (the argument trimmed);
// comments and lines without "=" never match. nullptr when none.
const IniEntry* find_key(const IniSection& section, std::string_view key);

// A value as a string read returns it: a matching outer pair of '"' or '\''
// removed, anything else as it is.
std::string unquote_value(std::string_view value);

// Section + key -> value as a string read would return it; nullopt when the
// section or the key is missing.
std::optional<std::string> ini_lookup(const IniDocument& document, std::string_view section, std::string_view key);

}  // namespace sim
