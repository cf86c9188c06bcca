// Layout 2: bus types, support entries, configuration sections and the match.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/settings.h"
#include "config/support_matrix.h"
#include "setup/context.h"
#include "support/package_fixture.h"

namespace {

const std::string LAYOUT2 = "[metadata]\nmajor_version=2\n";

class SupportMatrixTest : public PackageTest {
protected:
    void SetUp() override
    {
        PackageTest::SetUp();
        set_os(10, 0, true);
    }
    int load(const std::string& ini)
    {
        reset_process_state();
        write_settings(LAYOUT2 + ini);
        g_process.os_version = SYS_OsVersion{SYS_OS_VERSION_SIZE, machine.major, machine.minor, machine.build,
                                             machine.platform_id, {}};
        return load_setup_settings(nullptr, &g_process.context);
    }
    const SetupContext& context() const { return g_process.context; }
    const os_slot& slot(int bus, int os_index) const { return context().bus_types[bus].os_slots[os_index]; }

    // An INF in the package whose plain x86 and x64 models declare ACPI\<id>,
    // and, when asked, a device of the machine that it matches.
    void write_models_inf(const std::string& path, const std::string& id, bool device_on_machine = true)
    {
        const std::string model = "%D%=I, ACPI\\" + id + "\r\n";
        write_file("C:\\Package\\" + path, "[Manufacturer]\r\n%M%=Models,NTamd64,NTx86\r\n[Models.NTamd64]\r\n" +
                                               model + "[Models.NTx86]\r\n" + model);
        if (device_on_machine) machine.devices.push_back(sim::Device{"ACPI\\" + id + "\\0", "{}", false, {}});
    }
};

TEST_F(SupportMatrixTest, BusTypesAreTheNonEmptyFieldsOfTheListUpToFive)
{
    const std::string sections = "[A]\nx64_support_win10=yes,CfgA,no\n[B]\nx64_support_win10=yes,CfgB,no\n"
                                 "[F]\nx64_support_win10=yes,CfgF,no\n";
    const struct {
        const char* list;
        int result;
        std::vector<std::string> names;
        uint32_t sections;
    } rows[] = {
        {"A,,B", 1, {"A", "B"}, 2},
        {"A, B", 1, {"A", " B"}, 2},  // the blank stays in the name; the profile read ignores it
        {"A,B,C,D,E,F", 1, {"A", "B", "C", "D", "E"}, 2},  // F is not looked at
        {",,", 0, {}, 0},
        {"", 0, {}, 0},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(load(std::string("[bus]\nsupport_types=") + row.list + "\n" + sections), row.result) << row.list;
        std::vector<std::string> names;
        for (uint32_t b = 0; b < context().bus_count; ++b) names.emplace_back(context().bus_types[b].bus_name);
        EXPECT_EQ(names, row.names) << row.list;
        EXPECT_EQ(context().section_count, row.sections) << row.list;
    }
    EXPECT_EQ(load(""), 0);
}

TEST_F(SupportMatrixTest, SupportEntryFields)
{
    const struct {
        const char* entry;  // nullptr: key missing
        uint32_t supported;
        const char* section;
        uint32_t has_subfolder;
        const char* subfolder;
    } rows[] = {
        {nullptr, 0, "", 0, ""},
        {"no", 0, "", 0, ""},
        {"none,CfgA,no", 0, "", 0, ""},
        {"not", 0, "", 0, ""},
        {"No,CfgA,no", 1, "CfgA", 0, ""},
        {"NO,CfgA,no", 1, "CfgA", 0, ""},
        {"n,CfgA,no", 1, "CfgA", 0, ""},
        {"yes,CfgA,yes,Extra", 1, "CfgA", 1, "Extra"},
        {"yes,,CfgA,,nope,,", 1, "CfgA", 0, ""},
        {"yes, Cfg A ,No,Extra,more", 1, " Cfg A ", 1, "Extra"},
        // Malformed: supports nothing.
        {"", 0, "", 0, ""},
        {"yes", 0, "", 0, ""},
        {"yes,CfgA", 0, "", 0, ""},
        {"yes,CfgA,yes", 0, "", 0, ""},
    };
    for (const auto& row : rows) {
        const std::string key = row.entry != nullptr ? std::string("x64_support_win10=") + row.entry + "\n" : "";
        load("[bus]\nsupport_types=A\n[A]\n" + key);
        const os_slot& s = slot(0, 7);
        const std::string label = row.entry != nullptr ? row.entry : "(missing)";
        EXPECT_EQ(s.os_index, 7u) << label;
        EXPECT_EQ(s.supported, row.supported) << label;
        EXPECT_STREQ(s.section_name, row.section) << label;
        EXPECT_EQ(s.has_extract_subfolder, row.has_subfolder) << label;
        EXPECT_STREQ(s.extract_subfolder, row.subfolder) << label;
        EXPECT_EQ(context().section_count, row.supported) << label;
    }
}

TEST_F(SupportMatrixTest, SectionsAreRegisteredOnceByExactName)
{
    load("[bus]\nsupport_types=A,B\n"
         "[A]\nx86_support_win10=yes,CfgA,no\nx64_support_win10=yes,CfgA,no\n"
         "[B]\nx64_support_win7=yes,cfga,no\nx86_support_win10=yes,CfgA,no\nx64_support_win10=yes,CfgA,no\n"
         "[CfgA]\nsubfolder=Sub\nmain_inf=Touch.inf\n");
    ASSERT_EQ(context().section_count, 2u);
    EXPECT_STREQ(context().configuration_sections[0].section_name, "CfgA");
    EXPECT_STREQ(context().configuration_sections[1].section_name, "cfga");
    for (int bus = 0; bus < 2; ++bus) {
        EXPECT_EQ(slot(bus, 6).section_index, 0u);
        EXPECT_EQ(slot(bus, 7).section_index, 0u);
    }
    EXPECT_EQ(slot(1, 1).section_index, 1u);
    // Both names address the same settings-file section.
    EXPECT_STREQ(context().configuration_sections[1].inf_full_path, "C:\\Package\\Sub\\Touch.inf");
}

TEST_F(SupportMatrixTest, InfPathJoinsTheSettingsFolderTheSubfolderAndTheInf)
{
    const struct {
        const char* keys;
        const char* path;
    } rows[] = {
        {"subfolder=Sub\nmain_inf=Touch.inf\n", "C:\\Package\\Sub\\Touch.inf"},
        {"subfolder=\\Sub\\\nmain_inf=Touch.inf\n", "C:\\Package\\Sub\\Touch.inf"},
        {"main_inf=Touch.inf\n", "C:\\Package\\Touch.inf"},
        {"subfolder=Sub\n", "C:\\Package\\Sub"},
    };
    for (const auto& row : rows) {
        load(std::string("[bus]\nsupport_types=A\n[A]\nx64_support_win10=yes,CfgA,no\n[CfgA]\n") + row.keys);
        EXPECT_STREQ(context().configuration_sections[0].inf_full_path, row.path) << row.keys;
    }
}

// Ten sections fill the record; the slot naming an eleventh is left
// unsupported, and that section's device never applies it.
TEST_F(SupportMatrixTest, EleventhSectionIsNotStored)
{
    std::string ini = "[bus]\nsupport_types=A,B\n[A]\n";
    const char* keys[OS_SLOT_COUNT] = {"x86_support_win7",  "x64_support_win7",  "x86_support_win8",
                                       "x64_support_win8",  "x86_support_win81", "x64_support_win81",
                                       "x86_support_win10", "x64_support_win10"};
    for (int i = 0; i < OS_SLOT_COUNT; ++i) ini += std::string(keys[i]) + "=yes,Cfg" + std::to_string(i) + ",no\n";
    ini += "[B]\nx86_support_win7=yes,Cfg8,no\nx64_support_win7=yes,Cfg9,no\nx64_support_win10=yes,Cfg10,no\n"
           "[Cfg10]\nmain_inf=Touch.inf\nPath=\\x64\\DPInst.exe\n";
    write_models_inf("Touch.inf", "ABC0704");
    load(ini);
    EXPECT_EQ(context().section_count, 10u);
    EXPECT_STREQ(context().configuration_sections[9].section_name, "Cfg9");
    EXPECT_EQ(slot(1, 7).supported, 0u);
    EXPECT_STREQ(context().engine_path, "");
    EXPECT_EQ(context().support_flags, 31u);
}

TEST_F(SupportMatrixTest, LastMatchingBusTypeSuppliesTheEngineAndAllAreMatched)
{
    write_models_inf("A\\A.inf", "AAA0001");
    write_models_inf("B\\B.inf", "BBB0002");
    const std::string sections = "[A]\nx64_support_win10=yes,CfgA,no\n[B]\nx64_support_win10=yes,CfgB,no\n"
                                 "[CfgA]\nsubfolder=A\nmain_inf=A.inf\nPath=\\A\\DPInst.exe\nSupport=5\n"
                                 "[CfgB]\nsubfolder=B\nmain_inf=B.inf\nPath=\\B\\DPInst.exe\n";
    const struct {
        const char* list;
        const char* engine;
        uint32_t support;
    } rows[] = {
        {"A,B", "\\B\\DPInst.exe", 0},  // CfgB has no "Support"
        {"B,A", "\\A\\DPInst.exe", 5},
    };
    for (const auto& row : rows) {
        machine.device_enumerations = 0;
        load(std::string("[bus]\nsupport_types=") + row.list + "\n" + sections);
        EXPECT_STREQ(context().engine_path, row.engine) << row.list;
        EXPECT_EQ(context().support_flags, row.support) << row.list;
        EXPECT_EQ(context().configuration_sections[0].matched, 1u) << row.list;
        EXPECT_EQ(context().configuration_sections[1].matched, 1u) << row.list;
        EXPECT_EQ(machine.device_enumerations, 1u) << row.list;
    }
}

TEST_F(SupportMatrixTest, SlotsOfOtherWindowsRegisterButNeverMatch)
{
    write_models_inf("Touch.inf", "ABC0704");
    load("[bus]\nsupport_types=A\n[A]\nx86_support_win10=yes,CfgA,no\nx64_support_win81=yes,CfgA,no\n"
         "[CfgA]\nmain_inf=Touch.inf\nPath=\\x64\\DPInst.exe\n");
    EXPECT_EQ(context().section_count, 1u);
    EXPECT_EQ(context().configuration_sections[0].matched, 0u);
    EXPECT_STREQ(context().engine_path, "");
    EXPECT_EQ(context().support_flags, 31u);
    EXPECT_EQ(machine.device_enumerations, 0u);
}

TEST_F(SupportMatrixTest, RunningSlotFollowsVersionAndBitnessOnly)
{
    const struct {
        uint32_t major, minor, platform_id;
        bool is_64bit;
        int slot;  // -1: none
    } rows[] = {
        {6, 1, 2, false, 0}, {6, 1, 2, true, 1},  {6, 2, 2, false, 2}, {6, 3, 2, true, 5},
        {10, 0, 2, false, 6}, {10, 4, 2, true, 7}, {6, 1, 1, true, 1},  // the platform id is not looked at
        {6, 0, 2, true, -1}, {6, 4, 2, false, -1}, {5, 1, 2, false, -1}, {11, 0, 2, true, -1},
    };
    for (const auto& row : rows) {
        machine.is_64bit = row.is_64bit;
        g_process.os_version = SYS_OsVersion{SYS_OS_VERSION_SIZE, row.major, row.minor, 0, row.platform_id, {}};
        for (uint32_t i = 0; i < OS_SLOT_COUNT; ++i) {
            os_slot s{};
            s.os_index = i;
            EXPECT_EQ(is_running_os_slot(&s), static_cast<int>(i) == row.slot)
                << row.major << "." << row.minor << (row.is_64bit ? " x64 " : " x86 ") << i;
        }
    }
}

}  // namespace

namespace {

// A subfolder that makes the INF path too long leaves the section without an
// INF: the bare "main_inf" in the Windows folder must not match for it.
TEST_F(SupportMatrixTest, InfPathTooLongForWindowsMatchesNothing)
{
    write_models_inf("..\\Windows\\Touch.inf", "VXA0704");
    const std::string subfolder(250, 's');
    EXPECT_EQ(load("[bus]\nsupport_types=A\n[A]\nx64_support_win10=yes,CfgA,no\n[CfgA]\nsubfolder=" + subfolder +
                   "\nmain_inf=Touch.inf\nPath=\\A\\DPInst.exe\n"),
              1);
    EXPECT_STREQ(context().configuration_sections[0].inf_full_path, "");
    EXPECT_EQ(context().configuration_sections[0].matched, 0u);
    EXPECT_STREQ(context().engine_path, "");
}

}  // namespace
