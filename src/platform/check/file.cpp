// FILE_, the half that only looks, over the files as the check run would
// leave them: what the run wrote, made or deleted first, the machine itself
// through the Windows backend's own functions otherwise.
#include <windows.h>

#include <cstring>
#include <string>

#include "platform/check/check_run.h"
#include "platform/check/file_overlay.h"
#include "platform/file.h"
#include "platform/sys.h"

// The Windows backend's reads, the very code Setup.exe runs, under win32::
// for the functions below to hand on to. Whatever that file includes is
// included above, outside the namespace, so that its own includes add
// nothing here; a FILE_ function it gains fails SetupCheck.exe's link until
// it is handed on or recorded below.
namespace win32 {
#include "platform/win32/file.cpp"
}  // namespace win32

namespace {

// What a view of one of the run's own files carries as its mapping.
char run_file_view;

check::OpenFile* open_file(FILE_Handle handle)
{
    return static_cast<check::OpenFile*>(handle);
}

// Windows refuses to map an empty file.
bool map_run_file(check::OpenFile* file, FILE_View* view)
{
    if (file->bytes.empty()) {
        SYS_SetLastError(ERR_FILE_INVALID);
        return false;
    }
    view->data = reinterpret_cast<const uint8_t*>(file->bytes.data());
    view->size = file->bytes.size();
    view->mapping = &run_file_view;
    return true;
}

}  // namespace

namespace check {

uint32_t machine_attributes(const std::string& full)
{
    return win32::FILE_GetAttributes(full.c_str());
}

}  // namespace check

FILE_FindHandle FILE_FindFirst(const char* pattern, FILE_FindData* found)
{
    return win32::FILE_FindFirst(pattern, found);
}

bool FILE_FindNext(FILE_FindHandle search, FILE_FindData* found)
{
    return win32::FILE_FindNext(search, found);
}

void FILE_FindClose(FILE_FindHandle search)
{
    win32::FILE_FindClose(search);
}

FILE_Handle FILE_OpenExistingForRead(const char* path)
{
    const std::string full = check::full_path(path);
    auto* file = new check::OpenFile;
    if (const record::WrittenFile* written = check::written_file(full)) {
        // A copy reads as the machine's file it was copied from.
        if (written->copy_of.empty()) {
            file->bytes = written->bytes;
            return file;
        }
        file->machine_file = win32::FILE_OpenExistingForRead(written->copy_of.c_str());
    } else if (!check::listed(check::run_record().files_deleted, full)) {
        file->machine_file = win32::FILE_OpenExistingForRead(path);
    } else {
        SYS_SetLastError(ERR_FILE_NOT_FOUND);
    }
    if (file->machine_file == nullptr) {
        delete file;
        return nullptr;
    }
    return file;
}

bool FILE_Read(FILE_Handle handle, void* data, uint32_t size, uint32_t* read)
{
    check::OpenFile* file = open_file(handle);
    if (file->machine_file != nullptr) return win32::FILE_Read(file->machine_file, data, size, read);
    *read = 0;
    if (file->writing) {
        SYS_SetLastError(ERR_ACCESS_DENIED);
        return false;
    }
    const size_t left = file->bytes.size() - file->position;
    *read = static_cast<uint32_t>(left < size ? left : size);
    std::memcpy(data, file->bytes.data() + file->position, *read);
    file->position += *read;
    return true;
}

void FILE_Close(FILE_Handle handle)
{
    check::OpenFile* file = open_file(handle);
    if (file->machine_file != nullptr) win32::FILE_Close(file->machine_file);
    delete file;
}

uint32_t FILE_GetAttributes(const char* path)
{
    const std::string full = check::full_path(path);
    const record::RunRecord& run = check::run_record();
    if (check::written_file(full) != nullptr) return FILE_ATTRIBUTE_ARCHIVE;  // what a new file gets
    if (check::listed(run.folders_created, full)) return FILE_ATTR_DIRECTORY;
    if (check::listed(run.files_deleted, full)) {
        SYS_SetLastError(ERR_FILE_NOT_FOUND);
        return FILE_INVALID_ATTRIBUTES;
    }
    return win32::FILE_GetAttributes(path);
}

// Pure names: the program's own answer, whatever the run has written.
uint32_t FILE_GetFullPathName(const char* path, char* buffer, uint32_t capacity)
{
    return win32::FILE_GetFullPathName(path, buffer, capacity);
}

bool FILE_PathsEqual(const char* a, const char* b)
{
    return win32::FILE_PathsEqual(a, b);
}

bool FILE_MapReadOnly(FILE_Handle handle, FILE_View* view)
{
    check::OpenFile* file = open_file(handle);
    if (file->machine_file != nullptr) return win32::FILE_MapReadOnly(file->machine_file, view);
    return map_run_file(file, view);
}

void FILE_Unmap(FILE_View* view)
{
    if (view->mapping != &run_file_view) {
        win32::FILE_Unmap(view);
        return;
    }
    view->data = nullptr;
    view->mapping = nullptr;
    view->size = 0;
}
