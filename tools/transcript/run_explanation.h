// Why a run took the turn it took, for the tools that tell a person what
// Setup.exe did or would do: read after the run from the program's own state
// and the package, with the program's own readers, so that it can never
// disagree with the run. Nothing of it is in Setup.exe.
#pragma once

#include "platform/record/run_record.h"

// Adds the reasons (ANSI texts of the machine's code page, as the program's
// other texts in the record) to the record, each among the events where it
// belongs: a missing settings file first; the devices seen and the hardware
// IDs wanted after the "does not support your touchpad" box; both versions
// after the version-library box; the installed and package versions and
// their comparison before the engine starts, or after the last box when it
// does not.
void explain_run(record::RunRecord* run);
