#include "log/engine_log.h"

#include "log/file_append.h"
#include "log/log_paths.h"
#include "platform/file.h"
#include "setup/run_mode.h"

namespace {

bool is_file(const char* path)
{
    const uint32_t attributes = FILE_GetAttributes(path);
    return attributes != FILE_INVALID_ATTRIBUTES && (attributes & FILE_ATTR_DIRECTORY) == 0;
}

void save(const char* original_log, const char* backup_log)
{
    if (!is_file(original_log)) return;
    if (is_file(backup_log)) {
        // History from a run that never restored it: this log holds the
        // entries written since, so they go after it.
        g_process.engine_log_saved = append_file(backup_log, original_log) && FILE_Delete(original_log);
    } else {
        g_process.engine_log_saved = FILE_MoveReplace(original_log, backup_log);
    }
}

void restore(const char* original_log, const char* backup_log)
{
    if (!g_process.engine_log_saved) return;
    // An engine that wrote no log this time gets its history back as it was.
    if (is_file(original_log) && !append_file(backup_log, original_log)) return;
    FILE_MoveReplace(backup_log, original_log);
}

}  // namespace

void MergeEngineLog(int phase, const SetupContext* context)
{
    if (!is_silent_mode() || (context->support_flags & SUPPORT_LOG) == 0 || g_process.debug == 0) return;
    char original_log[PATH_CAPACITY];
    char backup_log[PATH_CAPACITY];
    engine_log_path(original_log);
    expanded_path("%SYSTEMROOT%", "\\DpInst_org.log", backup_log);
    if (phase == ENGINE_LOG_SAVE) save(original_log, backup_log);
    if (phase == ENGINE_LOG_RESTORE) restore(original_log, backup_log);
}
