// The string table and LoadStringA on the simulated machine: which language is
// chosen, the exact bytes delivered in the machine's ANSI code page, and the cut
// at the buffer's end.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>

#include "platform/sim/codepage.h"
#include "platform/sim/string_table.h"
#include "platform/ui.h"
#include "support/sim_fixture.h"

namespace {

// The languages the program ships, by Windows language id.
constexpr uint16_t SHIPPED_LANGUAGES[] = {
    0x001E, 0x0401, 0x0404, 0x0405, 0x0406, 0x0407, 0x0408, 0x0409, 0x040B, 0x040C,
    0x040D, 0x040E, 0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0418,
    0x0419, 0x041A, 0x041B, 0x041D, 0x041F, 0x0424, 0x0804, 0x080A, 0x0816, 0x0C0A,
};

// "CD E5 20" -> the three bytes.
std::string bytes(const char* hex)
{
    std::string out;
    unsigned value = 0;
    int consumed = 0;
    while (std::sscanf(hex, " %2x%n", &value, &consumed) == 1) {
        out.push_back(static_cast<char>(value));
        hex += consumed;
    }
    return out;
}

std::string hex_of(const std::string& text)
{
    std::string out;
    char piece[4];
    for (const char c : text) {
        std::snprintf(piece, sizeof piece, "%02X ", static_cast<unsigned char>(c));
        out += piece;
    }
    return out;
}

class StringTableTest : public SimMachineTest {
protected:
    // LoadStringA with a 260-byte buffer, as the message boxes use it.
    std::string load(uint32_t id)
    {
        char buffer[260];
        const int length = UI_LoadString(nullptr, id, buffer, sizeof buffer);
        EXPECT_EQ(static_cast<size_t>(length), std::strlen(buffer)) << "id " << id;
        return buffer;
    }

    void use_languages(uint16_t ui, uint16_t system)
    {
        machine.ui_language = ui;
        machine.system_language = system;
    }
};

TEST_F(StringTableTest, LanguageChoiceFollowsWindowsFallbacks)
{
    const struct {
        uint16_t ui;
        uint16_t system;
        int expected;
        const char* why;
    } cases[] = {
        {0x0407, 0x0409, 0x0407, "exact user-interface language"},
        {0x0409, 0x0407, 0x0409, "the user-interface language wins over the system's"},
        {0x001E, 0x0409, 0x001E, "exact neutral Thai"},
        {0x041E, 0x0409, 0x001E, "Thai (Thailand) finds the neutral Thai table"},
        {0x0807, 0x0409, 0x0407, "Swiss German takes German"},
        {0x0C07, 0x0409, 0x0407, "Austrian German takes German"},
        {0x0809, 0x0407, 0x0409, "English (UK) takes English (US) before the system language"},
        {0x2C0A, 0x0409, 0x080A, "Spanish (Argentina) takes the lowest Spanish id, Mexico"},
        {0x040A, 0x0409, 0x0C0A, "Spanish with the traditional sort is Spain's Spanish"},
        {0x0C04, 0x0409, 0x0404, "Chinese (Hong Kong) takes Traditional"},
        {0x1404, 0x0409, 0x0404, "Chinese (Macau) takes Traditional"},
        {0x7C04, 0x0409, 0x0404, "Chinese (Traditional, neutral) takes Traditional"},
        {0x1004, 0x0409, 0x0804, "Chinese (Singapore) takes Simplified"},
        {0x0004, 0x0409, 0x0804, "Chinese (Simplified, neutral) takes Simplified"},
        {0x0422, 0x0419, 0x0419, "Ukrainian is not shipped: the system language, Russian"},
        {0x0422, 0x0807, 0x0407, "system language by the same steps: Swiss German takes German"},
        {0x0422, 0x041E, 0x001E, "system language by the same steps: Thai takes neutral Thai"},
        {0x0422, 0x0423, 0x0409, "neither is shipped: English (US)"},
        {0x0000, 0x0000, 0x0409, "neutral ids: English (US)"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(sim::string_table_language(c.ui, c.system, 2), c.expected) << c.why;
    }
    // No language has the block of id 100: nothing to choose.
    EXPECT_EQ(sim::string_table_language(0x0409, 0x0409, 100), -1);
}

TEST_F(StringTableTest, LoadStringDeliversTheChosenLanguage)
{
    use_languages(0x0807, 0x0807);
    EXPECT_EQ(load(6), "Das Installationsprogramm konnte nicht gestartet werden.");
    use_languages(0x0C04, 0x0C04);
    EXPECT_EQ(load(1), "Setup.exe");
    EXPECT_EQ(hex_of(load(6)), hex_of(bytes("B5 4C AA 6B B1 D2 B0 CA A6 77 B8 CB B5 7B A6 A1 A1 43")))
        << "Taiwan's text in code page 950";
}

TEST_F(StringTableTest, EnglishTextsAreExact)
{
    const struct {
        uint32_t id;
        const char* text;
    } cases[] = {
        {1, "Setup.exe"},
        {2, "This software does not work on your operating system. \nClick OK to exit setup."},
        {3, "The setup program has detected that some of the driver files are missing. Click OK to exit setup."},
        {4, "You are attempting to install a driver that is the same version as the one that is currently "
            "installed on your system.  Do you wish to proceed with the installation?"},
        {5, "You are attempting to install a driver that is an older version than the one that is currently "
            "installed on your system.  Do you wish to proceed with the installation?"},
        {6, "Could not launch the installer."},
    };
    for (const auto& c : cases) EXPECT_EQ(load(c.id), c.text) << "id " << c.id;
}

TEST_F(StringTableTest, TextsArriveInTheSystemAnsiCodePage)
{
    const struct {
        uint16_t ui;
        uint16_t system;
        uint32_t code_page;  // machine setting; 0 follows the system language
        const char* expected;
        const char* why;
    } cases[] = {
        {0x0419, 0x0419, 0,
         "CD E5 20 F3 E4 E0 EB EE F1 FC 20 E7 E0 EF F3 F1 F2 E8 F2 FC 20 EF F0 EE E3 F0 E0 EC EC F3 20 F3 F1 F2 "
         "E0 ED EE E2 EA E8 2E",
         "Russian in 1251"},
        {0x040D, 0x040D, 0,
         "EC E0 20 F0 E9 FA EF 20 EC E4 F4 F2 E9 EC 20 E0 FA 20 FA E5 EB F0 E9 FA 20 E4 E4 FA F7 F0 E4 2E",
         "Hebrew in 1255"},
        {0x0411, 0x0411, 0,
         "83 43 83 93 83 58 83 67 81 5B 83 89 81 5B 82 F0 8B 4E 93 AE 82 C5 82 AB 82 DC 82 B9 82 F1 82 C5 82 B5 "
         "82 BD 81 42",
         "Japanese in 932"},
        {0x0419, 0x0409, 1251,
         "CD E5 20 F3 E4 E0 EB EE F1 FC 20 E7 E0 EF F3 F1 F2 E8 F2 FC 20 EF F0 EE E3 F0 E0 EC EC F3 20 F3 F1 F2 "
         "E0 ED EE E2 EA E8 2E",
         "an explicit code page overrides the system language's"},
        {0x0419, 0x0409, 0, "3F 3F 20 3F 3F 3F 3F 3F 3F 3F 20 3F 3F 3F 3F 3F 3F 3F 3F 3F 20 3F 3F 3F 3F 3F 3F 3F 3F "
                            "3F 20 3F 3F 3F 3F 3F 3F 3F 3F 3F 2E",
         "Russian on an English system: 1252 lacks Cyrillic, every letter is '?'"},
    };
    for (const auto& c : cases) {
        use_languages(c.ui, c.system);
        machine.ansi_code_page = c.code_page;
        EXPECT_EQ(hex_of(load(6)), hex_of(bytes(c.expected))) << c.why;
    }
}

TEST_F(StringTableTest, CutsAtCapacityLessOneAndTouchesNothingElse)
{
    const struct {
        uint16_t language;
        int capacity;
        int expected_length;
        const char* expected;  // hex
    } cases[] = {
        {0x0409, 1, 0, ""},
        {0x0409, 2, 1, "53"},
        {0x0409, 9, 8, "53 65 74 75 70 2E 65 78"},
        {0x0409, 10, 9, "53 65 74 75 70 2E 65 78 65"},
        // Japanese id 6: two bytes a character; an odd room leaves the last byte unused
        // rather than a lead byte without its trail byte.
        {0x0411, 2, 0, ""},
        {0x0411, 3, 2, "83 43"},
        {0x0411, 4, 2, "83 43"},
        {0x0411, 5, 4, "83 43 83 93"},
    };
    for (const auto& c : cases) {
        use_languages(c.language, c.language);
        char buffer[32];
        std::memset(buffer, 'x', sizeof buffer);
        const uint32_t id = c.language == 0x0409 ? 1 : 6;
        EXPECT_EQ(UI_LoadString(nullptr, id, buffer, c.capacity), c.expected_length)
            << std::hex << c.language << " capacity " << std::dec << c.capacity;
        EXPECT_EQ(hex_of(std::string(buffer, static_cast<size_t>(c.expected_length))), hex_of(bytes(c.expected)));
        EXPECT_EQ(buffer[c.expected_length], '\0');
        for (size_t i = static_cast<size_t>(c.expected_length) + 1; i < sizeof buffer; ++i) {
            ASSERT_EQ(buffer[i], 'x') << "byte " << i << " written, capacity " << c.capacity;
        }
    }
}

TEST_F(StringTableTest, MissingStringsAndBadBuffers)
{
    const struct {
        uint32_t id;
        int capacity;
        bool null_buffer;
        int expected_length;
        bool written;  // an empty string was stored
        const char* why;
    } cases[] = {
        {7, 260, false, 0, true, "id beyond the table, in a block that exists"},
        {0, 260, false, 0, true, "id 0 is never used"},
        {100, 260, false, 0, true, "a block no language has"},
        {1, 0, false, 0, false, "no room: nothing written"},
        {1, -5, false, 0, false, "negative capacity: nothing written"},
        {1, 260, true, 0, false, "no buffer"},
    };
    for (const auto& c : cases) {
        char buffer[260];
        std::memset(buffer, 'x', sizeof buffer);
        EXPECT_EQ(UI_LoadString(nullptr, c.id, c.null_buffer ? nullptr : buffer, c.capacity), c.expected_length)
            << c.why;
        EXPECT_EQ(buffer[0], c.written ? '\0' : 'x') << c.why;
        EXPECT_EQ(buffer[1], 'x') << c.why;
    }
    // Resource ids are 16 bits: Windows looks up the low word of the id.
    EXPECT_EQ(load(0x10001), "Setup.exe");
}

TEST(StringTableData, EveryLanguageHasItsSixEntriesAndFitsItsCodePage)
{
    EXPECT_EQ(sim::string_table_size, std::size(SHIPPED_LANGUAGES) * 6);
    for (const uint16_t language : SHIPPED_LANGUAGES) {
        const uint32_t code_page = sim::ansi_code_page_for_language(language);
        for (uint32_t id = 1; id <= 6; ++id) {
            const char16_t* text = sim::string_table_text(language, id);
            ASSERT_NE(text, nullptr) << std::hex << language << " id " << id;
            const std::u16string wide(text);
            ASSERT_FALSE(wide.empty()) << std::hex << language << " id " << id;
            if (id == 1) {
                EXPECT_EQ(wide, u"Setup.exe") << std::hex << language;
            }
            if (id == 2) {
                EXPECT_EQ(std::count(wide.begin(), wide.end(), u'\n'), 1) << std::hex << language;
            }
            // LoadStringA shows the text in the ANSI code page of its language: no
            // character may turn into '?' there.
            const std::string ansi = sim::utf16_to_ansi(wide, code_page);
            EXPECT_EQ(std::count(ansi.begin(), ansi.end(), '?'), std::count(wide.begin(), wide.end(), u'?'))
                << std::hex << language << " id " << std::dec << id << " in " << code_page;
            // The boxes load into 260-byte buffers and append " [%X]" (at most 11
            // bytes) to some texts: a translation must leave room for that.
            EXPECT_LE(ansi.size() + 11, 259u) << std::hex << language << " id " << std::dec << id;
            // And the transcript printer gets the very text back.
            EXPECT_EQ(sim::ansi_to_utf8(ansi, code_page), sim::utf16_to_ansi(wide, 65001))
                << std::hex << language << " id " << std::dec << id;
        }
        EXPECT_EQ(sim::string_table_text(language, 7), nullptr);
    }
}

TEST(CodePage, AnsiCodePageOfSystemLanguage)
{
    const struct {
        uint16_t language;
        uint32_t code_page;
    } cases[] = {
        {0x0409, 1252}, {0x0407, 1252}, {0x0C0A, 1252}, {0x0405, 1250}, {0x040E, 1250}, {0x0415, 1250},
        {0x0418, 1250}, {0x041A, 1250}, {0x041B, 1250}, {0x0424, 1250}, {0x081A, 1250}, {0x0C1A, 1251},
        {0x0419, 1251}, {0x0402, 1251}, {0x0408, 1253}, {0x041F, 1254}, {0x040D, 1255}, {0x0401, 1256},
        {0x0C01, 1256}, {0x0425, 1257}, {0x0426, 1257}, {0x0427, 1257}, {0x001E, 874},  {0x041E, 874},
        {0x0411, 932},  {0x0804, 936},  {0x1004, 936},  {0x0412, 949},  {0x0404, 950},  {0x0C04, 950},
        {0x1404, 950},  {0x0439, 1252},  // Hindi: no ANSI code page on Windows
    };
    for (const auto& c : cases) {
        EXPECT_EQ(sim::ansi_code_page_for_language(c.language), c.code_page) << std::hex << c.language;
    }
}

TEST(CodePage, ConversionsGiveDefinedResultsForBadInput)
{
    const struct {
        std::u16string wide;
        uint32_t code_page;
        const char* expected;  // hex
        const char* why;
    } to_ansi[] = {
        {u"a\xD800z", 1252, "61 3F 7A", "unpaired high surrogate"},
        {u"a\xDC00", 1252, "61 3F", "unpaired low surrogate at the end"},
        {u"\xE9\x4E2D!", 1252, "E9 3F 21", "a character 1252 lacks"},
        {u"\xE9\x4E2D!", 12345, "3F 3F 21", "unknown code page keeps ASCII only"},
        {u"\U0001D11E", 936, "3F", "outside the code page's repertoire"},
        {u"", 932, "", "empty"},
    };
    for (const auto& c : to_ansi) {
        EXPECT_EQ(hex_of(sim::utf16_to_ansi(c.wide, c.code_page)), hex_of(bytes(c.expected))) << c.why;
    }

    const struct {
        const char* ansi;  // hex
        uint32_t code_page;
        const char* expected;
        const char* why;
    } to_utf8[] = {
        {"41 82", 932, "A?", "lead byte without its trail byte"},
        {"82 A0 41", 932, "\xE3\x81\x82" "A", "a complete two-byte character"},
        {"41 AA 42", 1253, "A?B", "a byte 1253 does not define"},
        {"41 E9", 12345, "A?", "unknown code page keeps ASCII only"},
        {"E0 F9 E5", 1255, "\xD7\x90\xD7\xA9\xD7\x95", "the last letter of a stateful code page is flushed"},
        {"41 F8 88 80 80 80 C3 A9", 65001, "A\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xC3\xA9",
         "a 5-byte form is no UTF-8"},
        {"C0 AF ED A0 80 F4 90 80 80", 65001,
         "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD",
         "overlong, surrogate and past U+10FFFF"},
    };
    for (const auto& c : to_utf8) {
        EXPECT_EQ(sim::ansi_to_utf8(bytes(c.ansi), c.code_page), c.expected) << c.why;
    }
}

}  // namespace

// The update-package log turns the program's ANSI texts into UTF-16 this way.
TEST(CodePage, AnsiToUtf16MapsEachCharacterOnItsOwn)
{
    const struct {
        const char* ansi;  // hex
        uint32_t code_page;
        std::u16string expected;
        const char* why;
    } cases[] = {
        {"41 E9", 1252, u"A\u00E9", "Western"},
        {"F9 EC E5 ED", 1255, u"\u05E9\u05DC\u05D5\u05DD", "Hebrew letters"},
        {"F9 D1", 1255, u"\u05E9\u05C1", "a letter and its point stay two units"},
        {"61 EC", 1258, u"a\u0301", "a letter and its tone mark stay two units"},
        {"81 9D", 1252, u"\u0081\u009D", "bytes 1252 leaves undefined keep their value"},
        {"82 A0 41", 932, u"\u3042A", "a two-byte character is one unit"},
        {"41 82", 932, u"A\u30FB", "a lead byte without its trail byte: 932's default character"},
        {"41 82", 936, u"A?", "a lead byte without its trail byte: '?'"},
        {"41 E9", 12345, u"A?", "unknown code page keeps ASCII only"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(sim::ansi_to_utf16(bytes(c.ansi), c.code_page), c.expected) << c.why;
    }
}
