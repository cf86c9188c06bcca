// The command-line parse with its public properties: command line in, the
// rewritten line, the globals and the result out.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "cmdline/command_line.h"
#include "setup/context.h"
#include "setup/main_sequence.h"
#include "support/sim_fixture.h"

namespace {

struct ParseOutcome {
    int result;
    std::string command_line;
    std::string custom_request_name;
    uint32_t force, fresh_install, force_restart, debug;
    std::string log_file;

    bool operator==(const ParseOutcome&) const = default;
};

void PrintTo(const ParseOutcome& o, std::ostream* out)
{
    *out << "{" << o.result << ", \"" << o.command_line << "\", request \"" << o.custom_request_name << "\", force "
         << o.force << ", fresh " << o.fresh_install << ", restart " << o.force_restart << ", debug " << o.debug
         << ", log \"" << o.log_file << "\"}";
}

struct ParseCase {
    const char* command_line;
    uint32_t support_flags;
    ParseOutcome expected;
};

class CommandLineParse : public SimMachineTest {
protected:
    ParseOutcome parse(const char* command_line, uint32_t support_flags)
    {
        reset_process_state();
        reset_public_properties();
        g_process.context.support_flags = support_flags;
        std::snprintf(g_process.command_line, sizeof g_process.command_line, "%s", command_line);
        const int result = parse_command_line(g_process.command_line, g_process.custom_request_name, nullptr,
                                              &g_process.context);
        return {result,          g_process.command_line, g_process.custom_request_name, g_process.force,
                g_process.fresh_install, g_process.force_restart, g_process.debug, g_process.log_file};
    }
};

// Defaults: force 1, the other flags 0, no log file.
ParseOutcome plain(int result, const char* line, const char* request = "")
{
    return {result, line, request, 1, 0, 0, 0, ""};
}

TEST_F(CommandLineParse, SplitsClassifiesAndRewrites)
{
    const ParseCase cases[] = {
        {"", 1, plain(0, "")},
        {"no slash at all", 1, plain(0, "no slash at all")},
        {"/S", 1, plain(0, "/S")},
        {"/s /s /?", 1, plain(0, "/?")},
        {"/? /s", 1, plain(0, "/s")},
        {"/silent", 1, plain(0, "/silent", "silent")},
        {"/MyReq /s", 1, plain(0, "/s", "MyReq")},
        {"/ABCDEFGHIJKLMN", 1, plain(0, "/ABCDEFGHIJKLMN", "ABCDEFGHIJ")},
        {"/s/q", 1, plain(0, "/q", "")},                 // the s is taken for the blank
        {"/Req  /s", 1, plain(0, "/s", "Req")},          // both blanks go
        {"/1 /2 /3 /4 /5 /6 /7 /s", 1, plain(0, "/1 /2 /3 /4 /5 /6 /7 /s", "7")},
        {"/extract_all", 1, plain(0, "/extract_a")},     // the mode option keeps 10 characters
        {"/s /extract_all:C:\\out", 1, plain(0, "/s", "extract_al")},
        {"/extract_all:C:\\out", 1, plain(0, "/extract_all:C:\\out", "extract_al")},
        {"/VFORCE=false", 1, plain(0, "/VFORCE=false")},
        {"/vFORCE=false", 0, plain(0, "/vFORCE=false")},  // properties not honoured
        {"/f2 C:\\r.txt", 0, plain(0, "/f2 C:\\r.txt")},
        {"/vFORCE=false /s", 1, {0, "/s", "", 0, 0, 0, 0, ""}},
        {"/s /vFORCE=yes", 1, plain(UNKNOWN_OPTION, "/s /vFORCE=yes")},
        {"/vFORCE=TRUE", 1, plain(0, "/vFORCE=TRUE")},
        {"/vFORCE=False", 1, {0, "/vFORCE=False", "", 0, 0, 0, 0, ""}},
        {"/vforce=false", 1, plain(0, "/vforce=false")},
        {"/vFORCE=false FRESHINSTALL=true", 1, {0, "/vFORCE=false FRESHINSTALL=true", "", 0, 1, 0, 0, ""}},
        {"/v\"FORCE=false FRESHINSTALL=true LOGFILE=C:\\logs\\setup.log\"", 1,
         {0, "/v\"FORCE=false FRESHINSTALL=true LOGFILE=C:\\logs\\setup.log\"", "", 0, 1, 0, 0, "C:\\logs\\setup.log"}},
        {"/vFORCE=true  FRESHINSTALL=true", 1, plain(UNKNOWN_OPTION, "/vFORCE=true  FRESHINSTALL=true")},
        {"/vFRESHINSTALL=true /vFORCE=yes /s", 1, {UNKNOWN_OPTION, "/vFRESHINSTALL=true /vFORCE=yes /s", "", 1, 1, 0, 0, ""}},
        {"/vFORCERESTART=true", 1, {0, "/vFORCERESTART=true", "", 1, 0, 1, 0, ""}},
        {"/vFORCERESTART=", 1, plain(UNKNOWN_OPTION, "/vFORCERESTART=")},
        {"/vFORCE=DEBUG", 1, plain(UNKNOWN_OPTION, "/vFORCE=DEBUG")},
        {"/v", 1, plain(0, "/v")},
        {"/vDEBUG=maybe", 1, plain(UNKNOWN_OPTION, "/vDEBUG=maybe")},
        {"/vFRESHINSTALL=true LOGFILE=C:\\FORCE\\x.log", 1,
         plain(UNKNOWN_OPTION, "/vFRESHINSTALL=true LOGFILE=C:\\FORCE\\x.log")},  // cut inside the path
        {"/vLOGFILE=C:\\DEBUG\\x.log", 1, {0, "/vLOGFILE=C:\\DEBUG\\x.log", "", 1, 0, 0, 0, "C:"}},
        {"/vLOGFILE=C:/logs/x.log", 1, {0, "/vLOGFILE=C:/logs/x.log", "x.log", 1, 0, 0, 0, "C"}},
        {"/vLOGFILE=\"C:\\a b.log\" /f2 C:\\r.txt", 1, {0, "/vLOGFILE=\"C:\\a b.log\" /f2 C:\\r.txt", "", 1, 0, 0, 0, "C:\\r.txt"}},
        {"/f2 C:\\r.txt /vLOGFILE=\"C:\\a b.log\"", 1, {0, "/f2 C:\\r.txt /vLOGFILE=\"C:\\a b.log\"", "", 1, 0, 0, 0, "C:\\a b.log"}},
        {"/f2", 1, plain(0, "/f2")},
        {"/f2 \"C:\\a b\\r.txt\" /s", 1, {0, "/s", "", 1, 0, 0, 0, "C:\\a b\\r.txt"}},
        {"/f2DEBUG C:\\r.txt", 1, {0, "/f2DEBUG C:\\r.txt", "", 1, 0, 0, 1, "C:\\r.txt"}},
        {"/f2debug C:\\r.txt", 1, {0, "/f2debug C:\\r.txt", "", 1, 0, 0, 0, "ebug C:\\r.txt"}},
        {"/f2DEBUG C:\\r.txt /vDEBUG=false", 1, {0, "/f2DEBUG C:\\r.txt /vDEBUG=false", "", 1, 0, 0, 1, "C:\\r.txt"}},
        {"/F2 C:\\r.txt /fx /s", 1, plain(0, "/s")},  // not "/f2": ignored
    };
    for (const ParseCase& c : cases) {
        EXPECT_EQ(parse(c.command_line, c.support_flags), c.expected) << c.command_line;
    }
}

}  // namespace
