#include "setup-sim/package_check.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <set>

#include "config/acpi_check.h"
#include "config/inf_models.h"
#include "config/settings.h"
#include "config/settings_file.h"
#include "config/support_matrix.h"
#include "platform/file.h"
#include "platform/pe.h"
#include "platform/sim/codepage.h"
#include "platform/ui.h"
#include "setup-sim/check_progress.h"
#include "setup-sim/check_session.h"
#include "setup-sim/package_findings.h"
#include "setup-sim/package_reads.h"
#include "setup-sim/profile_loader.h"
#include "setup-sim/program_start.h"
#include "setup/context.h"
#include "setup/engine.h"
#include "setup/main_sequence.h"
#include "setup/run_mode.h"
#include "setup/messages.h"
#include "transcript/run_explanation.h"
#include "version/version_queries.h"
#include "version/version_resource_check.h"

namespace fs = std::filesystem;

namespace {

// The run the check asks about: the one an update tool starts; and the
// one a user starts with a double click.
constexpr const char* SILENT_COMMAND_LINE = "/s";
constexpr const char* INTERACTIVE_COMMAND_LINE = "";

struct WindowsVersion {
    const char* name;
    uint32_t major, minor, build;
    bool is_64bit;
    bool has_wow64_export;
    int os_index;  // the OS slot it is, or -1 outside them
};

// The eight OS slots, then the Windows versions outside them. Windows 2000
// has no WOW64 export, so the program sees 32-bit Windows there whatever the
// processor.
constexpr WindowsVersion WINDOWS_VERSIONS[] = {
    {"Windows 7 x86", 6, 1, 7601, false, true, 0},   {"Windows 7 x64", 6, 1, 7601, true, true, 1},
    {"Windows 8 x86", 6, 2, 9200, false, true, 2},   {"Windows 8 x64", 6, 2, 9200, true, true, 3},
    {"Windows 8.1 x86", 6, 3, 9600, false, true, 4}, {"Windows 8.1 x64", 6, 3, 9600, true, true, 5},
    {"Windows 10 x86", 10, 0, 19045, false, true, 6}, {"Windows 10 x64", 10, 0, 19045, true, true, 7},
    {"Windows Vista x86", 6, 0, 6002, false, true, -1}, {"Windows Vista x64", 6, 0, 6002, true, true, -1},
    {"Windows XP x86", 5, 1, 2600, false, true, -1},  {"Windows XP x64", 5, 2, 3790, true, true, -1},
    {"Windows 2000", 5, 0, 2195, false, false, -1},
};

// The Windows a machine runs, as the rows name it.
std::string windows_name(const sim::Machine& machine)
{
    for (const WindowsVersion& version : WINDOWS_VERSIONS) {
        if (machine.platform_id == 2 && version.major == machine.major && version.minor == machine.minor &&
            version.is_64bit == machine.is_64bit) {
            return version.name;
        }
    }
    return "Windows " + std::to_string(machine.major) + "." + std::to_string(machine.minor) +
           (machine.is_64bit ? " x64" : " x86");
}

// The built-in machine as the given Windows, with no device but, when one
// is named, a touch pad of the package: a present mouse-class device whose
// only hardware ID is the one given, as Windows lists it.
sim::Machine machine_for(const WindowsVersion& version, const std::string& hardware_id)
{
    sim::Machine machine;
    builtin_machine(&machine);
    machine.major = version.major;
    machine.minor = version.minor;
    machine.build = version.build;
    machine.is_64bit = version.is_64bit;
    machine.has_wow64_export = version.has_wow64_export;
    machine.devices.clear();
    if (!hardware_id.empty()) {
        const std::string listed = listed_hardware_id(hardware_id);
        machine.devices.push_back(sim::Device{listed + "\\0000", MOUSE_CLASS_GUID, true, {listed}});
    }
    return machine;
}

uint32_t message_of(const record::Box& box)
{
    return shows_message(box, IDS_UNSUPPORTED_OS) ? IDS_UNSUPPORTED_OS
           : shows_message(box, IDS_FILES_MISSING) ? IDS_FILES_MISSING
                                                   : 0;
}

// What the engine file is, as its PE header says.
std::string engine_image(const char* engine_path)
{
    char path[PATH_CAPACITY];
    engine_full_path(engine_path, path);
    FILE_Handle file = FILE_OpenExistingForRead(path);
    if (file == nullptr) return "missing";
    std::string image = "not an image";
    FILE_View view{};
    uint16_t machine_type = 0;
    if (FILE_MapReadOnly(file, &view)) {
        if (PE_GetMachineType(view.data, view.size, &machine_type)) {
            char other[16];
            std::snprintf(other, sizeof other, "0x%04X", machine_type);
            image = machine_type == PE_MACHINE_I386 ? "x86" : machine_type == PE_MACHINE_AMD64 ? "x64" : other;
        }
        FILE_Unmap(&view);
    }
    FILE_Close(file);
    return image;
}

// The engine the run's section names, the INF beside it, its version, the
// version library and the silent command line, each from the program's own
// routine on the machine of the run.
void examine_engine(CheckSession& session, CheckRow* row)
{
    sim::Machine& machine = session.machine();
    const SetupContext& context = g_process.context;
    row->engine_path = context.engine_path;
    row->engine_image = engine_image(context.engine_path);
    record::clear_boxes(&machine.record);
    row->engine_fits = CheckExeAndPlatform(nullptr, context.engine_path) == 1;
    row->engine_message = machine.record.boxes.empty() ? 0 : message_of(machine.record.boxes.back());

    char inf_path[PATH_CAPACITY] = "";
    record::clear_boxes(&machine.record);
    const bool inf_found = locate_package_inf(nullptr, context.engine_path, inf_path) == 1;
    row->inf_message = machine.record.boxes.empty() ? 0 : message_of(machine.record.boxes.back());
    if (inf_found) {
        row->inf = session.in_package(inf_path);
        row->inf_path = inf_path;
        char version[VERSION_TEXT_CAPACITY] = "";
        row->driver_ver_read = loc_QueryInfFilesInf(inf_path, version, sizeof version) == 1;
        row->driver_ver = version;
        row->version_library_agrees = CheckVersionResource(inf_path) == 1;
    }
    char command_line[PATH_CAPACITY];
    build_engine_command_line(&context, command_line, sizeof command_line);
    row->command_line = command_line;
    record::clear_boxes(&machine.record);
}

// Why the run showed message 2 or 3, from what the routines said one by one.
std::string refusal_reason(const CheckRow& row, uint32_t message)
{
    if (message == IDS_UNSUPPORTED_OS) {
        if (row.section.empty()) return "no engine section for this Windows";
        if (row.engine_message == IDS_UNSUPPORTED_OS) return "the engine is an " + row.engine_image + " image";
        if (row.acpi_refuses) return "touch pad " + row.acpi_device_id + " is listed in OnlyWin7";
    } else if (message == IDS_FILES_MISSING) {
        if (row.engine_image == "missing") return "the engine is missing";
        if (row.inf_message == IDS_FILES_MISSING) return "no INF beside the engine";
    }
    return "";
}

// The overwrite question a box asks and its answer, as a row tells them; ""
// for any other box.
std::string overwrite_question(const record::Box& box)
{
    const char* question = shows_message(box, IDS_SAME_VERSION)    ? "asks whether to install the same version"
                           : shows_message(box, IDS_OLDER_VERSION) ? "asks whether to install an older version"
                                                                   : nullptr;
    if (question == nullptr) return "";
    return std::string(question) + " (message " + (shows_message(box, IDS_SAME_VERSION) ? "4" : "5") +
           "), answered " + (box.answer == UI_IDYES ? "Yes" : "No") + ", ";
}

// How the run ended, from what it showed and started.
void describe_ending(const std::vector<record::Box>& boxes, const std::vector<record::Process>& processes,
                     CheckRow* row)
{
    const record::Process* engine = nullptr;
    const record::Process* failed_prerequisite = nullptr;
    for (const record::Process& process : processes) {
        if (process.kind == "create") {
            engine = &process;
        } else {
            row->prerequisites.push_back(process.command_line);
            if (!process.started) failed_prerequisite = &process;
        }
    }
    std::string needed;
    for (const std::string& prerequisite : row->prerequisites) needed += (needed.empty() ? "" : " and ") + prerequisite;
    if (engine != nullptr && engine->started) {
        row->engine_ran = true;
        row->engine_exit_code = engine->exit_code;
        row->outcome = "installs";
        row->description = needed.empty() ? "installs" : "prerequisite " + needed + ", then installs";
    } else if (engine != nullptr) {
        row->outcome = "engine_not_started";
        row->description = "the engine cannot start (error " + std::to_string(engine->error) + ")";
    } else if (failed_prerequisite != nullptr) {
        row->outcome = "prerequisite_failed";
        row->description = "prerequisite " + failed_prerequisite->command_line + " cannot start (error " +
                           std::to_string(failed_prerequisite->error) + ")";
    } else if (boxes.empty()) {
        row->outcome = "ended";
        const bool engine_refused = !row->section.empty() && row->engine_message == 0 && !row->engine_fits;
        row->description = std::string("ends without a message") + (engine_refused ? ": the engine is not an image" : "");
    } else if (boxes.back().text == NOT_SUPPORTED_NOTICE) {
        row->outcome = "not_supported";
        row->description = std::string("\"") + NOT_SUPPORTED_NOTICE + "\"";
    } else if (boxes.back().text == VERSION_LIBRARY_MISMATCH) {
        row->outcome = "version_library_mismatch";
        row->description = "version-library mismatch";
    } else if (const uint32_t message = message_of(boxes.back()); message != 0) {
        row->outcome = "refused";
        const std::string reason = refusal_reason(*row, message);
        row->description = "refused with message " + std::to_string(message) + (reason.empty() ? "" : ": " + reason);
    } else {
        row->outcome = "ended";
        row->description = "ends after the message \"" + boxes.back().text + "\"";
    }
}

// The outcome of the run: the questions it asked, then how it ended.
void describe_outcome(const std::vector<record::Box>& boxes, const std::vector<record::Process>& processes,
                      CheckRow* row)
{
    std::string asked;
    for (const record::Box& box : boxes) asked += overwrite_question(box);
    describe_ending(boxes, processes, row);
    row->description = asked + row->description;
}

// One run on the session's machine, as `row` says (its Windows, machine,
// mode), then the program's routines one by one on the same machine for the
// facts the run does not print.
CheckRow run_row(CheckSession& session, CheckRow row, PackageReads& reads)
{
    row.code_page = sim::current_ansi_code_page();
    const sim::Machine& machine = session.machine();
    row.windows_version = std::to_string(machine.major) + "." + std::to_string(machine.minor) + "." +
                          std::to_string(machine.build);
    if (row.interactive) session.machine().answers.push_back(UI_IDYES);
    reads.start(session);
    row.exit_code = start_program(row.interactive ? INTERACTIVE_COMMAND_LINE : SILENT_COMMAND_LINE);
    row.result = g_process.final_result;
    const std::vector<record::Box> boxes = session.machine().record.boxes;
    const std::vector<record::Process> processes = session.machine().record.processes;

    row.section = g_process.engine_section;
    Layout1Sections sections{};
    if (g_process.context.major_version != 2 &&
        layout1_engine_sections(g_process.os_version, is_64bit_os() != 0, &sections)) {
        row.wanted_section = sections.primary;
    }
    for (const record::Process& process : processes) {
        if (process.started || process.held_back) continue;
        const bool relative = process.file.find(':') == std::string::npos && process.file.rfind("\\", 0) != 0;
        row.failed_program = session.in_package(relative && !process.directory.empty()
                                                    ? process.directory + "\\" + process.file
                                                    : process.file);
    }
    if (!row.section.empty()) examine_engine(session, &row);
    row.acpi_refuses = check_support_os_option() == 0;
    row.acpi_device_id = g_process.acpi_device_id;
    reads.finish(session);
    describe_outcome(boxes, processes, &row);
    return row;
}

// The models sections that the INF's "Manufacturer" lines decorate for the
// slot's Windows, as the program reads them.
std::vector<std::string> models_sections_for(const std::string& inf_path, const os_slot& slot)
{
    std::vector<std::string> models_sections;
    visit_models_sections(
        inf_path.c_str(), &slot,
        [](const char* models_section, void* data) {
            static_cast<std::vector<std::string>*>(data)->push_back(models_section);
        },
        &models_sections);
    return models_sections;
}

// Layout 2: every OS slot that a support entry gives to a configuration
// section, with the models sections and model lines that the program reads
// from the section's INF for it.
void list_supported_slots(CheckSession& session, PackageLines& lines, PackageCheck* check)
{
    const SetupContext& context = g_process.context;
    std::set<std::pair<uint32_t, uint32_t>> listed;  // (os_index, section_index)
    for (uint32_t b = 0; b < context.bus_count && b < MAX_BUS_TYPES; ++b) {
        for (const os_slot& slot : context.bus_types[b].os_slots) {
            if (slot.supported == 0 || !listed.insert({slot.os_index, slot.section_index}).second) continue;
            const configuration_section& section = context.configuration_sections[slot.section_index];
            SupportedSlot supported;
            supported.bus = context.bus_types[b].bus_name;
            supported.support_key = support_key(slot.os_index);
            supported.os_index = slot.os_index;
            supported.windows = os_slot_windows(slot.os_index);
            supported.section = section.section_name;
            supported.inf_path = section.inf_full_path;
            supported.inf = session.in_package(section.inf_full_path);
            supported.models_sections = models_sections_for(section.inf_full_path, slot);

            struct Walk {
                const SupportedSlot* slot;
                const std::string* models_section;
                PackageLines* lines;
                int entry;
                std::vector<HardwareIdEntry>* entries;
            };
            for (const std::string& models_section : supported.models_sections) {
                Walk walk{&supported, &models_section, &lines, 0, &check->hardware_ids};
                visit_model_lines(
                    section.inf_full_path, models_section.c_str(),
                    [](const ModelLine* model, void* data) {
                        Walk* into = static_cast<Walk*>(data);
                        const int entry = into->entry++;
                        if (model->hardware_id == nullptr) return;
                        const SupportedSlot& at = *into->slot;
                        const uint32_t line = into->lines->line_of({at.inf_path, *into->models_section, "", entry, "", 0});
                        into->entries->push_back({at.windows, at.os_index, at.section, at.inf, at.inf_path,
                                                  *into->models_section, entry, line, model->line, model->hardware_id,
                                                  model->component != nullptr ? model->component : ""});
                    },
                    &walk);
            }
            check->supported_slots.push_back(supported);
        }
    }
}

// The package's touch pads for an OS slot: each hardware ID, in upper case,
// that some configuration section's INF lists for the slot with a component.
std::vector<std::string> touch_pads_for(const PackageCheck& check, int os_index)
{
    std::vector<std::string> devices;
    for (const HardwareIdEntry& entry : check.hardware_ids) {
        if (static_cast<int>(entry.os_index) != os_index || entry.component.empty()) continue;
        const std::string device = listed_hardware_id(entry.hardware_id);
        if (std::find(devices.begin(), devices.end(), device) == devices.end()) devices.push_back(device);
    }
    return devices;
}

void add_touch_pad(const std::string& hardware_id, std::vector<std::string>* devices)
{
    const std::string device = listed_hardware_id(hardware_id);
    if (std::find(devices->begin(), devices->end(), device) == devices->end()) devices->push_back(device);
}

// Layout 1: the touch pads the INF of a run declares, the first hardware ID
// of each model in the models sections its "Manufacturer" lines decorate for
// the Windows of the run (for every OS slot on a Windows outside them).
void add_inf_touch_pads(const std::string& inf_path, int os_index, std::vector<std::string>* devices)
{
    for (uint32_t i = 0; i < OS_SLOT_COUNT; ++i) {
        if (os_index >= 0 && static_cast<uint32_t>(os_index) != i) continue;
        os_slot slot{};
        slot.os_index = i;
        for (const std::string& models_section : models_sections_for(inf_path, slot)) {
            visit_model_lines(
                inf_path.c_str(), models_section.c_str(),
                [](const ModelLine* model, void* data) {
                    if (model->component != nullptr) {
                        add_touch_pad(model->hardware_id, static_cast<std::vector<std::string>*>(data));
                    }
                },
                devices);
        }
    }
}

// The touch pads [SupportOS_Option] "OnlyWin7" names: each word of the list
// (split at blanks, commas and semicolons) as an ACPI hardware ID, whose
// short ID is that word as the program's ACPI check takes it.
std::vector<std::string> only_win7_touch_pads()
{
    std::vector<char> list(ONLY_WIN7_CAPACITY);
    read_only_win7_list(list.data());
    std::vector<std::string> devices;
    char* cursor = list.data();
    for (const char* word = next_field(&cursor, " \t,;"); word != nullptr; word = next_field(&cursor, " \t,;")) {
        add_touch_pad(std::string("ACPI\\") + word, &devices);
    }
    return devices;
}

// One run's row and the findings about what it used, on a session of its
// own. With `inf_touch_pads` the touch pads that the run's INF declares are
// added to it.
bool try_machine(const fs::path& package, const sim::Machine& machine, const CheckRow& row, int os_index,
                 PackageCheck* check, PackageLines& lines, PackageReads& reads, std::vector<std::string>* inf_touch_pads,
                 std::string* error, CheckProgress* progress)
{
    CheckSession session(package, machine);
    if (!session.ready()) {
        *error = session.error();
        return false;
    }
    check->rows.push_back(run_row(session, row, reads));
    find_run_problems(session, *check, check->rows.back(), lines, &check->findings);
    if (inf_touch_pads != nullptr && !check->rows.back().inf_path.empty()) {
        add_inf_touch_pads(check->rows.back().inf_path, os_index, inf_touch_pads);
    }
    if (progress != nullptr) progress->ran(check->rows.back().windows, check->rows.back().machine);
    return true;
}

CheckRow row_for(const std::string& windows, const std::string& device)
{
    CheckRow row;
    row.windows = windows;
    row.machine = device.empty() ? NO_TOUCH_PAD : device;
    row.device = device;
    return row;
}

// A run that installed the package's driver, on the newest Windows that
// installs it from its INF: where the overwrite decision is shown.
struct InstallingRun {
    const WindowsVersion* version;
    std::string device;
    std::string inf_path;
    std::string driver_ver;
};

void note_installing_run(const WindowsVersion& version, const CheckRow& row, std::vector<InstallingRun>* runs)
{
    if (!row.engine_ran || row.inf_path.empty() || version.os_index < 0) return;
    const InstallingRun run{&version, row.device, row.inf_path, row.driver_ver};
    const auto same_inf = std::find_if(runs->begin(), runs->end(),
                                       [&](const InstallingRun& other) { return other.inf_path == row.inf_path; });
    if (same_inf == runs->end()) {
        runs->push_back(run);
    } else {
        *same_inf = run;
    }
}

// A version below the package's: its last number that is not 0 lowered by
// one; "1.0.0.0" when the package's version is not four numbers; "" when no
// version is lower (0.0.0.0).
std::string older_version(const std::string& package_version)
{
    int32_t numbers[4] = {};
    if (scan_dotted_version(package_version.c_str(), numbers) != 4) return "1.0.0.0";
    for (int i = 3; i >= 0; --i) {
        if (numbers[i] <= 0) continue;
        --numbers[i];
        return std::to_string(numbers[0]) + "." + std::to_string(numbers[1]) + "." + std::to_string(numbers[2]) + "." +
               std::to_string(numbers[3]);
    }
    return "";
}

// The machine with the driver family of the INF installed in `version`, as
// its installer leaves it: "ProductVer" under the family's key, which the
// program's rule takes from the INF's name in the machine's code page.
sim::Machine with_installed_driver(sim::Machine machine, const std::string& inf_path, const std::string& version)
{
    sim::RegistryKey key;
    sim::install(&machine);
    key.path = std::string("HKLM\\") + installed_version_key(inf_path.c_str());
    sim::install(nullptr);
    key.values["ProductVer"].data = version;
    machine.registry.push_back(key);
    return machine;
}

// The versions an upgrade has installed before it: an older one, where there
// is one, and the package's own.
std::vector<std::string> upgraded_versions(const InstallingRun& run)
{
    std::vector<std::string> versions;
    for (const std::string& installed : {older_version(run.driver_ver), run.driver_ver}) {
        if (!installed.empty()) versions.push_back(installed);
    }
    return versions;
}

constexpr size_t RUNS_PER_UPGRADE = 2;  // silent and interactive

// The runs of an upgrade: on the machine of the installing run, with each
// version installed, each silent and interactive.
bool try_upgrades(const fs::path& package, const InstallingRun& run, PackageCheck* check, PackageLines& lines,
                  PackageReads& reads, std::string* error, CheckProgress* progress)
{
    for (const std::string& installed : upgraded_versions(run)) {
        const sim::Machine machine = with_installed_driver(machine_for(*run.version, run.device), run.inf_path, installed);
        for (const bool interactive : {false, true}) {
            CheckRow row = row_for(run.version->name, run.device);
            row.machine += ", " + installed + " installed";
            row.installed_version = installed;
            row.interactive = interactive;
            if (!try_machine(package, machine, row, run.version->os_index, check, lines, reads, nullptr, error,
                             progress)) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace

std::string listed_hardware_id(const std::string& hardware_id)
{
    std::string listed = hardware_id;
    for (char& c : listed) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return listed;
}

const char* os_slot_windows(uint32_t os_index)
{
    return os_index < OS_SLOT_COUNT ? WINDOWS_VERSIONS[os_index].name : "";
}

// The findings that several runs meet are told once; a byte-order mark that
// hides the first section leaves the others out, as they follow from it.
std::vector<Finding> told_findings(const std::vector<Finding>& findings)
{
    std::vector<Finding> unique;
    for (const Finding& finding : findings) {
        if (finding.kind == "utf8-byte-order-mark" && finding.severity == "error") return {finding};
        // A line in another code page is the one mistake of what its names
        // then miss.
        const bool misread = finding.kind != "settings-not-in-code-page" &&
                             std::any_of(findings.begin(), findings.end(), [&](const Finding& encoding) {
                                 return encoding.kind == "settings-not-in-code-page" && encoding.file == finding.file &&
                                        encoding.line == finding.line && finding.line != 0;
                             });
        if (misread) continue;
        const bool seen = std::any_of(unique.begin(), unique.end(), [&](const Finding& other) {
            return other.kind == finding.kind && other.file == finding.file && other.line == finding.line &&
                   other.subject == finding.subject && other.text == finding.text;
        });
        if (!seen) unique.push_back(finding);
    }
    return unique;
}

bool check_package(const fs::path& package, const std::vector<ProfileMachine>& profiles, PackageCheck* check,
                   std::string* error, CheckProgress* progress)
{
    std::error_code status_error;
    if (!fs::is_directory(package, status_error)) {
        *error = package.string() + " is not a folder";
        return false;
    }
    PackageLines lines;
    PackageReads reads;
    std::string settings_in_package;          // as the host names it
    std::string settings_in_package_windows;  // as findings name it
    std::vector<std::string> only_win7;
    {
        // What the settings say, read as a run on 64-bit Windows 10 reads them.
        CheckSession session(package, machine_for(WINDOWS_VERSIONS[7], ""));
        if (!session.ready()) {
            *error = session.error();
            return false;
        }
        check->code_page = sim::current_ansi_code_page();
        char settings_file[PATH_CAPACITY];
        settings_path(settings_file);
        const uint32_t attributes = FILE_GetAttributes(settings_file);
        check->has_settings_file = attributes != FILE_INVALID_ATTRIBUTES && (attributes & FILE_ATTR_DIRECTORY) == 0;
        settings_in_package = session.package_file(sim::host_path(settings_file));
        settings_in_package_windows = session.in_package(settings_file);
        start_program(SILENT_COMMAND_LINE);
        check->layout = g_process.context.major_version == 2 ? 2 : 1;
        if (check->layout == 2) list_supported_slots(session, lines, check);
        if (check->layout == 1) only_win7 = only_win7_touch_pads();
        if (check->has_settings_file) {
            find_settings_problems(session, *check, lines, &check->findings);
            find_encoding_problems(session, lines, &check->findings);
            find_only_win7_problems(session, lines, package, &check->findings);
        } else {
            check->findings.push_back(
                {"note", "no-settings-file", sim::ansi_to_utf8(session.in_package(settings_file), check->code_page), 0, "",
                 "is not in the package: Setup.exe runs on its defaults, and so do the rows: layout 1, the engine "
                 ".\\DPInst.exe with the options \" /f\" and \" /f /sw /se\", and Support 0 (the exit code is always 0, "
                 "no update-package log)"});
        }
    }
    // The settings file read in each other code page that a machine profile has.
    std::set<uint32_t> code_pages{check->code_page};
    for (const ProfileMachine& profile : profiles) {
        const uint32_t code_page = profile.machine.ansi_code_page != 0
                                       ? profile.machine.ansi_code_page
                                       : sim::ansi_code_page_for_language(profile.machine.system_language);
        if (!check->has_settings_file || !code_pages.insert(code_page).second) continue;
        CheckSession session(package, profile.machine);
        if (!session.ready()) {
            *error = session.error();
            return false;
        }
        start_program(SILENT_COMMAND_LINE);
        find_encoding_problems(session, lines, &check->findings);
    }
    // Layout 2: a machine with each touch pad a configuration section can
    // match, else one without. Layout 1 matches no devices, but the ACPI
    // check looks at the touch pad: a machine without one, then one with each
    // touch pad the run's INF declares or "OnlyWin7" names. The progress
    // hears of the runs planned before any has run, then of those that runs
    // tell of: the touch pads of a run's INF, the upgrades.
    std::vector<std::vector<std::string>> touch_pads;  // by Windows, in WINDOWS_VERSIONS' order
    size_t planned = profiles.size();
    for (const WindowsVersion& version : WINDOWS_VERSIONS) {
        touch_pads.push_back(check->layout == 2 && version.os_index >= 0 ? touch_pads_for(*check, version.os_index)
                                                                          : std::vector<std::string>{});
        planned += std::max<size_t>(touch_pads.back().size(), 1) + only_win7.size();
    }
    if (progress != nullptr) progress->expect(planned);
    std::vector<InstallingRun> installing_runs;
    for (size_t windows = 0; windows < touch_pads.size(); ++windows) {
        const WindowsVersion& version = WINDOWS_VERSIONS[windows];
        std::vector<std::string> devices = touch_pads[windows];
        if (devices.empty()) {
            if (!try_machine(package, machine_for(version, ""), row_for(version.name, ""), version.os_index, check,
                             lines, reads, check->layout == 1 ? &devices : nullptr, error, progress)) {
                return false;
            }
            note_installing_run(version, check->rows.back(), &installing_runs);
        }
        if (check->layout == 1) {
            for (const std::string& device : only_win7) add_touch_pad(device, &devices);
            if (progress != nullptr) progress->expect(devices.size() - only_win7.size());
        }
        for (const std::string& device : devices) {
            if (!try_machine(package, machine_for(version, device), row_for(version.name, device), version.os_index,
                             check, lines, reads, nullptr, error, progress)) {
                return false;
            }
            note_installing_run(version, check->rows.back(), &installing_runs);
        }
    }
    size_t upgrade_runs = 0;
    for (const InstallingRun& run : installing_runs) upgrade_runs += RUNS_PER_UPGRADE * upgraded_versions(run).size();
    if (progress != nullptr) progress->expect(upgrade_runs);
    for (const InstallingRun& run : installing_runs) {
        if (!try_upgrades(package, run, check, lines, reads, error, progress)) return false;
    }
    for (const ProfileMachine& profile : profiles) {
        CheckRow row;
        row.windows = windows_name(profile.machine);
        row.machine = profile.name;
        if (!try_machine(package, profile.machine, row, -1, check, lines, reads, nullptr, error, progress)) return false;
    }
    if (progress != nullptr) progress->end();
    find_case_problems(*check, &check->findings);
    find_bitness_problems(*check, &check->findings);
    find_read_problems(reads, package, settings_in_package, check->code_page, &check->findings);
    std::set<std::string> opened;
    for (const auto& [file, asked] : reads.files()) {
        std::string name = file;
        std::replace(name.begin(), name.end(), '/', '\\');
        opened.insert(name);
    }
    for (const CheckRow& row : check->rows) {
        if (row.engine_path.empty()) continue;
        std::string engine = sim::ansi_to_utf8(row.engine_path, row.code_page);
        engine.erase(0, engine.rfind(".\\", 0) == 0 ? 2 : engine.rfind('\\', 0) == 0 ? 1 : 0);
        opened.insert(engine);
    }
    find_name_problems(package, opened, &check->findings);
    find_untold_failures(*check, sim::ansi_to_utf8(settings_in_package_windows, check->code_page), &check->findings);

    check->findings = told_findings(check->findings);
    return true;
}
