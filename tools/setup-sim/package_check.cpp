#include "setup-sim/package_check.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <set>

#include "config/acpi_check.h"
#include "config/inf_models.h"
#include "config/settings_file.h"
#include "config/support_matrix.h"
#include "platform/file.h"
#include "platform/pe.h"
#include "platform/sim/codepage.h"
#include "platform/ui.h"
#include "setup-sim/check_progress.h"
#include "setup-sim/check_session.h"
#include "setup-sim/package_findings.h"
#include "setup-sim/profile_loader.h"
#include "setup-sim/program_start.h"
#include "setup/context.h"
#include "setup/engine.h"
#include "setup/main_sequence.h"
#include "setup/messages.h"
#include "version/version_queries.h"
#include "version/version_resource_check.h"

namespace fs = std::filesystem;

namespace {

// The run the check asks about: the one an update tool starts.
constexpr const char* SILENT_COMMAND_LINE = "/s";

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

// Whether a box shows the string-table message `id` (its text, maybe with an
// error code after it), in the machine's language.
bool shows_message(const record::Box& box, uint32_t id)
{
    char text[PATH_CAPACITY];
    const int length = UI_LoadString(nullptr, id, text, sizeof text);
    return length > 0 && box.text.compare(0, static_cast<size_t>(length), text) == 0;
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
    machine.record.boxes.clear();
    row->engine_fits = CheckExeAndPlatform(nullptr, context.engine_path) == 1;
    row->engine_message = machine.record.boxes.empty() ? 0 : message_of(machine.record.boxes.back());

    char inf_path[PATH_CAPACITY] = "";
    machine.record.boxes.clear();
    const bool inf_found = locate_package_inf(nullptr, context.engine_path, inf_path) == 1;
    row->inf_message = machine.record.boxes.empty() ? 0 : message_of(machine.record.boxes.back());
    if (inf_found) {
        row->inf = session.in_package(inf_path);
        char version[VERSION_TEXT_CAPACITY] = "";
        row->driver_ver_read = loc_QueryInfFilesInf(inf_path, version, sizeof version) == 1;
        row->driver_ver = version;
        row->version_library_agrees = CheckVersionResource(inf_path) == 1;
    }
    char command_line[PATH_CAPACITY];
    build_engine_command_line(&context, command_line, sizeof command_line);
    row->command_line = command_line;
    machine.record.boxes.clear();
}

// Why the run showed message 2 or 3, from what the routines said one by one.
std::string refusal_reason(const CheckRow& row, uint32_t message)
{
    if (message == IDS_UNSUPPORTED_OS) {
        if (row.section.empty()) return "no engine section for this Windows";
        if (row.engine_message == IDS_UNSUPPORTED_OS) return "the engine is an " + row.engine_image + " image";
        if (row.acpi_refuses) return "touch pad " + row.acpi_device_id + " is listed in OnlyWin7";
    } else if (message == IDS_FILES_MISSING) {
        if (row.inf_message == IDS_FILES_MISSING) return "no INF beside the engine";
        if (row.engine_message == IDS_FILES_MISSING) return "the engine is missing";
    }
    return "";
}

// The outcome of the run from what it showed and started.
void describe_outcome(const std::vector<record::Box>& boxes, const std::vector<record::Process>& processes,
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
        row->description =
            "ends after the message \"" + sim::ansi_to_utf8(boxes.back().text, sim::current_ansi_code_page()) + "\"";
    }
}

// One silent run on the session's machine, then the program's routines one
// by one on the same machine for the facts the run does not print.
CheckRow run_row(CheckSession& session, const std::string& windows, const std::string& machine_name,
                 const std::string& device)
{
    CheckRow row;
    row.windows = windows;
    row.machine = machine_name;
    row.device = device;
    row.exit_code = start_program(SILENT_COMMAND_LINE);
    row.result = g_process.final_result;
    const std::vector<record::Box> boxes = session.machine().record.boxes;
    const std::vector<record::Process> processes = session.machine().record.processes;

    row.section = g_process.engine_section;
    if (!row.section.empty()) examine_engine(session, &row);
    row.acpi_refuses = check_support_os_option() == 0;
    row.acpi_device_id = g_process.acpi_device_id;
    describe_outcome(boxes, processes, &row);
    return row;
}

// Layout 2: every OS slot that a support entry gives to a configuration
// section, with the models sections and model lines that the program reads
// from the section's INF for it.
void list_supported_slots(CheckSession& session, PackageCheck* check)
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
            visit_models_sections(
                section.inf_full_path, &slot,
                [](const char* models_section, void* data) {
                    static_cast<std::vector<std::string>*>(data)->push_back(models_section);
                },
                &supported.models_sections);

            struct Walk {
                const SupportedSlot* slot;
                const std::string* models_section;
                std::string inf;
                std::vector<HardwareIdEntry>* entries;
            };
            for (const std::string& models_section : supported.models_sections) {
                Walk walk{&supported, &models_section, supported.inf, &check->hardware_ids};
                visit_model_lines(
                    section.inf_full_path, models_section.c_str(),
                    [](const ModelLine* model, void* data) {
                        const Walk* into = static_cast<const Walk*>(data);
                        if (model->hardware_id == nullptr) return;
                        into->entries->push_back({into->slot->windows, into->slot->os_index, into->slot->section,
                                                  into->inf, *into->models_section, model->line, model->hardware_id,
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

// One run's row and the findings about what it used, on a session of its own.
bool try_machine(const fs::path& package, const sim::Machine& machine, const std::string& windows,
                 const std::string& machine_name, const std::string& device, PackageCheck* check, std::string* error)
{
    CheckSession session(package, machine);
    if (!session.ready()) {
        *error = session.error();
        return false;
    }
    check->rows.push_back(run_row(session, windows, machine_name, device));
    find_run_problems(session, *check, check->rows.back(), &check->findings);
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

bool check_package(const fs::path& package, const std::vector<ProfileMachine>& profiles, PackageCheck* check,
                   std::string* error, CheckProgress* progress)
{
    std::error_code status_error;
    if (!fs::is_directory(package, status_error)) {
        *error = package.string() + " is not a folder";
        return false;
    }
    {
        // What the settings say, read as a run on 64-bit Windows 10 reads them.
        CheckSession session(package, machine_for(WINDOWS_VERSIONS[7], ""));
        if (!session.ready()) {
            *error = session.error();
            return false;
        }
        char settings_file[PATH_CAPACITY];
        settings_path(settings_file);
        const uint32_t attributes = FILE_GetAttributes(settings_file);
        if (attributes == FILE_INVALID_ATTRIBUTES || (attributes & FILE_ATTR_DIRECTORY) != 0) {
            *error = package.string() + " has no settings file " + session.in_package(settings_file);
            return false;
        }
        start_program(SILENT_COMMAND_LINE);
        check->layout = g_process.context.major_version == 2 ? 2 : 1;
        if (check->layout == 2) list_supported_slots(session, check);
        find_settings_problems(session, *check, &check->findings);
    }

    // The runs in the order of their rows: each Windows with each touch pad
    // of the package for its slot (or none), then each machine profile.
    struct Run {
        const ProfileMachine* profile;  // nullptr: the Windows version's machine with the device
        const WindowsVersion* version;
        std::string device;
    };
    std::vector<Run> runs;
    for (const WindowsVersion& version : WINDOWS_VERSIONS) {
        std::vector<std::string> devices =
            version.os_index >= 0 ? touch_pads_for(*check, version.os_index) : std::vector<std::string>{};
        if (devices.empty()) devices.push_back("");
        for (const std::string& device : devices) runs.push_back({nullptr, &version, device});
    }
    for (const ProfileMachine& profile : profiles) runs.push_back({&profile, nullptr, ""});

    if (progress != nullptr) progress->plan(runs.size());
    for (const Run& run : runs) {
        const bool ok = run.profile != nullptr
                            ? try_machine(package, run.profile->machine, windows_name(run.profile->machine),
                                          run.profile->name, "", check, error)
                            : try_machine(package, machine_for(*run.version, run.device), run.version->name,
                                          run.device.empty() ? "no touch pad" : run.device, run.device, check, error);
        if (!ok) return false;
        if (progress != nullptr) progress->ran(check->rows.back().windows, check->rows.back().machine);
    }
    if (progress != nullptr) progress->end();
    find_case_problems(*check, &check->findings);

    // A finding that several runs meet is told once.
    std::vector<Finding> unique;
    for (const Finding& finding : check->findings) {
        const bool seen = std::any_of(unique.begin(), unique.end(), [&](const Finding& other) {
            return other.kind == finding.kind && other.subject == finding.subject && other.text == finding.text;
        });
        if (!seen) unique.push_back(finding);
    }
    check->findings = unique;
    return true;
}
