// The program's string table on the simulated machine: the same entries that
// windres compiles into Setup.exe, generated from resources/strings.txt into
// string_table.cpp (build tree), and the resource-language choice the loader
// makes over them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sim {

struct StringTableEntry {
    uint16_t language;      // Windows language id, e.g. 0x0409
    uint16_t id;            // string id
    const char16_t* text;   // UTF-16, NUL-terminated
};

// Sorted by language, then id (the order of the resource directory).
extern const StringTableEntry string_table[];
extern const size_t string_table_size;

// The language whose string-table block holds `id`, chosen as Windows does for a
// neutral request: the user-interface language, then the system default language,
// then English (US), then the first language present. For each of the first two:
// the exact id, its neutral form (sub-language 0), then another language of the
// same primary language. -1 when no language has the block.
int string_table_language(uint16_t ui_language, uint16_t system_language, uint32_t id);

// The text of `id` in `language`; nullptr when that language lacks it.
const char16_t* string_table_text(uint16_t language, uint32_t id);

}  // namespace sim
