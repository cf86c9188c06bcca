// SYS_ of the check run for the restart: recorded, and taken as granted.
#include "platform/check/check_run.h"
#include "platform/sys.h"

bool SYS_EnableShutdownPrivilege()
{
    check::run_record().shutdown_privilege_enabled = true;
    return true;
}

bool SYS_ExitWindows(uint32_t flags, uint32_t /*reason*/)
{
    record::request_restart(&check::run_record(), flags);
    return true;
}
