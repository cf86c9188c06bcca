// LoadStringA on the simulated machine: the program's own string table (the
// generated sim::string_table), in the language Windows would pick, converted to
// the machine's ANSI code page.

#include <cstring>
#include <string>

#include "platform/sim/codepage.h"
#include "platform/sim/machine.h"
#include "platform/sim/string_table.h"
#include "platform/ui.h"

namespace sim {

namespace {

constexpr uint16_t LANG_ENGLISH_US = 0x0409;
constexpr uint16_t LANG_CHINESE_TRADITIONAL = 0x0404;  // Taiwan
constexpr uint16_t LANG_CHINESE_SIMPLIFIED = 0x0804;   // PRC
constexpr uint16_t LANG_SPANISH_SPAIN = 0x0C0A;        // modern sort

constexpr uint16_t primary_language(uint16_t langid) { return langid & 0x3FF; }

// A resource id is 16 bits: LoadString looks up the low word of the id it is
// given, in the block of 16 strings that holds it.
constexpr uint16_t resource_id(uint32_t id) { return static_cast<uint16_t>(id & 0xFFFF); }
constexpr uint16_t block_of(uint32_t id) { return resource_id(id) >> 4; }

// Windows finds the block (one resource per language), not the single string:
// a language whose block is present is chosen even if the string itself is
// missing from it, and then the string is empty.
bool has_block(uint16_t language, uint16_t block)
{
    for (size_t i = 0; i < string_table_size; ++i) {
        if (string_table[i].language == language && (string_table[i].id >> 4) == block) return true;
    }
    return false;
}

// The lowest language id with the block among those the filter accepts; -1 if none.
template <typename Filter>
int lowest_language_with_block(uint16_t block, Filter accept)
{
    int lowest = -1;
    for (size_t i = 0; i < string_table_size; ++i) {
        const StringTableEntry& entry = string_table[i];
        if ((entry.id >> 4) == block && accept(entry.language) && (lowest < 0 || entry.language < lowest)) {
            lowest = entry.language;
        }
    }
    return lowest;
}

// Where a language has a closer relative in the table than "the lowest id of its
// primary language": Chinese goes by script (Hong Kong, Macau and the Traditional
// neutral form read Taiwan's table, Singapore and the Simplified neutral form the
// PRC's), and Spanish with the traditional sort is Spain's Spanish. 0 when none.
uint16_t closest_relative(uint16_t language)
{
    switch (language) {
    case 0x0C04: case 0x1404: case 0x7C04:
        return LANG_CHINESE_TRADITIONAL;
    case 0x1004: case 0x0004:
        return LANG_CHINESE_SIMPLIFIED;
    case 0x040A:
        return LANG_SPANISH_SPAIN;
    default:
        return 0;
    }
}

// The steps taken for one wanted language: exact, neutral form, then another
// language of the same primary language (the closest relative, else the lowest id).
int pick_for(uint16_t wanted, uint16_t block)
{
    if (has_block(wanted, block)) return wanted;
    const uint16_t primary = primary_language(wanted);
    if (has_block(primary, block)) return primary;
    const uint16_t relative = closest_relative(wanted);
    if (relative != 0 && has_block(relative, block)) return relative;
    return lowest_language_with_block(block, [primary](uint16_t language) {
        return primary_language(language) == primary;
    });
}

}  // namespace

int string_table_language(uint16_t ui_language, uint16_t system_language, uint32_t id)
{
    const uint16_t block = block_of(id);
    for (const uint16_t wanted : {ui_language, system_language}) {
        const int chosen = pick_for(wanted, block);
        if (chosen >= 0) return chosen;
    }
    if (has_block(LANG_ENGLISH_US, block)) return LANG_ENGLISH_US;
    return lowest_language_with_block(block, [](uint16_t) { return true; });
}

const char16_t* string_table_text(uint16_t language, uint32_t id)
{
    for (size_t i = 0; i < string_table_size; ++i) {
        if (string_table[i].language == language && string_table[i].id == resource_id(id)) {
            return string_table[i].text;
        }
    }
    return nullptr;
}

}  // namespace sim

int UI_LoadString(ModuleHandle /*module: the sim runs one module, the program*/, uint32_t id, char* buffer,
                  int capacity)
{
    if (buffer == nullptr || capacity <= 0) return 0;
    buffer[0] = '\0';

    const sim::Machine& machine = sim::current();
    const int language = sim::string_table_language(machine.ui_language, machine.system_language, id);
    if (language < 0) return 0;
    const char16_t* text = sim::string_table_text(static_cast<uint16_t>(language), id);
    if (text == nullptr) return 0;

    const uint32_t code_page = sim::current_ansi_code_page();
    const std::string ansi = sim::utf16_to_ansi(text, code_page);
    // Windows converts into capacity-1 bytes and its converter stops before a
    // two-byte character that no longer fits whole, rather than leave a lead byte
    // without its trail byte; so the cut here never splits one either, and the
    // count may end one byte short of capacity-1.
    const size_t length = sim::ansi_prefix_length(ansi, code_page, static_cast<size_t>(capacity) - 1);
    std::memcpy(buffer, ansi.data(), length);
    buffer[length] = '\0';
    return static_cast<int>(length);
}
