// INF models sections and the machine's device instance IDs: what hardware an
// INF declares for one OS slot, and whether the machine has it.
#pragma once

#include "setup/context.h"

// The hardware-ID components of every model in the models section that the
// INF's "Manufacturer" lines decorate for the slot's Windows (only its
// `os_index` is used). The list is the caller's: release it with
// free_multi_string.
MultiStringList get_supported_hareware_ids(const char* inf_path, const os_slot* slot);

// Appends the component of each model line of one models section.
void collect_model_hardware_ids(const char* inf_path, const char* models_section, MultiStringList* list);

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
