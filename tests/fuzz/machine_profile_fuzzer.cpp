// setup-sim's machine profiles: any bytes load or are refused with a message.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include <unistd.h>

#include "fuzz/fuzz_support.h"
#include "setup-sim/profile_loader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    InputTimer timer;
    static const std::string file = "/tmp/setup-fuzz-profile-" + std::to_string(getpid()) + ".ini";
    std::FILE* out = std::fopen(file.c_str(), "wb");
    if (out == nullptr) return 0;
    std::fwrite(data, 1, size, out);
    std::fclose(out);
    sim::Machine machine;
    std::string error;
    if (!load_machine_profile(file, &machine, &error) && error.empty()) __builtin_trap();  // refusals say why
    return 0;
}
