// Driver extraction: the package's driver folders copied into a tree of
// one folder per Windows version and bitness below "production".
#pragma once

#include "platform/types.h"
#include "setup/context.h"

// Every driver folder of the package to the destination: 0, or
// DEP_SOFT_ERROR when the program's own path is unavailable or a copy failed
// (the remaining copies are still made). A source folder the package does
// not have is no failure.
int extract_driver_files(ModuleHandle instance, const char* destination, SetupContext* context);

// The support-matrix form: each supported slot's configuration-section
// subfolder, bus by bus and slot by slot.
int extract_driver_files_v2(ModuleHandle instance, const char* destination, SetupContext* context);

// Copies the source folder with its subfolders into the destination folder,
// creating it when needed, overwriting files, skipping empty subfolders and
// hidden or system files, and never reading the trees of the run's
// extractions. 1 when everything there was copied (a missing source has
// nothing to copy), 0 when a folder or file could not be written or the
// source lies in one of those trees.
int mup_copy_folder(const char* destination, const char* source);

// The folder below "production" for each OS slot.
extern const char* const os_folder_names[OS_SLOT_COUNT];
