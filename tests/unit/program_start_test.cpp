// How a command line reaches the program: converted to the ANSI code page as
// Windows converts it for GetCommandLineA, then cut after the program's name
// as the MinGW-w64 start-up code cuts it for WinMain.
#include <gtest/gtest.h>

#include <string>

#include "platform/command_text.h"
#include "setup-sim/program_start.h"
#include "support/sim_fixture.h"

namespace {

TEST(WinMainCommandText, IsWhatTheStartUpCodeLeavesAfterTheName)
{
    const struct {
        const char* command_line;
        const char* text;
    } cases[] = {
        {"Setup.exe /s", "/s"},
        {"\"C:\\Program Files\\Setup.exe\" /s", "/s"},
        {"\"C:\\pkg\\Setup.exe\"  \t /s /q ", "/s /q "},
        {"\"C:\\pkg\\Setup.exe\"/s", ""},  // the closing quote does not end the name; only a blank does
        {"\"C:\\pkg\\Setup.exe\"", ""},
        {"Setup.exe", ""},
        {"", ""},
        {"\"C:\\pkg\\Setup.exe\" \xC4/s", "/s"},              // bytes from 0x80 up are skipped as blanks ...
        {"C:\\Gr\xF6\xDF" "e\\Setup.exe /s", "e\\Setup.exe /s"},  // ... and end an unquoted name
        {"\"C:\\Gr\xF6\xDF" "e\\Setup.exe\" /s", "/s"},
        {"\"unclosed /s", ""},
    };
    for (const auto& c : cases) EXPECT_STREQ(SYS_WinMainCommandText(c.command_line), c.text) << c.command_line;
}

class ProgramStartTest : public SimMachineTest {};

// The host's words are UTF-8; the program gets them in its code page.
TEST_F(ProgramStartTest, WordsArriveInTheCodePageAfterTheName)
{
    const struct {
        uint32_t code_page;
        const char* arguments;
        const char* text;
    } cases[] = {
        {1252, "/s", "/s"},
        {1252, " \t /s", "/s"},
        {1252, "", ""},
        {1251, "/s /vLOGFILE=C:\\Журнал\\x.log", "/s /vLOGFILE=C:\\\xC6\xF3\xF0\xED\xE0\xEB\\x.log"},
        {1252, "/s /vLOGFILE=C:\\Журнал\\x.log", "/s /vLOGFILE=C:\\??????\\x.log"},
        {1252, "/vLOGFILE=C:\\Größe\\ă.log", "/vLOGFILE=C:\\Gr\xF6\xDF" "e\\a.log"},  // ă: its best fit
        {1252, "Äpfel", "pfel"},  // Ä (C4) is skipped with the blanks
    };
    for (const auto& c : cases) {
        machine.ansi_code_page = c.code_page;
        std::string text;
        start_program(c.arguments, &text);
        EXPECT_EQ(text, c.text) << c.arguments;
    }
}

}  // namespace
