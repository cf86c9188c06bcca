#include "fuzz/fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "setup/context.h"

namespace fs = std::filesystem;

FuzzMachine::FuzzMachine()
{
    char pattern[] = "/tmp/setup-fuzz-XXXXXX";
    const char* made = mkdtemp(pattern);
    if (made == nullptr) std::abort();
    root_ = made;
}

FuzzMachine::~FuzzMachine()
{
    sim::install(nullptr);
    std::error_code ignored;
    fs::remove_all(root_, ignored);
}

sim::Machine& FuzzMachine::fresh()
{
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(root_, ignored)) fs::remove_all(entry.path(), ignored);
    machine_ = sim::Machine{};
    machine_.drives['C'] = root_;
    machine_.environment["SYSTEMROOT"] = "C:\\Windows";
    machine_.environment["SYSTEMDRIVE"] = "C:";
    sim::install(&machine_);
    reset_process_state();
    return machine_;
}

void FuzzMachine::write_file(const std::string& windows_path, const std::string& bytes)
{
    const fs::path host = sim::host_path(windows_path);
    std::error_code ignored;
    fs::create_directories(host.parent_path(), ignored);
    std::ofstream(host, std::ios::binary) << bytes;
}

FuzzMachine& fuzz_machine()
{
    static FuzzMachine machine;
    return machine;
}

namespace {

constexpr long long INPUT_CPU_LIMIT_MS = 1000;

// Processor time this thread has used, in nanoseconds.
long long thread_cpu_ns()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

}  // namespace

InputTimer::InputTimer() : start_ns_(thread_cpu_ns()) {}

InputTimer::~InputTimer()
{
    const long long used_ms = (thread_cpu_ns() - start_ns_) / 1000000;
    if (used_ms > INPUT_CPU_LIMIT_MS) {
        std::fprintf(stderr, "input took %lld ms of processor time, more than %lld\n", used_ms, INPUT_CPU_LIMIT_MS);
        std::abort();
    }
}
