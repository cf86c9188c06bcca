// INF models sections and the machine's device instance IDs: what hardware an
// INF declares for one OS slot, and whether the machine has it.
#pragma once

#include "setup/context.h"

// The bytes of an INF section that are read, its final NUL included; the
// lines of a longer section beyond them are not seen.
constexpr uint32_t SECTION_READ_CAPACITY = 4096;

// The hardware-ID components of every model in the models section that the
// INF's "Manufacturer" lines decorate for the slot's Windows (only its
// `os_index` is used). The list is the caller's: release it with
// free_multi_string.
MultiStringList get_supported_hareware_ids(const char* inf_path, const os_slot* slot);

// Appends the component of each model line of one models section.
void collect_model_hardware_ids(const char* inf_path, const char* models_section, MultiStringList* list);

// The two walks the lists above are made of, for whoever wants to know what
// was read on the way (the package check does).
//
// Whether some OS slot looks for this decoration of a models section
// ("NTamd64.10.0", "NTx86"), exactly as written.
bool is_slot_decoration(const char* decoration);

// Each models section that the INF's "Manufacturer" lines decorate for the
// slot's Windows, in the order of those lines.
using ModelsSectionVisitor = void (*)(const char* models_section, void* data);
void visit_models_sections(const char* inf_path, const os_slot* slot, ModelsSectionVisitor visit, void* data);

// One line of a models section as read: the field taken as the model's first
// hardware ID (nullptr when the line has fewer than three fields) and the
// component taken from it (nullptr when it has none).
struct ModelLine {
    const char* line;
    const char* hardware_id;
    const char* component;
};
using ModelLineVisitor = void (*)(const ModelLine* model, void* data);
void visit_model_lines(const char* inf_path, const char* models_section, ModelLineVisitor visit, void* data);

// Appends one string at the end of the list: 0, or 1 when memory runs short
// (the list is then unchanged).
int append_multi_string(const char* text, MultiStringList* list);

void free_multi_string(MultiStringList* list);

// Whether some device instance ID of the machine (any class, present or not)
// contains the component. The IDs are listed once per process, on first use.
bool is_device_present(const char* component);

// The next field of a split in place: delimiters before it are skipped (so
// empty fields never appear), the field ends at the next delimiter, which is
// overwritten with a NUL. nullptr when no field is left. Each split keeps its
// own cursor, so splits may nest.
char* next_field(char** cursor, const char* delimiters);
