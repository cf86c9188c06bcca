// One try of a package in the package check: a simulated machine of its own
// with the package placed at its program folder, and the program's process
// state at zero, as in a new process. The try ends with the session.
#pragma once

#include <filesystem>
#include <string>

#include "platform/sim/machine.h"
#include "setup-sim/temporary_folder.h"

class CheckSession {
public:
    // Drive C: and every drive the machine maps are copies in a new
    // temporary folder, so a profile's own folders are never written.
    CheckSession(const std::filesystem::path& package, const sim::Machine& machine);
    ~CheckSession();
    CheckSession(const CheckSession&) = delete;
    CheckSession& operator=(const CheckSession&) = delete;

    // False with error() set when the package could not be placed.
    bool ready() const { return ready_; }
    const std::string& error() const { return error_; }

    sim::Machine& machine() { return machine_; }

    // A Windows path inside the package as the package author knows it,
    // relative to the package folder ("I2C\VxI2C.inf"); any other path as it is.
    std::string in_package(const std::string& windows_path) const;

    // A host path inside the package as the package's own folder names it
    // ("I2C/VxI2C.inf"); "" for any other path.
    std::string package_file(const std::string& host_path) const;

private:
    TemporaryFolder root_;
    sim::Machine machine_;
    std::string program_folder_;  // in ANSI, as the program names it
    std::string package_host_;    // the program folder's host path
    bool ready_ = false;
    std::string error_;
};
