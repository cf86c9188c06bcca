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

// Names compare as the file system compares them: character by character,
// upper-cased, never by the language's sorting rules (which lstrcmpiA follows,
// ignoring hyphens among others).
bool FILE_PathsEqual(const char* a, const char* b)
{
    WCHAR wide_a[PATH_CAPACITY];
    WCHAR wide_b[PATH_CAPACITY];
    const int length_a = MultiByteToWideChar(CP_ACP, 0, a, -1, wide_a, PATH_CAPACITY);
    const int length_b = MultiByteToWideChar(CP_ACP, 0, b, -1, wide_b, PATH_CAPACITY);
    if (length_a == 0 || length_b == 0 || length_a != length_b) return false;
    CharUpperBuffW(wide_a, static_cast<DWORD>(length_a));
    CharUpperBuffW(wide_b, static_cast<DWORD>(length_b));
    return std::memcmp(wide_a, wide_b, sizeof(WCHAR) * static_cast<size_t>(length_a)) == 0;
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
