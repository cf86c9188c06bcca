// What a run did to the simulated machine, printed for people or as JSON.
#pragma once

#include <string>
#include <vector>

#include "platform/sim/machine.h"

struct RunOutcome {
    std::string program_path;
    std::string command_line;
    int result = 0;
    int exit_code = 0;
    bool ended_at_once = false;               // no end of run: no log, no restart
    std::vector<std::string> folders_created; // Windows paths
    std::vector<std::string> files_written;   // Windows paths
};

std::string transcript_text(const sim::Machine& machine, const RunOutcome& outcome);
std::string transcript_json(const sim::Machine& machine, const RunOutcome& outcome);

// The name of a result code ("REBOOT_REQUIRED"), or "" for an unknown one.
const char* result_name(int result);
