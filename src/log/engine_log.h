// The installer engine's own log, "DpInst.log" in the Windows folder, in a
// silent DEBUG run: moved aside before the engine runs, so that the record of
// the run carries only this run's entries, and joined back after the record
// is written.
#pragma once

#include "setup/context.h"

constexpr int ENGINE_LOG_SAVE = 0;     // before the engine runs
constexpr int ENGINE_LOG_RESTORE = 1;  // after the record is written

// Nothing happens unless the run is silent, the log is wanted (support_flags
// value 4) and DEBUG is on; a phase other than the two does nothing.
//
// Save: "DpInst.log" becomes the history "DpInst_org.log". Restore (only
// after a save): this run's "DpInst.log" is appended to the history and the
// whole takes the name "DpInst.log" again; if the join fails, both files stay
// as they are. A history left from an earlier run whose restore never
// happened or failed is joined with the later entries at the next save, never
// overwritten, so no entry is lost in any order of failures.
// The save sets g_process.engine_log_saved when it moved the log aside.
void MergeEngineLog(int phase, const SetupContext* context);
