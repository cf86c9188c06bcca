// INF models sections and the machine's device instance IDs.
#pragma once

#include "setup/context.h"

MultiStringList get_supported_hareware_ids(const char* inf_path, const os_slot* slot);
void collect_model_hardware_ids(const char* inf_path, const char* models_section, MultiStringList* list);
int append_multi_string(const char* text, MultiStringList* list);
void free_multi_string(MultiStringList* list);
bool is_device_present(const char* component);
