#include "platform/check/file_overlay.h"

#include <windows.h>

#include <algorithm>

#include "platform/check/check_run.h"
#include "platform/path.h"

namespace check {

std::string full_path(const char* path)
{
    std::string full(MAX_PATH, '\0');
    DWORD length = GetFullPathNameA(path, static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length >= full.size()) {
        full.assign(length, '\0');
        length = GetFullPathNameA(path, static_cast<DWORD>(full.size()), full.data(), nullptr);
    }
    if (length == 0 || length >= full.size()) return path;
    full.resize(length);
    return full;
}

std::string parent_folder(const std::string& full)
{
    // A network path's root is its server and share ("\\server\share"),
    // which has no folder above it that could hold it.
    size_t root_end = 0;
    if (full.rfind("\\\\", 0) == 0) {
        const size_t server_end = full.find('\\', 2);
        root_end = server_end == std::string::npos ? full.size() : full.find('\\', server_end + 1);
        if (root_end == std::string::npos) return "";
    }
    const char* found = PATH_FindLastOf(full.c_str() + root_end, "\\");
    if (found == nullptr) return root_end > 0 ? "" : full;
    const size_t separator = static_cast<size_t>(found - full.c_str());
    if (root_end > 0 && separator == root_end) return full.substr(0, root_end);
    // A drive's root keeps its backslash: "C:" alone names the drive's current folder.
    return full.substr(0, separator > 0 && full[separator - 1] == ':' ? separator + 1 : separator);
}

bool same_path(const std::string& a, const std::string& b)
{
    // The system's own case-insensitive comparison, aware of double-byte code pages.
    return lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

record::WrittenFile* written_file(const std::string& full)
{
    for (record::WrittenFile& file : run_record().files_written) {
        if (same_path(file.path, full)) return &file;
    }
    return nullptr;
}

void forget_written(const std::string& full)
{
    record::RunRecord& run = run_record();
    for (size_t index = run.files_written.size(); index-- > 0;) {
        if (same_path(run.files_written[index].path, full)) record::remove_written_file(&run, index);
    }
}

bool listed(const std::vector<std::string>& paths, const std::string& full)
{
    return std::any_of(paths.begin(), paths.end(), [&](const std::string& path) { return same_path(path, full); });
}

void unlist_deleted(const std::string& full)
{
    record::RunRecord& run = run_record();
    for (size_t index = run.files_deleted.size(); index-- > 0;) {
        if (same_path(run.files_deleted[index], full)) record::remove_deleted_file(&run, index);
    }
}

uint64_t machine_file_size(const std::string& full)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExA(full.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace check
