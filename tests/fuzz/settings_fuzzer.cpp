// The settings file in both layouts with an INF beside it: the support
// entries and their splits, the configuration sections, the models sections
// and the hardware-ID components matched against a few devices. The input is
// the settings file, a NUL, then the INF ("drivers.inf").
#include <cstddef>
#include <cstdint>
#include <string>

#include "config/settings.h"
#include "fuzz/fuzz_support.h"
#include "setup/context.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    InputTimer timer;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const size_t split = bytes.find('\0');
    sim::Machine& machine = fuzz_machine().fresh();
    machine.major = (size & 1) != 0 ? 10 : 6;
    machine.minor = (size & 1) != 0 ? 0 : 1;
    machine.devices = {
        {"ACPI\\VXB0801\\4&1D8F0A&0", "{4D36E96F-E325-11CE-BFC1-08002BE10318}", true, {"ACPI\\VXB0801", "*VXB0801"}},
        {"HID\\VID_1234&PID_5678\\7&2A&0", "{745A17A0-74D3-11D0-B6FE-00A0C90F57DA}", false, {}},
    };
    fuzz_machine().write_file("C:\\Package\\Setup.ini", bytes.substr(0, split));
    if (split != std::string::npos) fuzz_machine().write_file("C:\\Package\\drivers.inf", bytes.substr(split + 1));
    g_process.os_version = SYS_OsVersion{SYS_OS_VERSION_SIZE, machine.major, machine.minor, machine.build, 2, {}};
    load_setup_settings(nullptr, &g_process.context);
    return 0;
}
