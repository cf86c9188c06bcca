// The simulated INF reader and the package-version reading over it: any
// bytes as the package INF.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz/fuzz_support.h"
#include "platform/inf.h"
#include "version/version_queries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    InputTimer timer;
    const char* path = "C:\\Package\\fuzz.inf";
    fuzz_machine().fresh();
    fuzz_machine().write_file(path, std::string(reinterpret_cast<const char*>(data), size));

    char version[VERSION_TEXT_CAPACITY] = "";
    if (loc_QueryInfFilesInf(path, version, sizeof version) == 1) {
        // A text compares equal to itself, or is malformed on the installed side first.
        const int comparison = loc_CopmareDrvVersion(version, version);
        if (comparison != SAME_INSTALLED && comparison != -1) __builtin_trap();
    }

    INF_Handle inf = INF_Open(path, INF_WIN4_STYLE);
    if (inf == nullptr) return 0;
    INF_Line line{};
    if (INF_FindFirstLine(inf, "Version", nullptr, &line)) {
        for (uint32_t field = 0; field < 4; ++field) {
            char small[8];
            std::memset(small, 'X', sizeof small);
            uint32_t required = 0;
            if (INF_GetStringField(&line, field, small, sizeof small, &required) &&
                (strnlen(small, sizeof small) != required - 1)) {
                __builtin_trap();  // the text read is as long as the size it reports
            }
        }
    }
    INF_Close(inf);
    return 0;
}
