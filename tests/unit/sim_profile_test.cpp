// The private-profile reads of the simulated machine: tables of tricky INI
// text and the results Windows gives for them (Wine's profile conformance
// tests and the reverse-engineered Windows INI behaviour are the references).
#include <cstring>
#include <string>

#include "platform/profile.h"
#include "platform/sim/ini.h"
#include "support/sim_fixture.h"

namespace {

const char kFile[] = "C:\\Package\\setup.ini";

class SimProfileTest : public SimMachineTest {
protected:
    // A string read into a fresh buffer; the count goes to *count.
    std::string read(const char* section, const char* key, const char* default_value = "dflt",
                     uint32_t capacity = 100, uint32_t* count = nullptr, const char* file = kFile)
    {
        char buffer[300];
        std::memset(buffer, 'X', sizeof buffer);
        const uint32_t copied = PROFILE_GetString(section, key, default_value, buffer, capacity, file);
        if (count != nullptr) *count = copied;
        return std::string(buffer, copied);
    }

    // A section read: the whole buffer afterwards (unwritten bytes stay 'X').
    std::string read_section(const char* section, uint32_t capacity, uint32_t* count)
    {
        char buffer[300];
        std::memset(buffer, 'X', sizeof buffer);
        *count = PROFILE_GetSection(section, buffer, capacity, kFile);
        return std::string(buffer, capacity);
    }
};

const char kTricky[] =
    "junk=before any section\r\n"
    "[Settings]\r\n"
    "Plain=value\r\n"
    "  Spaced  =   inner  value   \r\n"
    "Tabbed\t=\tx\t\r\n"
    "Quoted=  \"  q  \"  \r\n"
    "Single='s'\r\n"
    "Nested=\"'n'\"\r\n"
    "Mismatch=\"m'\r\n"
    "Lone=\"\r\n"
    "Empty=\r\n"
    "Trailing=v ;not a comment\r\n"
    ";Comment=hidden\r\n"
    "   ;Indented=hidden\r\n"
    "#Hash=shown\r\n"
    "Dup=first\r\n"
    "dup=second\r\n"
    "NoEquals\r\n"
    "=nokey\r\n"
    "Eq=a=b\r\n"
    "\"QuotedKey\"=qk\r\n"
    "[settings]\r\n"
    "Second=unreachable\r\n"
    "[] trailing text\r\n"
    "k=empty section\r\n"
    "   [Other]ignored=1\r\n"
    "Key=other\r\n"
    "[Bracket]x]\r\n"
    "b=1\r\n"
    "[ NoClose  \r\n"
    "n=2\r\n"
    "[\xC9" "diteur]\r\n"
    "k=accent\r\n";

TEST_F(SimProfileTest, StringReadsFollowTheIniRules)
{
    write_file(kFile, kTricky);
    const struct {
        const char* section;
        const char* key;
        const char* expected;
    } cases[] = {
        {"Settings", "Plain", "value"},
        {"SETTINGS", "plain", "value"},
        {"  Settings  ", " Plain ", "value"},
        {"\tSettings", "Plain", "dflt"},  // only spaces are trimmed from the names passed in
        {"Settings", "Spaced", "inner  value"},
        {"Settings", "Tabbed", "x"},
        {"Settings", "Quoted", "  q  "},
        {"Settings", "Single", "s"},
        {"Settings", "Nested", "'n'"},
        {"Settings", "Mismatch", "\"m'"},
        {"Settings", "Lone", "\""},
        {"Settings", "Empty", ""},
        {"Settings", "Trailing", "v ;not a comment"},
        {"Settings", ";Comment", "dflt"},
        {"Settings", "Comment", "dflt"},
        {"Settings", ";Indented", "dflt"},
        {"Settings", "#Hash", "shown"},
        {"Settings", "Dup", "first"},
        {"Settings", "NoEquals", "dflt"},
        {"Settings", "", "nokey"},
        {"Settings", "Eq", "a=b"},
        {"Settings", "\"QuotedKey\"", "qk"},
        {"Settings", "QuotedKey", "dflt"},
        {"Settings", "Second", "dflt"},  // only the first of two same-named sections counts
        {"", "k", "empty section"},
        {"", "junk", "dflt"},  // lines before the first section are out of reach
        {"Other", "Key", "other"},
        {"Other", "ignored", "dflt"},
        {"Bracket", "b", "1"},
        {"Bracket]x", "b", "dflt"},
        {"NoClose", "n", "2"},
        {"\xE9" "DITEUR", "K", "accent"},  // Windows-1252 letters fold too
        {"Missing", "Plain", "dflt"},
    };
    for (const auto& c : cases) {
        uint32_t count = 0;
        EXPECT_EQ(read(c.section, c.key, "dflt", 100, &count), c.expected) << "[" << c.section << "] " << c.key;
        EXPECT_EQ(count, std::strlen(c.expected)) << "[" << c.section << "] " << c.key;
    }
}

TEST_F(SimProfileTest, EveryLineEndingSplitsLines)
{
    for (const char* ending : {"\r\n", "\n", "\r"}) {
        const std::string e = ending;
        write_file(kFile, "[S]" + e + "a=1" + e + e + "b = 2 " + e + "[T]" + e + "c=3");
        EXPECT_EQ(read("S", "a"), "1") << "ending " << int(ending[0]);
        EXPECT_EQ(read("S", "b"), "2") << "ending " << int(ending[0]);
        EXPECT_EQ(read("T", "c"), "3") << "ending " << int(ending[0]);
    }
}

TEST_F(SimProfileTest, CutsCountsAndLastErrors)
{
    write_file(kFile, "[S]\r\nk=value\r\n");
    const struct {
        const char* key;
        const char* default_value;
        uint32_t capacity;
        const char* expected;
        uint32_t error;
    } cases[] = {
        {"k", "dflt", 100, "value", ERR_SUCCESS},
        {"k", "dflt", 6, "value", ERR_SUCCESS},
        {"k", "dflt", 5, "valu", ERR_MORE_DATA},
        {"k", "dflt", 1, "", ERR_MORE_DATA},
        {"missing", "dflt", 100, "dflt", ERR_FILE_NOT_FOUND},
        {"missing", "dflt", 3, "df", ERR_FILE_NOT_FOUND},
        {"missing", "  one two  ", 100, "  one two", ERR_FILE_NOT_FOUND},
        {"missing", "tab\t", 100, "tab\t", ERR_FILE_NOT_FOUND},
        {"missing", nullptr, 100, "", ERR_FILE_NOT_FOUND},
    };
    for (const auto& c : cases) {
        machine.last_error = 0xDEADBEEF;
        uint32_t count = 0;
        const std::string got = read("S", c.key, c.default_value, c.capacity, &count);
        EXPECT_EQ(got, c.expected) << c.key << " capacity " << c.capacity;
        EXPECT_EQ(count, std::strlen(c.expected)) << c.key << " capacity " << c.capacity;
        EXPECT_EQ(machine.last_error, c.error) << c.key << " capacity " << c.capacity;
    }
}

TEST_F(SimProfileTest, ZeroCapacityWritesNothing)
{
    write_file(kFile, "[S]\r\nk=value\r\n");
    char buffer[8] = "kumquat";
    EXPECT_EQ(PROFILE_GetString("S", "k", "dflt", buffer, 0, kFile), 0u);
    EXPECT_STREQ(buffer, "kumquat");
    EXPECT_EQ(machine.last_error, ERR_MORE_DATA);
}

TEST_F(SimProfileTest, FileLookupAndItsErrors)
{
    write_file("C:\\Package\\setup.ini", "[S]\r\nk=package\r\n");
    write_file("C:\\Windows\\loose.ini", "[S]\r\nk=windows\r\n");
    write_file("C:\\Windows\\win.ini", "[S]\r\nk=win\r\n");
    const struct {
        const char* file;
        const char* expected;
        uint32_t error;
    } cases[] = {
        {"C:\\PACKAGE\\.\\Setup.INI", "package", ERR_SUCCESS},
        {"C:/Package/sub/../setup.ini", "package", ERR_SUCCESS},
        {"C:\\Package\\setup.ini.", "package", ERR_SUCCESS},
        {"loose.ini", "windows", ERR_SUCCESS},  // no folder: the Windows folder
        {nullptr, "win", ERR_SUCCESS},
        {"C:\\Package\\other.ini", "dflt", ERR_FILE_NOT_FOUND},
        {"C:\\Nowhere\\setup.ini", "dflt", ERR_PATH_NOT_FOUND},
        {"C:\\Package", "dflt", ERR_ACCESS_DENIED},
        {"", "dflt", ERR_ACCESS_DENIED},  // the Windows folder itself
        {"Q:\\setup.ini", "dflt", ERR_PATH_NOT_FOUND},
    };
    for (const auto& c : cases) {
        machine.last_error = 0xDEADBEEF;
        EXPECT_EQ(read("S", "k", "dflt", 100, nullptr, c.file), c.expected) << (c.file ? c.file : "NULL");
        EXPECT_EQ(machine.last_error, c.error) << (c.file ? c.file : "NULL");
    }
}

TEST_F(SimProfileTest, Utf16WithByteOrderMarkIsReadUtf8MarkIsNot)
{
    // "[S]\r\nk=v\r\nname=Café\r\nsym=€中\r\n" in UTF-16LE.
    const char16_t text[] = u"[S]\r\nk=v\r\nname=Caf\u00e9\r\nsym=\u20ac\u4e2d\r\n";
    std::string utf16 = "\xFF\xFE";
    for (const char16_t unit : std::u16string(text)) {
        utf16 += static_cast<char>(unit & 0xFF);
        utf16 += static_cast<char>(unit >> 8);
    }
    write_file(kFile, utf16);
    EXPECT_EQ(read("S", "k"), "v");
    EXPECT_EQ(read("S", "name"), "Caf\xE9");
    EXPECT_EQ(read("S", "sym"), "\x80?");

    // The conversion is to the machine's ANSI code page: Cyrillic here.
    machine.system_language = 0x0419;
    const char16_t russian[] = u"[S]\r\nru=\u041f\u0440\u0438\r\n";
    utf16 = "\xFF\xFE";
    for (const char16_t unit : std::u16string(russian)) {
        utf16 += static_cast<char>(unit & 0xFF);
        utf16 += static_cast<char>(unit >> 8);
    }
    write_file(kFile, utf16);
    EXPECT_EQ(read("S", "ru"), "\xCF\xF0\xE8");

    // Big-endian UTF-16 is not understood at all.
    write_file(kFile, std::string("\xFE\xFF\0[\0S\0]", 8));
    EXPECT_EQ(read("S", "k"), "dflt");

    // The UTF-8 mark spoils the first line only.
    write_file(kFile, "\xEF\xBB\xBF[S]\r\nk=s\r\n[T]\r\nk=t\r\n");
    EXPECT_EQ(read("S", "k"), "dflt");
    EXPECT_EQ(read("T", "k"), "t");
}

// Settings files as they turn up in the field, read as Windows reads them
// (tests/wine/README.md says where Wine reads them otherwise).
TEST_F(SimProfileTest, FieldConditionsReadAsWindowsReadsThem)
{
    const struct {
        std::string content;
        const char* section;
        const char* key;
        const char* expected;
    } rows[] = {
        {"[W732\r\nSupport=12\r\n", "W732", "Support", "12"},      // no "]": the name runs to the line's end
        {"[W732]]\r\nSupport=12\r\n", "W732", "Support", "12"},    // the name ends at the first "]"
        {"[W732]]\r\nSupport=12\r\n", "W732]", "Support", "dflt"},
        {"[W732]\r\nPath=.\\x.exe\x1A", "W732", "Path", ".\\x.exe"},  // a "copy" ends the file with Ctrl-Z
        {"[W732]\r\nPath=a\x1A b\r\n", "W732", "Path", "a\x1A b"},    // inside a value it stays
        {"[W732]\x1A\r\n\x1A Support \x1A= 12\r\n\x1A", "W732", "Support", "12"},
        {"\xEF\xBB\xBF[W732]\r\nSupport=12\r\n[W764]\r\nSupport=9\r\n", "W732", "Support", "dflt"},
        {"\xEF\xBB\xBF[W732]\r\nSupport=12\r\n[W764]\r\nSupport=9\r\n", "W764", "Support", "9"},
        {"\xEF\xBB\xBF\r\n[W732]\r\nSupport=12\r\n", "W732", "Support", "12"},  // a mark on a line of its own
    };
    for (const auto& row : rows) {
        write_file(kFile, row.content);
        EXPECT_EQ(read(row.section, row.key), row.expected) << row.content << " [" << row.section << "]";
    }
}

TEST_F(SimProfileTest, IntegerReads)
{
    const struct {
        const char* value;  // nullptr: the key is missing
        int32_t default_value;
        uint32_t expected;
    } cases[] = {
        {"-1", 1, 4294967295u},
        {"1", -1, 1},
        {"+1", -1, 1},
        {"4294967296", 1, 0},
        {"4294967297", -1, 1},
        {"-4294967297", 1, 4294967295u},
        {"42A94967297", -1, 42},
        {"B4294967297", -1, 0},
        {"010", -1, 10},
        {"\"12\"", -1, 12},
        {"\" 12\"", -1, 12},
        {"0x10", -1, 16},
        {"0x1G", -1, 1},
        {"-0x10", -1, 4294967280u},
        {"0X10", -1, 0},  // only the lower-case prefix counts
        {"0o17", -1, 15},
        {"0b101", -1, 5},
        {"0x", -1, 0},
        {"", 7, 7},
        {"\"\"", 7, 7},
        {nullptr, 7, 7},
        {nullptr, -2, 4294967294u},
    };
    for (const auto& c : cases) {
        write_file(kFile, c.value != nullptr ? std::string("[S]\r\nk=") + c.value + "\r\n" : "[S]\r\nother=1\r\n");
        EXPECT_EQ(PROFILE_GetInt("S", "k", c.default_value, kFile), c.expected) << (c.value ? c.value : "missing");
    }
    EXPECT_EQ(PROFILE_GetInt("S", "k", 5, "C:\\Package\\none.ini"), 5u);
    EXPECT_EQ(PROFILE_GetInt(nullptr, "k", 5, kFile), 5u);
    EXPECT_EQ(PROFILE_GetInt("S", nullptr, 5, kFile), 5u);
}

const char kSections[] =
    "[section1]\r\nname1=val1\r\nname2=\r\nname3\r\nname4=val4\r\n"
    "[section2]\r\n"
    "[section3]\r\n=val5\r\n"
    "[section4]\r\n  a  =  b c  \r\n;comment=x\r\n  ;indented comment\r\n#hash=y\r\nq=\"quoted\"\r\n"
    "[section1]\r\nname5=unreachable\r\n";

TEST_F(SimProfileTest, SectionReads)
{
    write_file(kFile, kSections);
    const struct {
        const char* section;
        uint32_t capacity;
        std::string written;  // the bytes written, both final NULs included
        uint32_t count;
        uint32_t error;
    } cases[] = {
        {"section1", 100, std::string("name1=val1\0name2=\0name3\0name4=val4\0\0", 36), 35, ERR_SUCCESS},
        {"SECTION1", 36, std::string("name1=val1\0name2=\0name3\0name4=val4\0\0", 36), 35, ERR_SUCCESS},
        {"section1", 35, std::string("name1=val1\0name2=\0name3\0name4=val\0\0", 35), 33, ERR_MORE_DATA},
        {"section1", 24, std::string("name1=val1\0name2=\0name\0\0", 24), 22, ERR_MORE_DATA},
        {"section1", 2, std::string("\0\0", 2), 0, ERR_MORE_DATA},
        {"section1", 1, std::string("\0", 1), 0, ERR_MORE_DATA},
        {"section2", 100, std::string("\0\0", 2), 0, ERR_SUCCESS},
        {"section3", 100, std::string("=val5\0\0", 7), 6, ERR_SUCCESS},
        {" section4 ", 100, std::string("a=b c\0#hash=y\0q=\"quoted\"\0\0", 26), 25, ERR_SUCCESS},
        {"missing", 100, std::string("\0\0", 2), 0, ERR_FILE_NOT_FOUND},
    };
    for (const auto& c : cases) {
        machine.last_error = 0xDEADBEEF;
        uint32_t count = 0;
        const std::string got = read_section(c.section, c.capacity, &count);
        EXPECT_EQ(count, c.count) << c.section << " capacity " << c.capacity;
        EXPECT_EQ(got, c.written + std::string(c.capacity - c.written.size(), 'X'))
            << c.section << " capacity " << c.capacity;
        EXPECT_EQ(machine.last_error, c.error) << c.section << " capacity " << c.capacity;
    }
}

TEST_F(SimProfileTest, SectionReadEdgeCases)
{
    write_file(kFile, kSections);
    char buffer[8] = "kumquat";
    EXPECT_EQ(PROFILE_GetSection("section1", buffer, 0, kFile), 0u);
    EXPECT_STREQ(buffer, "kumquat");

    EXPECT_EQ(PROFILE_GetSection(nullptr, buffer, sizeof buffer, kFile), 0u);
    EXPECT_EQ(machine.last_error, ERR_INVALID_PARAMETER);

    std::memset(buffer, 'X', sizeof buffer);
    EXPECT_EQ(PROFILE_GetSection("section1", buffer, sizeof buffer, "C:\\Package\\none.ini"), 0u);
    EXPECT_EQ(std::string(buffer, 2), std::string("\0\0", 2));
    EXPECT_EQ(machine.last_error, ERR_FILE_NOT_FOUND);
}

TEST_F(SimProfileTest, NameListingsWithoutSectionOrKey)
{
    write_file(kFile, "[a]\r\nx=1\r\n[b]\r\n[a]\r\n[]\r\n");
    uint32_t count = 0;
    EXPECT_EQ(read(nullptr, "ignored", "dflt", 100, &count), std::string("a\0b\0a\0", 6));
    EXPECT_EQ(count, 6u);

    write_file(kFile, kSections);
    EXPECT_EQ(read("section1", nullptr, "dflt", 100, &count), std::string("name1\0name2\0name4\0", 18));
    EXPECT_EQ(count, 18u);
    EXPECT_EQ(read("section1", nullptr, "dflt", 16, &count), std::string("name1\0name2\0na", 14));
    EXPECT_EQ(count, 14u);
    EXPECT_EQ(read("section2", nullptr, "dflt ", 100, &count), "dflt");  // nothing to list: the default
}

TEST(SimIniParser, KeepsTheDocumentForOtherReaders)
{
    const sim::IniDocument document =
        sim::parse_ini("k=v\r\n[Machine]\r\nos = 10.0 \r\n;note\r\nflag\r\n[Drives]\r\nC=\"/tmp/c\"\r\n");
    ASSERT_EQ(document.preamble.size(), 1u);
    ASSERT_EQ(document.sections.size(), 2u);
    const sim::IniSection& machine = document.sections[0];
    EXPECT_EQ(machine.name, "Machine");
    ASSERT_EQ(machine.entries.size(), 3u);
    EXPECT_EQ(machine.entries[0].name, "os");
    EXPECT_EQ(machine.entries[0].value, "10.0");
    EXPECT_TRUE(machine.entries[0].has_value);
    EXPECT_TRUE(machine.entries[1].comment);
    EXPECT_FALSE(machine.entries[2].has_value);
    EXPECT_EQ(sim::ini_lookup(document, "drives", "c"), std::optional<std::string>("/tmp/c"));
    EXPECT_EQ(sim::ini_lookup(document, "Drives", "D"), std::nullopt);
    EXPECT_EQ(sim::ini_lookup(document, "Nope", "C"), std::nullopt);
}

}  // namespace

namespace {

// The parsed file is kept between reads, but a file that changed is read
// anew at once, even when its size stayed the same.
TEST_F(SimProfileTest, ChangedFileIsReadAgain)
{
    std::string values;
    for (const char* content : {"[S]\r\nk=one\r\n", "[S]\r\nk=two\r\n", "[S]\r\nk=two\r\n", "[T]\r\nk=six\r\n"}) {
        write_file(kFile, content);
        values += read("S", "k") + " ";
    }
    EXPECT_EQ(values, "one two two dflt ");
}

}  // namespace
