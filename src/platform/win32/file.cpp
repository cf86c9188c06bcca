// FILE_, the half that only looks: folder listings, reads, attributes and
// read-only views. The half that changes files is file_write.cpp.
#include <windows.h>

#include <cstring>

#include "platform/file.h"

namespace {

void copy_found(const WIN32_FIND_DATAA& data, FILE_FindData* found)
{
    std::strncpy(found->name, data.cFileName, sizeof found->name - 1);
    found->name[sizeof found->name - 1] = '\0';
    found->attributes = data.dwFileAttributes;
}

}  // namespace

FILE_FindHandle FILE_FindFirst(const char* pattern, FILE_FindData* found)
{
    WIN32_FIND_DATAA data{};
    HANDLE search = FindFirstFileA(pattern, &data);
    if (search == INVALID_HANDLE_VALUE) return nullptr;
    copy_found(data, found);
    return search;
}

bool FILE_FindNext(FILE_FindHandle search, FILE_FindData* found)
{
    WIN32_FIND_DATAA data{};
    if (!FindNextFileA(static_cast<HANDLE>(search), &data)) return false;
    copy_found(data, found);
    return true;
}

void FILE_FindClose(FILE_FindHandle search)
{
    FindClose(static_cast<HANDLE>(search));
}

FILE_Handle FILE_OpenExistingForRead(const char* path)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    return file == INVALID_HANDLE_VALUE ? nullptr : file;
}

bool FILE_Read(FILE_Handle file, void* data, uint32_t size, uint32_t* read)
{
    DWORD count = 0;
    const BOOL ok = ReadFile(static_cast<HANDLE>(file), data, size, &count, nullptr);
    *read = count;
    return ok != FALSE;
}

uint32_t FILE_GetAttributes(const char* path)
{
    return GetFileAttributesA(path);
}

void FILE_Close(FILE_Handle file)
{
    CloseHandle(static_cast<HANDLE>(file));
}

uint32_t FILE_GetFullPathName(const char* path, char* buffer, uint32_t capacity)
{
    return GetFullPathNameA(path, capacity, buffer, nullptr);
}

bool FILE_PathsEqual(const char* a, const char* b)
{
    return lstrcmpiA(a, b) == 0;
}

bool FILE_MapReadOnly(FILE_Handle file, FILE_View* view)
{
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(static_cast<HANDLE>(file), &size)) return false;
    HANDLE mapping = CreateFileMappingA(static_cast<HANDLE>(file), nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (mapping == nullptr) return false;
    const void* data = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
    if (data == nullptr) {
        CloseHandle(mapping);
        return false;
    }
    view->data = static_cast<const uint8_t*>(data);
    view->size = static_cast<uint64_t>(size.QuadPart);
    view->mapping = mapping;
    return true;
}

void FILE_Unmap(FILE_View* view)
{
    if (view->data != nullptr) UnmapViewOfFile(view->data);
    if (view->mapping != nullptr) CloseHandle(static_cast<HANDLE>(view->mapping));
    view->data = nullptr;
    view->mapping = nullptr;
    view->size = 0;
}
