// FILE_: directory search and read-only file views.
#pragma once

#include "platform/types.h"

struct FILE_FindData {
    char name[PATH_CAPACITY];  // file name only, without folder
    uint32_t attributes;
};
constexpr uint32_t FILE_ATTR_DIRECTORY = 0x10;

using FILE_FindHandle = void*;
using FILE_Handle = void*;

// FindFirstFileA: nullptr when nothing matched (last error 2) or the folder is
// missing (3). Names come in the file system's order (case-insensitive sorted).
FILE_FindHandle FILE_FindFirst(const char* pattern, FILE_FindData* found);
bool FILE_FindNext(FILE_FindHandle search, FILE_FindData* found);
void FILE_FindClose(FILE_FindHandle search);

// CreateFileA for reading, sharing read access, only when the file exists.
// nullptr on failure with the last error set.
FILE_Handle FILE_OpenExistingForRead(const char* path);
void FILE_Close(FILE_Handle file);

// A read-only mapping of a whole file and a view of it.
struct FILE_View {
    const uint8_t* data;
    uint64_t size;
    void* mapping;
};

// CreateFileMappingA + MapViewOfFile; false when either fails (an empty file
// cannot be mapped).
bool FILE_MapReadOnly(FILE_Handle file, FILE_View* view);
void FILE_Unmap(FILE_View* view);
