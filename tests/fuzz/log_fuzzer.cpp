// The run header and the response report composed from the longest and
// oddest inputs: command line, versions, times, results and engine codes;
// and the header's UTF-16 conversion in the machine's code page.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz/fuzz_support.h"
#include "log/update_package_log.h"
#include "setup/context.h"

namespace {

// The next piece of the input, up to a NUL, as text of at most `capacity`-1.
void take(const uint8_t*& data, size_t& size, char* text, size_t capacity)
{
    size_t length = 0;
    while (length < size && data[length] != 0) ++length;
    const size_t copied = length < capacity ? length : capacity - 1;
    std::memcpy(text, data, copied);
    text[copied] = '\0';
    const size_t used = length < size ? length + 1 : length;
    data += used;
    size -= used;
}

uint32_t take_number(const uint8_t*& data, size_t& size)
{
    uint32_t value = 0;
    for (int i = 0; i < 4 && size > 0; ++i, ++data, --size) value = value << 8 | *data;
    return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    InputTimer timer;
    sim::Machine& machine = fuzz_machine().fresh();
    static const uint16_t languages[] = {0x0409, 0x040D, 0x0411, 0x0419, 0x042A, 0x0401};
    machine.system_language = languages[size % 6];

    const int result = static_cast<int>(take_number(data, size));
    g_process.dpinst_return_code = take_number(data, size);
    g_process.result_code_override = static_cast<int>(take_number(data, size) % 2000);
    SYS_Time start{};
    start.year = static_cast<uint16_t>(take_number(data, size));
    start.month = static_cast<uint16_t>(take_number(data, size));
    take(data, size, g_process.installed_version, sizeof g_process.installed_version);
    take(data, size, g_process.package_version, sizeof g_process.package_version);
    char command_line[4096];
    take(data, size, command_line, sizeof command_line);

    char text[LOG_TEXT_CAPACITY];
    BuildLogHeader(nullptr, text, command_line, start, result);
    if (strnlen(text, sizeof text) >= sizeof text) __builtin_trap();
    uint16_t wide[LOG_TEXT_CAPACITY * 2];
    SYS_AnsiToUtf16(text, wide, LOG_TEXT_CAPACITY * 2);
    BuildResponseReport(text, result);
    if (strnlen(text, sizeof text) >= sizeof text) __builtin_trap();
    return 0;
}
