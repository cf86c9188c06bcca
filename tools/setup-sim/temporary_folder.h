// setup-sim's temporary folders (drive C: of a run, the drives of each try of
// the package check), gone on every way out: when their owner ends, on an
// error, and when SIGINT, SIGTERM or SIGHUP ends the process.
#pragma once

#include <filesystem>

class TemporaryFolder {
public:
    // A new empty folder "setup-sim-XXXXXX" in $TMPDIR, or in /tmp; path()
    // is empty when none could be made (errno says why).
    TemporaryFolder();
    // Removes the folder with everything in it.
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// From now on SIGINT, SIGTERM and SIGHUP first remove every temporary folder
// there is, then end the process as the signal does. It sets the signal mask
// that threads inherit: call it before any other thread starts.
void remove_temporary_folders_on_signals();
