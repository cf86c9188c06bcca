// Whether installing over the driver already on the machine is wanted: the
// question of an interactive run and the classification of every run.
#pragma once

#include "platform/types.h"

// Asks before the same or an older version than the installed one is
// installed; 1 to go on, 0 to stop. A blank installed version is reported in
// an English box and stops; an older installed driver sets
// result_code_override to 1638 without asking.
int ShowOverwriteMsg(ModuleHandle instance, const char* inf_path);

// The INF whose version the question compares with the installed one
// (PATH_CAPACITY): the package INF, or the I2C package's filter INF beside
// it. False when the filter INF's path would be too long to name it.
bool question_version_source(const char* inf_path, char* source);

// Classifies the installed driver against the package INF: -1 none
// installed, or OLDER_INSTALLED, SAME_INSTALLED, NEWER_INSTALLED; stores both
// version texts for the log. 1 when classified, 0 (nothing written) when a
// version could not be read or is malformed.
int CheckOverwrite(ModuleHandle instance, const char* inf_path, int* overwrite_class);
