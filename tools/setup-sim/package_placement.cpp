#include "setup-sim/package_placement.h"

#include <cstdlib>

namespace fs = std::filesystem;

bool make_temporary_folder(fs::path* folder)
{
    char pattern[] = "/tmp/setup-sim-XXXXXX";
    const char* made = mkdtemp(pattern);
    if (made == nullptr) return false;
    *folder = made;
    return true;
}

bool place_package(sim::Machine* machine, const fs::path& package, const fs::path& drive_c,
                   std::string* program_folder, std::string* error)
{
    if (machine->drives.find('C') == machine->drives.end()) machine->drives['C'] = drive_c.string();
    sim::install(machine);
    if (!sim::make_windows_folder()) {
        *error = "the Windows folder " + sim::windows_folder() + " (SYSTEMROOT) is on no mapped drive";
        return false;
    }
    *program_folder = machine->module_path.substr(0, machine->module_path.find_last_of('\\'));
    const std::string host_folder = sim::host_path(*program_folder);
    if (host_folder.empty()) {
        *error = "the program folder " + *program_folder + " is on no mapped drive";
        return false;
    }
    fs::create_directories(host_folder);
    fs::copy(package, host_folder, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    return true;
}
