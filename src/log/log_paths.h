// Where the program's side files live: below the folders that environment
// variables name ("%SYSTEMROOT%", "%SYSTEMDRIVE%").
#pragma once

// `folder_text` expanded into the 260-character path (left empty when the
// expansion does not fit), then `tail` path-appended.
void expanded_path(const char* folder_text, const char* tail, char* path);

// The installer engine's own log, "DpInst.log" in the Windows folder.
void engine_log_path(char* path);
