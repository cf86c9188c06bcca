// Why a run went its way, as both hosts tell it: one row per turn a run takes.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/pe.h"
#include "platform/sim/machine.h"
#include "support/package_fixture.h"
#include "transcript/run_explanation.h"

namespace {

const std::string LIBRARY_8_1_0_83 =
    std::string(SOURCE_DIR) + "/tests/wine/scenarios/version_library_mismatch/package/VxaVer.dll";

const char LAYOUT1[] = "[W864]\r\nPath=x64\\DPInst.exe\r\nSupport=1\r\n";
const char LAYOUT2[] =
    "[metadata]\r\nmajor_version=2\r\n[bus]\r\nsupport_types=I2C,PS2\r\n"
    "[I2C]\r\nx64_support_win10=yes,CfgI2C,no\r\n[PS2]\r\nx64_support_win7=yes,CfgI2C,no\r\n"
    "[CfgI2C]\r\nsubfolder=I2C\r\nmain_inf=VxI2C.inf\r\nPath=\\I2C\\DPInst.exe\r\n";
const char I2C_INF[] =
    "[Version]\r\nSignature=\"$Windows NT$\"\r\nDriverVer=11/20/2026,19.3.1.2\r\n[Manufacturer]\r\n%V%=M,NTamd64\r\n"
    "[M.NTamd64]\r\n%A%=I, ACPI\\VXB0801, *VXB0801\r\n%B%=I, HID\\VID_1D6B&PID_0104, HID\\VID_1D6B\r\n";

struct Row {
    const char* name;
    const char* settings;   // nullptr: no Setup.ini
    bool engine;            // x64\DPInst.exe (layout 1)
    bool library;           // VxaVer.dll of 8.1.0.83 beside the INF
    const char* installed;  // ProductVer, nullptr for none
    const char* arguments;
    const char* reasons;    // one a line
};

class RunExplanationTest : public PackageTest {};

TEST_F(RunExplanationTest, SaysWhyTheRunWentItsWay)
{
    const Row rows[] = {
        {"installs, nothing installed", LAYOUT1, true, false, nullptr, "/s", ""},
        {"no Setup.ini, no engine", nullptr, false, false, nullptr, "/s",
         "no settings file C:\\Package\\Setup.ini: the run used the defaults (layout 1, engine .\\DPInst.exe, that "
         "is C:\\Package\\DPInst.exe), which is missing\n"},
        {"version library differs", LAYOUT1, true, true, nullptr, "/s",
         "version library C:\\Package\\x64\\VxaVer.dll has product version \"8, 1, 0, 83\", INF "
         "C:\\Package\\x64\\Touch.inf has DriverVer 19.2.4.7: they differ once its dots are written \", \"\n"},
        {"same version installed, question", LAYOUT1, true, false, "Kurso 19.2.4.7", "",
         "installed driver 19.2.4.7 (HKLM\\Software\\Vexa\\Kurso ProductVer), package 19.2.4.7 (DriverVer of "
         "C:\\Package\\x64\\Touch.inf): the same version is installed\n"},
        {"newer installed, FORCE=false", LAYOUT1, true, false, "Kurso 19.2.5.0", "/s /vFORCE=false",
         "installed driver 19.2.5.0 (HKLM\\Software\\Vexa\\Kurso ProductVer), package 19.2.4.7 (DriverVer of "
         "C:\\Package\\x64\\Touch.inf): the installed one is newer; FORCE=false refuses the same or a newer "
         "installed version\n"},
        {"older installed, engine runs", LAYOUT1, true, false, "19.2.4.6", "/s",
         "installed driver 19.2.4.6 (HKLM\\Software\\Vexa\\Kurso ProductVer), package 19.2.4.7 (DriverVer of "
         "C:\\Package\\x64\\Touch.inf): the installed one is older\n"},
        {"installed version holds no word", LAYOUT1, true, false, " ", "",
         "installed driver: HKLM\\Software\\Vexa\\Kurso ProductVer holds no version, so the versions cannot be "
         "compared\n"},
        {"layout 2, no touch pad of the package", LAYOUT2, false, false, nullptr, "/s",
         "bus I2C, x64_support_win10: section CfgI2C, INF C:\\Package\\I2C\\VxI2C.inf, wants a device instance "
         "ID containing VXB0801, VID_1D6B\n"
         "bus PS2, x64_support_win10: not supported\n"
         "devices seen: 3 instance IDs, of a vendor the package names: ACPI\\VEN_VXB&DEV_0777\\5&2&0, "
         "ACPI\\VXB0999\\4&1&0\n"},
    };
    for (const Row& row : rows) {
        std::filesystem::remove_all(sim::host_path("C:\\Package"));
        machine.registry.clear();
        machine.mutexes.clear();
        machine.devices = {
            {"ACPI\\VXB0999\\4&1&0", "{4D36E96F-E325-11CE-BFC1-08002BE10318}", true, {"ACPI\\VXB0999"}},
            {"ACPI\\VEN_VXB&DEV_0777\\5&2&0", "{4D36E96F-E325-11CE-BFC1-08002BE10318}", true, {"ACPI\\VEN_VXB&DEV_0777"}},
            {"PCI\\VEN_8086&DEV_A0E8\\3&3&0", "{4D36E97D-E325-11CE-BFC1-08002BE10318}", true, {"PCI\\VEN_8086"}},
        };
        if (row.settings != nullptr) write_settings(row.settings);
        if (row.engine) write_engine("x64\\DPInst.exe", PE_MACHINE_AMD64);
        write_inf("x64\\Touch.inf");
        write_file("C:\\Package\\I2C\\VxI2C.inf", I2C_INF);
        write_engine("I2C\\DPInst.exe", PE_MACHINE_AMD64);
        if (row.library) std::filesystem::copy_file(LIBRARY_8_1_0_83, sim::host_path("C:\\Package\\x64\\VxaVer.dll"));
        if (row.installed != nullptr) set_registry_value("HKLM\\SOFTWARE\\Vexa\\Kurso", "ProductVer", row.installed);
        machine.record = record::RunRecord{};
        run(row.arguments);
        std::string reasons;
        for (const std::string& reason : run_explanation(machine.record)) reasons += reason + '\n';
        EXPECT_EQ(reasons, row.reasons) << row.name;
    }
}

}  // namespace
