// The simulated private-profile reader: any bytes, every look-up.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "platform/sim/ini.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    InputTimer timer;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    static const uint32_t code_pages[] = {1252, 932, 1255, 65001};
    const sim::IniDocument document = sim::parse_ini(bytes, code_pages[size % 4]);
    for (const sim::IniSection& section : document.sections) {
        const sim::IniSection* found = sim::find_section(document, section.name);
        if (found == nullptr) __builtin_trap();  // a section must find itself (or an earlier namesake)
        for (const sim::IniEntry& entry : section.entries) {
            if (entry.has_value && !entry.comment) {
                sim::ini_lookup(document, section.name, entry.name);
                sim::unquote_value(entry.value);
            }
        }
    }
    return 0;
}
