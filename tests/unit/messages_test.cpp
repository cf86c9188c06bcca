// Message boxes, the help text and bounded formatting.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "common/bounded_string.h"
#include "setup/context.h"
#include "setup/messages.h"
#include "support/sim_fixture.h"

namespace {

class MessagesTest : public SimMachineTest {};

TEST_F(MessagesTest, ErrorCodeIsAppendedInUpperCaseHex)
{
    const struct {
        uint32_t code;
        const char* suffix;
    } rows[] = {{0, ""}, {2, " [2]"}, {193, " [C1]"}, {0xE0000100, " [E0000100]"}};
    for (const auto& row : rows) {
        machine.record.boxes.clear();
        ShowErrorMsg(nullptr, IDS_LAUNCH_FAILED, IDS_CAPTION, row.code);
        ASSERT_EQ(machine.record.boxes.size(), 1u);
        EXPECT_EQ(machine.record.boxes[0].text, std::string("Could not launch the installer.") + row.suffix);
        EXPECT_EQ(machine.record.boxes[0].caption, "Setup.exe");
        EXPECT_EQ(machine.record.boxes[0].style, 0x40u);
    }
}

TEST_F(MessagesTest, RightToLeftFlagsFollowTheSystemLanguageFlagNotTheTableLanguage)
{
    g_process.rtl_language = 1;
    ShowErrorMsg(nullptr, IDS_UNSUPPORTED_OS, IDS_CAPTION, 0);
    ShowYesNoMsg(nullptr, IDS_SAME_VERSION, IDS_CAPTION, 0x100);
    ShowNoticeMsg(4, "%s", "notice");
    ShowHelpMsg(nullptr, &g_process.context);
    ASSERT_EQ(machine.record.boxes.size(), 4u);
    EXPECT_EQ(machine.record.boxes[0].style, 0x180040u);
    EXPECT_EQ(machine.record.boxes[1].style, 0x180124u);
    EXPECT_EQ(machine.record.boxes[2].style, 0x0u);
    EXPECT_EQ(machine.record.boxes[3].style, 0x40u);
    // English table text all the same.
    EXPECT_EQ(machine.record.boxes[0].text, "This software does not work on your operating system. \nClick OK to exit setup.");
}

TEST_F(MessagesTest, YesNoReturnsTheButtonPressed)
{
    machine.answers = {7, 6};
    EXPECT_EQ(ShowYesNoMsg(nullptr, IDS_OLDER_VERSION, IDS_CAPTION, 0x100), 7);
    EXPECT_EQ(ShowYesNoMsg(nullptr, IDS_OLDER_VERSION, IDS_CAPTION, 0x100), 6);
    EXPECT_EQ(machine.record.boxes[0].style, 0x124u);
}

TEST_F(MessagesTest, NoticeAboveLevelFourShowsNothing)
{
    ShowNoticeMsg(5, "%s", "hidden");
    ShowNoticeMsg(0xFFFFFFFF, "%s", "hidden");
    EXPECT_TRUE(machine.record.boxes.empty());
    ShowNoticeMsg(4, "This driver does not support your touchpad");
    ASSERT_EQ(machine.record.boxes.size(), 1u);
    EXPECT_EQ(machine.record.boxes[0].caption, "SETUP: ");
    EXPECT_EQ(machine.record.boxes[0].text, "This driver does not support your touchpad");
}

TEST_F(MessagesTest, NoticeIsCutAt1023Characters)
{
    const std::string long_text(1500, 'n');
    ShowNoticeMsg(4, "%s", long_text.c_str());
    ASSERT_EQ(machine.record.boxes.size(), 1u);
    EXPECT_EQ(machine.record.boxes[0].text.size(), 1023u);
}

std::string help_for(uint32_t major_version, uint32_t support_flags)
{
    SetupContext context{};
    context.major_version = major_version;
    context.support_flags = support_flags;
    char text[HELP_TEXT_CAPACITY];
    build_help_text(&context, text, sizeof text);
    return text;
}

TEST(HelpText, FullTextHasItsKnownLengthAndEnds)
{
    const std::string full = help_for(2, 0);
    EXPECT_EQ(full.size(), 1321u);
    EXPECT_EQ(full.rfind("Setup.exe: Installs driver packages by calling the DPInst.exe.\n\n/?\n", 0), 0u);
    EXPECT_NE(full.find("\tUsage: Setup.exe /vFORCE=true\n'FRESHINSTALL'\n"), std::string::npos);
    EXPECT_EQ(full.substr(full.size() - 38), "\tUsage: Setup.exe /vFORCERESTART=true\n");
}

TEST(HelpText, OptionalSectionsFollowTheirOwnGates)
{
    const std::string base = help_for(1, 0);
    EXPECT_EQ(base.find("/extract_all"), std::string::npos);
    EXPECT_EQ(base.find("/v\n"), std::string::npos);
    EXPECT_EQ(base.substr(base.size() - 21), "\tUsage: Setup.exe /s\n");

    // Value 1 lists /extract_all (accepted only with value 2) and value 2 the
    // properties (accepted only with value 1).
    const std::string with1 = help_for(1, 1);
    EXPECT_NE(with1.find("/extract_all\n"), std::string::npos);
    EXPECT_EQ(with1.find("/v\n"), std::string::npos);
    const std::string with2 = help_for(1, 2);
    EXPECT_EQ(with2.find("/extract_all\n"), std::string::npos);
    EXPECT_NE(with2.find("/v\n"), std::string::npos);
    EXPECT_EQ(help_for(1, 3), help_for(2, 0));
    EXPECT_EQ(help_for(3, 0), help_for(2, 0));
}

TEST(BoundedString, FormattingIsCutAndReported)
{
    char buffer[8];
    EXPECT_EQ(bounded_printf(buffer, sizeof buffer, "%s", "1234567"), 0u);
    EXPECT_STREQ(buffer, "1234567");
    EXPECT_EQ(bounded_printf(buffer, sizeof buffer, "%s", "12345678"), STATUS_INSUFFICIENT_BUFFER);
    EXPECT_STREQ(buffer, "1234567");
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(bounded_printf(buffer, 0, "%s", "a"), STATUS_INVALID_ARGUMENT);
    EXPECT_EQ(buffer[0], 'x');
    EXPECT_EQ(bounded_printf(buffer, size_t{1} << 31, "%s", "a"), STATUS_INVALID_ARGUMENT);
    EXPECT_EQ(buffer[0], 'x');
}

TEST(BoundedString, CopiesAndAppendsStayInsideTheirCapacity)
{
    char buffer[6] = "abc";
    bounded_append(buffer, sizeof buffer, "defgh");
    EXPECT_STREQ(buffer, "abcde");
    bounded_append(buffer, sizeof buffer, "x");
    EXPECT_STREQ(buffer, "abcde");
    bounded_copy(buffer, sizeof buffer, "0123456789");
    EXPECT_STREQ(buffer, "01234");
    char unterminated[4] = {'a', 'b', 'c', 'd'};
    bounded_append(unterminated, sizeof unterminated, "e");
    EXPECT_EQ(unterminated[3], '\0');
}

TEST(BoundedString, CaseInsensitiveWholeComparison)
{
    EXPECT_TRUE(equals_ignoring_case("/S", "/s"));
    EXPECT_TRUE(equals_ignoring_case("/Q", "/q"));
    EXPECT_FALSE(equals_ignoring_case("/s ", "/s"));
    EXPECT_FALSE(equals_ignoring_case("/silent", "/s"));
    EXPECT_FALSE(equals_ignoring_case("", "/s"));
}

}  // namespace
