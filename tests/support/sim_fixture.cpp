#include "support/sim_fixture.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "setup/context.h"

namespace fs = std::filesystem;

void SimMachineTest::SetUp()
{
    char pattern[] = "/tmp/setup-sim-test-XXXXXX";
    const char* made = mkdtemp(pattern);
    ASSERT_NE(made, nullptr);
    drive_root = made;
    machine.drives['C'] = drive_root;
    machine.environment["SYSTEMROOT"] = "C:\\Windows";
    machine.environment["SYSTEMDRIVE"] = "C:";
    machine.environment["COMSPEC"] = "C:\\Windows\\system32\\cmd.exe";
    reset_process_state();
    sim::install(&machine);
    ASSERT_TRUE(sim::make_windows_folder());
}

void SimMachineTest::TearDown()
{
    sim::install(nullptr);
    reset_process_state();
    std::error_code ignored;
    fs::remove_all(drive_root, ignored);
}

void SimMachineTest::write_file(const std::string& windows_path, const std::string& content)
{
    const std::string host = sim::host_path(windows_path);
    ASSERT_FALSE(host.empty()) << windows_path;
    fs::create_directories(fs::path(host).parent_path());
    std::ofstream out(host, std::ios::binary);
    out << content;
}

std::string SimMachineTest::read_file(const std::string& windows_path)
{
    std::ifstream in(sim::host_path(windows_path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool SimMachineTest::file_exists(const std::string& windows_path)
{
    const std::string host = sim::host_path(windows_path);
    return !host.empty() && fs::exists(host);
}

void SimMachineTest::set_registry_value(const std::string& key, const std::string& name, const std::string& data,
                                        sim::RegistryView view, uint32_t type)
{
    for (sim::RegistryKey& stored : machine.registry) {
        if (stored.path == key && stored.view == view) {
            stored.values[name] = sim::RegistryValue{type, data};
            return;
        }
    }
    machine.registry.push_back(sim::RegistryKey{key, view, {{name, sim::RegistryValue{type, data}}}});
}
