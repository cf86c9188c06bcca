// The files of the machine as the check run would leave them: what it wrote,
// made and deleted is kept in the run record, and every file function looks
// there before it looks at the machine, so the program reads back what it
// would have written. Folder listings show the machine as it is.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/file.h"
#include "platform/record/run_record.h"

namespace check {

// What a FILE_Handle of the check run points at: a file of the machine, read
// as it is, or a file of the run, read from or written to the record.
struct OpenFile {
    FILE_Handle machine_file = nullptr;
    std::string path;       // the run's file being written: its full path
    bool writing = false;
    std::string bytes;      // the run's file being read: its content when opened
    size_t position = 0;
};

// The full path Windows makes of a path (GetFullPathNameA): the key under
// which the run keeps a file.
std::string full_path(const char* path);
// The folder a full path lies in ("C:\" for "C:\x", "\\server\share" for
// "\\server\share\x"), or "" for a network path's server or share, which
// lies in none.
std::string parent_folder(const std::string& full);
bool same_path(const std::string& a, const std::string& b);

// The file as the run has written it, or nullptr.
record::WrittenFile* written_file(const std::string& full);
// The run's file, or its deletion, taken out of the record with its event.
void forget_written(const std::string& full);
void unlist_deleted(const std::string& full);
bool listed(const std::vector<std::string>& paths, const std::string& full);

// The machine's own view, untouched by the run: its attributes for a path
// (FILE_INVALID_ATTRIBUTES when it has nothing there) and a file's size.
uint32_t machine_attributes(const std::string& full);
uint64_t machine_file_size(const std::string& full);

}  // namespace check
