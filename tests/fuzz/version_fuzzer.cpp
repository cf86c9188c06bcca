// The version comparison over any two texts, and the installed-version word
// rule over any registry value (up to the whole 260 bytes, terminated or not),
// in both registry views.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz/fuzz_support.h"
#include "setup/context.h"
#include "version/version_queries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    InputTimer timer;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const size_t split = bytes.find('\0');
    const std::string installed = bytes.substr(0, split);
    const std::string package = split == std::string::npos ? "" : bytes.substr(split + 1);
    const int order = loc_CopmareDrvVersion(installed.c_str(), package.c_str());
    if (order < -2 || order > 2) __builtin_trap();

    sim::Machine& machine = fuzz_machine().fresh();
    machine.is_64bit = (size & 1) != 0;
    sim::RegistryKey key{"HKLM\\SOFTWARE\\Vexa\\Kurso", sim::RegistryView::Both, {}};
    key.values["ProductVer"] = sim::RegistryValue{1, bytes.substr(0, 300)};
    machine.registry.push_back(key);
    char version[VERSION_TEXT_CAPACITY] = "untouched";
    const int found = loc_QueryTpdDrvVersion(version);
    if (found < -2 || found > 1 || strnlen(version, sizeof version) >= sizeof version) __builtin_trap();
    return 0;
}
