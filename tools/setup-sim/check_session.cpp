#include "setup-sim/check_session.h"

#include <algorithm>

#include "platform/sim/machine.h"

#include "setup-sim/package_placement.h"
#include "setup/context.h"

namespace fs = std::filesystem;

CheckSession::CheckSession(const fs::path& package, const sim::Machine& machine) : machine_(machine)
{
    if (root_.path().empty()) {
        error_ = "no temporary folder for the simulated drives";
        return;
    }
    std::error_code copy_error;
    for (auto& [letter, folder] : machine_.drives) {
        const fs::path copy = root_.path() / std::string(1, letter);
        fs::copy(folder, copy, fs::copy_options::recursive, copy_error);
        if (copy_error) {
            error_ = "drive " + std::string(1, letter) + ": " + folder + ": " + copy_error.message();
            return;
        }
        folder = copy.string();
    }
    reset_process_state();
    std::string program_folder;
    ready_ = place_package(&machine_, package, root_.path() / "C", &program_folder, nullptr, &error_);
    // The program names its files in ANSI: its folder as the module path it
    // is given reads in the machine's code page.
    if (ready_) {
        program_folder_ = sim::ansi_module_path();
        program_folder_.erase(std::min(program_folder_.rfind('\\'), program_folder_.size()));
        package_host_ = sim::host_path(program_folder_);
    }
}

CheckSession::~CheckSession()
{
    sim::install(nullptr);
    reset_process_state();
}

std::string CheckSession::in_package(const std::string& windows_path) const
{
    const std::string prefix = program_folder_ + "\\";
    const bool inside = windows_path.size() > prefix.size() && windows_path.compare(0, prefix.size(), prefix) == 0;
    return inside ? windows_path.substr(prefix.size()) : windows_path;
}

std::string CheckSession::package_file(const std::string& host_path) const
{
    const std::string prefix = package_host_ + "/";
    const bool inside = !package_host_.empty() && host_path.size() > prefix.size() &&
                        host_path.compare(0, prefix.size(), prefix) == 0;
    return inside ? host_path.substr(prefix.size()) : "";
}
