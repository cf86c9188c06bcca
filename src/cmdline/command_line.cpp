#include "cmdline/command_line.h"

#include <cstring>
#include <initializer_list>

#include "cmdline/public_properties.h"
#include "common/bounded_string.h"
#include "extract/extraction.h"

namespace {

constexpr int MAX_TOKENS = 7;
constexpr size_t MODE_OPTION_CAPACITY = 11;
constexpr size_t CUSTOM_REQUEST_NAME_CAPACITY = 11;

bool is_mode_option(const char* token)
{
    for (const char* option : {"/q", "/s", "/?", "/extract_all"}) {
        if (equals_ignoring_case(token, option)) return true;
    }
    return false;
}

// Whether the token's first two characters are '/' and `letter`, in either case.
bool starts_with_option_letter(const char* token, char letter)
{
    const char c = token[1];
    return token[0] == '/' && (c == letter || c == letter - 'a' + 'A');
}

}  // namespace

int parse_command_line(char* command_line, char* custom_request_name, ModuleHandle instance,
                       SetupContext* context)
{
    char mode_option[MODE_OPTION_CAPACITY] = "";
    const size_t length = std::strlen(command_line);
    size_t cursor = 0;

    for (int count = 0; count < MAX_TOKENS; ++count) {
        const char* slash = std::strchr(command_line + cursor, '/');
        if (slash == nullptr) break;
        const size_t start = static_cast<size_t>(slash - command_line);

        // A token ends one character before the next slash, whatever that
        // character is: it is taken for the blank between two options. The
        // token's own slash always stays.
        const char* next = std::strchr(command_line + start + 1, '/');
        size_t end = next != nullptr ? static_cast<size_t>(next - command_line) - 1 : length;
        if (end < start + 1) end = start + 1;
        while (end > start + 1 && command_line[end - 1] == ' ') --end;

        char token[PATH_CAPACITY];
        const size_t token_length = end - start < sizeof token ? end - start : sizeof token - 1;
        std::memcpy(token, command_line + start, token_length);
        token[token_length] = '\0';

        int r = 0;
        const bool honoured = (context->support_flags & SUPPORT_PROPERTIES) != 0;
        if (is_mode_option(token)) {
            bounded_copy(mode_option, sizeof mode_option, token);
        } else if (starts_with_option_letter(token, 'v')) {
            if (honoured) r = parse_public_properties(instance, token, context);
        } else if (starts_with_option_letter(token, 'f')) {
            // Only "/f2" names a log file; "/F2" or "/fx" say nothing we know.
            if (honoured && std::strncmp(token, "/f2", 3) == 0) r = parse_log_file_option(token);
        } else {
            bounded_copy(custom_request_name, CUSTOM_REQUEST_NAME_CAPACITY, token + 1);
        }
        if (r == COMPLETED || r == UNKNOWN_OPTION || r == DEP_SOFT_ERROR) return r;

        cursor = start + 1;
        if (command_line[cursor] == '\0') break;
    }

    if (mode_option[0] != '\0') bounded_copy(command_line, PATH_CAPACITY, mode_option);
    return g_process.extract_drivers != 0 ? COMPLETED : 0;
}

int parse_log_file_option(const char* token)
{
    // The path starts after the option and one separator character (a blank
    // or the opening quote).
    size_t path_start = 4;
    if (std::strncmp(token, "/f2DEBUG", 8) == 0) {
        g_process.debug = 1;
        path_start = 9;
    }
    const char* path = std::strlen(token) >= path_start ? token + path_start : "";
    bounded_copy_unquoted(g_process.log_file, sizeof g_process.log_file, path);
    return 0;
}

int handle_extract_all_option(ModuleHandle instance, const char* command_line, SetupContext* context)
{
    static constexpr char OPTION[] = "/extract_all:";
    const char* found = std::strstr(command_line, OPTION);
    if (found == nullptr) return 0;

    // The path runs to the end of the line, blanks and later options included.
    char destination[PATH_CAPACITY];
    bounded_copy_unquoted(destination, sizeof destination, found + sizeof OPTION - 1);
    return extract_driver_files(instance, destination, context) == DEP_SOFT_ERROR ? DEP_SOFT_ERROR : COMPLETED;
}
