// Why a run took the turn it took, for the tools that tell a person what
// Setup.exe did or would do: read after the run from the program's own state
// and the package, with the program's own readers, so that it can never
// disagree with the run. Nothing of it is in Setup.exe.
#pragma once

#include <cstdint>

#include "platform/record/run_record.h"

// Adds the reasons (ANSI texts of the machine's code page, as the program's
// other texts in the record) to the record, each among the events where it
// belongs: a missing settings file first; the devices seen and the hardware
// IDs wanted after the "does not support your touchpad" box; both versions
// after the version-library box; the installed and package versions and
// their comparison (with no driver installed, the registry value read and
// its view) before the engine starts, or after the last box when it does
// not.
void explain_run(record::RunRecord* run);

// Whether a box shows the string-table message `id` (its text, maybe with an
// error code after it), in the machine's language.
bool shows_message(const record::Box& box, uint32_t id);
