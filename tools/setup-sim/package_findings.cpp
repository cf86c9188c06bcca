#include "setup-sim/package_findings.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

#include "common/bounded_string.h"
#include "config/inf_models.h"
#include "config/settings.h"
#include "config/settings_file.h"
#include "config/support_matrix.h"
#include "platform/file.h"
#include "platform/path.h"
#include "platform/profile.h"
#include "setup/context.h"
#include "setup/engine.h"
#include "setup/run_mode.h"
#include "version/version_queries.h"
#include "version/version_resource_check.h"

namespace {

// The default that tells a key that is not there from one that is empty.
constexpr const char* ABSENT = "\x01";
// Room to read any settings value whole and see how long it really is.
constexpr uint32_t WHOLE_VALUE_CAPACITY = 4096;
// A section read whole is at most this large.
constexpr size_t WHOLE_SECTION_LIMIT = 16 * 1024 * 1024;

std::string quoted(const std::string& text)
{
    return "\"" + text + "\"";
}

std::string setting(const char* section, const char* key)
{
    char value[WHOLE_VALUE_CAPACITY];
    read_setting_string(section, key, value, sizeof value, ABSENT);
    return value;
}

// A key line as the settings file has it, or "(missing)".
std::string setting_line(const char* section, const char* key)
{
    const std::string value = setting(section, key);
    return std::string(key) + (value == ABSENT ? " (missing)" : "=" + value);
}

bool has_section(const char* file, const char* section)
{
    char lines[4];
    return PROFILE_GetSection(section, lines, sizeof lines, file) > 0;
}

// The lines of a section read whole, however large it is.
std::vector<std::string> whole_section(const char* file, const char* section)
{
    std::vector<char> buffer(SECTION_READ_CAPACITY);
    uint32_t length = 0;
    for (;;) {
        length = PROFILE_GetSection(section, buffer.data(), static_cast<uint32_t>(buffer.size()), file);
        if (length + 2 < buffer.size() || buffer.size() >= WHOLE_SECTION_LIMIT) break;
        buffer.resize(buffer.size() * 2);
    }
    std::vector<std::string> lines;
    for (size_t at = 0; at < length; at += lines.back().size() + 1) lines.emplace_back(buffer.data() + at);
    return lines;
}

bool is_file(const char* path)
{
    const uint32_t attributes = FILE_GetAttributes(path);
    return attributes != FILE_INVALID_ATTRIBUTES && (attributes & FILE_ATTR_DIRECTORY) == 0;
}

bool is_folder(const char* path)
{
    const uint32_t attributes = FILE_GetAttributes(path);
    return attributes != FILE_INVALID_ATTRIBUTES && (attributes & FILE_ATTR_DIRECTORY) != 0;
}

struct Reporter {
    CheckSession* session;
    std::vector<Finding>* findings;
    std::string settings_file;  // in the package

    void add(const char* kind, const std::string& subject, const std::string& text)
    {
        findings->push_back({kind, subject, text});
    }
    // "Setup.ini [I2C] x64_support_win10=yes,CfgI2C,no"
    std::string in_settings(const std::string& section, const std::string& line = "") const
    {
        return settings_file + " [" + section + "]" + (line.empty() ? "" : " " + line);
    }
    std::string in_inf(const std::string& inf_path, const std::string& section) const
    {
        return session->in_package(inf_path) + " [" + section + "]";
    }
};

// --- Layout 2: bus types, support entries, configuration sections ---

void find_bus_type_problems(Reporter& report, const SetupContext& context)
{
    const std::string types = setting("bus", "support_types");
    if (context.bus_count == 0) {
        report.add("no-bus-types", report.in_settings("bus", setting_line("bus", "support_types")),
                   "names no bus type: Setup.exe refuses the settings and ends every run with 1633, "
                   "before anything is checked");
        return;
    }
    // The program's own split of the value.
    std::vector<char> value(types.begin(), types.end());
    value.push_back('\0');
    char* cursor = value.data();
    std::vector<std::string> names;
    for (const char* name = next_field(&cursor, ","); name != nullptr; name = next_field(&cursor, ",")) {
        names.push_back(name);
    }
    if (names.size() <= context.bus_count) return;
    std::string ignored;
    for (size_t i = context.bus_count; i < names.size(); ++i) ignored += (ignored.empty() ? "" : ", ") + names[i];
    report.add("too-many-bus-types", report.in_settings("bus", "support_types=" + types),
               "lists " + std::to_string(names.size()) + " bus types; Setup.exe keeps " +
                   std::to_string(context.bus_count) + " and never looks at " + ignored);
}

// What the program made of one support entry that it did not support.
std::string unsupported_entry_text(const std::string& raw, const SupportEntry& entry, const char* windows)
{
    const std::string outcome = std::string("so Setup.exe does not support ") + windows + " on this bus at all";
    const bool blanks = raw.find(", ") != std::string::npos || raw.find(",\t") != std::string::npos;
    if (blanks && entry.has_extract_subfolder && entry.extract_subfolder == nullptr) {
        return "the fields after the commas begin with blanks, which Setup.exe keeps: the third field reads as "
               "\" no\", which is not \"no\" and asks for an extraction subfolder that the entry does not name, " +
               outcome;
    }
    if (raw.empty()) return "has an empty value: Setup.exe finds no answer in it, " + outcome;
    if (entry.section_name == nullptr) return "says yes but names no configuration section, " + outcome;
    if (entry.has_extract_subfolder && entry.extract_subfolder == nullptr) {
        return "asks for an extraction subfolder but names none, " + outcome;
    }
    return "says yes but lacks the subfolder answer (yes or no) in its third field, " + outcome;
}

// A configuration section as a support entry names it, and that entry.
struct NamedSection {
    std::string name;
    std::string entry;
};

// Every support entry of the bus types the program looked at; the
// configuration sections the supported ones name, in order, each with the
// first entry that names it.
std::vector<NamedSection> find_support_entry_problems(Reporter& report, const SetupContext& context)
{
    std::vector<NamedSection> named;
    for (uint32_t b = 0; b < context.bus_count && b < MAX_BUS_TYPES; ++b) {
        const bus_type_entry& bus = context.bus_types[b];
        for (uint32_t i = 0; i < OS_SLOT_COUNT; ++i) {
            const std::string raw = setting(bus.bus_name, support_key(i));
            if (raw == ABSENT) continue;
            std::vector<char> value(raw.begin(), raw.end());
            value.push_back('\0');
            const SupportEntry entry = split_support_entry(value.data());
            const std::string subject = report.in_settings(bus.bus_name, std::string(support_key(i)) + "=" + raw);
            if (entry.supported && std::none_of(named.begin(), named.end(), [&](const NamedSection& section) {
                    return section.name == entry.section_name;
                })) {
                named.push_back({entry.section_name, subject});
            }
            const bool blanks = raw.find(", ") != std::string::npos || raw.find(",\t") != std::string::npos;
            if (bus.os_slots[i].supported == 0 && (entry.says_yes || raw.empty()) && !entry.supported) {
                report.add(blanks ? "support-entry-blanks" : "malformed-support-entry", subject,
                           unsupported_entry_text(raw, entry, os_slot_windows(i)));
            } else if (bus.os_slots[i].supported != 0 && blanks) {
                report.add("support-entry-blanks", subject,
                           "the fields after the commas begin with blanks, which Setup.exe keeps: it names the "
                           "configuration section " + quoted(bus.os_slots[i].section_name));
            }
        }
    }
    return named;
}

// Where the slot that first names configuration section k is, for the finding's subject.
std::string naming_entry(const Reporter& report, const SetupContext& context, uint32_t k)
{
    for (uint32_t b = 0; b < context.bus_count && b < MAX_BUS_TYPES; ++b) {
        const bus_type_entry& bus = context.bus_types[b];
        for (uint32_t i = 0; i < OS_SLOT_COUNT; ++i) {
            if (bus.os_slots[i].supported != 0 && bus.os_slots[i].section_index == k) {
                return report.in_settings(bus.bus_name, setting_line(bus.bus_name, support_key(i)));
            }
        }
    }
    return report.settings_file;
}

void find_configuration_section_problems(Reporter& report, const SetupContext& context,
                                         const std::vector<NamedSection>& named)
{
    const uint32_t count = std::min<uint32_t>(context.section_count, MAX_CONFIGURATION_SECTIONS);
    for (uint32_t k = 0; k < count; ++k) {
        const configuration_section& section = context.configuration_sections[k];
        for (uint32_t j = 0; j < k; ++j) {
            const char* other = context.configuration_sections[j].section_name;
            if (equals_ignoring_case(other, section.section_name)) {
                report.add("section-names-differ-in-case",
                           report.settings_file + " configuration sections " + other + " and " +
                               section.section_name,
                           "differ only in case: Setup.exe counts them as two configuration sections (two of its " +
                               std::to_string(MAX_CONFIGURATION_SECTIONS) +
                               " places), though the settings file has one section for both");
            }
        }
        if (!has_section(context.settings_file_path, section.section_name)) {
            report.add("missing-configuration-section", naming_entry(report, context, k),
                       std::string("names the configuration section ") + section.section_name +
                           ", which the settings file does not have: it has no INF, so no device ever matches it");
            continue;
        }
        const std::string main_inf = setting(section.section_name, "main_inf");
        const std::string subfolder = setting(section.section_name, "subfolder");
        if (main_inf == ABSENT || main_inf.empty()) {
            report.add("main-inf", report.in_settings(section.section_name, setting_line(section.section_name, "main_inf")),
                       "names no INF: Setup.exe reads the folder " + report.session->in_package(section.inf_full_path) +
                           " as the INF and no device ever matches this section");
        } else if (!is_file(section.inf_full_path)) {
            char folder[PATH_CAPACITY];
            bounded_copy(folder, sizeof folder, section.inf_full_path);
            PATH_RemoveFileSpec(folder);
            if (subfolder == ABSENT || subfolder.empty()) {
                report.add("subfolder",
                           report.in_settings(section.section_name, setting_line(section.section_name, "subfolder")),
                           "names no folder, so Setup.exe looks for " + main_inf + " beside the settings file, "
                           "where there is none: no device ever matches this section");
            } else if (!is_folder(folder)) {
                report.add("subfolder", report.in_settings(section.section_name, "subfolder=" + subfolder),
                           "names no folder of the package: Setup.exe finds no " + main_inf +
                               " and no device ever matches this section");
            } else {
                report.add("main-inf", report.in_settings(section.section_name, "main_inf=" + main_inf),
                           "names no file in " + report.session->in_package(folder) +
                               ": no device ever matches this section");
            }
        }
    }
    for (const NamedSection& section : named) {
        bool kept = false;
        for (uint32_t k = 0; k < count; ++k) kept = kept || section.name == context.configuration_sections[k].section_name;
        if (kept) continue;
        report.add("too-many-configuration-sections", section.entry,
                   "names the configuration section " + section.name + " after Setup.exe has taken its " +
                       std::to_string(count) + ": the section is not kept and the slot is not supported");
    }
}

// --- Layout 2: the INFs the configuration sections name ---

struct ModelWalk {
    std::vector<std::string> lines;          // as the program read them
    std::vector<std::string> hardware_ids;   // the field it took as the first hardware ID, "" for none
    std::vector<std::string> components;     // "" for none
};

ModelWalk walk_models(const std::string& inf_path, const std::string& models_section)
{
    ModelWalk walk;
    visit_model_lines(
        inf_path.c_str(), models_section.c_str(),
        [](const ModelLine* model, void* data) {
            auto* into = static_cast<ModelWalk*>(data);
            into->lines.push_back(model->line);
            into->hardware_ids.push_back(model->hardware_id != nullptr ? model->hardware_id : "");
            into->components.push_back(model->component != nullptr ? model->component : "");
        },
        &walk);
    return walk;
}

// A device description that is literal text holding blanks, not a %key% token.
bool description_has_blanks(const std::string& line)
{
    const std::string description = line.substr(0, line.find('='));
    const bool token = description.size() >= 2 && description.front() == '%' && description.back() == '%';
    return !token && description.find_first_of(" \t") != std::string::npos;
}

void find_models_section_problems(Reporter& report, const std::string& inf_path, const std::string& models_section)
{
    const ModelWalk walk = walk_models(inf_path, models_section);
    const std::string subject = report.in_inf(inf_path, models_section);
    const std::vector<std::string> whole = whole_section(inf_path.c_str(), models_section.c_str());
    size_t bytes = 1;
    for (const std::string& line : whole) bytes += line.size() + 1;
    if (bytes > SECTION_READ_CAPACITY && !walk.lines.empty() && walk.lines.size() <= whole.size()) {
        // The last line read is whole or cut short; the lines after it are not read at all.
        const size_t last = walk.lines.size() - 1;
        const bool cut = walk.lines.back() != whole[last];
        const size_t unread = whole.size() - last - 1;
        report.add("models-section-cut", subject,
                   "is " + std::to_string(bytes) + " bytes; Setup.exe reads " + std::to_string(SECTION_READ_CAPACITY) +
                       (cut ? " and cuts it in line " : " and ends after line ") + std::to_string(last + 1) + " of " +
                       std::to_string(whole.size()) +
                       (unread > 0 ? ", so the " + std::to_string(unread) +
                                         " models after that line are never matched, from " + quoted(whole[last + 1]) +
                                         " on"
                                   : std::string()));
    }
    for (size_t i = 0; i < walk.lines.size(); ++i) {
        if (!description_has_blanks(walk.lines[i])) continue;
        const std::string& hardware_id = walk.hardware_ids[i];
        const std::string taken = hardware_id.empty() ? "no field at all" : quoted(hardware_id);
        report.add("model-description-blanks", subject + " " + walk.lines[i],
                   "the description is literal text with blanks, which split the line too: Setup.exe takes " + taken +
                       " as the hardware ID, " +
                       (walk.components[i].empty() ? std::string("which gives no component, so the model never matches")
                                                   : "so a device must carry " + quoted(walk.components[i]) +
                                                         " to match"));
    }
}

void find_inf_problems(Reporter& report, const PackageCheck& check)
{
    std::vector<std::pair<std::string, std::string>> examined;  // (INF, models section)
    for (const SupportedSlot& slot : check.supported_slots) {
        if (!is_file(slot.inf_path.c_str())) continue;  // told with its configuration section
        if (slot.models_sections.empty()) {
            report.add("no-manufacturer-entry", report.in_inf(slot.inf_path, "Manufacturer"),
                       "has no entry decorated for " + slot.windows + ", which " + slot.bus + " " + slot.support_key +
                           " supports with " + slot.section + ": no device ever matches there");
        }
        for (const std::string& models_section : slot.models_sections) {
            if (walk_models(slot.inf_path, models_section).lines.empty()) {
                report.add("models-section-missing", report.in_inf(slot.inf_path, models_section),
                           "is named by [Manufacturer] for " + slot.windows +
                               " but is missing or empty: no device matches from it");
            }
            const std::pair<std::string, std::string> key{slot.inf_path, models_section};
            if (std::find(examined.begin(), examined.end(), key) != examined.end()) continue;
            examined.push_back(key);
            find_models_section_problems(report, slot.inf_path, models_section);
        }
    }
}

// --- What one run used ---

void find_engine_section_problems(Reporter& report, const PackageCheck& check, const CheckRow& row)
{
    const SetupContext& context = g_process.context;
    const char* section = row.section.c_str();

    Layout1Sections sections{};
    if (check.layout == 1 && layout1_engine_sections(g_process.os_version, is_64bit_os() != 0, &sections) &&
        sections.fallback != nullptr && row.section == sections.fallback &&
        !has_section(context.settings_file_path, sections.fallback)) {
        report.add("fallback-undefined", report.in_settings(sections.primary, setting_line(sections.primary, "Path")),
                   std::string("leaves the stock engine, so Setup.exe applies [") + sections.fallback +
                       "], which the settings file does not define: the engine " + context.engine_path +
                       ", the stock options and Support " + std::to_string(context.support_flags));
    }

    const std::string support = report.in_settings(section, setting_line(section, "Support"));
    if ((context.support_flags & SUPPORT_EXIT_CODE) == 0) {
        report.add("support-flags-no-exit-code", support,
                   "has no value 8: Setup.exe exits with 0 whatever the result, so update tools read success "
                   "even when nothing was installed");
    }
    if ((context.support_flags & SUPPORT_LOG) == 0) {
        report.add("support-flags-no-log", support, "has no value 4: Setup.exe writes no update-package log");
    }

    const struct {
        const char* key;
        const char* read;  // as the program read it
    } options[] = {{"Default", context.default_options}, {"Silent", context.silent_options}};
    for (const auto& option : options) {
        const std::string raw = setting(section, option.key);
        if (raw == ABSENT) continue;
        const std::string subject = report.in_settings(section, std::string(option.key) + "=" + raw);
        if (raw.size() > std::strlen(option.read)) {
            report.add("option-too-long", subject,
                       "is " + std::to_string(raw.size()) + " characters; Setup.exe keeps " +
                           std::to_string(std::strlen(option.read)) + ": " + quoted(option.read));
        }
        if (option.read[0] != '\0' && option.read[0] != ' ') {
            const std::string after = std::string(option.key) == "Silent" ? ": " + row.command_line : "";
            report.add("option-leading-blank", subject,
                       "reads as " + quoted(option.read) +
                           " without a leading blank (quote the value to keep one), so the options follow the "
                           "engine's quoted path directly" + after);
        }
    }
}

void find_engine_problems(Reporter& report, const CheckRow& row)
{
    if (row.engine_fits) return;
    const std::string subject = report.in_settings(row.section, "Path=" + row.engine_path);
    const std::string message = std::to_string(row.engine_message);
    if (row.engine_image == "missing") {
        report.add("engine-missing", subject,
                   "names no file: Setup.exe's platform check refuses it with message " + message);
    } else if (row.engine_image == "not an image") {
        report.add("engine-not-image", subject,
                   "is not an executable image: Setup.exe's platform check refuses it without a message");
    } else {
        report.add("engine-wrong-machine", subject,
                   "is an " + row.engine_image + " image: on " + (is_64bit_os() ? "64" : "32") +
                       "-bit Windows Setup.exe's platform check refuses it with message " + message);
    }
}

void find_inf_beside_engine_problems(Reporter& report, const CheckRow& row)
{
    char pattern[PATH_CAPACITY];
    if (!engine_full_path(row.engine_path.c_str(), pattern)) return;
    PATH_RemoveFileSpec(pattern);
    const std::string folder = report.session->in_package(pattern);
    if (row.inf.empty()) {
        report.add("no-inf-beside-engine", report.in_settings(row.section, "Path=" + row.engine_path),
                   "has no INF in its folder " + folder + ": Setup.exe's search for the package INF fails with message " +
                       std::to_string(row.inf_message));
        return;
    }
    std::vector<std::string> infs;
    FILE_FindData found{};
    if (PATH_Append(pattern, "*.inf")) {
        if (FILE_FindHandle search = FILE_FindFirst(pattern, &found); search != nullptr) {
            do infs.push_back(found.name);
            while (FILE_FindNext(search, &found));
            FILE_FindClose(search);
        }
    }
    if (infs.size() > 1) {
        std::string names;
        for (const std::string& name : infs) names += (names.empty() ? "" : ", ") + name;
        report.add("several-infs", folder,
                   "holds " + std::to_string(infs.size()) + " INF files (" + names + "): Setup.exe uses only " +
                       row.inf + ", the first the folder lists");
    }
    if (!row.driver_ver_read) {
        report.add("driver-ver-unreadable", row.inf + " [Version] DriverVer",
                   std::string("cannot be read: Setup.exe's version-library check passes without comparing") +
                       (g_process.package_version[0] == '\0' ? ", and the run records no package version" : ""));
    } else if (loc_CopmareDrvVersion(row.driver_ver.c_str(), row.driver_ver.c_str()) < 0) {
        const bool swapped = row.driver_ver.find('/') != std::string::npos;
        report.add("driver-ver-not-four-numbers", row.inf + " [Version] DriverVer",
                   "has the version " + quoted(row.driver_ver) +
                       (swapped ? ", a date: DriverVer is the date, a comma, then the version" : "") +
                       ", which is not four dotted numbers: Setup.exe cannot compare it with an installed "
                       "driver's version, so on a machine with the driver installed it cannot decide whether to "
                       "overwrite it (the rows with a version installed show what it does)");
    }
    if (row.driver_ver_read && !row.version_library_agrees) {
        char library[PATH_CAPACITY];
        bounded_copy(library, sizeof library, g_process.inf_folder);
        PATH_Append(library, "VxaVer.dll");
        const std::string ending = row.outcome == "version_library_mismatch"
                                       ? ": Setup.exe shows " + quoted(VERSION_LIBRARY_MISMATCH) +
                                             " and ends with exit code " + std::to_string(row.exit_code) +
                                             " without running the engine"
                                       : "";
        report.add("version-library-mismatch", report.session->in_package(library),
                   "does not agree with DriverVer " + row.driver_ver + " of " + row.inf + ending);
    }
}

}  // namespace

void find_settings_problems(CheckSession& session, const PackageCheck& check, std::vector<Finding>* findings)
{
    const SetupContext& context = g_process.context;
    Reporter report{&session, findings, session.in_package(context.settings_file_path)};
    if (check.layout != 2) return;
    find_bus_type_problems(report, context);
    const std::vector<NamedSection> named = find_support_entry_problems(report, context);
    find_configuration_section_problems(report, context, named);
    find_inf_problems(report, check);
}

void find_run_problems(CheckSession& session, const PackageCheck& check, const CheckRow& row,
                       std::vector<Finding>* findings)
{
    if (row.section.empty()) return;
    Reporter report{&session, findings, session.in_package(g_process.context.settings_file_path)};
    find_engine_section_problems(report, check, row);
    find_engine_problems(report, row);
    find_inf_beside_engine_problems(report, row);
}

void find_case_problems(const PackageCheck& check, std::vector<Finding>* findings)
{
    for (const HardwareIdEntry& entry : check.hardware_ids) {
        const bool lower_case = std::any_of(entry.component.begin(), entry.component.end(),
                                            [](char c) { return std::islower(static_cast<unsigned char>(c)) != 0; });
        if (!lower_case) continue;
        for (const CheckRow& row : check.rows) {
            if (row.windows != entry.windows || row.device != listed_hardware_id(entry.hardware_id)) continue;
            findings->push_back({"component-case", entry.inf + " [" + entry.models_section + "] " + entry.line,
                                 "Setup.exe looks for " + quoted(entry.component) +
                                     " in device instance IDs, which Windows writes in upper case: on a machine "
                                     "with this touch pad (" + row.device + ") it says " + row.description});
        }
    }
}
