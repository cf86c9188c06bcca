// PROC_ on the simulated machine: every start is recorded with its exact
// command line; what the program then does comes from the machine's
// description of outside programs.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/pe.h"
#include "platform/proc.h"
#include "platform/sim/codepage.h"
#include "platform/sim/drives.h"
#include "platform/sim/machine.h"

namespace {

namespace fs = std::filesystem;

std::string lower(std::string text)
{
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool is_absolute(const std::string& path)
{
    return path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
           path[2] == '\\';
}

std::string file_name_of(const std::string& path)
{
    const size_t separator = sim::find_last_of(path, "\\", sim::current_ansi_code_page());
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

// Whether the file can be started, as process creation decides it before
// anything runs: 0, or the error it fails with.
uint32_t start_error(const std::string& windows_path)
{
    if (!is_absolute(windows_path)) return ERR_FILE_NOT_FOUND;
    const std::string host = sim::host_path(windows_path);
    if (host.empty()) return ERR_PATH_NOT_FOUND;
    std::error_code error;
    if (!fs::exists(fs::path(host).parent_path(), error)) return ERR_PATH_NOT_FOUND;
    if (!fs::is_regular_file(host, error)) return fs::exists(host, error) ? ERR_ACCESS_DENIED : ERR_FILE_NOT_FOUND;
    std::ifstream in(host, std::ios::binary);
    const std::string image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return PE_ImageStartError(reinterpret_cast<const uint8_t*>(image.data()), image.size(), sim::current().is_64bit);
}

// Start the program: record it, decide whether it starts and with what code it ends.
bool same_key(const sim::RegistryKey& a, const sim::RegistryKey& b)
{
    return a.view == b.view && lower(a.path) == lower(b.path);
}

// What a program that ran leaves on the machine.
void leave_traces(const sim::ProgramBehaviour& behaviour)
{
    sim::Machine& machine = sim::current();
    if (!behaviour.engine_log_lines.empty()) {
        // The engine's log in the Windows folder, which every Windows has and an
        // installer running as administrator can write: a machine on which it
        // cannot be written is described wrongly, and its runs would lose
        // lines without a word.
        const std::string path = sim::windows_folder() + "\\DpInst.log";
        const std::string host = sim::host_path(path);
        std::ofstream log(host, std::ios::binary | std::ios::app);
        for (const std::string& line : behaviour.engine_log_lines) log << line << "\r\n";
        if (!log.flush()) {
            std::fprintf(stderr, "simulated engine: cannot write its log %s (is %%SYSTEMROOT%% a folder on a mapped "
                                 "drive? sim::make_windows_folder makes it)\n", path.c_str());
            std::abort();
        }
        sim::note_host_written(host);
    }
    for (const sim::RegistryKey& written : behaviour.registry_writes) {
        auto key = std::find_if(machine.registry.begin(), machine.registry.end(),
                                [&](const sim::RegistryKey& existing) { return same_key(existing, written); });
        if (key == machine.registry.end()) {
            machine.registry.push_back(written);
        } else {
            for (const auto& value : written.values) {
                // Value names are not case-sensitive: a write replaces the value it names.
                const std::string name = lower(value.first);
                std::erase_if(key->values, [&](const auto& existing) { return lower(existing.first) == name; });
                key->values[value.first] = value.second;
            }
        }
    }
}

bool start(record::Process process, uint32_t* exit_code)
{
    sim::Machine& machine = sim::current();
    process.error = start_error(process.file);
    if (process.kind == "shell") process.error = record::shell_start_error(process.error);
    if (sim::operation_fails(sim::OperationKind::Process)) process.error = machine.last_error;
    const auto behaviour = machine.programs.find(lower(file_name_of(process.file)));
    if (process.error == 0 && behaviour != machine.programs.end() && !behaviour->second.can_start) {
        process.error = behaviour->second.start_error;
    }
    process.started = process.error == 0;
    if (process.started) {
        process.exit_code = behaviour != machine.programs.end() ? behaviour->second.exit_code : 0;
        if (exit_code != nullptr) *exit_code = process.exit_code;
    } else {
        machine.last_error = process.error;
    }
    // What the program leaves comes after its start in the run's events.
    record::add_process(&machine.record, process);
    if (process.started && behaviour != machine.programs.end()) leave_traces(behaviour->second);
    return process.started;
}

}  // namespace

bool PROC_CreateAndWait(char* command_line, uint32_t* exit_code)
{
    record::Process process = record::create_process(command_line);
    process.file = sim::canonical_windows_path(process.file);
    return start(process, exit_code);
}

bool PROC_ShellExecuteAndWait(const char* /*verb*/, const char* file, const char* parameters, const char* directory,
                              int show_command, bool no_error_ui)
{
    record::Process process = record::shell_process(file, parameters, directory, show_command, no_error_ui);
    process.file = sim::canonical_windows_path(process.file);
    if (start(process, nullptr)) return true;
    record::Box box;
    if (record::shell_error_box(sim::current().record.processes.back(), file, &box)) sim::show_box(box);
    return false;
}
