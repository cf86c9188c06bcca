// setup-sim check on a package made of fuzz bytes: the input is the settings
// file, a NUL, then an INF, which lies where the example packages keep
// theirs (beside each engine, in both layouts), with a small image of the
// right machine for each engine. Any input gives a report (text and JSON) or
// a refusal with a message, never an exception.
//
// Each input is a whole check, some twenty runs of the program, so no
// per-input limit of the other targets applies: libFuzzer's -timeout bounds it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "setup-sim/check_report.h"
#include "setup-sim/package_check.h"
#include "setup-sim/temporary_folder.h"

namespace fs = std::filesystem;

namespace {

// MZ, e_lfanew at 0x3C, "PE\0\0" and the machine: what the platform check reads.
std::string image(uint16_t machine)
{
    std::string bytes(152, '\0');
    bytes[0] = 'M';
    bytes[1] = 'Z';
    bytes[0x3C] = 0x40;
    bytes.replace(0x40, 4, std::string("PE\0\0", 4));
    bytes[0x44] = static_cast<char>(machine & 0xFF);
    bytes[0x45] = static_cast<char>(machine >> 8);
    return bytes;
}

void write(const fs::path& file, const std::string& bytes)
{
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << bytes;
}

// One package folder for the whole fuzzing run, rewritten for each input,
// with the engines in place.
const fs::path& package_folder()
{
    static const TemporaryFolder folder;
    static const bool engines_placed = [] {
        if (folder.path().empty()) std::abort();
        write(folder.path() / "DPInst.exe", image(0x014C));
        for (const char* engine : {"x64/DPInst.exe", "I2C/DPInst.exe", "PS2/DPInst.exe"}) {
            write(folder.path() / engine, image(0x8664));
        }
        return true;
    }();
    (void)engines_placed;
    return folder.path();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const size_t split = bytes.find('\0');
    const fs::path& package = package_folder();
    write(package / "Setup.ini", bytes.substr(0, split));
    const std::string inf = split == std::string::npos ? std::string() : bytes.substr(split + 1);
    for (const char* path : {"VxTouch.inf", "x64/VxTouch.inf", "I2C/VxI2C.inf", "PS2/VxPS2.inf"}) write(package / path, inf);

    PackageCheck check;
    std::string error;
    if (!check_package(package, {}, &check, &error)) {
        if (error.empty()) __builtin_trap();  // a refusal says why
        return 0;
    }
    if (check_report_text(package.string(), check).empty() || check_report_json(package.string(), check).empty()) {
        __builtin_trap();
    }
    return 0;
}
