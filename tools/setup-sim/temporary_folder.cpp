#include "setup-sim/temporary_folder.h"

#include <pthread.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <mutex>
#include <set>
#include <string>
#include <thread>

namespace fs = std::filesystem;

namespace {

// The folders that exist, guarded by one lock: a folder is listed in the
// same step as it is made, and removed in the same step as it is unlisted,
// so that a signal finds each folder listed exactly while it exists.
std::mutex folders_lock;

std::set<std::string>& folders()
{
    static std::set<std::string> existing;
    return existing;
}

void remove_folder(const std::string& folder)
{
    // On a signal the run may still be writing into it: a few tries.
    std::error_code ignored;
    for (int attempt = 0; attempt < 3 && fs::exists(folder, ignored); ++attempt) fs::remove_all(folder, ignored);
}

}  // namespace

TemporaryFolder::TemporaryFolder()
{
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && base[0] != '\0' ? base : "/tmp") + "/setup-sim-XXXXXX";
    const std::lock_guard<std::mutex> hold(folders_lock);
    if (mkdtemp(pattern.data()) == nullptr) return;
    path_ = pattern;
    folders().insert(pattern);
}

TemporaryFolder::~TemporaryFolder()
{
    if (path_.empty()) return;
    const std::lock_guard<std::mutex> hold(folders_lock);
    remove_folder(path_.string());
    folders().erase(path_.string());
}

namespace {

// The thread that does the work, stopped in a handler while the folders are
// removed, so that it cannot make them again (a copy makes the folders it
// copies into).
pthread_t worker;
volatile sig_atomic_t worker_parked = 0;

void park(int)
{
    worker_parked = 1;
    for (;;) pause();
}

}  // namespace

void remove_temporary_folders_on_signals()
{
    sigset_t signals;
    sigemptyset(&signals);
    for (const int signal_number : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&signals, signal_number);
    if (pthread_sigmask(SIG_BLOCK, &signals, nullptr) != 0) return;
    worker = pthread_self();
    // The signals reach only this thread, which waits for them outside any
    // handler, so that it may remove folders.
    std::thread([signals] {
        int received = 0;
        if (sigwait(&signals, &received) != 0) return;
        const std::lock_guard<std::mutex> hold(folders_lock);  // kept: no folder is made from now on
        struct sigaction parking{};
        parking.sa_handler = park;
        sigemptyset(&parking.sa_mask);
        if (sigaction(SIGUSR1, &parking, nullptr) == 0 && pthread_kill(worker, SIGUSR1) == 0) {
            for (int waited = 0; waited < 1000 && worker_parked == 0; ++waited) usleep(1000);
        }
        for (const std::string& folder : folders()) remove_folder(folder);
        sigset_t only;
        sigemptyset(&only);
        sigaddset(&only, received);
        signal(received, SIG_DFL);
        pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
        raise(received);
    }).detach();
}
