// FILE_, the half that changes files, into the run record: nothing reaches
// the machine. Each function fails where Windows would fail it for the files
// as the run would have left them (a missing source or folder, a folder in
// the way, a name Windows refuses), so the program takes the same turns.
#include <cstring>
#include <string>

#include "platform/check/check_run.h"
#include "platform/check/file_overlay.h"
#include "platform/file.h"
#include "platform/path.h"
#include "platform/sys.h"

namespace {

constexpr uint32_t ERR_INVALID_NAME = 123;

bool is_folder(const std::string& full)
{
    const uint32_t attributes = FILE_GetAttributes(full.c_str());
    return attributes != FILE_INVALID_ATTRIBUTES && (attributes & FILE_ATTR_DIRECTORY) != 0;
}

// 0 when the path names a file, else the error Windows gives for it as a source.
uint32_t source_error(const std::string& full)
{
    const uint32_t attributes = FILE_GetAttributes(full.c_str());
    if (attributes == FILE_INVALID_ATTRIBUTES) return SYS_GetLastError();
    return (attributes & FILE_ATTR_DIRECTORY) != 0 ? ERR_ACCESS_DENIED : 0;
}

// 0 when the folder that a new file or folder of the path goes in is there,
// else the error Windows gives. A network path's server or share lies in no
// folder: the system's own answer for it stands (an unreachable server).
// Windows drops trailing blanks and periods from a path's last part only, so
// a parent whose name ends in one ("C:\tb  " of "C:\tb  \x") names no
// folder, even where "C:\tb" is one.
uint32_t parent_error(const std::string& full)
{
    const std::string parent = check::parent_folder(full);
    if (parent.empty()) {
        return FILE_GetAttributes(full.c_str()) == FILE_INVALID_ATTRIBUTES ? SYS_GetLastError() : ERR_ACCESS_DENIED;
    }
    const char last = parent.back();
    if (last == ' ' || last == '.') return ERR_PATH_NOT_FOUND;
    if (FILE_GetAttributes(parent.c_str()) == FILE_INVALID_ATTRIBUTES) {
        const uint32_t error = SYS_GetLastError();
        return error == ERR_FILE_NOT_FOUND || error == 0 ? ERR_PATH_NOT_FOUND : error;
    }
    return is_folder(parent) ? 0 : ERR_PATH_NOT_FOUND;
}

// 0 when a file can be put at the path, else the error Windows gives. A path
// that ends in "\" names a folder: no file is made by that name.
uint32_t destination_error(const std::string& full)
{
    const bool names_folder = full.size() > 3 && full.back() == '\\';
    if (is_folder(names_folder ? full.substr(0, full.size() - 1) : full)) return ERR_ACCESS_DENIED;
    if (names_folder) return ERR_INVALID_NAME;
    return parent_error(full);
}

bool fail(uint32_t error)
{
    SYS_SetLastError(error);
    return false;
}

// The whole content of a file as the run would leave it.
std::string content_of(const std::string& full)
{
    std::string bytes;
    FILE_Handle file = FILE_OpenExistingForRead(full.c_str());
    if (file == nullptr) return bytes;
    char chunk[4096];
    uint32_t read = 0;
    while (FILE_Read(file, chunk, sizeof chunk, &read) && read > 0) bytes.append(chunk, read);
    FILE_Close(file);
    return bytes;
}

// The run's entry for a file it writes, made when there is none.
record::WrittenFile& written(const std::string& full)
{
    check::unlist_deleted(full);
    if (record::WrittenFile* file = check::written_file(full)) return *file;
    return record::add_written_file(&check::run_record(), {full, "", 0, ""});
}

// A file that the run copies or moves, as its destination gets it: the
// bytes the run wrote, or the machine's file it stands for.
record::WrittenFile copy_content(const std::string& source)
{
    if (const record::WrittenFile* file = check::written_file(source)) return *file;
    return {"", "", check::machine_file_size(source), source};
}

void remove_file(const std::string& full)
{
    check::forget_written(full);
    if (check::machine_attributes(full) != FILE_INVALID_ATTRIBUTES &&
        !check::listed(check::run_record().files_deleted, full)) {
        record::add_deleted_file(&check::run_record(), full);
    }
}

FILE_Handle writer(const std::string& full)
{
    auto* file = new check::OpenFile;
    file->path = full;
    file->writing = true;
    return file;
}

}  // namespace

FILE_Handle FILE_CreateForWrite(const char* path)
{
    const std::string full = check::full_path(path);
    if (const uint32_t error = destination_error(full)) {
        fail(error);
        return nullptr;
    }
    written(full) = {full, "", 0, ""};
    return writer(full);
}

FILE_Handle FILE_OpenForAppend(const char* path)
{
    const std::string full = check::full_path(path);
    if (const uint32_t error = source_error(full)) {
        fail(error);
        return nullptr;
    }
    const record::WrittenFile* kept = check::written_file(full);
    if (kept == nullptr || !kept->copy_of.empty()) {
        const std::string bytes = content_of(full);
        written(full) = {full, bytes, bytes.size(), ""};
    }
    return writer(full);
}

bool FILE_Write(FILE_Handle handle, const void* data, uint32_t size)
{
    const auto* file = static_cast<check::OpenFile*>(handle);
    record::WrittenFile* target = file->writing ? check::written_file(file->path) : nullptr;
    if (target == nullptr) return fail(ERR_ACCESS_DENIED);
    target->bytes.append(static_cast<const char*>(data), size);
    target->size = target->bytes.size();
    return true;
}

bool FILE_CreateDirectory(const char* path)
{
    const std::string full = check::full_path(path);
    // After the drive ("C:"), Windows takes none of these in a name; "|" is
    // also the second byte of many double-byte characters, which are good names.
    if (full.size() > 2 && PATH_FindFirstOf(full.c_str() + 2, "\"<>|*?") != nullptr) return fail(ERR_INVALID_NAME);
    if (FILE_GetAttributes(full.c_str()) != FILE_INVALID_ATTRIBUTES) return fail(ERR_ALREADY_EXISTS);
    if (const uint32_t error = parent_error(full)) return fail(error);
    record::add_folder(&check::run_record(), full);
    return true;
}

bool FILE_CopyFile(const char* source, const char* destination)
{
    const std::string from = check::full_path(source);
    const std::string to = check::full_path(destination);
    if (const uint32_t error = source_error(from)) return fail(error);
    if (const uint32_t error = destination_error(to)) return fail(error);
    if (check::same_path(from, to)) return fail(ERR_SHARING_VIOLATION);
    record::WrittenFile content = copy_content(from);
    content.path = to;
    written(to) = content;
    return true;
}

bool FILE_Delete(const char* path)
{
    const std::string full = check::full_path(path);
    if (const uint32_t error = source_error(full)) return fail(error);
    remove_file(full);
    return true;
}

bool FILE_MoveReplace(const char* from_path, const char* to_path)
{
    const std::string from = check::full_path(from_path);
    const std::string to = check::full_path(to_path);
    if (const uint32_t error = source_error(from)) return fail(error);
    if (const uint32_t error = destination_error(to)) return fail(error);
    if (check::same_path(from, to)) return true;
    record::WrittenFile content = copy_content(from);
    remove_file(from);
    // A file moved back to where the machine has it is the machine's file again.
    if (check::same_path(content.copy_of, to)) {
        check::forget_written(to);
        check::unlist_deleted(to);
        return true;
    }
    content.path = to;
    written(to) = content;
    return true;
}
