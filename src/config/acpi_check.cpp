#include "config/acpi_check.h"

#include <cstring>
#include <initializer_list>

#include "config/settings_file.h"
#include "platform/dev.h"
#include "platform/mem.h"
#include "platform/sys.h"
#include "setup/context.h"

namespace {

constexpr uint32_t PROPERTY_CAPACITY = 260;

constexpr char ACPI_PREFIX[] = "ACPI\\";
constexpr char ACPI_VENDOR_PREFIX[] = "ACPI\\VEN_";

// A piece of text that need not be terminated.
struct TextSpan {
    const char* text;
    size_t length;

    // The first occurrence of `what`, or nullptr.
    const char* find(const char* what) const
    {
        const size_t wanted = std::strlen(what);
        for (size_t at = 0; at + wanted <= length; ++at) {
            if (std::memcmp(text + at, what, wanted) == 0) return text + at;
        }
        return nullptr;
    }

    // At most `count` characters from `start` (clamped to the end).
    TextSpan part(size_t start, size_t count) const
    {
        if (start > length) start = length;
        return {text + start, length - start < count ? length - start : count};
    }
};

// The short form of an ACPI hardware ID, from the text after its first
// "ACPI\": ACPI\VEN_ABC&DEV_0704 gives ABC0704 (three vendor characters, then
// up to five from the device part), any other form its first eight
// characters. The positions are fixed; a short or malformed ID gives what it
// has, never reading past its end.
void make_short_id(TextSpan hardware_id, char* short_id, size_t capacity)
{
    const char* prefix = hardware_id.find(ACPI_PREFIX);
    const size_t rest_start = static_cast<size_t>(prefix - hardware_id.text) + sizeof ACPI_PREFIX - 1;
    const TextSpan rest = hardware_id.part(rest_start, hardware_id.length);
    TextSpan first_part = rest.part(0, 8);
    TextSpan second_part = rest.part(rest.length, 0);
    if (hardware_id.find(ACPI_VENDOR_PREFIX) != nullptr) {
        constexpr size_t VENDOR_START = 4;                 // after "VEN_"
        constexpr size_t DEVICE_START = VENDOR_START + 8;  // after "XXX&DEV_"
        first_part = rest.part(VENDOR_START, 3);
        second_part = rest.part(DEVICE_START, 5);
    }
    std::memset(short_id, 0, capacity);
    size_t used = 0;
    for (const TextSpan& piece : {first_part, second_part}) {
        for (size_t i = 0; i < piece.length && used + 1 < capacity; ++i) short_id[used++] = piece.text[i];
    }
}

// The device's hardware IDs into *buffer, grown once to the size the platform
// asks for when it does not fit.
bool read_hardware_ids(DEV_List devices, DEV_Device* device, uint8_t** buffer, uint32_t* capacity)
{
    uint32_t required = 0;
    if (DEV_GetHardwareIds(devices, device, *buffer, *capacity, &required)) return true;
    if (required <= *capacity) return false;
    auto* grown = static_cast<uint8_t*>(MEM_Realloc(*buffer, required));
    if (grown == nullptr) return false;
    *buffer = grown;
    *capacity = required;
    return DEV_GetHardwareIds(devices, device, *buffer, *capacity, &required);
}

bool is_windows7()
{
    const SYS_OsVersion& os = g_process.os_version;
    return os.platform_id == SYS_PLATFORM_WIN32_NT && os.major == 6 && os.minor == 1;
}

}  // namespace

int query_acpi_device_id()
{
    uint32_t capacity = PROPERTY_CAPACITY;
    auto* buffer = static_cast<uint8_t*>(MEM_Alloc(capacity));
    if (buffer == nullptr) return 0;
    const DEV_List devices = DEV_GetPresentMouseDevices();
    if (devices == nullptr) {
        MEM_Free(buffer);
        return 0;
    }

    int found = 0;
    DEV_Device device{};
    for (uint32_t index = 0; !found && DEV_Enum(devices, index, &device); ++index) {
        if (!read_hardware_ids(devices, &device, &buffer, &capacity)) continue;
        // Only the first string of the multi-string counts; it ends at its
        // NUL or, should the platform leave none, at the buffer's end.
        const char* text = reinterpret_cast<const char*>(buffer);
        const void* end = std::memchr(text, '\0', capacity);
        const TextSpan first_id{text, end != nullptr ? static_cast<size_t>(static_cast<const char*>(end) - text) : capacity};
        if (first_id.find(ACPI_PREFIX) == nullptr) continue;
        make_short_id(first_id, g_process.acpi_device_id, sizeof g_process.acpi_device_id);
        found = 1;
    }

    MEM_Free(buffer);
    DEV_Destroy(devices);
    return found;
}

void read_only_win7_list(char* list)
{
    read_setting_string("SupportOS_Option", "OnlyWin7", list, ONLY_WIN7_CAPACITY, "");
}

int check_support_os_option()
{
    char* only_win7 = static_cast<char*>(MEM_Alloc(ONLY_WIN7_CAPACITY));
    if (only_win7 == nullptr) return 1;
    read_only_win7_list(only_win7);

    // The device search runs only for a package that lists something. A
    // malformed hardware ID of just "ACPI\" gives an empty short ID, which
    // every list would "contain": it names no listed device.
    const bool refused = only_win7[0] != '\0' && query_acpi_device_id() != 0 &&
                         g_process.acpi_device_id[0] != '\0' &&
                         std::strstr(only_win7, g_process.acpi_device_id) != nullptr && !is_windows7();
    MEM_Free(only_win7);
    return refused ? 0 : 1;
}
