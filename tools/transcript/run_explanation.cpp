#include "transcript/run_explanation.h"

#include <algorithm>
#include <cstring>

#include "config/inf_models.h"
#include "config/support_matrix.h"
#include "platform/file.h"
#include "platform/ui.h"
#include "setup/context.h"
#include "setup/engine.h"
#include "setup/main_sequence.h"
#include "setup/messages.h"
#include "version/overwrite_decision.h"
#include "version/version_queries.h"
#include "version/version_resource_check.h"

namespace {

// Devices named in full in a reason, so that a line stays readable on a
// machine with hundreds of them.
constexpr size_t DEVICES_NAMED = 5;

bool shows_text(const record::Box& box, const char* caption, const char* text)
{
    return box.caption == caption && box.text == text;
}

bool any_box(const record::RunRecord& run, bool (*test)(const record::Box&))
{
    for (const record::Box& box : run.boxes) {
        if (test(box)) return true;
    }
    return false;
}

std::vector<std::string> strings_of(const MultiStringList& list)
{
    std::vector<std::string> strings;
    for (const char* s = list.buffer; s != nullptr && *s != '\0'; s += std::strlen(s) + 1) strings.emplace_back(s);
    return strings;
}

std::string joined(const std::vector<std::string>& parts, size_t most = std::string::npos)
{
    std::string text;
    for (size_t i = 0; i < parts.size() && i < most; ++i) text += (i > 0 ? ", " : "") + parts[i];
    if (parts.size() > most) text += " and " + std::to_string(parts.size() - most) + " more";
    return text;
}

// The vendor a hardware-ID component or a part of a device ID names:
// "VID_1D6B" of USB and HID, the ACPI vendor of "VEN_VXA" and of the short
// ID "VXA0704" ("VXA"), or "" for none.
std::string vendor_of(const std::string& part)
{
    if (part.rfind("VID_", 0) == 0) return part.substr(0, 8);
    if (part.rfind("VEN_", 0) == 0) return part.substr(4);
    size_t letters = 0;
    while (letters < part.size() && part[letters] >= 'A' && part[letters] <= 'Z') ++letters;
    return letters >= 3 && letters <= 4 && letters < part.size() ? part.substr(0, letters) : "";
}

// Whether the device part of an instance ID ("ACPI\VXA0704\4&2A1B&0": the
// text between its first two backslashes) names one of the vendors.
bool shares_vendor(const std::string& instance_id, const std::vector<std::string>& vendors)
{
    const size_t start = instance_id.find('\\');
    if (start == std::string::npos) return false;
    const std::string device = instance_id.substr(start + 1, instance_id.find('\\', start + 1) - start - 1);
    for (size_t begin = 0; begin <= device.size();) {
        const size_t end = std::min(device.find('&', begin), device.size());
        const std::string vendor = vendor_of(device.substr(begin, end - begin));
        for (const std::string& wanted : vendors) {
            if (!vendor.empty() && vendor == wanted) return true;
        }
        begin = end + 1;
    }
    return false;
}

// Layout 2 without a configuration section that matched: what the running
// Windows' slot of each bus asked for, and which devices came near it.
void explain_not_supported(std::vector<std::string>* reasons)
{
    const SetupContext& context = g_process.context;
    std::vector<std::string> vendors;
    std::string slot_key;
    for (uint32_t b = 0; b < context.bus_count && b < MAX_BUS_TYPES; ++b) {
        const bus_type_entry& bus = context.bus_types[b];
        for (const os_slot& slot : bus.os_slots) {
            if (!is_running_os_slot(&slot)) continue;
            slot_key = support_key(slot.os_index);
            std::string reason = std::string("bus ") + bus.bus_name + ", " + slot_key + ": ";
            if (slot.supported == 0 || slot.section_index >= context.section_count) {
                reasons->push_back(reason + "not supported");
                continue;
            }
            const configuration_section& section = context.configuration_sections[slot.section_index];
            reason += std::string("section ") + section.section_name + ", INF ";
            if (section.inf_full_path[0] == '\0') {
                reasons->push_back(reason + "(none: its path is too long)");
                continue;
            }
            MultiStringList list = get_supported_hareware_ids(section.inf_full_path, &slot);
            const std::vector<std::string> components = strings_of(list);
            free_multi_string(&list);
            for (const std::string& component : components) {
                const std::string vendor = vendor_of(component);
                if (!vendor.empty()) vendors.push_back(vendor);
            }
            reasons->push_back(reason + section.inf_full_path + ", wants a device instance ID containing " +
                               (components.empty() ? "(no hardware ID for this Windows)" : joined(components)));
        }
    }
    if (slot_key.empty()) {
        reasons->push_back("no bus type names this Windows' slot");
        return;
    }
    if (!g_process.device_instance_ids_built) {
        reasons->push_back("no section asked for a device on this Windows, so no device was looked at");
        return;
    }
    const std::vector<std::string> devices = strings_of(g_process.device_instance_ids);
    std::vector<std::string> near;
    for (const std::string& device : devices) {
        if (shares_vendor(device, vendors)) near.push_back(device);
    }
    reasons->push_back("devices seen: " + std::to_string(devices.size()) + " instance IDs, " +
                       (near.empty() ? std::string("none of a vendor the package names")
                                     : "of a vendor the package names: " + joined(near, DEVICES_NAMED)));
}

std::string driver_ver_text(const char* inf_path)
{
    char version[VERSION_TEXT_CAPACITY] = "";
    return loc_QueryInfFilesInf(inf_path, version, sizeof version) ? version : "(unreadable)";
}

void explain_version_library(const char* inf_path, std::vector<std::string>* reasons)
{
    char library[PATH_CAPACITY];
    char product_version[PRODUCT_VERSION_CAPACITY];
    if (!read_version_library(library, product_version)) return;
    reasons->push_back(std::string("version library ") + library + " has product version \"" + product_version +
                       "\", INF " + inf_path + " has DriverVer " + driver_ver_text(inf_path) +
                       ": they differ once its dots are written \", \"");
}

const char* comparison_text(int comparison)
{
    switch (comparison) {
    case OLDER_INSTALLED:
        return "the installed one is older";
    case SAME_INSTALLED:
        return "the same version is installed";
    case NEWER_INSTALLED:
        return "the installed one is newer";
    case INSTALLED_VERSION_MALFORMED:
        return "the installed version is not four dotted numbers";
    default:
        return "the package's version is not four dotted numbers";
    }
}

// The overwrite decision, when a driver is installed: both versions, where
// each comes from, and what the comparison gave. An engine that ran may have
// changed the installed version since; the run kept the one it compared.
void explain_overwrite(const char* inf_path, bool engine_ran, std::vector<std::string>* reasons)
{
    char installed[VERSION_TEXT_CAPACITY] = "";
    int found = 0;
    if (engine_ran) {
        std::memcpy(installed, g_process.installed_version, sizeof installed);
        installed[sizeof installed - 1] = '\0';
        found = installed[0] != '\0' ? 1 : 0;
    } else {
        found = query_installed_version(inf_path, installed);
    }
    if (found == 0) return;
    const std::string key = std::string("HKLM\\") + installed_version_key(inf_path) + " ProductVer";
    if (found < 0) {
        reasons->push_back("installed driver: " + key + " holds no version, so the versions cannot be compared");
        return;
    }
    auto compared = [&](const char* source) {
        char package[VERSION_TEXT_CAPACITY] = "";
        const bool read = loc_QueryInfFilesInf(source, package, sizeof package) == 1;
        return std::string("package ") + (read ? package : "(unreadable)") + " (DriverVer of " + source + "): " +
               (read ? comparison_text(loc_CopmareDrvVersion(installed, package))
                     : "its version cannot be read");
    };
    std::string reason = std::string("installed driver ") + installed + " (" + key + "), " + compared(inf_path);
    char source[PATH_CAPACITY];
    if (question_version_source(inf_path, source) && std::strcmp(source, inf_path) != 0) {
        reason += "; the question compares with " + compared(source);
    }
    if (g_process.force == 0) reason += "; FORCE=false refuses the same or a newer installed version";
    reasons->push_back(reason);
}

// No settings file: the defaults, and the engine they name.
void explain_missing_settings(const record::RunRecord& run, std::vector<std::string>* reasons)
{
    const SetupContext& context = g_process.context;
    if (FILE_GetAttributes(context.settings_file_path) != FILE_INVALID_ATTRIBUTES) return;
    char engine[PATH_CAPACITY] = "";
    engine_full_path(context.engine_path, engine);
    std::string reason = std::string("no settings file ") + context.settings_file_path +
                         ": the run used the defaults (layout 1, engine " + context.engine_path + ", that is " +
                         engine + ")";
    if (any_box(run, [](const record::Box& box) { return shows_message(box, IDS_FILES_MISSING); })) {
        reason += FILE_GetAttributes(engine) == FILE_INVALID_ATTRIBUTES ? ", which is missing"
                                                                        : ", with no INF beside it";
    }
    reasons->push_back(reason);
}

}  // namespace

bool shows_message(const record::Box& box, uint32_t id)
{
    char text[PATH_CAPACITY];
    const int length = UI_LoadString(nullptr, id, text, sizeof text);
    return length > 0 && box.text.compare(0, static_cast<size_t>(length), text) == 0;
}

std::vector<std::string> run_explanation(const record::RunRecord& run)
{
    std::vector<std::string> reasons;
    // A run that ended at the mutex read no settings.
    if (g_process.context.settings_file_path[0] == '\0') return reasons;
    explain_missing_settings(run, &reasons);
    if (any_box(run, [](const record::Box& box) { return shows_text(box, "SETUP: ", NOT_SUPPORTED_NOTICE); })) {
        explain_not_supported(&reasons);
    }
    // The INF of the run, found as the run found it, once it was looked for.
    char inf_path[PATH_CAPACITY] = "";
    uint32_t error = 0;
    if (g_process.inf_folder[0] == '\0' || !find_package_inf(g_process.context.engine_path, inf_path, &error)) {
        return reasons;
    }
    const bool mismatch = any_box(run, [](const record::Box& box) {
        return shows_text(box, "ERROR", VERSION_LIBRARY_MISMATCH);
    });
    if (mismatch) {
        explain_version_library(inf_path, &reasons);
        return reasons;
    }
    // The decision was reached when the engine was started or held back, the
    // question ended the run, or the classification refused to go on.
    bool engine = false;
    bool prerequisite_failed = false;
    for (const record::Process& process : run.processes) {
        engine = engine || process.kind == "create";
        prerequisite_failed = prerequisite_failed || (process.kind == "shell" && !process.started && !process.held_back);
    }
    if (engine || g_process.ended_at_once || (g_process.final_result == DEP_SOFT_ERROR && !prerequisite_failed)) {
        explain_overwrite(inf_path, engine, &reasons);
    }
    return reasons;
}
