// The INF reader of the simulated machine: one row per rule, each with the
// outcome Wine 8.0's setupapi gave for the same bytes.
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/inf.h"
#include "platform/sim/machine.h"
#include "support/sim_fixture.h"

namespace {

const char kInf[] = "C:\\Package\\t.inf";
const std::string kHead = "[Version]\r\nSignature=$Chicago$\r\n";

// ASCII text as a UTF-16LE file, with its byte-order mark or without.
std::string utf16le(const std::string& text, const std::string& mark = "\xFF\xFE")
{
    std::string bytes = mark;
    for (const char c : text) bytes += std::string{c, '\0'};
    return bytes;
}

class SimInfTest : public SimMachineTest {
protected:
    // What opening the INF and reading a field of the first line with the key
    // gives: "open 0x...", "no line", "no field", "small (required n)" or the text.
    std::string outcome(const std::string& content, const char* section, const char* key, uint32_t field,
                        uint32_t capacity = 64)
    {
        write_file(kInf, content);
        INF_Handle inf = INF_Open(kInf, INF_WIN4_STYLE);
        if (inf == nullptr) {
            char code[32];
            std::snprintf(code, sizeof code, "open 0x%X", sim::current().last_error);
            return code;
        }
        std::string result;
        INF_Line line{};
        char buffer[64];
        std::memset(buffer, 'X', sizeof buffer);
        uint32_t required = 0;
        if (!INF_FindFirstLine(inf, section, key, &line)) {
            result = "no line";
        } else if (INF_GetStringField(&line, field, buffer, capacity, &required)) {
            result = buffer;
        } else if (sim::current().last_error == 122) {
            result = "small (required " + std::to_string(required) + ")" + (buffer[0] == 'X' ? "" : " written");
        } else {
            result = "no field";
        }
        INF_Close(inf);
        return result;
    }
};

TEST_F(SimInfTest, ReadsFieldsBySetupApiRules)
{
    const struct {
        std::string content;
        const char* expected;  // field 2 of the first DriverVer line of [Version]
    } rows[] = {
        {"[Version]\r\nSignature=\"$Windows NT$\"\r\nDriverVer=11/20/2026,19.2.4.7\r\n", "19.2.4.7"},
        {"[Version]\r\nSignature=$windows 95$\r\nDriverVer=d,1\r\n", "1"},
        {kHead + "DriverVer=d,%v%\r\n[Strings]\r\nV=\"1.2.3.4\"\r\n", "1.2.3.4"},
        {kHead + "%k%=d,5.6.7.8\r\n[Strings]\r\nk=DriverVer\r\n", "5.6.7.8"},       // keys are replaced too
        {kHead + "DriverVer=d, \\\r\n  9.8.7.6 ; c\r\n", "9.8.7.6"},                 // continued line, comment
        {kHead + "DriverVer=d,1.2\\\r\n.3.4\r\n", "1.2.3.4"},
        {kHead + "DriverVer=d,1.2 \\ x\r\n", "1.2 \\ x"},                           // not at the line's end
        {kHead + "DriverVer=d,1\\2\\ \r\n", "1\\2"},
        {kHead + "DriverVer=d,\"1.2;3\"\"4\"\r\n", "1.2;3\"4"},
        {kHead + "DriverVer=d,\"1.2.3.4\r\n", "1.2.3.4\r"},                          // open quote: up to LF
        {kHead + "  DriverVer  =  d  ,  \" 1.2 \"  x \r\n", " 1.2   x"},
        {kHead + "DriverVer = a , 1.2 3  \r\n", "1.2 3"},
        {kHead + "DriverVer=d\r\n", "no field"},
        {kHead + "DriverVer=d,\r\n", ""},
        {kHead + "[version]\r\ndriverver=a,%%1%x%\r\n", "%1%x%"},                   // sections merge; %% and unknown
        {kHead + "DriverVer=a,%V%\r\n[Strings]\r\nv=%W%\r\nw=x\r\n", "%W%"},          // not replaced again
        {kHead + "DriverVer=d,a%V%b%V\r\n[Strings]\r\nv=1\r\n", "a1b%V"},
        {kHead + "DriverVer=d,%V%\r\n[Strings]\r\nv=\r\n", ""},
        {kHead + "DriverVer,a,1.2.3.4\r\nDriverVer=b,5.6.7.8\r\n", "5.6.7.8"},      // a comma before "=": no key
        {kHead + "\"Driver\"Ver=a,1.2.3.4\r\n", "1.2.3.4"},
        {kHead + "DriverVer=d,1.2\x1a.3.4\r\n", "1.2"},                               // Ctrl-Z ends the file
        {"; c\r\n\r\n" + kHead + "DriverVer=a,1.2.3.4\r\n", "1.2.3.4"},
        {"x=1\r\n" + kHead + "DriverVer=d,1.2.3.4\r\n[Strings]\r\n", "1.2.3.4"},
        {"[Version]\r\nSignature = \"$Windows NT$\" ; c\r\nDriverVer=d,1\r\n", "1"},
        {"[Version]\r\nSignature=$Windows NT$\r\nDriverVer=d,1\r\n[Version]\r\nDriverVer=d,2\r\n", "1"},
        {utf16le("[Version]\nSignature=$Chicago$\nDriverVer=d,1.2"), "1.2"},
        // Refused opens.
        {"[Version]\r\nDriverVer=d,1.2.3.4\r\n", "open 0xE0000100"},
        {"[Version]\r\nSignature=foo\r\nSignature=$Windows NT$\r\nDriverVer=d,1\r\n", "open 0xE0000100"},
        {"[Version]\r\nSignature=%s%\r\nDriverVer=d,1\r\n[Strings]\r\ns=$Chicago$\r\n", "open 0xE0000100"},
        {"[ Version ]\r\nSignature=$Chicago$\r\nDriverVer=d,1.2.3.4\r\n", "open 0xE0000100"},
        {"[Version]\rSignature=$Chicago$\rDriverVer=a,1.2\r", "open 0xE0000100"},      // CR alone ends no line
        {"x=1\r\n" + kHead + "DriverVer=d,1.2.3.4\r\n", "open 0xE0000000"},
        {"[Version\r\nSignature=$Chicago$\r\n", "open 0xE0000001"},
        {"[" + std::string(256, 'n') + "]\r\n" + kHead, "open 0xE0000002"},
        {"", "open 0x3EE"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(outcome(row.content, "Version", "DriverVer", 2), row.expected) << row.content;
    }
}

// Directory ids and encodings: the ids as Windows documents them (and as
// Wine's conformance tests show %24% on Windows), the encodings as Wine reads
// them, Windows documenting only ANSI and UTF-16LE.
TEST_F(SimInfTest, DirectoryIdsAndEncodings)
{
    const std::string strings = "[Strings]\r\n24=mine\r\nroot=\"C:\\\"\r\n";
    const struct {
        std::string content;
        const char* expected;
    } rows[] = {
        {kHead + "DriverVer=d,%10%\r\n", "C:\\Windows"},
        {kHead + "DriverVer=d,%11%\\x.dll\r\n", "C:\\Windows\\System32\\x.dll"},
        {kHead + "DriverVer=d,\"%24%\"\r\n", "C:\\"},
        {kHead + "DriverVer=d,%24%\\x\r\n", "C:\\x"},  // the id's own "\\" goes before a "\\"
        {kHead + "DriverVer=d,%24%\\\\x\r\n", "C:\\\\x"},
        {kHead + "DriverVer=d,%root%\\x\r\n" + strings, "C:\\\\x"},  // a [Strings] text keeps it
        {kHead + "DriverVer=d,%24%\r\n" + strings, "mine"},          // [Strings] comes first
        {kHead + "DriverVer=d,%01%\r\n", "C:\\Package\\"},            // the INF's own folder
        {kHead + "DriverVer=d,%-1%x\r\n", "x"},
        {kHead + "DriverVer=d,%99%.%1x%\r\n", "%99%.%1x%"},
        {"\xEF\xBB\xBF" + kHead + "DriverVer=d,\xC3\xA9\r\n", "\xE9"},  // UTF-8 mark: UTF-8, then ANSI
        {utf16le(kHead + "DriverVer=d,1.2", ""), "1.2"},              // UTF-16LE without a mark
        {utf16le(kHead + "DriverVer=d,1.2") + "x", "open 0xE0000000"},  // odd length: never UTF-16
        {"\xFE\xFF" + utf16le(kHead + "DriverVer=d,1.2", "").substr(1) + '\0', "open 0xE0000000"},  // nor UTF-16BE
    };
    for (const auto& row : rows) {
        EXPECT_EQ(outcome(row.content, "Version", "DriverVer", 2), row.expected) << row.content;
    }
}

TEST_F(SimInfTest, FindsNoLineOutsideTheSectionOrUnderAnotherKey)
{
    const std::string inf = kHead + "DriverVer=d,1\r\n";
    EXPECT_EQ(outcome(inf, "Strings", "DriverVer", 2), "no line");
    EXPECT_EQ(outcome(inf, "Version", "Driver", 2), "no line");
    EXPECT_EQ(outcome(inf, "%q%", "DriverVer", 2), "no line");  // section names are never replaced
}

TEST_F(SimInfTest, KeyIsFieldZeroAndALoneWordIsItsOwnKey)
{
    EXPECT_EQ(outcome(kHead + "%k%=d,1\r\n[Strings]\r\nk=DriverVer\r\n", "Version", "DriverVer", 0), "DriverVer");
    EXPECT_EQ(outcome(kHead + "DriverVer\r\n", "Version", "DriverVer", 1), "DriverVer");
}

TEST_F(SimInfTest, FieldThatDoesNotFitFailsAndLeavesTheBuffer)
{
    EXPECT_EQ(outcome(kHead + "DriverVer=d,123456789012345678\r\n", "Version", "DriverVer", 2, 16),
              "small (required 19)");
    EXPECT_EQ(outcome(kHead + "DriverVer=d,123456789012345\r\n", "Version", "DriverVer", 2, 16), "123456789012345");
}

TEST_F(SimInfTest, MissingFileOrFolderFailsWithTheFileError)
{
    write_file(kInf, kHead);
    EXPECT_EQ(INF_Open("C:\\Package\\none.inf", INF_WIN4_STYLE), nullptr);
    EXPECT_EQ(sim::current().last_error, 2u);
    EXPECT_EQ(INF_Open("C:\\Nowhere\\none.inf", INF_WIN4_STYLE), nullptr);
    EXPECT_EQ(sim::current().last_error, 3u);
}

// Bytes read before are parsed only once, yet every open reads the file as it
// is then, from its own folder, in the machine's code page of the moment.
TEST_F(SimInfTest, EachOpenReadsItsFileAsItIsNow)
{
    const std::string folder_line = kHead + "DriverVer=d,%01%\r\n";
    const std::string utf8_line = "\xEF\xBB\xBF" + kHead + "DriverVer=d,\xD0\x96\r\n";  // a Cyrillic letter
    const struct {
        const char* path;
        std::string content;
        uint32_t code_page;
        uint32_t style;
        const char* expected;
    } rows[] = {
        {"C:\\One\\t.inf", folder_line, 1252, INF_WIN4_STYLE, "C:\\One\\"},
        {"C:\\Two\\t.inf", folder_line, 1252, INF_WIN4_STYLE, "C:\\Two\\"},  // the same bytes elsewhere
        {"C:\\One\\t.inf", utf8_line, 1252, INF_WIN4_STYLE, "?"},
        {"C:\\One\\t.inf", utf8_line, 1251, INF_WIN4_STYLE, "\xC6"},        // another code page
        {"C:\\One\\t.inf", "[Version]\r\nDriverVer=d,3\r\n", 1252, 0, "3"},  // rewritten
        {"C:\\One\\t.inf", "[Version]\r\nDriverVer=d,3\r\n", 1252, INF_WIN4_STYLE, "open 0xE0000100"},
    };
    for (const auto& row : rows) {
        write_file(row.path, row.content);
        sim::current().ansi_code_page = row.code_page;
        std::string result;
        INF_Handle inf = INF_Open(row.path, row.style);
        INF_Line line{};
        char buffer[64] = "";
        if (inf == nullptr) {
            char code[32];
            std::snprintf(code, sizeof code, "open 0x%X", sim::current().last_error);
            result = code;
        } else if (INF_FindFirstLine(inf, "Version", "DriverVer", &line) &&
                   INF_GetStringField(&line, 2, buffer, sizeof buffer, nullptr)) {
            result = buffer;
        }
        INF_Close(inf);
        EXPECT_EQ(result, row.expected) << row.path << " " << row.content;
    }
}

}  // namespace
