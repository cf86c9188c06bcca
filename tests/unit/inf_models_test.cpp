// INF models sections by OS slot, and the machine's device instance IDs.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "config/inf_models.h"
#include "setup/context.h"
#include "support/sim_fixture.h"

namespace {

const char* const INF = "C:\\Pkg\\Touch.inf";

std::vector<std::string> strings_of(const MultiStringList& list)
{
    std::vector<std::string> strings;
    for (const char* s = list.buffer; s != nullptr && *s != '\0'; s += std::string(s).size() + 1) strings.push_back(s);
    return strings;
}

class InfModelsTest : public SimMachineTest {
protected:
    std::vector<std::string> ids_for(uint32_t os_index)
    {
        os_slot slot{};
        slot.os_index = os_index;
        MultiStringList list = get_supported_hareware_ids(INF, &slot);
        const std::vector<std::string> ids = strings_of(list);
        free_multi_string(&list);
        return ids;
    }
    std::vector<std::string> models_of(const std::string& lines)
    {
        write_file(INF, "[Models]\r\n" + lines);
        MultiStringList list;
        collect_model_hardware_ids(INF, "Models", &list);
        const std::vector<std::string> ids = strings_of(list);
        free_multi_string(&list);
        return ids;
    }
    void add_device(const std::string& instance_id, bool present = true)
    {
        machine.devices.push_back(sim::Device{instance_id, "{4D36E96F-E325-11CE-BFC1-08002BE10318}", present, {"X"}});
    }
};

using Ids = std::vector<std::string>;

// Each models section names its own device, so the list shows which one was read.
TEST_F(InfModelsTest, ModelsSectionIsChosenByDecorationSubstring)
{
    write_file(INF, "[Manufacturer]\r\n%Mfg%=Models,NTamd64.10.0,NTx86.10.0\r\n"
                    "[Models.NTamd64.10.0]\r\n%Dev%=Inst, ACPI\\ABC0704, *ABC0704\r\n"
                    "[Models.NTamd64]\r\n%Dev%=Inst, ACPI\\ABC0764\r\n"
                    "[Models.NTx86.10.0]\r\n%Dev%=Inst, ACPI\\ABC1086\r\n"
                    "[Models.NTx86]\r\n%Dev%=Inst, ACPI\\ABC0786\r\n");
    const Ids expected[OS_SLOT_COUNT] = {{"ABC0786"}, {"ABC0764"}, {"ABC0786"}, {"ABC0764"},
                                         {"ABC0786"}, {"ABC0764"}, {"ABC1086"}, {"ABC0704"}};
    for (uint32_t slot = 0; slot < OS_SLOT_COUNT; ++slot) EXPECT_EQ(ids_for(slot), expected[slot]) << slot;
    EXPECT_EQ(ids_for(OS_SLOT_COUNT), Ids{});
}

TEST_F(InfModelsTest, DecorationLinesAreMatchedExactlyAndInOrder)
{
    write_file(INF, "[Manufacturer]\r\n"
                    "%A%=Lower,ntamd64.10.0\r\n"                // case counts: skipped
                    "%B%=Build,NTamd64.10.0...14310\r\n"         // build suffix: Build.NTamd64.10.0
                    "NTamd64.10.0\r\n"                           // no models name: skipped
                    "%C%=Plain,NTamd64\r\n"                      // only the plain name: Plain.NTamd64
                    "[Lower.ntamd64.10.0]\r\n%D%=I, ACPI\\LOW0001\r\n"
                    "[Build.NTamd64.10.0]\r\n%D%=I, ACPI\\BLD0001\r\n"
                    "[Plain.NTamd64]\r\n%D%=I, ACPI\\PLN0001\r\n");
    EXPECT_EQ(ids_for(7), (Ids{"BLD0001", "PLN0001"}));
    EXPECT_EQ(ids_for(6), Ids{});
}

TEST_F(InfModelsTest, MissingInfOrSectionsGiveNoList)
{
    EXPECT_EQ(ids_for(7), Ids{});
    write_file(INF, "[Manufacturer]\r\n%Mfg%=Models,NTamd64\r\n");
    EXPECT_EQ(ids_for(7), Ids{});
}

TEST_F(InfModelsTest, ComponentIsTheSecondPartOfTheFirstHardwareId)
{
    EXPECT_EQ(models_of("%D%=I, ACPI\\ABC0704, *ABC0704\r\n"
                        "%D%=I, Acpi\\Abc0707\r\n"                         // case kept
                        "%D%=I, HID\\VID_1234&PID_5678&COL01\r\n"
                        "%D%=I, ACPI\\VEN_ABC&DEV_0123\r\n"
                        "%D%=I, *PNP0F13, ACPI\\ABC0708\r\n"               // later IDs not looked at
                        "%D%=I\r\n"                                        // no hardware ID
                        "Vexa Touch Pad=I, ACPI\\ABC0705\r\n"              // third field is "Pad"
                        "Vexa Pad=I, ACPI\\ABC0706\r\n"                    // third field is "I"
                        "%D%=I,\tACPI\\ABC0709\r\n"
                        "%D%=I, ACPI\\ABC0704\r\n"),                       // duplicates stay
              (Ids{"ABC0704", "Abc0707", "VID_1234", "VEN_ABC", "ABC0709", "ABC0704"}));
}

// The section is read into 4096 bytes: 227 lines of 18 bytes fit, the 228th
// is cut to "%D%=I, A", which has no component.
TEST_F(InfModelsTest, ModelsBeyondTheSectionBufferAreNotSeen)
{
    std::string lines;
    for (int i = 0; i < 300; ++i) {
        char line[32];
        std::snprintf(line, sizeof line, "%%D%%=I, ACPI\\N%04d\r\n", i);
        lines += line;
    }
    const Ids ids = models_of(lines);
    ASSERT_EQ(ids.size(), 227u);
    EXPECT_EQ(ids.back(), "N0226");
}

TEST_F(InfModelsTest, AppendKeepsTheListEndedByAnEmptyString)
{
    MultiStringList list;
    EXPECT_EQ(append_multi_string("ABC", &list), 0);
    EXPECT_EQ(std::string(list.buffer, 5), std::string("ABC\0\0", 5));
    append_multi_string("DE", &list);
    append_multi_string("ABC", &list);
    EXPECT_EQ(std::string(list.buffer, 11), std::string("ABC\0DE\0ABC\0\0", 11));
    free_multi_string(&list);
}

TEST_F(InfModelsTest, DevicesAreListedOnceAndSearchedBySubstring)
{
    add_device("ACPI\\ABC0704\\4&1A2B&0");
    add_device("USB\\VID_1234&PID_5678\\6&0", false);  // installed once, not attached now
    const struct {
        const char* component;
        bool present;
    } rows[] = {
        {"ABC0704", true}, {"ABC07", true}, {"Abc0704", false}, {"VID_1234", true}, {"XYZ0001", false},
    };
    for (const auto& row : rows) EXPECT_EQ(is_device_present(row.component), row.present) << row.component;

    add_device("ACPI\\XYZ0001\\0");  // arrives after the list was taken
    EXPECT_FALSE(is_device_present("XYZ0001"));
    EXPECT_EQ(machine.device_enumerations, 1u);
}

TEST_F(InfModelsTest, FailedEnumerationIsTriedAgainLater)
{
    add_device("ACPI\\ABC0704\\0");
    machine.device_enumeration_fails = true;
    EXPECT_FALSE(is_device_present("ABC0704"));
    EXPECT_FALSE(g_process.device_instance_ids_built);
    machine.device_enumeration_fails = false;
    EXPECT_TRUE(is_device_present("ABC0704"));
    EXPECT_EQ(machine.device_enumerations, 1u);
}

// An instance ID that does not fit 260 characters ends the walk: the devices
// after it (in the platform's order) are not listed.
TEST_F(InfModelsTest, WalkStopsAtAnInstanceIdThatCannotBeRead)
{
    add_device("ACPI\\ABC0704\\0");
    add_device("ACPI\\ABB\\" + std::string(300, '1'));
    add_device("ACPI\\AAA0001\\0");
    EXPECT_FALSE(is_device_present("ABC0704"));
    EXPECT_EQ(strings_of(g_process.device_instance_ids), Ids{"ACPI\\AAA0001\\0"});
}

}  // namespace
