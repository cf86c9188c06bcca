// Why a run took its turn where its boxes and files do not say it: read,
// after run_setup has returned, from what the program left in its process
// state and from the package, with the program's own routines, on the
// machine the run was on. Both hosts (setup-sim, SetupCheck.exe) append them
// to the run record's reasons. The texts are ANSI of the machine's code page.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/record/run_record.h"

std::vector<std::string> run_explanation(const record::RunRecord& run);

// Whether a box shows the string-table message `id` (its text, maybe with an
// error code after it), in the machine's language.
bool shows_message(const record::Box& box, uint32_t id);
