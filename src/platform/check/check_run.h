// The check backend: the program runs against the real machine, reading what
// the Windows backend reads, while everything that would change the machine
// (processes, files, boxes, the restart) is recorded instead of done. This
// is what SetupCheck.exe sets before the run and reads after it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/record/run_record.h"

namespace check {

struct RunSettings {
    std::string program_path;       // the Setup.exe whose run is checked
    uint32_t engine_exit_code = 0;  // what the held-back engine is taken to end with
    bool engine_exit_code_chosen = false;
    std::vector<int> answers;       // the boxes' answers in turn (button ids); then default buttons
};

void start_run(const RunSettings& settings);
const RunSettings& run_settings();
record::RunRecord& run_record();

// A box of the run, the program's or the shell's: recorded, never shown, and
// answered with the next of the run's answers, as MessageBox would take that
// button, or with its default button, as a box nobody is there to answer.
int show_box(record::Box box);

}  // namespace check
