// The command line with its public properties and "/extract_all:", as the
// main sequence hands it over: any text, any support flags.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "cmdline/command_line.h"
#include "fuzz/fuzz_support.h"
#include "setup/context.h"
#include "setup/main_sequence.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) return 0;
    InputTimer timer;
    fuzz_machine().fresh();
    // The package has no driver folders, so an extraction copies nothing.
    reset_public_properties();
    g_process.context.support_flags = data[0];
    g_process.context.major_version = 1;
    const size_t length = size - 1 < sizeof g_process.command_line ? size - 1 : sizeof g_process.command_line - 1;
    std::memcpy(g_process.command_line, data + 1, length);
    g_process.command_line[length] = '\0';

    parse_command_line(g_process.command_line, g_process.custom_request_name, nullptr, &g_process.context);
    handle_extract_all_option(nullptr, g_process.command_line, &g_process.context);

    if (strnlen(g_process.command_line, sizeof g_process.command_line) >= sizeof g_process.command_line ||
        std::strlen(g_process.custom_request_name) > 10 ||
        strnlen(g_process.log_file, sizeof g_process.log_file) >= sizeof g_process.log_file) {
        std::abort();
    }
    return 0;
}
