// The run header and the response report, byte for byte.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <iterator>
#include <sstream>
#include <string>

#include "common/bounded_string.h"
#include "log/directory_path.h"
#include "log/update_package_log.h"
#include "platform/file.h"
#include "platform/sim/codepage.h"
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

// What a record file holds, in words: "absent", "log" (the byte-order mark
// and the run header in UTF-16LE, nothing else), "report", either followed by
// "+<bytes>" for bytes after it, or the file's bytes when none of these.
class UpdatePackageLogFile : public SimMachineTest {
protected:
    std::string describe(const std::string& path, const char* received_command_line, int result)
    {
        if (!file_exists(path)) return "absent";
        const std::string bytes = read_file(path);
        const auto followed_by = [&](const std::string& name, const std::string& start) {
            return bytes.size() == start.size() ? name : name + "+" + bytes.substr(start.size());
        };
        char text[LOG_TEXT_CAPACITY];
        BuildResponseReport(text, result);
        if (bytes.compare(0, std::strlen(text), text) == 0) return followed_by("report", text);
        BuildLogHeader(nullptr, text, received_command_line, START, result);
        std::string header = "\xFF\xFE";
        for (const char c : std::string(text)) header += std::string{c, '\0'};  // ASCII headers only
        if (bytes.compare(0, header.size(), header) != 0) return bytes;
        return followed_by("log", header);
    }
};

TEST_F(UpdatePackageLogFile, WhenWhereAndWhat)
{
    const char* LOG = "C:\\Windows\\Rire\\UpdatePackage\\log\\Setup.log";
    const struct {
        const char* why;
        uint32_t support_flags;
        const char* mode;      // the rewritten command line: "/s" is a silent run
        const char* received;  // the command line as received
        int log_requested;
        uint32_t extract_drivers;
        uint32_t debug;
        const char* log_file;
        std::string expected;  // Setup.log | C:\My Out\r.txt | C:\Deep\er\copy.log
    } rows[] = {
        {"silent, log wanted", 4, "/s", "/s", 0, 0, 0, "", "log|absent|absent"},
        {"silent, log not wanted", 8 | 2 | 1, "/s", "/s", 0, 0, 0, "", "absent|absent|absent"},
        {"interactive, asked for", 4, "", "", 1, 0, 0, "", "log|absent|absent"},
        {"interactive, not asked for", 4, "", "", 0, 0, 0, "", "absent|absent|absent"},
        {"EXTRACTDRIVERS run", 4, "", "/vEXTRACTDRIVERS=true", 0, 1, 0, "", "log|absent|absent"},
        {"/f2 with a path", 4, "/s", "/s /f2\"C:\\My Out\\r.txt\"", 0, 0, 0, "C:\\My Out\\r.txt",
         "absent|report|absent"},
        {"/f2 and DEBUG: the engine's log joins the report, blanks or not", 4, "/s",
         "/s /f2DEBUG \"C:\\My Out\\r.txt\"", 0, 0, 1, "C:\\My Out\\r.txt",
         "absent|report+E1\x1A" "E2\r\n|absent"},
        {"/f2 without a path", 4, "/s", "/s /f2", 0, 0, 0, "", "absent|absent|absent"},
        {"DEBUG joins the engine's log in binary", 4, "/s", "/s", 0, 0, 1, "",
         "log+E1\x1A" "E2\r\n|absent|absent"},
        {"LOGFILE into missing folders", 4, "/s", "/s", 0, 0, 0, "C:\\Deep\\er\\copy.log", "log|absent|log"},
    };
    for (const auto& row : rows) {
        reset_process_state();
        std::filesystem::remove_all(drive_root);
        write_file("C:\\Windows\\DpInst.log", "E1\x1A" "E2\r\n");
        SetupContext context{};
        context.support_flags = row.support_flags;
        bounded_copy(g_process.command_line, sizeof g_process.command_line, row.mode);
        g_process.log_requested = row.log_requested;
        g_process.extract_drivers = row.extract_drivers;
        g_process.debug = row.debug;
        bounded_copy(g_process.log_file, sizeof g_process.log_file, row.log_file);
        WriteUpdatePackageLog(nullptr, row.received, 0, START, &context);
        EXPECT_EQ(describe(LOG, row.received, 0) + "|" + describe("C:\\My Out\\r.txt", row.received, 0) + "|" +
                      describe("C:\\Deep\\er\\copy.log", row.received, 0),
                  row.expected)
            << row.why;
    }
}

// A Hebrew system whose program lies in a Hebrew folder: the header's path
// comes out in Hebrew letters, converted with the system's code page.
TEST_F(UpdatePackageLogFile, NonAsciiPathConvertsWithTheAnsiCodePage)
{
    machine.system_language = 0x040D;
    machine.module_path = "C:\\\u05E2\u05D1\u05E8\u05D9\u05EA\\Setup.exe";  // C:\עברית\Setup.exe
    SetupContext context{};
    context.support_flags = SUPPORT_LOG;
    bounded_copy(g_process.command_line, sizeof g_process.command_line, "/s");
    WriteUpdatePackageLog(nullptr, "/s", 0, START, &context);
    const std::string bytes = read_file("C:\\Windows\\Rire\\UpdatePackage\\log\\Setup.log");
    std::u16string units;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
        units.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                              (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    }
    const std::string text = sim::utf16_to_ansi(units, 65001);
    const size_t line = text.find("Command:");
    EXPECT_EQ(bytes.substr(0, 2) + text.substr(line, text.find("\r\n", line) + 2 - line),
              "\xFF\xFE" "Command:C:\\\u05E2\u05D1\u05E8\u05D9\u05EA\\Setup.exe /s\r\n");
}

TEST_F(UpdatePackageLogFile, DirectoryPathCreatesTheFoldersOfAFilePath)
{
    const struct {
        uint32_t code_page;
        const char* path;
        int result;
        const char* folders;  // below C:\ afterwards, in the code page, looked up as Windows paths
    } rows[] = {
        {1252, "C:\\a\\b\\file.log", 0, "a a\\b"},
        {1252, "C:\\file.log", 0, ""},
        {1252, "C:\\a\\b\\", 0, "a a\\b"},
        {1252, "X:\\a\\b\\file.log", 0, ""},  // the drive is not there: nothing can be made
        {1252, "a\\b\\file.log", 3, ""},
        {1252, "\\\\server\\share\\file.log", 3, ""},
        {1252, "", 3, ""},
        {1252, "C:\\a<b\\c\\file.log", 0, ""},  // a name Windows refuses leaves the rest without a parent
        // The second byte of "表" (95 5C) and "ソ" (83 5C) in 932, of "功" (A5 5C)
        // in 950, is the backslash byte and no separator.
        {932, "C:\\\x95\x5C\x8E\xA6\\\x83\x5C\x83\x74\x83\x67\\x.log", 0,
         "\x95\x5C\x8E\xA6 \x95\x5C\x8E\xA6\\\x83\x5C\x83\x74\x83\x67"},
        {932, "C:\\\x95\x5C\x8C\x76\x8E\x5A\\r.txt", 0, "\x95\x5C\x8C\x76\x8E\x5A"},
        {932, "C:\\\x83\x5C\\\x95\x5C", 0, "\x83\x5C"},  // the file name ends in 5C too
        {950, "C:\\\xA5\x5C\xAF\xE0\\x.log", 0, "\xA5\x5C\xAF\xE0"},
    };
    for (const auto& row : rows) {
        machine.ansi_code_page = row.code_page;
        std::filesystem::remove_all(drive_root);
        std::filesystem::create_directories(drive_root);
        const int result = CreateDirectoryPath(row.path);
        // Every folder named is there, and nothing else is.
        size_t expected_count = 0;
        std::string missing;
        std::istringstream folders(row.folders);
        for (std::string folder; folders >> folder; ++expected_count) {
            const uint32_t attributes = FILE_GetAttributes(("C:\\" + folder).c_str());
            if (attributes == FILE_INVALID_ATTRIBUTES || (attributes & FILE_ATTR_DIRECTORY) == 0) missing += " " + folder;
        }
        const auto entries = std::distance(std::filesystem::recursive_directory_iterator(drive_root),
                                           std::filesystem::recursive_directory_iterator());
        EXPECT_EQ(std::to_string(result) + ":" + std::to_string(entries) + missing,
                  std::to_string(row.result) + ":" + std::to_string(expected_count))
            << row.path;
    }
}

}  // namespace
