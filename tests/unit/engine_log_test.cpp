// The engine's log in a silent DEBUG run: saved before the engine runs,
// joined back afterwards, and never an entry lost when a step fails.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "common/bounded_string.h"
#include "log/engine_log.h"
#include "setup/context.h"
#include "support/sim_fixture.h"

namespace {

const char* ORIGINAL = "C:\\Windows\\DpInst.log";
const char* BACKUP = "C:\\Windows\\DpInst_org.log";

using EngineLogMerge = SimMachineTest;

TEST_F(EngineLogMerge, FileStatesAfterEachPhase)
{
    const struct {
        const char* why;
        const char* mode;  // "/s": silent
        uint32_t support_flags;
        uint32_t debug;
        int phase;
        bool saved_before;
        const char* original;  // nullptr: absent
        const char* backup;
        const char* locked;    // a file another program holds open, or nullptr
        std::string expected;  // DpInst.log | DpInst_org.log | saved ("-": absent)
    } rows[] = {
        {"save moves the log aside", "/s", 4, 1, ENGINE_LOG_SAVE, false, "H", nullptr, nullptr, "-|H|1"},
        {"save without a log", "/s", 4, 1, ENGINE_LOG_SAVE, false, nullptr, nullptr, nullptr, "-|-|0"},
        {"save after a run that never restored", "/s", 4, 1, ENGINE_LOG_SAVE, false, "I", "H", nullptr, "-|HI|1"},
        {"save of a log in use", "/s", 4, 1, ENGINE_LOG_SAVE, false, "H", nullptr, ORIGINAL, "H|-|0"},
        {"save, earlier history in use", "/s", 4, 1, ENGINE_LOG_SAVE, false, "I", "H", BACKUP, "I|H|0"},
        {"interactive run", "", 4, 1, ENGINE_LOG_SAVE, false, "H", nullptr, nullptr, "H|-|0"},
        {"no DEBUG", "/s", 4, 0, ENGINE_LOG_SAVE, false, "H", nullptr, nullptr, "H|-|0"},
        {"log not wanted", "/s", 8, 1, ENGINE_LOG_SAVE, false, "H", nullptr, nullptr, "H|-|0"},
        {"restore joins in binary", "/s", 4, 1, ENGINE_LOG_RESTORE, true, "N\x1A!\r\n", "H\r\n", nullptr,
         "H\r\nN\x1A!\r\n|-|1"},
        {"restore after an engine that wrote no log", "/s", 4, 1, ENGINE_LOG_RESTORE, true, nullptr, "H", nullptr,
         "H|-|1"},
        {"restore without a save", "/s", 4, 1, ENGINE_LOG_RESTORE, false, "N", "H", nullptr, "N|H|0"},
        {"restore, new entries in use: both stay", "/s", 4, 1, ENGINE_LOG_RESTORE, true, "N", "H", ORIGINAL, "N|H|1"},
        {"restore, history in use: both stay", "/s", 4, 1, ENGINE_LOG_RESTORE, true, "N", "H", BACKUP, "N|H|1"},
        {"another phase", "/s", 4, 1, 2, true, "N", "H", nullptr, "N|H|1"},
    };
    for (const auto& row : rows) {
        reset_process_state();
        std::filesystem::remove_all(drive_root);
        std::filesystem::create_directories(drive_root + "/Windows");
        if (row.original != nullptr) write_file(ORIGINAL, row.original);
        if (row.backup != nullptr) write_file(BACKUP, row.backup);
        machine.locked_files.clear();
        if (row.locked != nullptr) machine.locked_files.push_back(row.locked);
        bounded_copy(g_process.command_line, sizeof g_process.command_line, row.mode);
        g_process.debug = row.debug;
        g_process.engine_log_saved = row.saved_before;
        SetupContext context{};
        context.support_flags = row.support_flags;

        MergeEngineLog(row.phase, &context);
        const auto state = [&](const char* path) { return file_exists(path) ? read_file(path) : "-"; };
        EXPECT_EQ(state(ORIGINAL) + "|" + state(BACKUP) + "|" + (g_process.engine_log_saved ? "1" : "0"), row.expected)
            << row.why;
    }
}

}  // namespace
