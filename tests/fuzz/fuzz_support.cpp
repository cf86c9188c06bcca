#include "fuzz/fuzz_support.h"

#include <cstdio>
#include <cstdlib>
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

InputTimer::~InputTimer()
{
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_).count();
    if (elapsed > 100) {
        std::fprintf(stderr, "input took %lld ms, more than 100\n", static_cast<long long>(elapsed));
        std::abort();
    }
}
