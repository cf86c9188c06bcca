#include "cmdline/public_properties.h"

#include <cstring>

#include "common/bounded_string.h"
#include "extract/extraction.h"
#include "platform/sys.h"

namespace {

// Where a value ends: before the first of these names (in this order) that
// occurs in it, and the one character before that name.
constexpr const char* PROPERTY_NAMES[] = {"EXTRACTDRIVERS", "FORCE", "FRESHINSTALL", "FORCERESTART", "LOGFILE",
                                          "DEBUG"};

// The value of `name` (with its "=") in the token into `value`; false when
// the token does not hold it.
bool take_value(const char* token, const char* name_with_equals, char* value, size_t capacity)
{
    const char* found = std::strstr(token, name_with_equals);
    if (found == nullptr) return false;
    bounded_copy_unquoted(value, capacity, found + std::strlen(name_with_equals));
    for (const char* name : PROPERTY_NAMES) {
        char* next = std::strstr(value, name);
        if (next == nullptr) continue;
        if (next == value) {
            value[0] = '\0';
        } else {
            next[-1] = '\0';
        }
        break;
    }
    return true;
}

// A boolean property: 0 when absent or accepted, UNKNOWN_OPTION otherwise.
// `flag` becomes 1 for "true" and, unless `false_changes_nothing`, 0 for "false".
int take_boolean(const char* token, const char* name_with_equals, uint32_t* flag, bool false_changes_nothing)
{
    char value[PATH_CAPACITY];
    if (!take_value(token, name_with_equals, value, sizeof value)) return 0;
    if (equals_ignoring_case(value, "true")) {
        *flag = 1;
    } else if (equals_ignoring_case(value, "false")) {
        if (!false_changes_nothing) *flag = 0;
    } else {
        return UNKNOWN_OPTION;
    }
    return 0;
}

}  // namespace

int parse_public_properties(ModuleHandle instance, const char* token, SetupContext* context)
{
    if (std::strstr(token, "/v") == nullptr) return 0;

    char destination[520];
    if (take_value(token, "EXTRACTDRIVERS=", destination, sizeof destination)) {
        g_process.extract_drivers = 1;
        // An update tool's extraction: a destination nobody can answer for
        // (a drive without a disk) fails rather than waits for a box.
        SYS_SuppressCriticalErrorBoxes();
        return extract_driver_files(instance, destination, context);
    }

    const struct {
        const char* name_with_equals;
        uint32_t* flag;
    } booleans[] = {
        {"FORCE=", &g_process.force},
        {"FRESHINSTALL=", &g_process.fresh_install},
        {"FORCERESTART=", &g_process.force_restart},
    };
    for (const auto& boolean : booleans) {
        if (take_boolean(token, boolean.name_with_equals, boolean.flag, false) != 0) return UNKNOWN_OPTION;
    }
    take_value(token, "LOGFILE=", g_process.log_file, sizeof g_process.log_file);
    // DEBUG=false leaves a debug that "/f2DEBUG" or an earlier token set.
    return take_boolean(token, "DEBUG=", &g_process.debug, true);
}
