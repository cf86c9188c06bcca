#include "cmdline/command_line.h"

// Not yet built: option splitting and public properties. Until they are, the
// command line stays as received, so only a command line that is exactly
// "/s", "/q" or "/?" selects the silent run or the help.
int parse_command_line(char* /*command_line*/, char* /*custom_request_name*/, ModuleHandle /*instance*/,
                       SetupContext* /*context*/)
{
    return 0;
}

// Not yet built: driver extraction. Until it is, "/extract_all:" is not looked for.
int handle_extract_all_option(ModuleHandle /*instance*/, const char* /*command_line*/,
                              SetupContext* /*context*/)
{
    return 0;
}
