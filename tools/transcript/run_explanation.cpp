// Plain string building, as the transcript's: SetupCheck.exe links this too.
#include "transcript/run_explanation.h"

#include <cstring>
#include <string>
#include <vector>

#include "common/bounded_string.h"
#include "config/inf_models.h"
#include "config/support_matrix.h"
#include "platform/file.h"
#include "platform/sys.h"
#include "platform/ui.h"
#include "setup/context.h"
#include "setup/engine.h"
#include "setup/main_sequence.h"
#include "setup/messages.h"
#include "setup/run_mode.h"
#include "version/overwrite_decision.h"
#include "version/version_queries.h"
#include "version/version_resource_check.h"

namespace {

// Devices of a wanted vendor that a reason names; the rest are counted.
constexpr size_t DEVICES_NAMED = 5;

struct Reason {
    std::string text;
    size_t position;  // after how many of the run's events it belongs
};

// After the first box with this text (NOT_NOTED when none was shown).
size_t after_box(const record::RunRecord& run, const char* text)
{
    for (size_t i = 0; i < run.events.size(); ++i) {
        const record::Event& event = run.events[i];
        if (event.kind == record::EventKind::Box && event.index < run.boxes.size() &&
            run.boxes[event.index].text == text) {
            return i + 1;
        }
    }
    return record::NOT_NOTED;
}

// Before the engine's start; after the last box when there is none.
size_t before_engine(const record::RunRecord& run)
{
    size_t position = record::NOT_NOTED;
    for (size_t i = 0; i < run.events.size(); ++i) {
        const record::Event& event = run.events[i];
        if (event.kind == record::EventKind::Process && run.processes[event.index].kind == "create") return i;
        if (event.kind == record::EventKind::Box) position = i + 1;
    }
    return position;
}

bool engine_attempted(const record::RunRecord& run)
{
    for (const record::Process& process : run.processes) {
        if (process.kind == "create") return true;
    }
    return false;
}

std::vector<std::string> strings_of(const MultiStringList& list)
{
    std::vector<std::string> strings;
    if (list.buffer == nullptr) return strings;
    for (const char* text = list.buffer; *text != '\0'; text += std::strlen(text) + 1) strings.emplace_back(text);
    return strings;
}

std::string joined(const std::vector<std::string>& words, const char* before, const char* after)
{
    std::string text;
    for (const std::string& word : words) text += (text.empty() ? "" : ", ") + (before + word + after);
    return text;
}

// What a hardware-ID component names of its vendor: "VID_1D6B" and "VEN_VXA"
// are the vendor's part already; an ACPI or PNP ID ("VXA0704") begins with
// the vendor's three letters.
std::string vendor_of(const std::string& component)
{
    if (component.rfind("VID_", 0) == 0 || component.rfind("VEN_", 0) == 0) return component;
    return component.substr(0, 3);
}

// The running Windows' slot of a bus, or nullptr (a Windows no slot is for).
const os_slot* running_slot(const bus_type_entry& bus)
{
    for (const os_slot& slot : bus.os_slots) {
        if (is_running_os_slot(&slot)) return &slot;
    }
    return nullptr;
}

// A bus's running slot: what it says, and what its section's INF wants
// (each wanted component into `wanted`).
std::string slot_reason(const SetupContext& context, const bus_type_entry& bus, std::vector<std::string>* wanted)
{
    const os_slot* slot = running_slot(bus);
    std::string text = std::string("bus ") + bus.bus_name + ": ";
    if (slot == nullptr) return text + "no slot for this Windows";
    text += std::string(support_key(slot->os_index)) + " ";
    if (slot->supported == 0) return text + "supports nothing";
    const configuration_section& section = context.configuration_sections[slot->section_index];
    text += std::string("names section ") + section.section_name;
    if (section.inf_full_path[0] == '\0') return text + ", which names no INF";
    std::vector<std::string> models_sections;
    visit_models_sections(
        section.inf_full_path, slot,
        [](const char* name, void* data) { static_cast<std::vector<std::string>*>(data)->emplace_back(name); },
        &models_sections);
    text += std::string("; ") + section.inf_full_path;
    if (models_sections.empty()) return text + " has no models section for this Windows";
    MultiStringList list = get_supported_hareware_ids(section.inf_full_path, slot);
    const std::vector<std::string> components = strings_of(list);
    free_multi_string(&list);
    wanted->insert(wanted->end(), components.begin(), components.end());
    text += " " + joined(models_sections, "[", "]");
    return text + (components.empty() ? " lists no hardware ID" : " wants " + joined(components, "", ""));
}

// The device instance IDs the program listed, and those of a wanted vendor.
std::string devices_reason(const std::vector<std::string>& wanted)
{
    if (!g_process.device_instance_ids_built) return "devices: not listed, as no section wants any for this Windows";
    const std::vector<std::string> devices = strings_of(g_process.device_instance_ids);
    std::vector<std::string> of_vendor;
    for (const std::string& device : devices) {
        // The vendor is looked for in the device part of the instance ID
        // ("ACPI\VXB0900\4&1A2B&0": VXB0900), never in its instance part,
        // whose hexadecimal digits can spell a vendor ("4&ACE1&0").
        const size_t start = device.find('\\');
        const std::string device_part =
            start == std::string::npos ? device : device.substr(start + 1, device.find('\\', start + 1) - start - 1);
        for (const std::string& component : wanted) {
            if (device_part.find(vendor_of(component)) != std::string::npos) {
                of_vendor.push_back(device);
                break;
            }
        }
    }
    std::string text = "devices seen: " + std::to_string(devices.size()) + ", none with a wanted ID; of the wanted vendors: ";
    if (of_vendor.empty()) return text + "none";
    const size_t named = of_vendor.size() < DEVICES_NAMED ? of_vendor.size() : DEVICES_NAMED;
    text += joined(std::vector<std::string>(of_vendor.begin(), of_vendor.begin() + static_cast<long>(named)), "", "");
    return of_vendor.size() > named ? text + " and " + std::to_string(of_vendor.size() - named) + " more" : text;
}

void explain_no_matching_section(const record::RunRecord& run, std::vector<Reason>* reasons)
{
    const size_t position = after_box(run, NOT_SUPPORTED_NOTICE);
    if (position == record::NOT_NOTED) return;
    const SetupContext& context = g_process.context;
    std::vector<std::string> wanted;
    for (uint32_t b = 0; b < context.bus_count && b < MAX_BUS_TYPES; ++b) {
        reasons->push_back({slot_reason(context, context.bus_types[b], &wanted), position});
    }
    reasons->push_back({devices_reason(wanted), position});
}

void explain_version_library(const record::RunRecord& run, const char* inf_path, std::vector<Reason>* reasons)
{
    const size_t position = after_box(run, VERSION_LIBRARY_MISMATCH);
    if (position == record::NOT_NOTED) return;
    char library[PATH_CAPACITY];
    char product_version[PRODUCT_VERSION_CAPACITY];
    char driver_version[VERSION_TEXT_CAPACITY];
    if (!version_library_texts(inf_path, library, product_version, driver_version)) return;
    reasons->push_back({std::string(library) + " has product version \"" + product_version + "\"; the DriverVer of " +
                            inf_path + " gives \"" + driver_version + "\"",
                        position});
}

const char* comparison_text(int comparison)
{
    switch (comparison) {
    case OLDER_INSTALLED: return "an older version is installed";
    case SAME_INSTALLED: return "the same version is installed";
    case NEWER_INSTALLED: return "a newer version is installed";
    case INSTALLED_VERSION_MALFORMED: return "the installed version is not four dotted numbers";
    default: return "the package version is not four dotted numbers";
    }
}

std::string package_version_phrase(const char* version, const char* inf_path)
{
    return std::string("package version ") + version + " (DriverVer of " + inf_path + ")";
}

std::string package_version_text(const char* inf_path)
{
    char version[VERSION_TEXT_CAPACITY] = "";
    return loc_QueryInfFilesInf(inf_path, version, sizeof version)
               ? package_version_phrase(version, inf_path)
               : std::string("no package version (no DriverVer version in ") + inf_path + ")";
}

// The registry view the installed version was read in: the one registry of
// a 32-bit Windows, or on a 64-bit one the view REG_ReadSz asks for. (The
// 64-bit test build reads the 64-bit view either way, and asks for it on
// every 64-bit Windows there is.)
const char* installed_version_view()
{
    if (!is_64bit_os()) return "the registry of 32-bit Windows";
    return reads_64bit_view(g_process.os_version) ? "the 64-bit view" : "the 32-bit view";
}

// The installed and package versions where the run compared them: before the
// engine (as the program read them then: a simulated engine changes the
// machine), at the question or the warning that ended the run, or where
// FORCE=0 kept it from installing over the same or a newer version. Before
// the engine, with no driver installed: the value read, its view and the
// package version.
void explain_overwrite_decision(const record::RunRecord& run, const char* inf_path, std::vector<Reason>* reasons)
{
    char installed[VERSION_TEXT_CAPACITY] = "";
    int found = 0;
    std::string package_text;
    int comparison = PACKAGE_VERSION_MALFORMED;
    if (engine_attempted(run)) {
        // The program keeps both versions when a driver was installed and
        // both were read, the package version alone when it found no driver,
        // and neither when a version could not be read or compared.
        if (g_process.package_version[0] == '\0') return;
        bounded_copy(installed, sizeof installed, g_process.installed_version);
        found = installed[0] != '\0' ? 1 : 0;
        package_text = package_version_phrase(g_process.package_version, inf_path);
        comparison = loc_CopmareDrvVersion(installed, g_process.package_version);
    } else {
        found = query_installed_version(inf_path, installed);
        if (found == 0) return;
        char package[VERSION_TEXT_CAPACITY] = "";
        package_text = package_version_text(inf_path);
        comparison = found < 0 ? INSTALLED_VERSION_MALFORMED
                     : loc_QueryInfFilesInf(inf_path, package, sizeof package) ? loc_CopmareDrvVersion(installed, package)
                                                                               : PACKAGE_VERSION_MALFORMED;
    }
    const bool kept_by_force = g_process.force == 0 && run.result == DEP_SOFT_ERROR &&
                               (comparison == SAME_INSTALLED || comparison == NEWER_INSTALLED);
    const bool ended_at_a_box = run.ended_at_once && !run.boxes.empty() &&
                                run.boxes.back().text != VERSION_LIBRARY_MISMATCH;
    if (!engine_attempted(run) && !kept_by_force && !ended_at_a_box) return;

    const std::string value = std::string("HKEY_LOCAL_MACHINE\\") + installed_version_key(inf_path) + ", ProductVer";
    std::string text = found == 0 ? "installed version none (" + value + ", in " + installed_version_view() +
                                        ": not there), " + package_text + ": no driver is installed"
                                  : std::string("installed version ") +
                                        (found > 0 ? installed : "unreadable (no word in the value)") + " (" + value +
                                        "), " + package_text + ": " + comparison_text(comparison);
    char source[PATH_CAPACITY];
    if (ended_at_a_box && question_version_source(inf_path, source) && std::strcmp(source, inf_path) != 0) {
        text += "; the question reads the " + package_version_text(source);
    }
    if (kept_by_force) text += "; FORCE is off, so the run does not install over it";
    reasons->push_back({text, before_engine(run)});
}

// No settings file: the defaults, the engine they name as the run looked for
// it, and after the files-missing box what of the package was missing.
std::string missing_settings_reason(const record::RunRecord& run)
{
    const SetupContext& context = g_process.context;
    char engine[PATH_CAPACITY] = "";
    engine_full_path(context.engine_path, engine);
    std::string text = std::string("no settings file ") + context.settings_file_path +
                       ": the run takes the program's defaults (layout 1, engine " + context.engine_path + ", that is " +
                       engine + ")";
    for (const record::Box& box : run.boxes) {
        if (!shows_message(box, IDS_FILES_MISSING)) continue;
        return text + (FILE_GetAttributes(engine) == FILE_INVALID_ATTRIBUTES ? ", which is missing"
                                                                             : ", with no INF beside it");
    }
    return text;
}

}  // namespace

bool shows_message(const record::Box& box, uint32_t id)
{
    char text[PATH_CAPACITY];
    const int length = UI_LoadString(nullptr, id, text, sizeof text);
    return length > 0 && box.text.compare(0, static_cast<size_t>(length), text) == 0;
}

void explain_run(record::RunRecord* run)
{
    std::vector<Reason> reasons;
    const SetupContext& context = g_process.context;
    if (context.settings_file_path[0] != '\0' && FILE_GetAttributes(context.settings_file_path) == FILE_INVALID_ATTRIBUTES) {
        reasons.push_back({missing_settings_reason(*run), 0});
    }
    explain_no_matching_section(*run, &reasons);
    char inf_path[PATH_CAPACITY] = "";
    uint32_t error = 0;
    if (g_process.inf_folder[0] != '\0' && find_package_inf(context.engine_path, inf_path, &error)) {
        explain_version_library(*run, inf_path, &reasons);
        explain_overwrite_decision(*run, inf_path, &reasons);
    }
    std::vector<size_t> positions;
    for (const Reason& reason : reasons) {
        record::add_reason(run, reason.text);
        positions.push_back(reason.position);
    }
    record::place_last_events(run, positions);
}
