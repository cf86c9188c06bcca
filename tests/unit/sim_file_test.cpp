// The simulated machine's drives: Windows paths onto host folders, directory
// searches in NTFS order with Windows wildcards, and read-only file views.
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/file.h"
#include "platform/sim/drives.h"
#include "platform/sim/machine.h"
#include "support/sim_fixture.h"

namespace {

namespace fs = std::filesystem;

class SimFileTest : public SimMachineTest {
protected:
    void SetUp() override
    {
        SimMachineTest::SetUp();
        for (const char* name : {"b.inf", "A.INF", "c.txt", "_x.inf", "noext", "a.inf.bak", "d.INF"}) {
            write_file(std::string("C:\\Drivers\\") + name, name);
        }
        fs::create_directories(drive_root + "/Drivers/Sub");
        write_file("C:\\Package\\Drivers\\Win10\\Touch.INF", "[Version]\r\n");
        write_file("C:\\Package\\empty.bin", "");
    }

    // An empty file at a Windows path written in Unicode (UTF-8).
    void write_file_of_unicode(const std::string& windows_path)
    {
        const fs::path host = sim::host_path_of_unicode(windows_path);
        fs::create_directories(host.parent_path());
        std::ofstream(host).close();
    }

    // Every name a search returns, in order; "!<error>" when it fails.
    std::vector<std::string> search(const char* pattern)
    {
        std::vector<std::string> names;
        FILE_FindData found{};
        FILE_FindHandle handle = FILE_FindFirst(pattern, &found);
        if (handle == nullptr) return {"!" + std::to_string(machine.last_error)};
        do {
            names.emplace_back(found.name);
        } while (FILE_FindNext(handle, &found));
        EXPECT_EQ(machine.last_error, 18u) << pattern;  // no more files
        FILE_FindClose(handle);
        return names;
    }
};

TEST_F(SimFileTest, HostPathResolvesLikeNtfs)
{
    const std::string root = drive_root;
    const struct {
        const char* windows;
        std::string host;
    } cases[] = {
        {"C:\\package\\DRIVERS\\win10\\touch.inf", root + "/Package/Drivers/Win10/Touch.INF"},
        {"c:\\Package\\New\\Sub\\x.txt", root + "/Package/New/Sub/x.txt"},
        {"C:/Package/drivers/", root + "/Package/Drivers"},
        {"C:\\Package\\..\\..\\package\\EMPTY.bin", root + "/Package/empty.bin"},
        {"C:\\Package.\\empty.bin. ", root + "/Package/empty.bin"},
        {"C:\\Package\\.\\Drivers\\\\Win10", root + "/Package/Drivers/Win10"},
        {"C:\\", root},
        {"C:", root},
        {"D:\\x", ""},
        {"\\Package", ""},
        {"Package\\empty.bin", ""},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(sim::host_path(c.windows), c.host) << c.windows;
}

TEST_F(SimFileTest, DriveLettersMatchInEitherCase)
{
    machine.drives['e'] = drive_root + "/Package/";
    EXPECT_EQ(sim::host_path("E:\\drivers"), drive_root + "/Package/Drivers");
    EXPECT_EQ(sim::host_path("e:\\"), drive_root + "/Package");
}

TEST_F(SimFileTest, SearchesMatchAndOrderAsWindowsDoes)
{
    using Names = std::vector<std::string>;
    const Names everything = {".",     "..",    "A.INF", "a.inf.bak", "b.inf",
                              "c.txt", "d.INF", "noext", "Sub",       "_x.inf"};
    const struct {
        const char* pattern;
        Names expected;
    } cases[] = {
        {"C:\\Drivers\\*.inf", {"A.INF", "b.inf", "d.INF", "_x.inf"}},
        {"c:\\DRIVERS\\*.INF", {"A.INF", "b.inf", "d.INF", "_x.inf"}},
        {"C:\\Drivers\\*", everything},
        {"C:\\Drivers\\*.*", everything},
        {"C:\\Drivers\\*.", {".", "..", "noext", "Sub"}},
        {"C:\\Drivers\\?.inf", {"A.INF", "b.inf", "d.INF"}},
        {"C:\\Drivers\\a?.inf", {"A.INF"}},
        {"C:\\Drivers\\*.inf*", {"A.INF", "a.inf.bak", "b.inf", "d.INF", "_x.inf"}},
        {"C:\\Drivers\\B.INF", {"b.inf"}},
        {"C:/Drivers/sub", {"Sub"}},
        {"C:\\Package\\Drivers\\*\\..\\x", {"!123"}},
        {"C:\\Drivers\\*.sys", {"!2"}},
        {"C:\\Drivers\\", {"!2"}},
        {"C:\\Missing\\*.inf", {"!3"}},
        {"C:\\Drivers\\b.inf\\*", {"!3"}},
        {"Q:\\*", {"!3"}},
        {"*.inf", {"!3"}},
        {"C:\\*", {"Drivers", "Package", "Windows"}},  // the root has no "." and ".."
    };
    for (const auto& c : cases) EXPECT_EQ(search(c.pattern), c.expected) << c.pattern;
}

// Names live on NTFS in Unicode: a path in the machine's code page names the
// folder whose Unicode name it spells, letters of any script fold as NTFS
// folds them, and a search hands names back in the code page.
TEST_F(SimFileTest, NamesAreUnicodeAndFoldAsNtfs)
{
    for (const char* path : {"C:\\Names\\Größe\\x.txt", "C:\\Names\\Журнал\\y.txt", "C:\\Names\\Ωμέγα\\z.txt",
                             "C:\\Names\\Пакет\\w.txt"}) {
        write_file_of_unicode(path);
    }
    const struct {
        uint32_t code_page;
        const char* path;
    } cases[] = {
        {1252, "C:\\Names\\Gr\xF6\xDF" "e\\x.txt"},              // Größe
        {1252, "C:\\Names\\GR\xD6\xDF" "E\\X.TXT"},              // GRÖßE: Ö folds to ö
        {1252, "C:\\Names\\GR\xD6SSE\\x.txt"},                  // GRÖSSE: ß has no capital of its own
        {1252, "C:\\Names\\Gr\xC3\xB6\xC3\x9F" "e\\x.txt"},      // GrÃ¶ÃŸe, the UTF-8 bytes read as 1252
        {1251, "C:\\Names\\\xC6\xF3\xF0\xED\xE0\xEB\\y.txt"},  // Журнал
        {1251, "C:\\Names\\\xC6\xD3\xD0\xCD\xC0\xCB\\Y.TXT"},  // ЖУРНАЛ
        {1253, "C:\\Names\\\xD9\xCC\xB8\xC3\xC1\\z.txt"},      // ΩΜΈΓΑ
        {1252, "C:\\Names\\?????\\w.txt"},                       // Пакет as 1252 holds it
    };
    std::string found;
    for (const auto& c : cases) {
        machine.ansi_code_page = c.code_page;
        found += FILE_GetAttributes(c.path) == 0x20 ? "found " : "missing " + std::to_string(machine.last_error) + " ";
    }
    EXPECT_EQ(found, "found found missing 3 missing 3 found found found missing 123 ");

    machine.ansi_code_page = 1252;
    EXPECT_EQ(search("C:\\Names\\*"),
              (std::vector<std::string>{".", "..", "Gr\xF6\xDF" "e", "?\xB5??a", "??????", "?????"}));
    EXPECT_EQ(search("c:\\names\\gr\xD6*"), (std::vector<std::string>{"Gr\xF6\xDF" "e"}));
    machine.ansi_code_page = 1251;
    EXPECT_EQ(search("C:\\Names\\\xCF*"), (std::vector<std::string>{"\xCF\xE0\xEA\xE5\xF2"}));  // П*: Пакет
}

TEST_F(SimFileTest, SearchReportsFolders)
{
    FILE_FindData found{};
    FILE_FindHandle handle = FILE_FindFirst("C:\\Drivers\\S*", &found);
    ASSERT_NE(handle, nullptr);
    EXPECT_STREQ(found.name, "Sub");
    EXPECT_EQ(found.attributes & FILE_ATTR_DIRECTORY, FILE_ATTR_DIRECTORY);
    EXPECT_FALSE(FILE_FindNext(handle, &found));
    FILE_FindClose(handle);

    handle = FILE_FindFirst("C:\\Drivers\\b.inf", &found);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(found.attributes & FILE_ATTR_DIRECTORY, 0u);
    FILE_FindClose(handle);

    EXPECT_FALSE(FILE_FindNext(nullptr, &found));
    EXPECT_EQ(machine.last_error, ERR_INVALID_HANDLE);
    FILE_FindClose(nullptr);
}

TEST_F(SimFileTest, OpenForReadErrors)
{
    const struct {
        const char* path;
        uint32_t error;  // 0: opens
    } cases[] = {
        {"C:\\Drivers\\B.INF", 0},
        {"c:/drivers/./b.inf.", 0},
        {"C:\\Drivers\\missing.inf", ERR_FILE_NOT_FOUND},
        {"C:\\Missing\\b.inf", ERR_PATH_NOT_FOUND},
        {"C:\\Drivers\\b.inf\\x", ERR_PATH_NOT_FOUND},
        {"C:\\Drivers", ERR_ACCESS_DENIED},
        {"C:\\Drivers\\*.inf", 123},
        {"Q:\\b.inf", ERR_PATH_NOT_FOUND},
        {"b.inf", 0},  // relative to the current folder
        {"\\Drivers\\b.inf", 0},
        {"..\\Missing\\b.inf", ERR_PATH_NOT_FOUND},
        {"", ERR_PATH_NOT_FOUND},
    };
    machine.current_directory = "C:\\Drivers";
    for (const auto& c : cases) {
        machine.last_error = 0;
        FILE_Handle file = FILE_OpenExistingForRead(c.path);
        EXPECT_EQ(file != nullptr, c.error == 0) << c.path;
        EXPECT_EQ(machine.last_error, c.error) << c.path;
        FILE_Close(file);
    }
}

// Windows keeps a current folder per drive: "C:rel" is below the current
// folder of drive C, not its root; "\rel" is below the root of the current
// drive; another drive's relative path below that drive's own current folder.
TEST_F(SimFileTest, DriveRelativePathsResolveAgainstThatDrivesCurrentFolder)
{
    machine.drive_directories = {{'C', "C:\\Elsewhere"}, {'D', "D:\\Work"}};
    const struct {
        const char* current_directory;
        const char* path;
        const char* expected;
    } rows[] = {
        {"C:\\Drivers", "C:b.inf", "C:\\Drivers\\b.inf"},
        {"C:\\Drivers", "c:..\\x", "C:\\x"},
        {"C:\\Drivers", "C:", "C:\\Drivers"},
        {"C:\\Drivers", "\\rel", "C:\\rel"},
        {"C:\\", "C:rel", "C:\\rel"},
        {"C:\\Drivers", "D:rel", "D:\\Work\\rel"},
        {"C:\\Drivers", "E:rel", "E:\\rel"},
        {"D:\\Build", "C:rel", "C:\\Elsewhere\\rel"},
        {"D:\\Build", "\\rel", "D:\\rel"},
        {"C:\\Drivers", "C:\\abs", "C:\\abs"},
    };
    for (const auto& row : rows) {
        machine.current_directory = row.current_directory;
        EXPECT_EQ(sim::canonical_windows_path(sim::absolute_windows_path(row.path)), row.expected)
            << row.path << " in " << row.current_directory;
    }
}

TEST_F(SimFileTest, ViewsHoldTheWholeFile)
{
    const std::string content("MZ\0\x01\xFFtail", 9);
    write_file("C:\\Package\\Setup.exe", content);
    FILE_Handle file = FILE_OpenExistingForRead("C:\\Package\\setup.EXE");
    ASSERT_NE(file, nullptr);

    FILE_View view{};
    ASSERT_TRUE(FILE_MapReadOnly(file, &view));
    ASSERT_EQ(view.size, content.size());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(view.data), view.size), content);

    FILE_View second{};
    ASSERT_TRUE(FILE_MapReadOnly(file, &second));  // another view of the same handle
    EXPECT_EQ(second.size, content.size());
    FILE_Unmap(&second);
    FILE_Unmap(&view);
    EXPECT_EQ(view.data, nullptr);
    EXPECT_EQ(view.size, 0u);
    EXPECT_EQ(view.mapping, nullptr);
    FILE_Unmap(&view);  // twice is harmless
    FILE_Close(file);
}

TEST_F(SimFileTest, EmptyFilesAndBadHandlesCannotBeMapped)
{
    FILE_Handle file = FILE_OpenExistingForRead("C:\\Package\\empty.bin");
    ASSERT_NE(file, nullptr);
    FILE_View view{};
    EXPECT_FALSE(FILE_MapReadOnly(file, &view));
    EXPECT_EQ(machine.last_error, ERR_FILE_INVALID);
    EXPECT_EQ(view.data, nullptr);
    FILE_Close(file);

    EXPECT_FALSE(FILE_MapReadOnly(nullptr, &view));
    EXPECT_EQ(machine.last_error, ERR_INVALID_HANDLE);
    FILE_Close(nullptr);
}

TEST(SimMachineDeathTest, NoInstalledMachineIsASetupError)
{
    EXPECT_DEATH(
        {
            sim::install(nullptr);
            sim::current();
        },
        "no simulated machine is installed");
}

}  // namespace

namespace {

// Each write operation against the files the fixture lays out: the result
// and the last error Windows gives.
TEST_F(SimFileTest, WriteOperationsFailAsWindowsDoes)
{
    using Operation = bool (*)();
    const struct {
        const char* what;
        Operation operation;
        uint32_t error;  // 0: succeeds
    } cases[] = {
        {"mkdir new", [] { return FILE_CreateDirectory("C:\\Drivers\\New"); }, 0},
        {"mkdir existing", [] { return FILE_CreateDirectory("c:\\drivers\\sub"); }, ERR_ALREADY_EXISTS},
        {"mkdir over a file", [] { return FILE_CreateDirectory("C:\\Drivers\\b.inf"); }, ERR_ALREADY_EXISTS},
        {"mkdir without parent", [] { return FILE_CreateDirectory("C:\\No\\New"); }, ERR_PATH_NOT_FOUND},
        {"mkdir with a quote", [] { return FILE_CreateDirectory("C:\\Drivers\\a\"b"); }, 123},
        {"mkdir with &", [] { return FILE_CreateDirectory("C:\\Drivers\\a&b"); }, 0},
        {"copy over existing", [] { return FILE_CopyFile("C:\\Drivers\\b.inf", "C:\\Drivers\\C.TXT"); }, 0},
        {"copy missing source", [] { return FILE_CopyFile("C:\\Drivers\\x", "C:\\Drivers\\y"); }, ERR_FILE_NOT_FOUND},
        {"copy into missing folder", [] { return FILE_CopyFile("C:\\Drivers\\b.inf", "C:\\No\\b"); },
         ERR_PATH_NOT_FOUND},
        {"copy onto a folder", [] { return FILE_CopyFile("C:\\Drivers\\b.inf", "C:\\Drivers\\Sub"); },
         ERR_ACCESS_DENIED},
        {"move replacing", [] { return FILE_MoveReplace("C:\\Drivers\\noext", "C:\\Drivers\\_x.inf"); }, 0},
        {"move missing", [] { return FILE_MoveReplace("C:\\Drivers\\noext", "C:\\Drivers\\z"); },
         ERR_FILE_NOT_FOUND},
        {"delete", [] { return FILE_Delete("C:\\Drivers\\d.inf"); }, 0},
        {"delete missing", [] { return FILE_Delete("C:\\Drivers\\d.inf"); }, ERR_FILE_NOT_FOUND},
        {"delete a folder", [] { return FILE_Delete("C:\\Drivers\\Sub"); }, ERR_ACCESS_DENIED},
        {"append missing", [] { return FILE_OpenForAppend("C:\\Drivers\\none") != nullptr; }, ERR_FILE_NOT_FOUND},
        {"create in missing folder", [] { return FILE_CreateForWrite("C:\\No\\x") != nullptr; },
         ERR_PATH_NOT_FOUND},
    };
    for (const auto& c : cases) {
        machine.last_error = 0;
        EXPECT_EQ(c.operation(), c.error == 0) << c.what;
        EXPECT_EQ(machine.last_error, c.error) << c.what;
    }
    EXPECT_EQ(search("C:\\Drivers\\*"),
              (std::vector<std::string>{".", "..", "a&b", "A.INF", "a.inf.bak", "b.inf", "c.txt", "New", "Sub",
                                        "_x.inf"}));
    EXPECT_EQ(read_file("C:\\Drivers\\c.txt") + read_file("C:\\Drivers\\_x.inf"), "b.infnoext");
}

TEST_F(SimFileTest, WritesAndAppendsAreBinary)
{
    const std::string bytes("\xFF\xFE" "a\x1A" "b\r\n\0z", 9);
    FILE_Handle file = FILE_CreateForWrite("C:\\Drivers\\log.bin");
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(FILE_Write(file, bytes.data(), 4));
    FILE_Close(file);
    file = FILE_OpenForAppend("c:\\drivers\\LOG.BIN");
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(FILE_Write(file, bytes.data() + 4, 5));
    FILE_Close(file);

    file = FILE_OpenExistingForRead("C:\\Drivers\\log.bin");
    char back[16] = {};
    uint32_t read = 0;
    EXPECT_TRUE(FILE_Read(file, back, sizeof back, &read));
    EXPECT_EQ(std::string(back, read), bytes);
    EXPECT_TRUE(FILE_Read(file, back, sizeof back, &read));
    EXPECT_EQ(read, 0u);
    FILE_Close(file);
    EXPECT_EQ(FILE_GetAttributes("C:\\Drivers\\log.bin"), 0x20u);
    EXPECT_EQ(FILE_GetAttributes("C:\\Drivers\\Sub"), FILE_ATTR_DIRECTORY);
    EXPECT_EQ(FILE_GetAttributes("C:\\Drivers\\none"), FILE_INVALID_ATTRIBUTES);
}

}  // namespace

namespace {

// A file another program holds open without sharing refuses every use but a
// look at its attributes.
TEST_F(SimFileTest, LockedFileRefusesEveryUseWithSharingViolation)
{
    machine.locked_files.push_back("C:\\DRIVERS\\b.inf");
    using Operation = bool (*)();
    const Operation operations[] = {
        [] { return FILE_OpenExistingForRead("C:\\Drivers\\b.inf") != nullptr; },
        [] { return FILE_OpenForAppend("C:\\Drivers\\b.inf") != nullptr; },
        [] { return FILE_CreateForWrite("C:\\Drivers\\.\\b.inf") != nullptr; },
        [] { return FILE_CopyFile("C:\\Drivers\\b.inf", "C:\\Drivers\\copy"); },
        [] { return FILE_CopyFile("C:\\Drivers\\c.txt", "C:\\Drivers\\b.inf"); },
        [] { return FILE_MoveReplace("C:\\Drivers\\b.inf", "C:\\Drivers\\moved"); },
        [] { return FILE_MoveReplace("C:\\Drivers\\c.txt", "C:\\Drivers\\b.inf"); },
        [] { return FILE_Delete("c:\\drivers\\B.INF"); },
    };
    std::string errors;
    for (const Operation operation : operations) {
        machine.last_error = 0;
        errors += (operation() ? "ok" : std::to_string(machine.last_error)) + " ";
    }
    EXPECT_EQ(errors + (FILE_GetAttributes("C:\\Drivers\\b.inf") == 0x20 ? "archive " : "no attributes ") +
                  read_file("C:\\Drivers\\b.inf"),
              "32 32 32 32 32 32 32 32 archive b.inf");
}

// The program's own handles share as it opens them: reads share reading,
// writes and appends share nothing.
TEST_F(SimFileTest, OpenHandlesShareOnlyWhatTheirOpenAllows)
{
    std::string outcome;
    const auto note = [&](bool ok) { outcome += ok ? "ok " : std::to_string(machine.last_error) + " "; };
    FILE_Handle reader = FILE_OpenExistingForRead("C:\\Drivers\\b.inf");
    FILE_Handle second_reader = FILE_OpenExistingForRead("c:\\drivers\\B.inf");
    note(second_reader != nullptr);
    note(FILE_OpenForAppend("C:\\Drivers\\b.inf") != nullptr);
    note(FILE_Delete("C:\\Drivers\\b.inf"));
    FILE_Close(second_reader);
    FILE_Close(reader);
    FILE_Handle appender = FILE_OpenForAppend("C:\\Drivers\\b.inf");
    note(appender != nullptr);
    note(FILE_OpenExistingForRead("C:\\Drivers\\b.inf") != nullptr);
    FILE_Close(appender);
    note(FILE_Delete("C:\\Drivers\\b.inf"));
    EXPECT_EQ(outcome, "ok 32 32 ok 32 ok ");
}

}  // namespace
