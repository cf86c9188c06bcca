#include "log/log.h"

// Not yet built: the update-package log, the engine log merge and the
// custom-setting request file. Until they are, a run leaves no files.

void WriteUpdatePackageLog(ModuleHandle /*instance*/, const char* /*received_command_line*/, int /*result*/,
                           SYS_Time /*start_time*/, const SetupContext* /*context*/)
{
}

void MergeEngineLog(int /*phase*/, const SetupContext* /*context*/)
{
}

void delete_custom_setting_file()
{
}

void write_custom_setting_file()
{
}
