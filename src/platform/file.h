// FILE_: directory search and read-only file views.
//
// The program opens files of its package, of the Windows folder and of
// folders named on its command line, never of System32, so the redirection
// of System32 to SysWOW64 that the shipped 32-bit program gets on 64-bit
// Windows changes none of its paths: the 64-bit test build opens the same
// files.
#pragma once

#include "platform/types.h"

struct FILE_FindData {
    char name[PATH_CAPACITY];  // file name only, without folder
    uint32_t attributes;
};
constexpr uint32_t FILE_ATTR_HIDDEN = 0x2;
constexpr uint32_t FILE_ATTR_SYSTEM = 0x4;
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
// CreateFileA for writing, no sharing, CREATE_ALWAYS: a new empty file, or
// an existing one emptied. nullptr on failure with the last error set.
FILE_Handle FILE_CreateForWrite(const char* path);
// CreateFileA for appending to an existing file (OPEN_EXISTING, no sharing):
// every write lands at the file's end. nullptr on failure (2 when missing).
FILE_Handle FILE_OpenForAppend(const char* path);
void FILE_Close(FILE_Handle file);

// ReadFile: up to `size` bytes; *read is 0 at the end of the file.
bool FILE_Read(FILE_Handle file, void* data, uint32_t size, uint32_t* read);
// WriteFile: true only when every byte was written.
bool FILE_Write(FILE_Handle file, const void* data, uint32_t size);

// CreateDirectoryA without security attributes: 183 when the name exists
// (folder or file), 3 when the parent is missing, 123 for a name Windows
// refuses (one holding '"', '<', '>', '|', '*' or '?').
bool FILE_CreateDirectory(const char* path);
// CopyFileA with overwriting allowed: 2 missing source, 3 missing
// destination folder, 5 when the destination is a folder or read-only.
bool FILE_CopyFile(const char* source, const char* destination);
// DeleteFileA.
bool FILE_Delete(const char* path);
// MoveFileExA(MOVEFILE_REPLACE_EXISTING): renames, replacing a destination file.
bool FILE_MoveReplace(const char* from, const char* to);

// GetFileAttributesA: FILE_INVALID_ATTRIBUTES when nothing has that name.
uint32_t FILE_GetAttributes(const char* path);
constexpr uint32_t FILE_INVALID_ATTRIBUTES = 0xFFFFFFFF;

// GetFullPathNameA without the file part: the full path Windows makes of a
// path before it opens anything (a relative path on the current folder, "/"
// read as "\", repeated separators as one, "." and ".." resolved, a trailing
// period or blank of a name dropped); nothing needs to exist. The length
// copied without the terminator; the size needed with it when the buffer is
// too small (nothing copied); 0 when there is no full path (an empty path).
uint32_t FILE_GetFullPathName(const char* path, char* buffer, uint32_t capacity);

// Whether two paths name the same entry as the file system compares names:
// character by character without regard to case (no linguistic rules).
bool FILE_PathsEqual(const char* a, const char* b);

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
