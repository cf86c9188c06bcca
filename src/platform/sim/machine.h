// The simulated Windows computer behind the Linux build of the platform layer.
// A plain data model: tests fill it in code, setup-sim loads it from a machine
// profile. Everything the program does to the machine is recorded in it too,
// so a run can be checked afterwards (boxes, processes, restart).
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/record/run_record.h"

namespace sim {

struct RegistryValue {
    uint32_t type = 1;  // REG_SZ
    std::string data;   // raw bytes; string values without their terminator
};

// Which registry view a key lives in. 32-bit programs on 64-bit Windows see the
// 32-bit view of HKLM\SOFTWARE unless they ask for the 64-bit one.
enum class RegistryView { Both, Only64, Only32 };

struct RegistryKey {
    std::string path;  // "HKLM\SOFTWARE\Vexa\Kurso", as written
    RegistryView view = RegistryView::Both;
    std::map<std::string, RegistryValue> values;  // by name as written
};

struct Device {
    std::string instance_id;
    std::string class_guid;  // "{4D36E96F-E325-11CE-BFC1-08002BE10318}" for mice
    bool present = true;
    std::vector<std::string> hardware_ids;
};

// What an outside program does when started. Programs are matched by their
// file name (case-insensitive), e.g. "DPInst.exe".
struct ProgramBehaviour {
    uint32_t exit_code = 0;
    bool can_start = true;     // false: creation fails with start_error
    uint32_t start_error = 2;  // last error when it cannot start
    // What it leaves behind each time it runs: lines added to the end of the
    // engine's log ("DpInst.log" in the Windows folder, created when missing;
    // the bytes as given, each line ended by CR LF), and registry values it
    // writes (the installed driver's "ProductVer", say), merged into the
    // machine's keys of the same path and view.
    std::vector<std::string> engine_log_lines;
    std::vector<RegistryKey> registry_writes;
};

// Kinds of operation the machine can be told to fail, for tests that walk a
// failure over every operation of a run.
enum class OperationKind { File, Directory, Registry, Process, Memory };
constexpr int OPERATION_KINDS = 5;

// The `nth` operation of `kind` (counted from 1 in the run) fails with
// `error` as the platform would fail it; 0 fails none.
struct InjectedFailure {
    OperationKind kind = OperationKind::File;
    uint32_t nth = 0;
    uint32_t error = 0;
};

// One read of a file by section and key, as the program asked it: a
// private-profile read (GetPrivateProfileString, -Int, -Section) or an INF
// line search (SetupFindFirstLine). `key` is "" for the section read whole.
struct FileRead {
    std::string host;  // the file's host path
    std::string section;
    std::string key;
    bool found = false;  // the section (and key) was there
    auto operator<=>(const FileRead&) const = default;
};

// When the run first changed a host path: how many events the run record
// held then, and how many other paths the run had changed before. Between
// two events a run can change several paths (the log, then its copy); the
// second count keeps them in the order the run changed them.
struct HostChange {
    size_t events = 0;
    size_t order = 0;
};

struct Machine {
    // Operating system.
    uint32_t major = 10, minor = 0, build = 19045, platform_id = 2;
    std::string service_pack;
    bool is_64bit = true;
    bool has_wow64_export = true;  // kernel32 exports GetSystemWow64DirectoryW
    uint16_t system_language = 0x0409;
    uint16_t ui_language = 0x0409;
    uint32_t ansi_code_page = 0;   // 0: derived from system_language

    // Drives: a letter maps onto a host folder; look-ups are case-insensitive.
    std::map<char, std::string> drives;
    // Drives whose volume keeps no 8.3 names (fsutil 8dot3name set X: 1), by
    // upper-case letter: their files and folders have their long names only.
    // Every other drive gives each name that is not a legal 8.3 name the short
    // name NTFS makes for it (sim/short_names.h), the first one free in its
    // folder, taken in the folder's listing order.
    std::set<char> drives_without_short_names;
    // Short names set on files and folders (fsutil file setshortname), by
    // Windows path written in Unicode (UTF-8): the volume holds these instead
    // of the ones it would make.
    std::map<std::string, std::string> short_name_aliases;
    std::map<std::string, std::string> environment;  // by upper-case name

    std::vector<RegistryKey> registry;
    std::vector<Device> devices;
    bool device_enumeration_fails = false;
    std::map<std::string, ProgramBehaviour> programs;  // by lower-case file name

    // The running program's own full path, e.g. "C:\Package\Setup.exe", in
    // Unicode (UTF-8) as Windows holds it: it may name a folder the ANSI code
    // page cannot spell ("C:\Пакет\Setup.exe").
    std::string module_path = "C:\\Package\\Setup.exe";
    // Whether the program's image is marked large-address-aware, which gives
    // the 32-bit process 4 GB of address space on 64-bit Windows instead of
    // 2 GB. Setup.exe is not (tests/wine/check_setup_exe.sh holds it to that).
    bool large_address_aware = false;
    // The process's current folder, against which relative paths resolve;
    // empty: the program's own folder.
    std::string current_directory;
    // The current folder of each other drive, by upper-case letter, as Windows
    // keeps them for the process (its hidden "=D:" environment variables); a
    // drive-relative path ("D:rel") resolves against it, or against the
    // drive's root when the drive has none.
    std::map<char, std::string> drive_directories;
    // Files another program holds open without sharing (a scanner, an engine
    // that is still running): opening, copying, moving or deleting them, or
    // writing over them, fails with 32 (ERROR_SHARING_VIOLATION).
    std::vector<std::string> locked_files;

    // Answers given to message boxes, in order; when none is left the default
    // button is pressed.
    std::deque<int> answers;
    std::set<std::string> mutexes;  // named mutexes that exist (held elsewhere)

    // Local time the machine reports: year, month, day of week, day, hour,
    // minute, second, millisecond.
    uint16_t local_time[8] = {2026, 12, 2, 8, 10, 30, 0, 0};

    // What happened during the run: boxes, processes and the restart in the
    // run record (setup-sim adds the files and folders by comparing the
    // drives before and after, placed by host_paths_changed), and what
    // only this machine tells.
    record::RunRecord record;
    // Host paths of the files the run wrote: created or opened for writing,
    // appended to, copied or moved onto. It names a file written again with
    // the bytes it had, which comparing the drives cannot see.
    std::set<std::string> host_files_written;
    // Host paths the run wrote, made (a folder) or deleted, each with when
    // the run first did so: where the host, which finds them by comparing
    // the drives, places their events.
    std::map<std::string, HostChange> host_paths_changed;
    bool dll_search_restricted = false;
    bool critical_error_boxes_suppressed = false;
    uint32_t device_enumerations = 0;  // all-classes device lists taken
    uint32_t last_error = 0;

    InjectedFailure injected_failure;
    uint32_t operations[OPERATION_KINDS] = {};  // operations of each kind so far

    // When set, every read of a settings or INF file by name lands here:
    // the package check collects what its runs read (note_read).
    std::set<FileRead>* read_trace = nullptr;
};

// The machine the sim backend works on. Tests and setup-sim install one before
// running the program; nothing works without it.
Machine& current();
void install(Machine* machine);

// Shows a box: records it and answers it with the next of the machine's
// answers (the default button when none is left); returns the button.
int show_box(record::Box box);

// The machine's Windows folder, %SYSTEMROOT% ("C:\Windows" when unset).
std::string windows_folder();

// Makes the Windows folder and its System32 on the host, as every Windows has
// them; false when that folder is on no mapped drive.
bool make_windows_folder();

// Whether a block of `size` bytes can fit the 32-bit process's user address
// space (2 GB; 4 GB for a large-address-aware image on 64-bit Windows) less
// what every process holds before its first allocation (the unusable first
// 64 KB, the image, the main thread's stack and the process heap's reserve,
// taken as 4 MB; the system's DLLs take more, so a block refused here fails
// on Windows too). Beyond it the heap refuses the block.
bool within_address_space(uint64_t size);

// A host path the run made (a folder) or deleted, and one it wrote, noted
// in host_paths_changed (and host_files_written) at the first time.
void note_host_change(const std::string& host);
void note_host_written(const std::string& host);

// Notes a read of the file at `host` in the machine's read trace, if it keeps one.
void note_read(const std::string& host, const char* section, const char* key, bool found);

// Counts one operation of the kind; true when it is the one to fail, with
// the injected error as the last error.
bool operation_fails(OperationKind kind);

// The host path a Windows path names on the machine ("" when its drive is not
// mapped). The path is text in the machine's ANSI code page, as the program
// passes it to the "A" functions; each component's host name is that text in
// Unicode, written as UTF-8 (so "C:\\Gr\xF6\xDFe" of code page 1252 is the host
// folder "Größe"). The look-up is case-insensitive per component, as on NTFS;
// missing components keep the case they were written with.
std::string host_path(const std::string& windows_path);

// The same for a Windows path written in Unicode (UTF-8) rather than in the
// code page: how the host side (setup-sim, the tests) names what it lays on
// the machine, characters the code page lacks included ("C:\\Пакет").
std::string host_path_of_unicode(const std::string& windows_path);

// GetShortPathNameW of a Windows path written in Unicode (UTF-8): every
// component of the existing path replaced by its short name, where it has
// one ("C:\\Пакет\\Setup.exe" is "C:\\6E9E~1\\Setup.exe"; on a drive without
// short names the path stays long). "" when the path does not exist.
std::string short_path(const std::string& windows_path);

// The program's own path in the code page, as SYS_GetModuleFileName gives it
// to the program: as it is when it converts exactly, else its short form
// where that converts exactly, else as GetModuleFileNameA gives it (best fit
// and '?' for what the code page lacks).
std::string ansi_module_path();

// A path as Windows completes it before use: a drive path as it is, a path
// that starts with one backslash on the current folder's drive, a
// drive-relative one ("C:rel") below that drive's current folder (the
// process's current folder for its own drive), any other relative path
// below the current folder. UNC paths stay as they are.
std::string absolute_windows_path(const std::string& path);

}  // namespace sim
