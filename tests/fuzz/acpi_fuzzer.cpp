// The ACPI short ID of the first present pointing device, from hardware IDs
// of any form (one per input line).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "config/acpi_check.h"
#include "fuzz/fuzz_support.h"
#include "setup/context.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    InputTimer timer;
    sim::Machine& machine = fuzz_machine().fresh();
    sim::Device device{"ACPI\\FUZZ\\0", "{4D36E96F-E325-11CE-BFC1-08002BE10318}", true, {}};
    std::string id;
    for (size_t i = 0; i <= size; ++i) {
        if (i == size || data[i] == '\n') {
            device.hardware_ids.push_back(id);
            id.clear();
        } else if (data[i] != '\0') {
            id += static_cast<char>(data[i]);
        }
    }
    machine.devices.push_back(device);
    query_acpi_device_id();
    if (strnlen(g_process.acpi_device_id, sizeof g_process.acpi_device_id) > 8) __builtin_trap();
    return 0;
}
