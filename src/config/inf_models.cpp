#include "config/inf_models.h"

#include <cstring>

#include "common/bounded_string.h"
#include "platform/dev.h"
#include "platform/mem.h"
#include "platform/profile.h"

namespace {

// One line of a section, cut to fit, for splitting into fields.
constexpr size_t LINE_CAPACITY = 256;

// Fields of a manufacturer or model line: "%Dev%=Inst, ACPI\ABC0704, *ABC0704".
constexpr const char* LINE_DELIMITERS = " \t,=";
// Parts of a hardware ID: "ACPI\VEN_ABC&DEV_0123" is ACPI, VEN_ABC, DEV_0123.
constexpr const char* HARDWARE_ID_DELIMITERS = "\n\\&";

// The INF decorations of the OS slots, by os_index. The plain platform name
// catches the lines that carry no Windows version (and, being a substring,
// also those that carry another one).
struct OsDecoration {
    const char* decorated;
    const char* undecorated;
};
constexpr OsDecoration OS_DECORATIONS[OS_SLOT_COUNT] = {
    {"NTx86.6.1", "NTx86"},  {"NTamd64.6.1", "NTamd64"},  // Windows 7
    {"NTx86.6.2", "NTx86"},  {"NTamd64.6.2", "NTamd64"},  // Windows 8
    {"NTx86.6.3", "NTx86"},  {"NTamd64.6.3", "NTamd64"},  // Windows 8.1
    {"NTx86.10.0", "NTx86"}, {"NTamd64.10.0", "NTamd64"}, // Windows 10
};

// The lines of a section read: `length` is what the profile reader returned,
// and every line ends with its NUL within the buffer.
const char* next_line(const char* section, uint32_t length, const char* line)
{
    const char* next = line + std::strlen(line) + 1;
    return next < section + length && *next != '\0' ? next : nullptr;
}

const char* first_line(const char* section, uint32_t length)
{
    return length > 0 && section[0] != '\0' ? section : nullptr;
}

// The machine's devices of every class, attached or not, by instance ID. A
// failure to get the device set leaves the cache unbuilt, so the next call
// tries again; a failure during the walk keeps what was listed so far.
void list_device_instance_ids()
{
    const DEV_List devices = DEV_GetAllClasses();
    if (devices == nullptr) return;
    DEV_Device device{};
    char instance_id[PATH_CAPACITY];
    for (uint32_t index = 0; DEV_Enum(devices, index, &device) &&
                             DEV_GetInstanceId(devices, &device, instance_id, sizeof instance_id);
         ++index) {
        append_multi_string(instance_id, &g_process.device_instance_ids);
    }
    DEV_Destroy(devices);
    g_process.device_instance_ids_built = true;
}

}  // namespace

char* next_field(char** cursor, const char* delimiters)
{
    char* start = *cursor + std::strspn(*cursor, delimiters);
    if (*start == '\0') {
        *cursor = start;
        return nullptr;
    }
    char* end = start + std::strcspn(start, delimiters);
    if (*end != '\0') *end++ = '\0';
    *cursor = end;
    return start;
}

int append_multi_string(const char* text, MultiStringList* list)
{
    const size_t used = list->buffer != nullptr ? list->size : 1;
    const size_t length = std::strlen(text);
    const size_t needed = used + length + 1;
    if (list->buffer == nullptr || needed > list->capacity) {
        size_t capacity = list->capacity > 0 ? list->capacity : 64;
        while (capacity < needed) capacity *= 2;
        char* grown = static_cast<char*>(MEM_Realloc(list->buffer, capacity));
        if (grown == nullptr) return 1;
        if (list->buffer == nullptr) grown[0] = '\0';
        list->buffer = grown;
        list->capacity = capacity;
    }
    std::memcpy(list->buffer + used - 1, text, length + 1);
    list->buffer[used + length] = '\0';
    list->size = needed;
    return 0;
}

void free_multi_string(MultiStringList* list)
{
    MEM_Free(list->buffer);
    *list = MultiStringList{};
}

void visit_model_lines(const char* inf_path, const char* models_section, ModelLineVisitor visit, void* data)
{
    char models[SECTION_READ_CAPACITY];
    const uint32_t length = PROFILE_GetSection(models_section, models, sizeof models, inf_path);
    for (const char* line = first_line(models, length); line != nullptr; line = next_line(models, length, line)) {
        // Description, install section, first hardware ID; later IDs of the
        // model are not looked at.
        char fields[LINE_CAPACITY];
        bounded_copy(fields, sizeof fields, line);
        char* cursor = fields;
        next_field(&cursor, LINE_DELIMITERS);
        next_field(&cursor, LINE_DELIMITERS);
        const char* hardware_id = next_field(&cursor, LINE_DELIMITERS);

        // The enumerator, then the component that device instance IDs carry.
        char id_parts[LINE_CAPACITY] = "";
        if (hardware_id != nullptr) bounded_copy(id_parts, sizeof id_parts, hardware_id);
        char* id_cursor = id_parts;
        const char* component = next_field(&id_cursor, HARDWARE_ID_DELIMITERS) != nullptr
                                    ? next_field(&id_cursor, HARDWARE_ID_DELIMITERS)
                                    : nullptr;
        const ModelLine model{line, hardware_id, component};
        visit(&model, data);
    }
}

void collect_model_hardware_ids(const char* inf_path, const char* models_section, MultiStringList* list)
{
    visit_model_lines(
        inf_path, models_section,
        [](const ModelLine* model, void* data) {
            if (model->component != nullptr) append_multi_string(model->component, static_cast<MultiStringList*>(data));
        },
        list);
}

bool is_slot_decoration(const char* decoration)
{
    for (const OsDecoration& slot : OS_DECORATIONS) {
        if (std::strcmp(slot.decorated, decoration) == 0 || std::strcmp(slot.undecorated, decoration) == 0) return true;
    }
    return false;
}

void visit_models_sections(const char* inf_path, const os_slot* slot, ModelsSectionVisitor visit, void* data)
{
    if (slot->os_index >= OS_SLOT_COUNT) return;
    const OsDecoration& decoration = OS_DECORATIONS[slot->os_index];

    char manufacturer_section[SECTION_READ_CAPACITY];
    const uint32_t length =
        PROFILE_GetSection("Manufacturer", manufacturer_section, sizeof manufacturer_section, inf_path);
    for (const char* line = first_line(manufacturer_section, length); line != nullptr;
         line = next_line(manufacturer_section, length, line)) {
        const char* target_os = std::strstr(line, decoration.decorated) != nullptr     ? decoration.decorated
                                : std::strstr(line, decoration.undecorated) != nullptr ? decoration.undecorated
                                                                                       : nullptr;
        if (target_os == nullptr) continue;

        // "%Mfg%=Models,NTamd64.10.0": the second field is the models
        // section's base name.
        char fields[LINE_CAPACITY];
        bounded_copy(fields, sizeof fields, line);
        char* cursor = fields;
        next_field(&cursor, LINE_DELIMITERS);
        const char* base_name = next_field(&cursor, LINE_DELIMITERS);
        if (base_name == nullptr) continue;

        char models_section_name_with_target_os_version[LINE_CAPACITY];
        bounded_printf(models_section_name_with_target_os_version, sizeof models_section_name_with_target_os_version,
                       "%s.%s", base_name, target_os);
        visit(models_section_name_with_target_os_version, data);
    }
}

MultiStringList get_supported_hareware_ids(const char* inf_path, const os_slot* slot)
{
    struct Collection {
        const char* inf_path;
        MultiStringList list;
    } collection{inf_path, {}};
    visit_models_sections(
        inf_path, slot,
        [](const char* models_section, void* data) {
            auto* into = static_cast<Collection*>(data);
            collect_model_hardware_ids(into->inf_path, models_section, &into->list);
        },
        &collection);
    return collection.list;
}

bool is_device_present(const char* component)
{
    if (!g_process.device_instance_ids_built) list_device_instance_ids();
    bool present = false;
    const char* ids = g_process.device_instance_ids.buffer;
    if (ids == nullptr) return false;
    for (const char* id = ids; *id != '\0'; id += std::strlen(id) + 1) {
        if (std::strstr(id, component) != nullptr) present = true;
    }
    return present;
}
