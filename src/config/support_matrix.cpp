#include "config/support_matrix.h"

#include <cstring>

#include "config/inf_models.h"
#include "config/settings_file.h"
#include "platform/path.h"
#include "platform/profile.h"
#include "common/bounded_string.h"
#include "setup/run_mode.h"

namespace {

// "support_types" and the support entries are read into buffers of this size.
constexpr uint32_t VALUE_CAPACITY = 256;

// The support key of each OS slot, by os_index.
constexpr const char* SUPPORT_KEYS[OS_SLOT_COUNT] = {
    "x86_support_win7",  "x64_support_win7",  "x86_support_win8",  "x64_support_win8",
    "x86_support_win81", "x64_support_win81", "x86_support_win10", "x64_support_win10",
};

// The running Windows outside every slot (Vista, XP, unknown majors); with
// the bitness added it is 8 or 9, which no slot has.
constexpr uint32_t NO_OS_SLOT = 8;

// "no", "none" and "not" say no; "No", "NO" and a lone "n" do not.
bool begins_with_no(const char* field)
{
    return field[0] == 'n' && field[1] == 'o';
}

// Adds configuration section `name` as element section_count with its folder
// and INF; the caller has checked that there is room.
void add_configuration_section(const char* name, SetupContext* context)
{
    configuration_section* section = &context->configuration_sections[context->section_count];
    bounded_copy(section->section_name, sizeof section->section_name, name);
    section->matched = 0;
    PROFILE_GetString(name, "subfolder", "", section->subfolder, sizeof section->subfolder,
                      context->settings_file_path);
    PROFILE_GetString(name, "main_inf", "", section->main_inf, sizeof section->main_inf, context->settings_file_path);
    bounded_copy(section->inf_full_path, sizeof section->inf_full_path, context->settings_file_path);
    PATH_RemoveFileSpec(section->inf_full_path);
    // A join too long for a path leaves the section without an INF: a bare
    // "main_inf" would be looked for in the Windows folder, outside the package.
    if (!PATH_Append(section->inf_full_path, section->subfolder) ||
        !PATH_Append(section->inf_full_path, section->main_inf)) {
        section->inf_full_path[0] = '\0';
    }
    ++context->section_count;
}

}  // namespace

const char* support_key(uint32_t os_index)
{
    return os_index < OS_SLOT_COUNT ? SUPPORT_KEYS[os_index] : "";
}

SupportEntry split_support_entry(char* entry)
{
    // "yes,Cfg10,yes,Extra": supported, configuration section, whether an
    // extraction subfolder follows, that subfolder.
    char* cursor = entry;
    const char* iter1 = next_field(&cursor, ",");
    const char* iter2 = next_field(&cursor, ",");
    const char* iter3 = next_field(&cursor, ",");
    const char* iter4 = next_field(&cursor, ",");

    // An entry that says yes but lacks a field it needs (or has no value at
    // all) supports nothing.
    SupportEntry support{};
    support.says_yes = iter1 != nullptr && !begins_with_no(iter1);
    support.has_extract_subfolder = iter3 != nullptr && !begins_with_no(iter3);
    support.supported =
        support.says_yes && iter2 != nullptr && iter3 != nullptr && (!support.has_extract_subfolder || iter4 != nullptr);
    support.section_name = iter2;
    support.extract_subfolder = iter4;
    return support;
}

bool is_running_os_slot(const os_slot* slot)
{
    const SYS_OsVersion& os = g_process.os_version;
    uint32_t running = NO_OS_SLOT;
    if (os.major == 6) {
        running = os.minor == 1 ? 0 : os.minor == 2 ? 2 : os.minor == 3 ? 4 : NO_OS_SLOT;
    } else if (os.major == 10) {
        running = 6;
    }
    if (is_64bit_os()) ++running;
    return slot->os_index == running;
}

uint32_t register_configuration_section(const char* section_name, SetupContext* context, const os_slot* slot)
{
    // Identity is the exact name: "CfgA" and "cfga" are two sections, though
    // the settings file holds one section for both.
    const uint32_t count =
        context->section_count < MAX_CONFIGURATION_SECTIONS ? context->section_count : MAX_CONFIGURATION_SECTIONS;
    uint32_t k = 0;
    while (k < count && std::strcmp(context->configuration_sections[k].section_name, section_name) != 0) ++k;
    if (k == count) {
        if (count == MAX_CONFIGURATION_SECTIONS) return MAX_CONFIGURATION_SECTIONS;
        add_configuration_section(section_name, context);
    }
    configuration_section* section = &context->configuration_sections[k];

    // The INF is read for every slot that names the section, but only the
    // running Windows' slot is matched against the machine, so the device
    // list is never taken for the others.
    if (section->inf_full_path[0] == '\0') return k;
    MultiStringList components = get_supported_hareware_ids(section->inf_full_path, slot);
    if (components.buffer != nullptr && is_running_os_slot(slot)) {
        bool present = false;
        for (const char* component = components.buffer; *component != '\0' && !present;
             component += std::strlen(component) + 1) {
            present = is_device_present(component);
        }
        // Once for the section, however many of its IDs the machine has.
        if (present) {
            section->matched = 1;
            apply_engine_section(section->section_name, context);
        }
    }
    free_multi_string(&components);
    return k;
}

int get_bus_information(const char* bus_name, SetupContext* context)
{
    if (context->bus_count >= MAX_BUS_TYPES) return 0;
    bus_type_entry* bus = &context->bus_types[context->bus_count];
    bounded_copy(bus->bus_name, sizeof bus->bus_name, bus_name);

    for (uint32_t i = 0; i < OS_SLOT_COUNT; ++i) {
        os_slot* slot = &bus->os_slots[i];
        slot->os_index = i;

        char entry[VALUE_CAPACITY];
        PROFILE_GetString(bus_name, SUPPORT_KEYS[i], "no", entry, sizeof entry, context->settings_file_path);
        const SupportEntry support = split_support_entry(entry);
        if (!support.supported) {
            slot->supported = 0;
            continue;
        }

        // A section beyond the record's capacity is not stored, and the slot
        // that names it is left unsupported rather than pointing nowhere.
        const uint32_t index = register_configuration_section(support.section_name, context, slot);
        if (index >= MAX_CONFIGURATION_SECTIONS) {
            slot->supported = 0;
            continue;
        }
        slot->supported = 1;
        bounded_copy(slot->section_name, sizeof slot->section_name, support.section_name);
        slot->has_extract_subfolder = support.has_extract_subfolder ? 1 : 0;
        if (support.has_extract_subfolder) {
            bounded_copy(slot->extract_subfolder, sizeof slot->extract_subfolder, support.extract_subfolder);
        }
        slot->section_index = index;
    }
    ++context->bus_count;
    return 1;
}

int load_support_matrix(SetupContext* context)
{
    context->section_count = 0;
    context->bus_count = 0;

    char support_types[VALUE_CAPACITY];
    PROFILE_GetString("bus", "support_types", "", support_types, sizeof support_types,
                      context->settings_file_path);
    char* cursor = support_types;
    const char* bus_name = next_field(&cursor, ",");
    if (bus_name == nullptr) return 0;
    // A bus type beyond the record's capacity is not looked at.
    for (; bus_name != nullptr; bus_name = next_field(&cursor, ",")) get_bus_information(bus_name, context);
    return 1;
}
