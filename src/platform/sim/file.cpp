// FILE_ on the simulated machine: directory searches and read-only views of
// files on the host folders behind the drives.
//
// Searches match the last part of the pattern the way Windows does once it
// has turned "*" and "?" into its DOS wildcards: "*.*" matches every name
// (with or without a dot), "*." the names without one, "?" also matches
// nothing at a dot or at the end of the name. They compare in Unicode, as
// NTFS does, and hand each name back in the machine's code page as
// FindFirstFileA does: a character the code page lacks comes back as its
// best fit where Windows' table has one, else as '?'. Not reproduced:
// Windows also tests the 8.3 short name of every file, so "*.inf" can match
// a long name such as "a.inf_old" whose short name ends in ".INF"; searches
// here test the long names only.
#include <cstdio>
#include <filesystem>
#include <new>
#include <string>
#include <system_error>
#include <vector>

#include "platform/file.h"
#include "platform/sim/codepage.h"
#include "platform/sim/drives.h"
#include "platform/sim/machine.h"

namespace {

namespace fs = std::filesystem;

constexpr uint32_t ERR_INVALID_NAME = 123;
constexpr uint32_t ATTRIBUTE_ARCHIVE = 0x20;

struct Search {
    std::vector<FILE_FindData> found;
    size_t next = 0;
};

struct OpenFile {
    std::FILE* stream = nullptr;
    std::string host;          // the file it is open on
    bool shares_read = false;  // opened for reading, others may read too
};

// Every handle the program holds open, to refuse what Windows' sharing rules
// refuse: our reads share reading only, our writes and appends share nothing.
std::vector<const OpenFile*> open_files;

struct Mapping {
    std::vector<uint8_t> bytes;
};

bool has_wildcard(const std::string& text)
{
    return text.find_first_of("*?") != std::string::npos;
}

// The pattern as Windows hands it to the file system: "*" before a dot
// matches up to the name's last dot, a dot before a wildcard (or ending the
// pattern) may match the end of the name, "?" may match nothing at a dot or
// at the end.
enum class Token { Literal, Star, DosStar, DosQuestion, DosDot };

struct PatternPart {
    Token token;
    char16_t c;
};

std::vector<PatternPart> compile(const std::u16string& pattern)
{
    std::vector<PatternPart> parts;
    for (size_t i = 0; i < pattern.size(); ++i) {
        const char16_t c = pattern[i];
        const char16_t next = i + 1 < pattern.size() ? pattern[i + 1] : u'\0';
        if (c == '*') {
            parts.push_back({next == '.' ? Token::DosStar : Token::Star, c});
        } else if (c == '?') {
            parts.push_back({Token::DosQuestion, c});
        } else if (c == '.' && (next == '*' || next == '?' || next == '\0')) {
            parts.push_back({Token::DosDot, c});
        } else {
            parts.push_back({Token::Literal, c});
        }
    }
    return parts;
}

class Matcher {
public:
    Matcher(const std::vector<PatternPart>& parts, const std::u16string& name)
        : parts_(parts), name_(name), last_dot_(name.rfind('.')),
          tried_((parts.size() + 1) * (name.size() + 1), false)
    {
    }

    bool match(size_t p, size_t n)
    {
        if (p == parts_.size()) return n == name_.size();
        char& tried = tried_[p * (name_.size() + 1) + n];
        if (tried) return false;  // this state already failed
        tried = true;

        const PatternPart& part = parts_[p];
        const bool at_end = n == name_.size();
        switch (part.token) {
            case Token::Literal:
                return !at_end && sim::upcase(name_[n]) == sim::upcase(part.c) && match(p + 1, n + 1);
            case Token::Star:
                for (size_t k = n; k <= name_.size(); ++k) {
                    if (match(p + 1, k)) return true;
                }
                return false;
            case Token::DosStar: {
                // Never past the name's last dot.
                const size_t limit = last_dot_ != std::string::npos && last_dot_ >= n ? last_dot_ : name_.size();
                for (size_t k = n; k <= limit; ++k) {
                    if (match(p + 1, k)) return true;
                }
                return false;
            }
            case Token::DosQuestion:
                if (at_end || name_[n] == '.') return match(p + 1, n);
                return match(p + 1, n + 1);
            case Token::DosDot:
                if (at_end) return match(p + 1, n);
                return name_[n] == '.' && match(p + 1, n + 1);
        }
        return false;
    }

private:
    const std::vector<PatternPart>& parts_;
    const std::u16string& name_;
    size_t last_dot_;
    std::vector<char> tried_;
};

bool matches(const std::vector<PatternPart>& parts, const std::u16string& name)
{
    Matcher matcher(parts, name);
    return matcher.match(0, 0);
}

FILE_FindData make_found(const std::string& name, bool directory)
{
    FILE_FindData data{};
    const size_t length = name.size() < sizeof data.name ? name.size() : sizeof data.name - 1;
    name.copy(data.name, length);
    data.name[length] = '\0';
    data.attributes = directory ? FILE_ATTR_DIRECTORY : ATTRIBUTE_ARCHIVE;
    return data;
}

bool is_drive_root(const std::string& folder)
{
    return sim::canonical_windows_path(folder).size() == 3;
}

uint32_t fail(uint32_t error)
{
    sim::current().last_error = error;
    return error;
}

// A failed call's false, with its last error.
bool refuse(uint32_t error)
{
    fail(error);
    return false;
}

// Where a path names something on the host, resolved as Windows resolves
// it (relative paths against the current folder); "" off the mapped drives.
std::string host_of(const char* path)
{
    return sim::host_path(sim::absolute_windows_path(path));
}

// Names Windows refuses in any component after the drive: 123. The scan
// steps by characters of the code page: "|" (0x7C) is also the second byte of
// many double-byte characters ("ポ" is 83 7C in 932), which are good names.
bool has_invalid_name(const std::string& path)
{
    static const std::string REFUSED = [] {
        std::string refused = "\"<>|*?:";
        for (char c = 1; c < 32; ++c) refused += c;
        return refused;
    }();
    const size_t start = path.size() >= 2 && path[1] == ':' ? 2 : 0;
    return sim::find_first_of(path, REFUSED, sim::current_ansi_code_page(), start) != std::string::npos;
}

// The error a path gets before anything is created or opened at it: 0 when
// its folder exists, else 3 (folder missing, drive not mapped) or 123.
uint32_t parent_error(const char* path, std::string* host)
{
    if (path == nullptr) return ERR_INVALID_PARAMETER;
    if (path[0] == '\0') return ERR_PATH_NOT_FOUND;
    if (has_invalid_name(path)) return ERR_INVALID_NAME;
    *host = host_of(path);
    std::error_code error;
    if (host->empty() || !fs::is_directory(fs::path(*host).parent_path(), error)) return ERR_PATH_NOT_FOUND;
    return 0;
}

// What a call does with a file, for the sharing rules.
enum class Use { Read, Change };

// 32 when the file is in use: held by another program (a locked file), or open
// here in a way that excludes this use (a read while a write handle is open;
// a write, append, move or delete while any handle is open). Else 0.
uint32_t sharing_error(const char* path, const std::string& host, Use use)
{
    const std::string canonical = sim::canonical_windows_path(sim::absolute_windows_path(path));
    for (const std::string& locked : sim::current().locked_files) {
        if (sim::names_equal(sim::canonical_windows_path(locked), canonical)) return ERR_SHARING_VIOLATION;
    }
    for (const OpenFile* open : open_files) {
        if (open->host == host && (use == Use::Change || !open->shares_read)) return ERR_SHARING_VIOLATION;
    }
    return 0;
}

// The error for an existing file expected at a path: 0, 2, 3, 5 (a folder),
// 32 (in use) or 123.
uint32_t existing_file_error(const char* path, std::string* host, Use use)
{
    uint32_t error_code = parent_error(path, host);
    if (error_code == 0) error_code = sharing_error(path, *host, use);
    if (error_code != 0) return error_code;
    std::error_code error;
    const fs::file_status status = fs::status(*host, error);
    if (fs::is_directory(status)) return ERR_ACCESS_DENIED;
    return fs::exists(status) ? 0 : ERR_FILE_NOT_FOUND;
}

FILE_Handle open_stream(const std::string& host, const char* mode)
{
    const bool reading = mode[0] == 'r';
    std::FILE* stream = std::fopen(host.c_str(), mode);
    if (stream == nullptr) {
        fail(ERR_ACCESS_DENIED);
        return nullptr;
    }
    OpenFile* file = new (std::nothrow) OpenFile;
    if (file == nullptr) {
        std::fclose(stream);
        fail(ERR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    file->stream = stream;
    file->host = host;
    file->shares_read = reading;
    open_files.push_back(file);
    if (!reading) sim::note_host_written(host);
    return file;
}

// What a copy or move from an existing file to a file path fails with before
// it starts: 0, or the error of the source, the destination's folder, a
// destination held open elsewhere or one that is a folder.
uint32_t transfer_error(const char* source, Use source_use, const char* destination, std::string* from,
                        std::string* to)
{
    uint32_t error_code = existing_file_error(source, from, source_use);
    if (error_code == 0) error_code = parent_error(destination, to);
    if (error_code == 0) error_code = sharing_error(destination, *to, Use::Change);
    std::error_code error;
    if (error_code == 0 && fs::is_directory(*to, error)) error_code = ERR_ACCESS_DENIED;
    return error_code;
}

}  // namespace

FILE_FindHandle FILE_FindFirst(const char* pattern, FILE_FindData* found)
{
    if (sim::operation_fails(sim::OperationKind::Directory)) return nullptr;
    if (pattern == nullptr || found == nullptr) {
        fail(ERR_INVALID_PARAMETER);
        return nullptr;
    }
    const std::string text = pattern;
    const size_t separator = sim::find_last_of(text, "\\/", sim::current_ansi_code_page());
    size_t name_start = separator == std::string::npos ? 0 : separator + 1;
    if (separator == std::string::npos && text.size() >= 2 && text[1] == ':') name_start = 2;
    const std::string folder = text.substr(0, name_start);
    const std::string name = text.substr(name_start);

    if (has_wildcard(folder)) {
        fail(ERR_INVALID_NAME);
        return nullptr;
    }
    const std::string host_folder = folder.empty() ? std::string() : sim::host_path(folder);
    std::error_code error;
    if (host_folder.empty() || !fs::is_directory(host_folder, error)) {
        fail(ERR_PATH_NOT_FOUND);
        return nullptr;
    }

    Search* search = new (std::nothrow) Search;
    if (search == nullptr) {
        fail(ERR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    const uint32_t code_page = sim::current_ansi_code_page();
    const std::vector<PatternPart> parts = compile(sim::ansi_to_utf16(name, code_page));
    if (!name.empty()) {
        // Folders below the root list themselves and their parent first.
        if (!is_drive_root(folder)) {
            for (const char16_t* dots : {u".", u".."}) {
                if (matches(parts, dots)) search->found.push_back(make_found(sim::utf16_to_ansi(dots, code_page), true));
            }
        }
        for (const std::string& entry : sim::list_directory_sorted(host_folder)) {
            const std::u16string unicode = sim::utf8_to_utf16(entry);
            if (!matches(parts, unicode)) continue;
            search->found.push_back(make_found(sim::utf16_to_ansi(unicode, code_page),
                                               fs::is_directory(fs::path(host_folder) / entry, error)));
        }
    }
    if (search->found.empty()) {
        delete search;
        fail(ERR_FILE_NOT_FOUND);
        return nullptr;
    }
    *found = search->found[0];
    search->next = 1;
    return search;
}

bool FILE_FindNext(FILE_FindHandle handle, FILE_FindData* found)
{
    if (sim::operation_fails(sim::OperationKind::Directory)) return false;
    auto* search = static_cast<Search*>(handle);
    if (search == nullptr || found == nullptr) {
        fail(search == nullptr ? ERR_INVALID_HANDLE : ERR_INVALID_PARAMETER);
        return false;
    }
    if (search->next >= search->found.size()) {
        fail(ERR_NO_MORE_FILES);
        return false;
    }
    *found = search->found[search->next++];
    return true;
}

void FILE_FindClose(FILE_FindHandle handle)
{
    delete static_cast<Search*>(handle);
}

// CreateFile(OPEN_EXISTING) for reading: 2 for a missing file, 3 when its
// folder is missing (or the drive is not mapped), 5 for a folder, 123 for
// wildcards and other characters Windows refuses in a name.
FILE_Handle FILE_OpenExistingForRead(const char* path)
{
    if (sim::operation_fails(sim::OperationKind::File)) return nullptr;
    std::string host;
    const uint32_t error_code = existing_file_error(path, &host, Use::Read);
    if (error_code != 0) {
        fail(error_code);
        return nullptr;
    }
    return open_stream(host, "rb");
}

FILE_Handle FILE_CreateForWrite(const char* path)
{
    if (sim::operation_fails(sim::OperationKind::File)) return nullptr;
    std::string host;
    uint32_t error_code = parent_error(path, &host);
    if (error_code == 0) error_code = sharing_error(path, host, Use::Change);
    if (error_code != 0) {
        fail(error_code);
        return nullptr;
    }
    std::error_code error;
    if (fs::is_directory(host, error)) {
        fail(ERR_ACCESS_DENIED);
        return nullptr;
    }
    return open_stream(host, "wb");
}

FILE_Handle FILE_OpenForAppend(const char* path)
{
    if (sim::operation_fails(sim::OperationKind::File)) return nullptr;
    std::string host;
    const uint32_t error_code = existing_file_error(path, &host, Use::Change);
    if (error_code != 0) {
        fail(error_code);
        return nullptr;
    }
    return open_stream(host, "ab");
}

bool FILE_Read(FILE_Handle handle, void* data, uint32_t size, uint32_t* read)
{
    auto* file = static_cast<OpenFile*>(handle);
    *read = 0;
    if (sim::operation_fails(sim::OperationKind::File)) return false;
    if (file == nullptr) {
        fail(ERR_INVALID_HANDLE);
        return false;
    }
    *read = static_cast<uint32_t>(std::fread(data, 1, size, file->stream));
    if (std::ferror(file->stream)) {
        fail(ERR_ACCESS_DENIED);
        return false;
    }
    return true;
}

bool FILE_Write(FILE_Handle handle, const void* data, uint32_t size)
{
    if (sim::operation_fails(sim::OperationKind::File)) return false;
    auto* file = static_cast<OpenFile*>(handle);
    if (file == nullptr) {
        fail(ERR_INVALID_HANDLE);
        return false;
    }
    if (std::fwrite(data, 1, size, file->stream) != size || std::fflush(file->stream) != 0) {
        fail(ERR_ACCESS_DENIED);
        return false;
    }
    return true;
}

bool FILE_CreateDirectory(const char* path)
{
    if (sim::operation_fails(sim::OperationKind::Directory)) return false;
    std::string host;
    const uint32_t error_code = parent_error(path, &host);
    if (error_code != 0) return refuse(error_code);
    std::error_code error;
    if (fs::exists(host, error)) return refuse(ERR_ALREADY_EXISTS);
    if (!fs::create_directory(host, error)) return refuse(ERR_ACCESS_DENIED);
    sim::note_host_change(host);
    return true;
}

bool FILE_CopyFile(const char* source, const char* destination)
{
    if (sim::operation_fails(sim::OperationKind::File)) return false;
    std::string from;
    std::string to;
    uint32_t error_code = transfer_error(source, Use::Read, destination, &from, &to);
    std::error_code error;
    if (error_code == 0 && !fs::copy_file(from, to, fs::copy_options::overwrite_existing, error)) {
        error_code = ERR_ACCESS_DENIED;
    }
    if (error_code != 0) return refuse(error_code);
    sim::note_host_written(to);
    return true;
}

bool FILE_Delete(const char* path)
{
    if (sim::operation_fails(sim::OperationKind::File)) return false;
    std::string host;
    const uint32_t error_code = existing_file_error(path, &host, Use::Change);
    if (error_code != 0) return refuse(error_code);
    std::error_code error;
    if (!fs::remove(host, error)) return refuse(ERR_ACCESS_DENIED);
    sim::note_host_change(host);
    return true;
}

bool FILE_MoveReplace(const char* from, const char* to)
{
    if (sim::operation_fails(sim::OperationKind::File)) return false;
    std::string source;
    std::string destination;
    uint32_t error_code = transfer_error(from, Use::Change, to, &source, &destination);
    std::error_code error;
    if (error_code == 0) {
        fs::rename(source, destination, error);
        if (error) error_code = ERR_ACCESS_DENIED;
    }
    if (error_code != 0) return refuse(error_code);
    sim::note_host_change(source);
    sim::note_host_written(destination);
    return true;
}

uint32_t FILE_GetAttributes(const char* path)
{
    if (sim::operation_fails(sim::OperationKind::File)) return FILE_INVALID_ATTRIBUTES;
    std::string host;
    uint32_t error_code = parent_error(path, &host);
    std::error_code error;
    const fs::file_status status = fs::status(host, error);
    if (error_code == 0 && !fs::exists(status)) error_code = ERR_FILE_NOT_FOUND;
    if (error_code != 0) {
        fail(error_code);
        return FILE_INVALID_ATTRIBUTES;
    }
    return fs::is_directory(status) ? FILE_ATTR_DIRECTORY : ATTRIBUTE_ARCHIVE;
}

void FILE_Close(FILE_Handle handle)
{
    auto* file = static_cast<OpenFile*>(handle);
    if (file == nullptr) return;
    std::erase(open_files, file);
    std::fclose(file->stream);
    delete file;
}

// Relative paths resolve against the machine's current folder; an empty path
// has no full form (123).
uint32_t FILE_GetFullPathName(const char* path, char* buffer, uint32_t capacity)
{
    if (path == nullptr || path[0] == '\0') {
        fail(ERR_INVALID_NAME);
        return 0;
    }
    const std::string full = sim::canonical_windows_path(sim::absolute_windows_path(path));
    if (buffer == nullptr || full.size() >= capacity) return static_cast<uint32_t>(full.size() + 1);
    full.copy(buffer, full.size());
    buffer[full.size()] = '\0';
    return static_cast<uint32_t>(full.size());
}

bool FILE_PathsEqual(const char* a, const char* b)
{
    return sim::names_equal(a, b);
}

// The whole file read into memory the view owns; an empty file cannot be
// mapped (1006), as on Windows.
bool FILE_MapReadOnly(FILE_Handle handle, FILE_View* view)
{
    if (sim::operation_fails(sim::OperationKind::File)) return false;
    if (view == nullptr) {
        fail(ERR_INVALID_PARAMETER);
        return false;
    }
    *view = FILE_View{nullptr, 0, nullptr};
    auto* file = static_cast<OpenFile*>(handle);
    if (file == nullptr) {
        fail(ERR_INVALID_HANDLE);
        return false;
    }
    if (std::fseek(file->stream, 0, SEEK_END) != 0) {
        fail(ERR_ACCESS_DENIED);
        return false;
    }
    const long size = std::ftell(file->stream);
    if (size < 0 || std::fseek(file->stream, 0, SEEK_SET) != 0) {
        fail(ERR_ACCESS_DENIED);
        return false;
    }
    if (size == 0) {
        fail(ERR_FILE_INVALID);
        return false;
    }
    Mapping* mapping = new (std::nothrow) Mapping;
    if (mapping == nullptr) {
        fail(ERR_NOT_ENOUGH_MEMORY);
        return false;
    }
    try {
        mapping->bytes.resize(static_cast<size_t>(size));
    } catch (const std::bad_alloc&) {
        delete mapping;
        fail(ERR_NOT_ENOUGH_MEMORY);
        return false;
    }
    if (std::fread(mapping->bytes.data(), 1, mapping->bytes.size(), file->stream) != mapping->bytes.size()) {
        delete mapping;
        fail(ERR_ACCESS_DENIED);
        return false;
    }
    view->data = mapping->bytes.data();
    view->size = mapping->bytes.size();
    view->mapping = mapping;
    return true;
}

void FILE_Unmap(FILE_View* view)
{
    if (view == nullptr) return;
    delete static_cast<Mapping*>(view->mapping);
    *view = FILE_View{nullptr, 0, nullptr};
}
