// The shell path functions and the full-path normalisation of the simulated
// machine, against tables of the shell's own results (quirks included).
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/path.h"
#include "platform/sim/drives.h"
#include "platform/sim/machine.h"

namespace {

// The functions read the machine's ANSI code page: a US-English machine
// (1252) unless a test gives it another.
class OnSimulatedMachine : public ::testing::Test {
protected:
    void SetUp() override { sim::install(&machine); }
    void TearDown() override { sim::install(nullptr); }
    sim::Machine machine;
};
class SimPathAppend : public OnSimulatedMachine {};
class SimPathRemoveFileSpec : public OnSimulatedMachine {};
class SimPathRemoveExtension : public OnSimulatedMachine {};
class SimPathAddExtension : public OnSimulatedMachine {};
class SimPathStripPath : public OnSimulatedMachine {};
class SimCanonicalWindowsPath : public OnSimulatedMachine {};
class SimPathDoubleByte : public OnSimulatedMachine {};

struct AppendCase {
    const char* path;
    const char* more;
    bool result;
    const char* expected;
};

std::string append(const char* start, const char* more, bool* result)
{
    char buffer[PATH_CAPACITY];
    std::strcpy(buffer, start);
    *result = PATH_Append(buffer, more);
    return buffer;
}

TEST_F(SimPathAppend, JoinsAndCanonicalises)
{
    const AppendCase cases[] = {
        {"C:\\one", "two\\three", true, "C:\\one\\two\\three"},
        {"C:\\one\\", "two\\three", true, "C:\\one\\two\\three"},
        {"C:\\one", "\\two\\three", true, "C:\\one\\two\\three"},
        {"C:\\one", "two\\three\\", true, "C:\\one\\two\\three\\"},
        {"C:\\one", "", true, "C:\\one"},
        {"", "two\\three", true, "two\\three"},
        {"", "", true, "\\"},
        {"C:", "one", true, "C:\\one"},
        {"C:\\", "..", true, "C:\\"},
        {"C:\\", "..\\..\\x", true, "C:\\x"},
        {"C:\\one", "..\\two", true, "C:\\two"},
        {"C:\\one\\two", ".\\three\\..\\four", true, "C:\\one\\two\\four"},
        {"C:\\Package", "Drivers\\.\\x64", true, "C:\\Package\\Drivers\\x64"},
        {"C: \\ one ", "two\\three", true, "C: \\ one \\two\\three"},
        {"C:\\one", " two \\ three ", true, "C:\\one\\ two \\ three "},
        // "/" is no separator: "a/.." is an ordinary segment name.
        {"C:\\one", "two/three", true, "C:\\one\\two/three"},
        {"C:\\one", "a/..\\b", true, "C:\\one\\a/..\\b"},
        // An absolute second part replaces the first.
        {"C:\\one", "D:\\two", true, "D:\\two"},
        {"C:\\one", "\\\\server\\share", true, "\\\\server\\share"},
        // Nothing left after ".\": the root, never an empty success.
        {".\\", "", true, "\\"},
    };
    for (const AppendCase& c : cases) {
        bool result = false;
        const std::string got = append(c.path, c.more, &result);
        EXPECT_EQ(result, c.result) << c.path << " + " << c.more;
        EXPECT_EQ(got, c.expected) << c.path << " + " << c.more;
    }
}

TEST_F(SimPathAppend, NullArgumentsFailAndKeepThePath)
{
    char buffer[PATH_CAPACITY] = "C:\\one";
    EXPECT_FALSE(PATH_Append(buffer, nullptr));
    EXPECT_STREQ(buffer, "C:\\one");
    EXPECT_FALSE(PATH_Append(nullptr, "two"));
}

TEST_F(SimPathAppend, TooLongFailsAndEmptiesThePath)
{
    // 3 + 255 + 1 + 1 = 260 characters: one too many.
    const std::string folder = "C:\\" + std::string(255, 'a');
    char buffer[PATH_CAPACITY];
    std::strcpy(buffer, folder.c_str());
    EXPECT_FALSE(PATH_Append(buffer, "b"));
    EXPECT_STREQ(buffer, "");

    // 259 characters still fit.
    std::strcpy(buffer, ("C:\\" + std::string(254, 'a')).c_str());
    EXPECT_TRUE(PATH_Append(buffer, "b"));
    EXPECT_EQ(std::strlen(buffer), 259u);

    // A second part of 260 characters fails on its own.
    std::strcpy(buffer, "C:\\one");
    EXPECT_FALSE(PATH_Append(buffer, std::string(260, 'x').c_str()));
    EXPECT_STREQ(buffer, "");

    // The length counts before "." and ".." are resolved.
    std::strcpy(buffer, ("C:\\" + std::string(200, 'a')).c_str());
    EXPECT_FALSE(PATH_Append(buffer, ("x\\..\\" + std::string(60, 'b')).c_str()));
    EXPECT_STREQ(buffer, "");
}

TEST_F(SimPathAppend, UnterminatedBufferFailsWithoutReadingPastIt)
{
    char buffer[PATH_CAPACITY];
    std::memset(buffer, 'a', sizeof buffer);
    EXPECT_FALSE(PATH_Append(buffer, "b"));
    EXPECT_EQ(buffer[0], '\0');
}

struct EditCase {
    const char* path;
    bool result;
    const char* expected;
};

TEST_F(SimPathRemoveFileSpec, CutsTheLastSegmentButNotTheRoot)
{
    const EditCase cases[] = {
        {"C:\\TEST\\a.txt", true, "C:\\TEST"},
        {"C:\\file", true, "C:\\"},
        {"C:\\", false, "C:\\"},
        {"C:\\dir\\", true, "C:\\dir"},
        {"C:\\a\\\\b", true, "C:\\a"},
        {"file.txt", true, ""},
        {"\\file", true, "\\"},
        {"\\", false, "\\"},
        {"C:", false, "C:"},
        {"C:file", true, "C:"},
        {"\\\\server\\share\\file", true, "\\\\server\\share"},
        {"", false, ""},
    };
    for (const EditCase& c : cases) {
        char buffer[PATH_CAPACITY];
        std::strcpy(buffer, c.path);
        EXPECT_EQ(PATH_RemoveFileSpec(buffer), c.result) << c.path;
        EXPECT_STREQ(buffer, c.expected) << c.path;
    }
}

TEST_F(SimPathRemoveExtension, CutsAtTheLastDotOfTheName)
{
    const EditCase cases[] = {
        {"C:\\dir\\file.txt", true, "C:\\dir\\file"},
        {"file.tar.gz", true, "file.tar"},
        {"C:\\dir.d\\file", true, "C:\\dir.d\\file"},
        {"file .txt", true, "file "},
        {"file.my ext", true, "file.my ext"},
        {".hidden", true, ""},
        {"file.", true, "file"},
        {"", true, ""},
    };
    for (const EditCase& c : cases) {
        char buffer[PATH_CAPACITY];
        std::strcpy(buffer, c.path);
        PATH_RemoveExtension(buffer);
        EXPECT_STREQ(buffer, c.expected) << c.path;
    }
}

TEST_F(SimPathAddExtension, AddsOnlyWhereThereIsNone)
{
    struct Case {
        const char* path;
        const char* extension;
        bool result;
        const char* expected;
    };
    const Case cases[] = {
        {"C:\\dir\\file", ".log", true, "C:\\dir\\file.log"},
        {"C:\\dir\\file.txt", ".log", false, "C:\\dir\\file.txt"},
        {"C:\\dir.d\\file", ".log", true, "C:\\dir.d\\file.log"},
        {"file.a b", ".log", true, "file.a b.log"},
        {"", ".log", true, ".log"},
        {"file", "", true, "file"},
        {"file", nullptr, false, "file"},
    };
    for (const Case& c : cases) {
        char buffer[PATH_CAPACITY];
        std::strcpy(buffer, c.path);
        EXPECT_EQ(PATH_AddExtension(buffer, c.extension), c.result) << c.path;
        EXPECT_STREQ(buffer, c.expected) << c.path;
    }

    // 255 + 4 = 259 fits, 256 + 4 = 260 does not.
    char buffer[PATH_CAPACITY];
    std::strcpy(buffer, std::string(255, 'a').c_str());
    EXPECT_TRUE(PATH_AddExtension(buffer, ".log"));
    std::strcpy(buffer, std::string(256, 'a').c_str());
    EXPECT_FALSE(PATH_AddExtension(buffer, ".log"));
    EXPECT_EQ(std::strlen(buffer), 256u);
}

TEST_F(SimPathStripPath, KeepsTheNameAfterTheLastSeparator)
{
    const EditCase cases[] = {
        {"C:\\dir\\file.txt", true, "file.txt"},
        {"C:\\dir\\", true, "dir\\"},
        {"C:file", true, "file"},
        {"dir/file", true, "file"},
        {"file", true, "file"},
        {"C:\\", true, "C:\\"},
        {"\\\\server\\share", true, "share"},
        {"", true, ""},
    };
    for (const EditCase& c : cases) {
        char buffer[PATH_CAPACITY];
        std::strcpy(buffer, c.path);
        PATH_StripPath(buffer);
        EXPECT_STREQ(buffer, c.expected) << c.path;
    }
}

TEST_F(SimCanonicalWindowsPath, NormalisesAsWindowsDoesBeforeOpening)
{
    const struct {
        const char* path;
        const char* expected;
    } cases[] = {
        {"C:\\Package\\Setup.exe", "C:\\Package\\Setup.exe"},
        {"C:\\Package.\\DPInst.exe", "C:\\Package\\DPInst.exe"},
        {"C:\\Package..\\x", "C:\\Package..\\x"},
        {"C:\\dir \\x", "C:\\dir \\x"},
        {"C:\\file.txt. . ", "C:\\file.txt"},
        {"C:\\dir. \\", "C:\\dir. \\"},
        {"C:/a//b\\\\c", "C:\\a\\b\\c"},
        {"C:\\a\\.\\b\\..\\c", "C:\\a\\c"},
        {"C:\\..\\..\\a", "C:\\a"},
        {"C:", "C:\\"},
        {"c:a\\b", "c:\\a\\b"},
        {"C:\\a\\", "C:\\a\\"},
        {"C:\\a\\...", "C:\\a\\"},
        {"\\\\server\\share\\..\\x", "\\\\server\\share\\x"},
        {"\\dir\\file", "\\dir\\file"},
        {"DPInst.exe", "DPInst.exe"},
        {"..\\a\\..\\b", "..\\b"},
        {".\\C:\\x", ".\\C:\\x"},  // relative, though its first segment looks like a drive
        {"", ""},
    };
    for (const auto& c : cases) {
        const std::string once = sim::canonical_windows_path(c.path);
        EXPECT_EQ(once, c.expected) << c.path;
        EXPECT_EQ(sim::canonical_windows_path(once), once) << c.path << " twice";
    }
}

}  // namespace

// In the double-byte code pages the second byte of a character can be 0x5C,
// the backslash: "表" is 95 5C and "ソ" 83 5C in 932, "禱" B6 5C in 936, "許"
// B3 5C in 950 (949 has no such character). The shell steps by characters,
// so these bytes are part of a name; the same bytes in 1252 are "•\".
TEST_F(SimPathDoubleByte, TrailBytesAreNoSeparators)
{
    enum class Operation { Append, RemoveFileSpec, RemoveExtension, StripPath, Canonical, FirstBackslash, LastBackslash };
    const struct {
        uint32_t code_page;
        Operation operation;
        const char* path;
        const char* more;  // the second part of a join
        const char* expected;
    } rows[] = {
        {932, Operation::Append, "C:\\\x95\x5C", "x.log", "C:\\\x95\x5C\\x.log"},
        {932, Operation::Append, "C:\\", "\x95\x5C.\\x", "C:\\\x95\x5C.\\x"},  // no ".\" after a character
        {936, Operation::Append, "C:\\\xB6\x5C", "x", "C:\\\xB6\x5C\\x"},
        // A part that ends in a lead byte alone joins as the default character.
        {932, Operation::Append, "C:\\\x95", "\x8E\xA6", "C:\\\x81\x45\\\x8E\xA6"},
        {932, Operation::RemoveFileSpec, "C:\\\x95\x5C\\\x83\x5C", "", "C:\\\x95\x5C"},
        {932, Operation::RemoveFileSpec, "C:\\\x95\x5C", "", "C:\\"},
        {1252, Operation::RemoveFileSpec, "C:\\\x95\x5C\\\x83\x5C", "", "C:\\\x95\x5C\\\x83"},
        {950, Operation::RemoveFileSpec, "C:\\\xB3\x5C\\x", "", "C:\\\xB3\x5C"},
        {932, Operation::RemoveFileSpec, "C:\\\xB3\x5C\\x", "", "C:\\\xB3"},  // B3 is one byte here: two backslashes
        {932, Operation::RemoveExtension, "C:\\a.\x95\x5C", "", "C:\\a"},
        {932, Operation::StripPath, "C:\\a\\\x83\x5C\x83\x74\x83\x67", "", "\x83\x5C\x83\x74\x83\x67"},
        {932, Operation::Canonical, "C:\\\x95\x5C.\\x", "", "C:\\\x95\x5C\\x"},
        {932, Operation::Canonical, "C:\\\x95\x5C\\\x8E\xA6\\", "", "C:\\\x95\x5C\\\x8E\xA6\\"},
        {932, Operation::FirstBackslash, "\x95\x5C\\x", "", "\\x"},
        {932, Operation::FirstBackslash, "\x95\x5C", "", "-"},
        {932, Operation::LastBackslash, "C:\\\x95\x5C\\\x83\x5C", "", "\\\x83\x5C"},
    };
    for (const auto& row : rows) {
        machine.ansi_code_page = row.code_page;
        char buffer[PATH_CAPACITY];
        std::strcpy(buffer, row.path);
        std::string got;
        switch (row.operation) {
            case Operation::Append: PATH_Append(buffer, row.more); break;
            case Operation::RemoveFileSpec: PATH_RemoveFileSpec(buffer); break;
            case Operation::RemoveExtension: PATH_RemoveExtension(buffer); break;
            case Operation::StripPath: PATH_StripPath(buffer); break;
            case Operation::Canonical: got = sim::canonical_windows_path(row.path); break;
            case Operation::FirstBackslash:
            case Operation::LastBackslash: {
                const char* found = row.operation == Operation::FirstBackslash ? PATH_FindFirstOf(buffer, "\\")
                                                                               : PATH_FindLastOf(buffer, "\\");
                got = found != nullptr ? found : "-";
                break;
            }
        }
        if (got.empty()) got = buffer;
        EXPECT_EQ(got, row.expected) << "code page " << row.code_page << ": " << row.path << " " << row.more;
    }
}
