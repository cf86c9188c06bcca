// What the program costs on the simulated machine: layout-2 device matching
// by machine and INF size, and whole runs against the run that ends at once.
// scripts/performance.sh runs these and writes docs/performance.md.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "config/settings.h"
#include "platform/pe.h"
#include "platform/sim/machine.h"
#include "setup-sim/program_start.h"
#include "setup/context.h"

namespace {

namespace fs = std::filesystem;

// A machine whose drive C is a temporary folder, with a package in C:\Package.
class BenchMachine {
public:
    BenchMachine()
    {
        char pattern[] = "/tmp/setup-bench-XXXXXX";
        if (mkdtemp(pattern) == nullptr) std::abort();
        root_ = pattern;
        machine.drives['C'] = root_;
        machine.environment["SYSTEMROOT"] = "C:\\Windows";
        machine.environment["SYSTEMDRIVE"] = "C:";
        sim::install(&machine);
    }
    ~BenchMachine()
    {
        sim::install(nullptr);
        reset_process_state();
        fs::remove_all(root_);
    }
    void write(const std::string& relative, const std::string& bytes)
    {
        const fs::path path = fs::path(root_) / relative;
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
    }
    // The engine image and INF of a package folder below C:\Package.
    void write_engine(const std::string& folder)
    {
        std::string image(64, '\0');
        image[0] = 'M';
        image[1] = 'Z';
        image[0x3C] = 64;
        image += std::string("PE\0\0", 4) + std::string("\x64\x86", 2) + std::string(114, '\0');
        write("Package/" + folder + "/DPInst.exe", image);
    }

    sim::Machine machine;

private:
    std::string root_;
};

// A layout-2 package of one bus for Windows 10 x64 whose INF has `models`
// models, each with two hardware IDs, and a machine of `devices` devices,
// the last of which carries the last model's ID.
void lay_out_layout_two(BenchMachine& bench, int devices, int models)
{
    std::string inf = "[Version]\r\nSignature=\"$Windows NT$\"\r\nDriverVer=11/20/2026,19.3.1.2\r\n"
                      "[Manufacturer]\r\n%V%=Models,NTamd64.10.0\r\n[Models.NTamd64.10.0]\r\n";
    char line[128];
    for (int m = 0; m < models; ++m) {
        std::snprintf(line, sizeof line, "%%D%d%%=Install, ACPI\\VXB%04d, *VXB%04d\r\n", m, m, m);
        inf += line;
    }
    bench.write("Package/I2C/VxI2C.inf", inf);
    bench.write("Package/Setup.ini", "[metadata]\r\nmajor_version=2\r\n[bus]\r\nsupport_types=I2C\r\n[I2C]\r\n"
                                     "x64_support_win10=yes,CfgI2C,no\r\n[CfgI2C]\r\nsubfolder=I2C\r\n"
                                     "main_inf=VxI2C.inf\r\nPath=\\I2C\\DPInst.exe\r\nSupport=8\r\n");
    bench.write_engine("I2C");
    bench.machine.devices.clear();
    for (int d = 0; d < devices; ++d) {
        char id[64];
        if (d + 1 == devices) {
            std::snprintf(id, sizeof id, "ACPI\\VXB%04d\\4&1D8F0A&0", models - 1);
        } else {
            std::snprintf(id, sizeof id, "PCI\\VEN_8086&DEV_%04X\\3&11583659&0&%02X", d, d % 256);
        }
        bench.machine.devices.push_back({id, "{4D36E97D-E325-11CE-BFC1-08002BE10318}", true, {}});
    }
}

// The settings with the matrix and the device match, once per iteration as
// in a new process (the device list is taken anew each time). One family
// per INF size, so that the fit shows the cost growing with the devices;
// the models section is read into 4096 bytes, about 110 models of this
// shape, so larger INFs cost no more (and their last model is not seen).
void LayoutTwoMatching(benchmark::State& state, int models)
{
    BenchMachine bench;
    const int devices = static_cast<int>(state.range(0));
    lay_out_layout_two(bench, devices, models);
    uint32_t matched = 0;
    for (auto _ : state) {
        reset_process_state();
        g_process.os_version = SYS_OsVersion{SYS_OS_VERSION_SIZE, 10, 0, 19045, 2, {}};
        load_setup_settings(nullptr, &g_process.context);
        matched += g_process.context.configuration_sections[0].matched;
    }
    state.counters["enumerations_per_run"] =
        benchmark::Counter(static_cast<double>(bench.machine.device_enumerations) / state.iterations());
    state.counters["matched"] = benchmark::Counter(static_cast<double>(matched) / state.iterations());
    state.SetComplexityN(devices);
}
BENCHMARK_CAPTURE(LayoutTwoMatching, models_10, 10)->RangeMultiplier(10)->Range(10, 10000)
    ->Unit(benchmark::kMicrosecond)->Complexity(benchmark::oN);
BENCHMARK_CAPTURE(LayoutTwoMatching, models_100, 100)->RangeMultiplier(10)->Range(10, 10000)
    ->Unit(benchmark::kMicrosecond)->Complexity(benchmark::oN);
BENCHMARK_CAPTURE(LayoutTwoMatching, models_1000, 1000)->RangeMultiplier(10)->Range(10, 10000)
    ->Unit(benchmark::kMicrosecond)->Complexity(benchmark::oN);

// A whole run as a new process makes it, with or without another copy
// holding the single-instance mutex.
void run_once(BenchMachine& bench, const char* command_line, bool another_copy_runs = false)
{
    bench.machine.record.processes.clear();
    bench.machine.record.boxes.clear();
    bench.machine.mutexes.clear();
    if (another_copy_runs) bench.machine.mutexes.insert("Setup");
    benchmark::DoNotOptimize(start_program(command_line));
}

void WholeLayoutTwoRun(benchmark::State& state)
{
    BenchMachine bench;
    lay_out_layout_two(bench, static_cast<int>(state.range(0)), 100);
    for (auto _ : state) run_once(bench, "/s");
}
BENCHMARK(WholeLayoutTwoRun)->Arg(10)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

// A silent layout-1 install against the same program started while another
// copy holds the mutex: everything but the run itself.
void lay_out_layout_one(BenchMachine& bench)
{
    bench.write("Package/Setup.ini", "[W864]\r\nPath=\\x64\\DPInst.exe\r\nSupport=12\r\n");
    bench.write_engine("x64");
    bench.write("Package/x64/Touch.inf", "[Version]\r\nSignature=\"$Windows NT$\"\r\nDriverVer=11/20/2026,19.2.4.7\r\n");
}

void SilentInstall(benchmark::State& state)
{
    BenchMachine bench;
    lay_out_layout_one(bench);
    for (auto _ : state) run_once(bench, "/s");
}
BENCHMARK(SilentInstall)->Unit(benchmark::kMicrosecond);

void SecondInstance(benchmark::State& state)
{
    BenchMachine bench;
    lay_out_layout_one(bench);
    for (auto _ : state) run_once(bench, "/s", true);
}
BENCHMARK(SecondInstance)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
