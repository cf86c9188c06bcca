// Install after install with DEBUG: what each run's record carries of the
// engine's log, and what the engine's log holds at the end.
#include <gtest/gtest.h>

#include <string>

#include "setup/context.h"
#include "support/package_fixture.h"

namespace {

const char* ENGINE_LOG = "C:\\Windows\\DpInst.log";
const char* BACKUP_LOG = "C:\\Windows\\DpInst_org.log";
const char* RECORD = "C:\\Windows\\Rire\\UpdatePackage\\log\\Setup.log";

class EngineLogStory : public PackageTest {
protected:
    void SetUp() override
    {
        PackageTest::SetUp();
        set_os(10, 0, true);
        write_settings("[W864]\r\nPath=\\x64\\DPInst.exe\r\nSupport=13\r\n");  // properties, log, exit code
        write_engine("x64\\DPInst.exe", 0x8664);
        write_inf("x64\\Touch.inf");
        write_file(ENGINE_LOG, "H\r\n");
    }

    // The engine's part of the record: the bytes after the UTF-16 debugging banner.
    std::string engine_part_of_record()
    {
        std::string banner;
        for (const char c : std::string("Report Information for Debugging <================\r\n")) {
            banner += std::string{c, '\0'};
        }
        const std::string record = read_file(RECORD);
        const size_t at = record.find(banner);
        return at == std::string::npos ? "(no banner)" : record.substr(at + banner.size());
    }
};

TEST_F(EngineLogStory, HistoryKeptAndEachRunsEntriesAppendedOnce)
{
    const struct {
        const char* why;
        const char* command_line;
        int history_in_use_in_run;  // the saved-history name is held by another program then; 0: never
        std::string expected;       // each run's engine part of the record, then the engine's log and its backup
    } rows[] = {
        {"silent DEBUG", "/s /vDEBUG=true", 0, "R1\x1A.\r\n|R2\r\n|R3\r\n|H\r\nR1\x1A.\r\nR2\r\nR3\r\n|no backup"},
        {"silent DEBUG, history cannot be saved in run 2", "/s /vDEBUG=true", 2,
         "R1\x1A.\r\n|H\r\nR1\x1A.\r\nR2\r\n|R3\r\n|H\r\nR1\x1A.\r\nR2\r\nR3\r\n|no backup"},
        {"interactive DEBUG: the log is never moved", "/vDEBUG=true", 0,
         "H\r\nR1\x1A.\r\n|H\r\nR1\x1A.\r\nR2\r\n|H\r\nR1\x1A.\r\nR2\r\nR3\r\n|H\r\nR1\x1A.\r\nR2\r\nR3\r\n|no backup"},
    };
    for (const auto& row : rows) {
        write_file(ENGINE_LOG, "H\r\n");
        std::string outcome;
        const char* entries[] = {"R1\x1A.", "R2", "R3"};
        for (int number = 1; number <= 3; ++number) {
            machine.programs["dpinst.exe"].engine_log_lines = {entries[number - 1]};
            machine.mutexes.clear();  // each run is a process of its own
            machine.locked_files.clear();
            if (number == row.history_in_use_in_run) machine.locked_files.push_back(BACKUP_LOG);
            run(row.command_line);
            outcome += engine_part_of_record() + "|";
        }
        outcome += read_file(ENGINE_LOG) + "|" + (file_exists(BACKUP_LOG) ? "backup left" : "no backup");
        EXPECT_EQ(outcome, row.expected) << row.why;
    }
}

}  // namespace
