// A run record printed for people or as JSON: one transcript for setup-sim's
// simulated machines and SetupCheck.exe's real one. Text the program passed
// in ANSI (boxes, paths, command lines, file texts) is read in the code page
// of the machine the run was on, through its platform layer, so the
// transcript is made on that machine and is UTF-8 whatever the bytes.
#pragma once

#include <string>

#include "platform/record/run_record.h"

std::string transcript_text(const record::RunRecord& run);
std::string transcript_json(const record::RunRecord& run);

// The name of a result code ("REBOOT_REQUIRED"), or "" for an unknown one.
const char* result_name(int result);

// UTF-8 text as a JSON string, quotes included.
std::string json_string(const std::string& utf8);
