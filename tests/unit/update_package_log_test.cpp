// The run header and the response report, byte for byte.
#include <gtest/gtest.h>

#include <string>

#include "common/bounded_string.h"
#include "log/update_package_log.h"
#include "setup/context.h"
#include "support/sim_fixture.h"

namespace {

const SYS_Time START{2026, 12, 1, 7, 4, 5, 9, 0};  // 7 December 2026, 04:05:09
const std::string BANNER = "===============> Update Package application started <===============\r\n";
const std::string RULE = "============================================================\r\n";

using UpdatePackageLogText = SimMachineTest;

TEST_F(UpdatePackageLogText, HeaderLineByLine)
{
    const struct {
        const char* why;
        const char* command_line;
        int result;
        const char* installed;
        const char* package;
        uint32_t debug;
        std::string expected_after_rule;
    } rows[] = {
        {"plain run", "/s", 0, "19.2.4.6", "19.2.4.7", 0,
         "  Installed version:19.2.4.6\r\n  Package version:19.2.4.7\r\nExit code = 0\r\n2026-12-8 10:30:0\r\n"},
        {"restart pending", "/s", REBOOT_REQUIRED, "19.2.4.6", "19.2.4.7", 0,
         "  Installed version:19.2.4.6\r\n  Package version:19.2.4.7\r\nUpdate ready to be applied at reboot\r\n"
         "Exit code = 1641\r\n2026-12-8 10:30:0\r\n"},
        {"no versions, no command line", "", ERROR_INSTALL_PLATFORM_UNSUPPORTED, "", "", 0,
         "  Installed version:\r\n  Package version:\r\nExit code = 1633\r\n2026-12-8 10:30:0\r\n"},
        {"DEBUG", "/s", 0, "", "19.2.4.7", 1,
         "  Installed version:\r\n  Package version:19.2.4.7\r\nExit code = 0\r\n2026-12-8 10:30:0\r\n\r\n"
         "================> Report Information for Debugging <================\r\n"},
    };
    for (const auto& row : rows) {
        bounded_copy(g_process.installed_version, sizeof g_process.installed_version, row.installed);
        bounded_copy(g_process.package_version, sizeof g_process.package_version, row.package);
        g_process.debug = row.debug;
        char text[LOG_TEXT_CAPACITY];
        BuildLogHeader(nullptr, text, row.command_line, START, row.result);
        EXPECT_EQ(text, BANNER + "Command:C:\\Package\\Setup.exe " + row.command_line + "\r\nDate:2026-12-7 4:5:9\r\n" +
                            RULE + row.expected_after_rule)
            << row.why;
    }
}

TEST_F(UpdatePackageLogText, LongCommandLineIsCutAtTheBufferEnd)
{
    const std::string command_line(1500, 'x');
    char text[LOG_TEXT_CAPACITY];
    BuildLogHeader(nullptr, text, command_line.c_str(), START, 0);
    EXPECT_EQ(text, (BANNER + "Command:C:\\Package\\Setup.exe " + command_line).substr(0, LOG_TEXT_CAPACITY - 1));
}

TEST_F(UpdatePackageLogText, ResponseReport)
{
    const struct {
        const char* why;
        uint32_t engine_exit_code;
        int override_before;
        int result;
        std::string expected;  // the report, then the override it leaves
    } rows[] = {
        {"engine did not run", 0, 0, DEP_SOFT_ERROR,
         "ResultCode=3\r\n[DPInst]\r\nDpinstReturnCode=0x00000000\r\nSetupDriverVersion=19.2.4.7\r\n|0"},
        {"engine code 0x80000000", 0x80000000, 0, ERROR,
         "ResultCode=1602\r\n[DPInst]\r\nDpinstReturnCode=0x80000000\r\nSetupDriverVersion=19.2.4.7\r\n|1602"},
        {"engine code 0x80000001", 0x80000001, 0, ERROR,
         "ResultCode=1604\r\n[DPInst]\r\nDpinstReturnCode=0x80000001\r\nSetupDriverVersion=19.2.4.7\r\n|1604"},
        {"an earlier override is reported", 0x40000001, 1623, REBOOT_REQUIRED,
         "ResultCode=1623\r\n[DPInst]\r\nDpinstReturnCode=0x40000001\r\nSetupDriverVersion=19.2.4.7\r\n|1623"},
        {"the engine's code replaces an earlier override", 0x80000000, 1638, ERROR,
         "ResultCode=1602\r\n[DPInst]\r\nDpinstReturnCode=0x80000000\r\nSetupDriverVersion=19.2.4.7\r\n|1602"},
    };
    bounded_copy(g_process.package_version, sizeof g_process.package_version, "19.2.4.7");
    for (const auto& row : rows) {
        g_process.dpinst_return_code = row.engine_exit_code;
        g_process.result_code_override = row.override_before;
        char text[LOG_TEXT_CAPACITY];
        BuildResponseReport(text, row.result);
        EXPECT_EQ(text + std::string("|") + std::to_string(g_process.result_code_override),
                  "[ResponseResult]\r\n" + row.expected)
            << row.why;
    }
}

}  // namespace
