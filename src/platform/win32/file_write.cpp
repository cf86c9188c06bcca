// FILE_, the half that changes files: creating, appending, writing,
// folders, copies, deletes and moves.
#include <windows.h>

#include "platform/file.h"

FILE_Handle FILE_CreateForWrite(const char* path)
{
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    return file == INVALID_HANDLE_VALUE ? nullptr : file;
}

FILE_Handle FILE_OpenForAppend(const char* path)
{
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    return file == INVALID_HANDLE_VALUE ? nullptr : file;
}

bool FILE_Write(FILE_Handle file, const void* data, uint32_t size)
{
    DWORD written = 0;
    return WriteFile(static_cast<HANDLE>(file), data, size, &written, nullptr) != FALSE && written == size;
}

bool FILE_CreateDirectory(const char* path)
{
    return CreateDirectoryA(path, nullptr) != FALSE;
}

bool FILE_CopyFile(const char* source, const char* destination)
{
    return CopyFileA(source, destination, FALSE) != FALSE;
}

bool FILE_Delete(const char* path)
{
    return DeleteFileA(path) != FALSE;
}

bool FILE_MoveReplace(const char* from, const char* to)
{
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING) != FALSE;
}
