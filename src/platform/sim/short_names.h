// 8.3 names as NTFS makes them: the short name every long file name gets
// beside it on a volume that keeps them, which GetShortPathNameW reports and
// every file call accepts in place of the long name.
#pragma once

#include <cstdint>
#include <string>

namespace sim {

// Whether a name is a legal 8.3 name, which NTFS keeps as its own short name:
// upper-cased it fits the code page exactly, has at most 8 bytes before one
// dot and 1 to 3 after it, and holds no blank or character FAT refuses.
// Windows asks this of the OEM code page; the machine models only the ANSI
// one, which holds the same letters for the languages it knows.
bool is_legal_short_name(const std::u16string& name, uint32_t code_page);

// The short name Windows makes for a long name on the `attempt`-th try (1,
// then 2, 3, ... while the name is taken in the folder), as
// RtlGenerate8dot3Name makes it without extended characters: up to six of
// the name's ASCII characters upper-cased ('_' for those FAT refuses), "~"
// and the attempt, and the first three of the extension ("Program Files" is
// "PROGRA~1", "Long File Name.txt" "LONGFI~1.TXT"). Where fewer than three
// characters are left ("Пакет"), four hex digits of a checksum of the whole
// name come first ("6E9E~1"), and from the fifth attempt on they replace all
// but two characters ("LO1796~1.TXT" after LONGFI~1 to LONGFI~4).
std::string generated_short_name(const std::u16string& name, unsigned attempt);

}  // namespace sim
