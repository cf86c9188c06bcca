// setup-sim's machine profiles: any bytes load or are refused with a message
// that names the file (the seeds named refused-* reach each refusal).
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
    // A refusal names the profile first, and its line where a line is wrong.
    if (!load_machine_profile(file, &machine, &error) && error.rfind(file + ":", 0) != 0) __builtin_trap();
    return 0;
}
