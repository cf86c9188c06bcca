// Folders for a file path the user or the program names.
#pragma once

// Creates every folder of a file path below its drive root ("C:\a\b\f.log"
// creates C:\a and C:\a\b; the last component is a file name and never
// created). Folders that exist, or cannot be made, are passed over. Returns 0,
// or 3 for an empty path or one without a drive ("X:\").
int CreateDirectoryPath(const char* path);
