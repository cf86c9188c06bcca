// Outside programs of the simulated machine leave what a profile says they
// leave: lines in the engine's log and registry values, on every run.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/proc.h"
#include "platform/reg.h"
#include "setup-sim/profile_loader.h"
#include "platform/pe.h"
#include "support/package_fixture.h"
#include "support/sim_fixture.h"

namespace {

using SimProgramTraces = SimMachineTest;

std::string product_version(uint32_t access)
{
    REG_Key key = nullptr;
    if (REG_OpenKey(REG_Root::LocalMachine, "SOFTWARE\\Vexa\\Kurso", access, &key) != 0) return "(no key)";
    char value[64] = "";
    uint32_t type = 0;
    uint32_t size = sizeof value;
    const uint32_t status = REG_QueryValue(key, "ProductVer", &type, reinterpret_cast<uint8_t*>(value), &size);
    REG_CloseKey(key);
    return status == 0 ? std::string(value) : "(no value)";
}

TEST_F(SimProgramTraces, EachRunAppendsItsLogLinesAndWritesItsRegistryValues)
{
    const std::string profile = drive_root + "/profile.ini";
    FILE* file = std::fopen(profile.c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fputs("[Registry64:HKLM\\SOFTWARE\\Vexa\\Kurso]\n"
               "ProductVer=Kurso 19.2.4.6\n"
               "[Program:DPInst.exe]\n"
               "ExitCode=0x40000001\n"
               "LogLine=INFO: installing\n"
               "LogLine=INFO: done\x1A end\n"
               "WritesRegistry=Registry64:HKLM\\SOFTWARE\\Vexa\\Kurso\\productver=Kurso 19.2.4.7\n",
               file);
    std::fclose(file);
    std::string error;
    ASSERT_TRUE(load_machine_profile(profile, &machine, &error)) << error;
    write_file("C:\\Package\\DPInst.exe", pe_image(PE_MACHINE_I386));
    write_file("C:\\Windows\\DpInst.log", "history\r\n");

    std::string outcome;
    for (int run = 0; run < 2; ++run) {
        char command_line[] = "\"C:\\Package\\DPInst.exe\" /f";
        uint32_t exit_code = 0;
        outcome += PROC_CreateAndWait(command_line, &exit_code) ? std::to_string(exit_code) + "," : "not started,";
    }
    outcome += product_version(REG_KEY_READ | REG_KEY_WOW64_64KEY) + "," + product_version(REG_KEY_READ) + "|" +
               read_file("C:\\Windows\\DpInst.log");
    EXPECT_EQ(outcome, "1073741825,1073741825,Kurso 19.2.4.7,(no key)|history\r\n"
                       "INFO: installing\r\nINFO: done\x1A end\r\nINFO: installing\r\nINFO: done\x1A end\r\n");
}

// A fresh machine has its Windows folder, so the engine's lines reach its log;
// a machine whose Windows folder cannot hold it stops the run loudly rather
// than lose them.
TEST_F(SimProgramTraces, EngineLogLinesReachTheWindowsFolderOrTheRunStops)
{
    machine.programs["dpinst.exe"].engine_log_lines = {"INFO: one"};
    write_file("C:\\Package\\DPInst.exe", pe_image(PE_MACHINE_I386));
    char command_line[] = "\"C:\\Package\\DPInst.exe\" /f";
    uint32_t exit_code = 0;
    ASSERT_TRUE(PROC_CreateAndWait(command_line, &exit_code));
    EXPECT_EQ(read_file("C:\\Windows\\DpInst.log"), "INFO: one\r\n");

    machine.environment["SYSTEMROOT"] = "Q:\\Windows";
    EXPECT_DEATH(PROC_CreateAndWait(command_line, &exit_code), "cannot write its log Q:\\\\Windows\\\\DpInst.log");
}

}  // namespace

namespace {

// "Builtin=no" drops the built-in machine's devices only: a device the
// profile lists before that line stays.
TEST_F(SimProgramTraces, BuiltinNoKeepsTheProfilesOwnDevices)
{
    const std::string profile = drive_root + "/devices.ini";
    FILE* file = std::fopen(profile.c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fputs("[Device:ACPI\\MINE\\0]\nHardwareIDs=ACPI\\MINE\n[Devices]\nBuiltin=no\n"
               "[Device:ACPI\\LATER\\0]\nHardwareIDs=ACPI\\LATER\n",
               file);
    std::fclose(file);
    sim::Machine loaded;
    builtin_machine(&loaded);
    std::string error;
    ASSERT_TRUE(load_machine_profile(profile, &loaded, &error)) << error;
    std::string ids;
    for (const sim::Device& device : loaded.devices) ids += device.instance_id + " ";
    EXPECT_EQ(ids, "ACPI\\MINE\\0 ACPI\\LATER\\0 ");
}

}  // namespace
