// The record a run leaves at its end: the update-package log "Setup.log" under
// the Windows folder (a UTF-16 run header), or with "/f2" the response report
// at the path given with it.
#pragma once

#include <cstdint>

#include "platform/sys.h"
#include "platform/types.h"
#include "setup/context.h"

// Both texts are composed in buffers of this many characters; what does not
// fit is cut off.
constexpr uint32_t LOG_TEXT_CAPACITY = 1024;

// Writes the run's record when it is wanted: with log_requested, or with
// support_flags value 4 in a silent or EXTRACTDRIVERS run. "/f2" anywhere in
// the command line as received selects the response report at log_file;
// otherwise the UTF-16LE update-package log. DEBUG appends the engine's log
// to it; LOGFILE copies it there. Failures change nothing in the run.
void WriteUpdatePackageLog(ModuleHandle instance, const char* received_command_line, int result,
                           SYS_Time start_time, const SetupContext* context);

// The run header, line by line, each line ended by CR LF.
void BuildLogHeader(ModuleHandle instance, char* text, const char* received_command_line, SYS_Time start_time,
                    int result);

// "[ResponseResult]" / "ResultCode=" / "[DPInst]" / "DpinstReturnCode=" /
// "SetupDriverVersion=". An engine exit code of 0x80000000 or 0x80000001
// sets result_code_override to 1602 or 1604 first; a non-zero override is
// reported in place of the result.
void BuildResponseReport(char* text, int result);
