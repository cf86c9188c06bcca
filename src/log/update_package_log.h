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

// The run header, line by line, each line ended by CR LF.
void BuildLogHeader(ModuleHandle instance, char* text, const char* received_command_line, SYS_Time start_time,
                    int result);

// "[ResponseResult]" / "ResultCode=" / "[DPInst]" / "DpinstReturnCode=" /
// "SetupDriverVersion=". An engine exit code of 0x80000000 or 0x80000001
// sets result_code_override to 1602 or 1604 first; a non-zero override is
// reported in place of the result.
void BuildResponseReport(char* text, int result);
