#include "setup-sim/package_placement.h"

#include <sys/stat.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "platform/sim/codepage.h"

namespace fs = std::filesystem;

namespace {

// A copy of a package under way: the package folder, the folder the copy
// goes to, and the folders being copied from the package folder down, by
// device and inode. A link to any of them, or to a folder that holds one,
// would make the copy endless.
struct PackageCopy {
    fs::path package;
    fs::path destination;
    std::vector<std::pair<dev_t, ino_t>> chain;
};

// Why an entry whose status cannot be taken cannot be copied.
std::string unreadable_entry(const fs::path& entry, const std::error_code& status_error)
{
    std::error_code ignored;
    if (fs::is_symlink(fs::symlink_status(entry, ignored))) {
        if (status_error == std::errc::too_many_symbolic_link_levels) return entry.string() + ": a link in a loop of links";
        return entry.string() + ": a link to " + fs::read_symlink(entry, ignored).string() + ", which does not exist";
    }
    return entry.string() + ": " + status_error.message();
}

// The folder `from` into `to`, entry by entry, links followed as a copy
// follows them; what exists at `to` already is written over.
bool copy_tree(const fs::path& from, const fs::path& to, PackageCopy* copy, std::string* error)
{
    struct stat folder_info{};
    if (::stat(from.c_str(), &folder_info) != 0) {
        *error = from.string() + ": cannot be read";
        return false;
    }
    const std::pair<dev_t, ino_t> identity{folder_info.st_dev, folder_info.st_ino};
    const bool in_chain = std::find(copy->chain.begin(), copy->chain.end(), identity) != copy->chain.end();
    if (in_chain || (!copy->chain.empty() && lies_within(copy->package, from))) {
        *error = from.string() + ": a link to a folder that holds it, a loop";
        return false;
    }
    if (lies_within(copy->destination, from)) {
        *error = from.string() + ": a link to the folder the package is copied to, a loop";
        return false;
    }
    copy->chain.push_back(identity);

    std::error_code failure;
    fs::create_directories(to, failure);
    if (failure) {
        *error = to.string() + ": " + failure.message();
        return false;
    }
    fs::directory_iterator entries(from, failure);
    for (; !failure && entries != fs::directory_iterator(); entries.increment(failure)) {
        const fs::path source = entries->path();
        const fs::path target = to / source.filename();
        std::error_code status_error;
        const fs::file_status status = fs::status(source, status_error);
        if (status_error || !fs::exists(status)) {
            *error = unreadable_entry(source, status_error);
            return false;
        }
        if (fs::is_directory(status)) {
            if (!copy_tree(source, target, copy, error)) return false;
        } else if (fs::is_regular_file(status)) {
            std::error_code copy_error;
            fs::copy_file(source, target, fs::copy_options::overwrite_existing, copy_error);
            if (copy_error) {
                *error = source.string() + ": cannot be copied to " + target.string() + ": " + copy_error.message();
                return false;
            }
        } else {
            *error = source.string() + ": neither a file nor a folder (a FIFO, a socket or a device), which a "
                                       "Windows package cannot hold";
            return false;
        }
    }
    if (failure) {
        *error = from.string() + ": " + failure.message();
        return false;
    }
    copy->chain.pop_back();
    return true;
}

// "Package\Setup.exe" from "Package/Setup.exe".
std::string windows_relative(const fs::path& relative)
{
    std::string text = relative.generic_string();
    std::replace(text.begin(), text.end(), '/', '\\');
    return text;
}

// What a drive used again holds before the package is laid onto it: how many
// entries, and the files of the program folder that the package lacks (they
// stay, and the program sees them). "" for an empty drive.
std::string kept_on_drive(const fs::path& drive, const fs::path& program_host, const std::string& program_folder,
                          const fs::path& package)
{
    std::error_code failure;
    size_t entries = 0;
    for (auto it = fs::recursive_directory_iterator(drive, fs::directory_options::skip_permission_denied, failure);
         !failure && it != fs::recursive_directory_iterator(); it.increment(failure)) {
        ++entries;
    }
    if (entries == 0) return "";
    std::vector<std::string> foreign;
    for (auto it = fs::recursive_directory_iterator(program_host, fs::directory_options::skip_permission_denied, failure);
         !failure && it != fs::recursive_directory_iterator(); it.increment(failure)) {
        std::error_code status_error;
        const fs::path relative = it->path().lexically_relative(program_host);
        if (!fs::exists(package / relative, status_error)) foreign.push_back(program_folder + "\\" + windows_relative(relative));
    }
    std::string kept = drive.string() + " is used again: its " + std::to_string(entries) +
                       " files and folders from before stay as they are";
    if (foreign.empty()) return kept;
    constexpr size_t NAMED = 3;
    kept += "; in the program folder, " + std::to_string(foreign.size()) + " the package does not hold: ";
    for (size_t i = 0; i < foreign.size() && i < NAMED; ++i) kept += (i > 0 ? ", " : "") + foreign[i];
    if (foreign.size() > NAMED) kept += ", ...";
    return kept;
}

}  // namespace

bool lies_within(const fs::path& path, const fs::path& folder)
{
    std::error_code failure;
    const fs::path inner = fs::weakly_canonical(fs::absolute(path, failure), failure);
    if (failure || inner.empty()) return false;
    const fs::path outer = fs::weakly_canonical(fs::absolute(folder, failure), failure);
    if (failure || outer.empty()) return false;
    const fs::path relative = inner.lexically_relative(outer);
    return !relative.empty() && *relative.begin() != "..";
}

bool place_package(sim::Machine* machine, const fs::path& package, const fs::path& drive_c,
                   std::string* program_folder, std::string* kept, std::string* error)
{
    if (machine->drives.find('C') == machine->drives.end()) machine->drives['C'] = drive_c.string();
    const fs::path drive = machine->drives['C'];

    sim::install(machine);
    *program_folder = machine->module_path.substr(0, machine->module_path.find_last_of('\\'));
    const std::string host_folder = sim::host_path_of_unicode(*program_folder);
    if (host_folder.empty()) {
        *error = "the program folder " + *program_folder + " is on no mapped drive";
        return false;
    }
    if (lies_within(host_folder, package)) {
        *error = "the program folder " + *program_folder + " (" + host_folder + ") lies in the package folder " +
                 package.string() + ": the copy would copy itself";
        return false;
    }
    if (lies_within(package, host_folder)) {
        *error = "the package folder " + package.string() + " lies in the program folder " + *program_folder + " (" +
                 host_folder + "), which the copy writes";
        return false;
    }
    if (kept != nullptr) *kept = kept_on_drive(drive, host_folder, *program_folder, package);
    if (!sim::make_windows_folder()) {
        *error = "the Windows folder " + sim::windows_folder() + " (SYSTEMROOT) is on no mapped drive or cannot be made";
        return false;
    }
    PackageCopy copy{package, host_folder, {}};
    return copy_tree(package, host_folder, &copy, error);
}
