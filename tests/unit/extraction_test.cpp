// Driver extraction: the tree it leaves, file by file, for both settings
// layouts, and what a failed copy reports.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "cmdline/command_line.h"
#include "extract/extraction.h"
#include "setup/context.h"
#include "setup/main_sequence.h"
#include "support/package_fixture.h"

namespace {

namespace fs = std::filesystem;

class Extraction : public PackageTest {
protected:
    void SetUp() override
    {
        PackageTest::SetUp();
        reset_public_properties();
        g_process.context.major_version = 1;
        lay_bus_folders();
    }

    void lay_bus_folders()
    {
        std::error_code ignored;
        for (const char* folder : {"C:\\Package\\Vi32", "C:\\Package\\Vi64"}) fs::remove_all(sim::host_path(folder), ignored);
        write_file("C:\\Package\\Vi32\\touch.sys", "x86 driver");
        write_file("C:\\Package\\Vi32\\Sub\\touch.cat", "x86 catalog");
        fs::create_directories(sim::host_path("C:\\Package\\Vi32") + "/Empty/Deeper");
        write_file("C:\\Package\\Vi64\\touch.sys", "x64 driver");
    }

    // Every file below a folder as "path=content", folders as "path/".
    std::set<std::string> tree(const std::string& windows_folder)
    {
        std::set<std::string> entries;
        const fs::path root = sim::host_path(windows_folder);
        std::error_code error;
        for (const auto& entry : fs::recursive_directory_iterator(root, error)) {
            const std::string relative = fs::relative(entry.path(), root).generic_string();
            entries.insert(entry.is_directory() ? relative + "/" : relative + "=" + read_file(windows_folder + "\\" + relative));
        }
        return entries;
    }

    // The tree a layout-1 package gives: Vi32 in the four x86 folders, Vi64 in the x64 ones.
    static std::set<std::string> layout_one_tree(const std::string& x86, const std::string& x64)
    {
        std::set<std::string> entries = {"production/"};
        for (int slot = 0; slot < OS_SLOT_COUNT; ++slot) {
            const std::string folder = std::string("production/") + os_folder_names[slot];
            entries.insert(folder + "/");
            if (slot % 2 == 0) {
                entries.insert(folder + "/touch.sys=" + x86);
                entries.insert(folder + "/Sub/");
                entries.insert(folder + "/Sub/touch.cat=x86 catalog");
            } else {
                entries.insert(folder + "/touch.sys=" + x64);
            }
        }
        return entries;
    }
};

TEST_F(Extraction, LayoutOneCopiesEachBusFolderToItsFourOsFolders)
{
    write_file("C:\\out\\production\\Windows7-x86\\touch.sys", "older");  // overwritten without asking
    EXPECT_EQ(extract_driver_files(nullptr, "C:\\out", &g_process.context), 0);
    EXPECT_EQ(tree("C:\\out"), layout_one_tree("x86 driver", "x64 driver"));
    EXPECT_TRUE(machine.record.processes.empty());  // no interpreter, no xcopy
}

TEST_F(Extraction, DestinationFormsOfTheFixedLayout)
{
    EXPECT_EQ(extract_driver_files(nullptr, "C:\\with slash\\", &g_process.context), 0);
    EXPECT_EQ(tree("C:\\with slash"), layout_one_tree("x86 driver", "x64 driver"));
    // An empty destination is the root of the current drive.
    EXPECT_EQ(extract_driver_files(nullptr, "", &g_process.context), 0);
    EXPECT_EQ(tree("C:\\production").size(), layout_one_tree("", "").size() - 1);
    // A name with shell characters is only a name.
    EXPECT_EQ(extract_driver_files(nullptr, "C:\\a&b^c", &g_process.context), 0);
    EXPECT_EQ(tree("C:\\a&b^c").size(), layout_one_tree("", "").size());
}

TEST_F(Extraction, I2cEngineTakesTheI2cBusFolders)
{
    std::snprintf(g_process.context.engine_path, sizeof g_process.context.engine_path, "\\I2C\\DPInst.exe");
    write_file("C:\\Package\\I2Cx64\\i2c.sys", "i2c");
    EXPECT_EQ(extract_driver_files(nullptr, "C:\\out", &g_process.context), 0);
    EXPECT_EQ(tree("C:\\out\\production\\Windows10-x64"), (std::set<std::string>{"i2c.sys=i2c"}));
    EXPECT_FALSE(file_exists("C:\\out\\production\\Windows10-x86"));  // no I2Cx32: skipped, no error
}

TEST_F(Extraction, FailedCopyIsReportedAfterTheOthersAreMade)
{
    write_file("C:\\out\\production\\Windows8-x86", "a file where a folder belongs");
    EXPECT_EQ(extract_driver_files(nullptr, "C:\\out", &g_process.context), DEP_SOFT_ERROR);
    std::set<std::string> expected = layout_one_tree("x86 driver", "x64 driver");
    std::erase_if(expected, [](const std::string& e) { return e.rfind("production/Windows8-x86/", 0) == 0; });
    expected.insert("production/Windows8-x86=a file where a folder belongs");
    EXPECT_EQ(tree("C:\\out"), expected);

    EXPECT_EQ(extract_driver_files(nullptr, "C:\\bad\"name", &g_process.context), DEP_SOFT_ERROR);
    EXPECT_TRUE(machine.record.processes.empty());
}

TEST_F(Extraction, ProgramPathUnavailableFails)
{
    machine.module_path.clear();
    EXPECT_EQ(extract_driver_files(nullptr, "C:\\out", &g_process.context), DEP_SOFT_ERROR);
}

TEST_F(Extraction, SupportMatrixCopiesEachSupportedSlot)
{
    g_process.context.major_version = 2;
    g_process.context.bus_count = 2;
    g_process.context.section_count = 2;
    std::snprintf(g_process.context.configuration_sections[0].subfolder, 260, "I2C");
    std::snprintf(g_process.context.configuration_sections[1].subfolder, 260, "PS2");
    write_file("C:\\Package\\I2C\\i2c.inf", "i2c");
    write_file("C:\\Package\\I2C\\common.dll", "from i2c");
    write_file("C:\\Package\\PS2\\ps2.inf", "ps2");
    write_file("C:\\Package\\PS2\\common.dll", "from ps2");
    os_slot* i2c = g_process.context.bus_types[0].os_slots;
    os_slot* ps2 = g_process.context.bus_types[1].os_slots;
    i2c[7] = {1, 7, "CfgI2C", 0, "", 0};
    i2c[5] = {1, 5, "CfgI2C", 1, "Extra", 0};
    ps2[7] = {1, 7, "CfgPS2", 0, "", 1};  // overlays the I2C copy in the same folder
    ps2[6] = {0, 6, "", 0, "", 0};

    EXPECT_EQ(extract_driver_files(nullptr, "C:\\out", &g_process.context), 0);
    EXPECT_EQ(tree("C:\\out"), (std::set<std::string>{
                                   "production/",
                                   "production/Windows10-x64/",
                                   "production/Windows10-x64/i2c.inf=i2c",
                                   "production/Windows10-x64/ps2.inf=ps2",
                                   "production/Windows10-x64/common.dll=from ps2",
                                   "production/Windows8.1-x64/",
                                   "production/Windows8.1-x64/Extra/",
                                   "production/Windows8.1-x64/Extra/i2c.inf=i2c",
                                   "production/Windows8.1-x64/Extra/common.dll=from i2c",
                               }));

    g_process.context.bus_count = 0;
    EXPECT_EQ(extract_driver_files(nullptr, "C:\\none", &g_process.context), 0);
    EXPECT_FALSE(file_exists("C:\\none"));
}

// EXTRACTDRIVERS runs the extraction in the middle of the parse: LOGFILE in
// another token counts before it and after it, unless the extraction failed.
TEST_F(Extraction, ExtractDriversPropertyRunsDuringTheParse)
{
    g_process.context.support_flags = SUPPORT_PROPERTIES;
    const struct {
        const char* command_line;
        int result;
        const char* log_file;
        uint32_t force;
    } cases[] = {
        {"/vEXTRACTDRIVERS=C:\\out FORCE=false /s", COMPLETED, "", 1},
        {"/vLOGFILE=C:\\l.log /vEXTRACTDRIVERS=C:\\out", COMPLETED, "C:\\l.log", 1},
        {"/vEXTRACTDRIVERS=\"C:\\out\" /vLOGFILE=C:\\l.log", COMPLETED, "C:\\l.log", 1},
        {"/vEXTRACTDRIVERS=C:\\bad\"name /vLOGFILE=C:\\l.log", DEP_SOFT_ERROR, "", 1},
    };
    for (const auto& c : cases) {
        reset_public_properties();
        std::snprintf(g_process.command_line, sizeof g_process.command_line, "%s", c.command_line);
        EXPECT_EQ(parse_command_line(g_process.command_line, g_process.custom_request_name, nullptr,
                                     &g_process.context),
                  c.result)
            << c.command_line;
        EXPECT_STREQ(g_process.log_file, c.log_file) << c.command_line;
        EXPECT_EQ(g_process.extract_drivers, 1u) << c.command_line;
        EXPECT_EQ(g_process.force, c.force) << c.command_line;
    }
    EXPECT_EQ(tree("C:\\out"), layout_one_tree("x86 driver", "x64 driver"));
}

TEST_F(Extraction, ExtractAllOptionTakesThePathToTheEndOfTheLine)
{
    const struct {
        const char* command_line;
        int result;
        const char* folder;  // where the tree lands
    } cases[] = {
        {"no option", 0, nullptr},
        {"/EXTRACT_ALL:C:\\out", 0, nullptr},  // case-sensitive
        {"/extract_all:\"C:\\my drivers\"", COMPLETED, "C:\\my drivers"},
        {"/extract_all:C:\\x -y", COMPLETED, "C:\\x -y"},
        {"/extract_all:C:\\bad\"name", DEP_SOFT_ERROR, nullptr},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(handle_extract_all_option(nullptr, c.command_line, &g_process.context), c.result) << c.command_line;
        if (c.folder != nullptr) {
            EXPECT_EQ(tree(c.folder), layout_one_tree("x86 driver", "x64 driver")) << c.command_line;
        }
    }
}

// An extraction into a folder inside its own source takes the source as it
// stood when it began: the trees the run fills ("production" below each
// destination, however written, also one that was there before) are never
// copied, not even by a later extraction of the run. Each row compares the
// whole Vi32 folder afterwards.
TEST_F(Extraction, NeverCopiesTheTreesOfItsOwnRun)
{
    const struct {
        const char* arguments;
        const char* current_directory;
        const char* before_file;  // laid in Vi32 before the run
        std::vector<std::string> parents;  // the folders below Vi32 that get a "production" tree
    } rows[] = {
        {"/extract_all:out", "C:\\Package\\Vi32", nullptr, {"out/"}},
        {"/extract_all:C:\\Package\\\\Vi32\\out\\", "", nullptr, {"out/"}},
        {"/extract_all:C:\\Package\\Vi64\\..\\Vi32\\.\\out", "", nullptr, {"out/"}},
        {"/extract_all:c:\\package\\VI32\\Out", "", nullptr, {"Out/"}},
        {"/extract_all:C:/Package/Vi32/out", "", nullptr, {"out/"}},
        {"/extract_all:C:\\Package\\Vi32", "", nullptr, {""}},
        {"/extract_all:C:\\Package\\Vi32\\Sub", "", nullptr, {"Sub/"}},
        {"/extract_all:C:\\Package\\Vi32\\out", "", "out\\production\\Windows8-x86\\stale.sys", {"out/"}},
        {"/vEXTRACTDRIVERS=C:\\Package\\Vi32\\a /vEXTRACTDRIVERS=C:\\Package\\Vi32\\b", "", nullptr, {"a/", "b/"}},
    };
    write_settings("[Vi64]\r\nSupport=11\r\n");
    for (const auto& row : rows) {
        lay_bus_folders();
        if (row.before_file != nullptr) write_file(std::string("C:\\Package\\Vi32\\") + row.before_file, "old");
        machine.current_directory = row.current_directory;
        machine.mutexes.clear();  // each run is a process of its own
        std::set<std::string> expected = tree("C:\\Package\\Vi32");
        for (const std::string& parent : row.parents) {
            if (!parent.empty()) expected.insert(parent);
            for (const std::string& entry : layout_one_tree("x86 driver", "x64 driver")) expected.insert(parent + entry);
        }
        EXPECT_EQ(run(row.arguments), 0) << row.arguments;
        EXPECT_EQ(tree("C:\\Package\\Vi32"), expected) << row.arguments;
    }
}

// The support-matrix form: a section without a subfolder is the package
// folder itself, destination included; a section whose folder lies in the
// destination tree would copy the output into itself, so that copy fails
// while the others are made.
TEST_F(Extraction, SupportMatrixNeverCopiesItsOwnTree)
{
    g_process.context.major_version = 2;
    g_process.context.bus_count = 1;
    g_process.context.section_count = 2;
    std::snprintf(g_process.context.configuration_sections[1].subfolder, 260, "out\\production\\Windows10-x64");
    os_slot* slots = g_process.context.bus_types[0].os_slots;
    slots[5] = {1, 5, "CfgAll", 0, "", 0};
    slots[6] = {1, 6, "CfgInside", 0, "", 1};
    slots[7] = {1, 7, "CfgAll", 1, "Extra", 0};

    EXPECT_EQ(extract_driver_files(nullptr, "C:\\Package\\out", &g_process.context), DEP_SOFT_ERROR);
    std::set<std::string> expected = {"production/", "production/Windows10-x64/"};
    for (const std::string folder : {"production/Windows8.1-x64/", "production/Windows10-x64/Extra/"}) {
        for (const char* entry : {"", "Vi32/", "Vi32/touch.sys=x86 driver", "Vi32/Sub/", "Vi32/Sub/touch.cat=x86 catalog",
                                  "Vi64/", "Vi64/touch.sys=x64 driver"}) {
            expected.insert(folder + entry);
        }
    }
    EXPECT_EQ(tree("C:\\Package\\out"), expected);
}

}  // namespace
