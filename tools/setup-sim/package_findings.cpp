#include "setup-sim/package_findings.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "common/bounded_string.h"
#include "config/acpi_check.h"
#include "config/inf_models.h"
#include "config/settings.h"
#include "config/settings_file.h"
#include "config/support_matrix.h"
#include "platform/file.h"
#include "platform/path.h"
#include "platform/profile.h"
#include "platform/sim/codepage.h"
#include "setup-sim/package_reads.h"
#include "setup/context.h"
#include "setup/engine.h"
#include "setup/run_mode.h"
#include "version/version_queries.h"
#include "version/version_resource_check.h"

namespace {

// The fields of a text as the program's own split (next_field) makes them.
std::vector<std::string> program_fields(const std::string& text, const char* delimiters)
{
    std::vector<char> copy(text.begin(), text.end());
    copy.push_back('\0');
    char* cursor = copy.data();
    std::vector<std::string> fields;
    for (const char* field = next_field(&cursor, delimiters); field != nullptr; field = next_field(&cursor, delimiters)) {
        fields.push_back(field);
    }
    return fields;
}

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

// File bytes through the machine's file functions: the package as the
// program sees it. "" when the file cannot be read.
std::string file_bytes(const char* path)
{
    FILE_Handle file = FILE_OpenExistingForRead(path);
    if (file == nullptr) return "";
    std::string bytes;
    FILE_View view{};
    if (FILE_MapReadOnly(file, &view)) {
        bytes.assign(reinterpret_cast<const char*>(view.data), static_cast<size_t>(view.size));
        FILE_Unmap(&view);
    }
    FILE_Close(file);
    return bytes;
}

// The file of the package that a "key=path" line names when its bytes are
// read in another code page than the machine's, where the machine's reading
// names none (a folder "Größe" written in 1252, read in 1251 as "GrцЯe");
// "" otherwise. In UTF-8, as the package names it.
std::string file_meant_in_another_code_page(const std::string& line, uint32_t code_page)
{
    static constexpr uint32_t OTHER_CODE_PAGES[] = {1252, 1250, 1251, 1253, 1254, 1257, 932, 936, 949, 950};
    const size_t equals = line.find('=');
    if (equals == std::string::npos) return "";
    std::string path = line.substr(equals + 1);
    path.erase(0, std::min(path.find_first_not_of(" \t\""), path.size()));
    path.erase(std::min(path.find_last_not_of(" \t\"") + 1, path.size()));
    path.erase(0, path.rfind(".\\", 0) == 0 ? 2 : path.rfind('\\', 0) == 0 ? 1 : 0);
    if (path.empty()) return "";
    std::string folder = sim::ansi_module_path();
    folder.erase(std::min(folder.rfind('\\'), folder.size()));
    if (is_file((folder + "\\" + path).c_str()) || is_folder((folder + "\\" + path).c_str())) return "";
    std::string unicode_folder = sim::current().module_path;
    unicode_folder.erase(std::min(unicode_folder.rfind('\\'), unicode_folder.size()));
    for (const uint32_t other : OTHER_CODE_PAGES) {
        if (other == code_page) continue;
        const std::string meant = sim::ansi_to_utf8(path, other);
        std::error_code error;
        if (std::filesystem::exists(sim::host_path_of_unicode(unicode_folder + "\\" + meant), error)) return meant;
    }
    return "";
}

struct Reporter {
    CheckSession* session;
    PackageLines* lines;
    std::vector<Finding>* findings;
    std::string settings_file;  // Windows path

    // A finding whose place and text are in the machine's ANSI code page.
    void add(const char* severity, const char* kind, const Place& place, const std::string& text)
    {
        const uint32_t code_page = sim::current_ansi_code_page();
        add_unicode(severity, kind, place, sim::ansi_to_utf8(place.shown, code_page), sim::ansi_to_utf8(text, code_page));
    }
    // One whose shown part and text are UTF-8 already.
    void add_unicode(const char* severity, const char* kind, const Place& place, const std::string& shown,
                     const std::string& text)
    {
        findings->push_back({severity, kind,
                             sim::ansi_to_utf8(session->in_package(place.file), sim::current_ansi_code_page()),
                             lines->line_of(place), shown, text});
    }
    // "[I2C] x64_support_win10=yes,CfgI2C,no", or "[CfgI2C] main_inf (missing)".
    Place at_setting(const std::string& section, const char* key) const
    {
        return {settings_file, section, key, -1, "[" + section + "] " + setting_line(section.c_str(), key), 0};
    }
    Place at_section(const std::string& file, const std::string& section) const
    {
        return {file, section, "", -1, "[" + section + "]", 0};
    }
    Place at_file(const std::string& file) const { return {file, "", "", -1, "", 0}; }
};

// --- Layout 2: bus types, support entries, configuration sections ---

void find_bus_type_problems(Reporter& report, const SetupContext& context)
{
    const std::string types = setting("bus", "support_types");
    if (context.bus_count == 0) {
        report.add("error", "no-bus-types", report.at_setting("bus", "support_types"),
                   "names no bus type: Setup.exe refuses the settings and ends every run with 1633, "
                   "before anything is checked");
        return;
    }
    const std::vector<std::string> names = program_fields(types, ",");
    if (names.size() <= context.bus_count) return;
    std::string ignored;
    for (size_t i = context.bus_count; i < names.size(); ++i) ignored += (ignored.empty() ? "" : ", ") + names[i];
    report.add("error", "too-many-bus-types", report.at_setting("bus", "support_types"),
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
    Place entry;
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
            const Place subject = report.at_setting(bus.bus_name, support_key(i));
            if (entry.supported && std::none_of(named.begin(), named.end(), [&](const NamedSection& section) {
                    return section.name == entry.section_name;
                })) {
                named.push_back({entry.section_name, subject});
            }
            const bool blanks = raw.find(", ") != std::string::npos || raw.find(",\t") != std::string::npos;
            if (bus.os_slots[i].supported == 0 && (entry.says_yes || raw.empty()) && !entry.supported) {
                report.add("error", blanks ? "support-entry-blanks" : "malformed-support-entry", subject,
                           unsupported_entry_text(raw, entry, os_slot_windows(i)));
            } else if (bus.os_slots[i].supported != 0 && blanks) {
                report.add("warning", "support-entry-blanks", subject,
                           "the fields after the commas begin with blanks, which Setup.exe keeps: it names the "
                           "configuration section " + quoted(bus.os_slots[i].section_name));
            }
        }
    }
    return named;
}

// Where the slot that first names configuration section k is, for the finding's subject.
Place naming_entry(const Reporter& report, const SetupContext& context, uint32_t k)
{
    for (uint32_t b = 0; b < context.bus_count && b < MAX_BUS_TYPES; ++b) {
        const bus_type_entry& bus = context.bus_types[b];
        for (uint32_t i = 0; i < OS_SLOT_COUNT; ++i) {
            if (bus.os_slots[i].supported != 0 && bus.os_slots[i].section_index == k) {
                return report.at_setting(bus.bus_name, support_key(i));
            }
        }
    }
    return report.at_file(report.settings_file);
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
                report.add("warning", "section-names-differ-in-case",
                           {report.settings_file, section.section_name, "", -1,
                            std::string("configuration sections ") + other + " and " + section.section_name, 0},
                           "differ only in case: Setup.exe counts them as two configuration sections (two of its " +
                               std::to_string(MAX_CONFIGURATION_SECTIONS) +
                               " places), though the settings file has one section for both");
            }
        }
        if (!has_section(context.settings_file_path, section.section_name)) {
            report.add("error", "missing-configuration-section", naming_entry(report, context, k),
                       std::string("names the configuration section ") + section.section_name +
                           ", which the settings file does not have: it has no INF, so no device ever matches it");
            continue;
        }
        const std::string main_inf = setting(section.section_name, "main_inf");
        const std::string subfolder = setting(section.section_name, "subfolder");
        if (main_inf == ABSENT || main_inf.empty()) {
            report.add("error", "main-inf", report.at_setting(section.section_name, "main_inf"),
                       "names no INF: Setup.exe reads the folder " + report.session->in_package(section.inf_full_path) +
                           " as the INF and no device ever matches this section");
        } else if (!is_file(section.inf_full_path)) {
            char folder[PATH_CAPACITY];
            bounded_copy(folder, sizeof folder, section.inf_full_path);
            PATH_RemoveFileSpec(folder);
            if (subfolder == ABSENT || subfolder.empty()) {
                report.add("error", "subfolder", report.at_setting(section.section_name, "subfolder"),
                           "names no folder, so Setup.exe looks for " + main_inf + " beside the settings file, "
                           "where there is none: no device ever matches this section");
            } else if (!is_folder(folder)) {
                report.add("error", "subfolder", report.at_setting(section.section_name, "subfolder"),
                           "names no folder of the package: Setup.exe finds no " + main_inf +
                               " and no device ever matches this section");
            } else {
                const size_t length = std::strlen(section.inf_full_path);
                report.add("error", "main-inf", report.at_setting(section.section_name, "main_inf"),
                           length + 1 >= PATH_CAPACITY
                               ? "makes the path " + report.session->in_package(section.inf_full_path) + " of " +
                                     std::to_string(length) + " characters, longer than Setup.exe's paths hold (" +
                                     std::to_string(PATH_CAPACITY - 1) +
                                     "): it reads no INF and no device ever matches this section"
                               : "names no file in " + report.session->in_package(folder) +
                                     ": no device ever matches this section");
            }
        }
    }
    for (const NamedSection& section : named) {
        bool kept = false;
        for (uint32_t k = 0; k < count; ++k) kept = kept || section.name == context.configuration_sections[k].section_name;
        if (kept) continue;
        report.add("error", "too-many-configuration-sections", section.entry,
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
    const Place subject = report.at_section(inf_path, models_section);
    const std::vector<std::string> whole = whole_section(inf_path.c_str(), models_section.c_str());
    size_t bytes = 1;
    for (const std::string& line : whole) bytes += line.size() + 1;
    if (bytes > SECTION_READ_CAPACITY && !walk.lines.empty() && walk.lines.size() <= whole.size()) {
        // The last line read is whole or cut short; the lines after it are not read at all.
        const size_t last = walk.lines.size() - 1;
        const bool cut = walk.lines.back() != whole[last];
        const size_t unread = whole.size() - last - 1;
        report.add("error", "models-section-cut", subject,
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
        report.add("error", "model-description-blanks",
                   {inf_path, models_section, "", static_cast<int>(i), subject.shown + " " + walk.lines[i], 0},
                   "the description is literal text with blanks, which split the line too: Setup.exe takes " + taken +
                       " as the hardware ID, " +
                       (walk.components[i].empty() ? std::string("which gives no component, so the model never matches")
                                                   : "so a device must carry " + quoted(walk.components[i]) +
                                                         " to match"));
    }
}

// A "Manufacturer" line split as the program splits it: the key, the
// models section's base name, then its decorations.
std::vector<std::string> manufacturer_fields(const std::string& line)
{
    return program_fields(line, " \t,=");
}

// Decorations no OS slot looks for ("NTx64"): the models sections they name
// are never read.
void find_decoration_problems(Reporter& report, const std::string& inf_path)
{
    const std::vector<std::string> entries = whole_section(inf_path.c_str(), "Manufacturer");
    for (size_t i = 0; i < entries.size(); ++i) {
        const std::vector<std::string> fields = manufacturer_fields(entries[i]);
        for (size_t f = 2; f < fields.size(); ++f) {
            if (is_slot_decoration(fields[f].c_str())) continue;
            report.add("error", "unknown-decoration",
                       {inf_path, "Manufacturer", "", static_cast<int>(i), "[Manufacturer] " + entries[i], 0},
                       "names the decoration " + fields[f] + ", which Setup.exe looks for on no Windows (it looks for "
                       "NTx86 and NTamd64, alone or with .6.1, .6.2, .6.3 or .10.0, as written): [" + fields[1] + "." +
                           fields[f] + "] is never read");
        }
    }
}

// The "Manufacturer" line a models section of the slot comes from: its base
// name, then the slot's decoration or the plain platform name found in it.
struct ManufacturerLine {
    Place place;
    std::string holder;  // the decoration the slot's one was found inside ("NTamd64.6.2" for "NTamd64"), or ""
};

ManufacturerLine manufacturer_line_of(const Reporter& report, const SupportedSlot& slot, const std::string& models_section)
{
    const std::vector<std::string> entries = whole_section(slot.inf_path.c_str(), "Manufacturer");
    for (size_t i = 0; i < entries.size(); ++i) {
        const std::vector<std::string> fields = manufacturer_fields(entries[i]);
        if (fields.size() < 2 || models_section.rfind(fields[1] + ".", 0) != 0) continue;
        const std::string looked_for = models_section.substr(fields[1].size() + 1);
        std::string holder;
        if (std::find(fields.begin() + 2, fields.end(), looked_for) == fields.end()) {
            for (size_t f = 2; f < fields.size() && holder.empty(); ++f) {
                if (fields[f].find(looked_for) != std::string::npos) holder = fields[f];
            }
        }
        return {{slot.inf_path, "Manufacturer", "", static_cast<int>(i), "[Manufacturer] " + entries[i], 0}, holder};
    }
    return {report.at_section(slot.inf_path, models_section), ""};
}

void find_inf_problems(Reporter& report, const PackageCheck& check)
{
    struct MissingModels {
        const SupportedSlot* slot;  // the first that looks for it
        std::string models_section;
        std::vector<std::string> windows;
    };
    std::vector<MissingModels> missing;
    std::vector<std::pair<std::string, std::string>> examined;  // (INF, models section)
    std::vector<std::string> infs;
    for (const SupportedSlot& slot : check.supported_slots) {
        if (!is_file(slot.inf_path.c_str())) continue;  // told with its configuration section
        if (std::find(infs.begin(), infs.end(), slot.inf_path) == infs.end()) {
            infs.push_back(slot.inf_path);
            find_decoration_problems(report, slot.inf_path);
        }
        if (slot.models_sections.empty()) {
            report.add("error", "no-manufacturer-entry", report.at_section(slot.inf_path, "Manufacturer"),
                       "has no entry decorated for " + slot.windows + ", which " + slot.bus + " " + slot.support_key +
                           " supports with " + slot.section + ": no device ever matches there");
        }
        for (const std::string& models_section : slot.models_sections) {
            if (walk_models(slot.inf_path, models_section).lines.empty()) {
                const auto same = std::find_if(missing.begin(), missing.end(), [&](const MissingModels& other) {
                    return other.slot->inf_path == slot.inf_path && other.models_section == models_section;
                });
                if (same == missing.end()) {
                    missing.push_back({&slot, models_section, {slot.windows}});
                } else if (std::find(same->windows.begin(), same->windows.end(), slot.windows) == same->windows.end()) {
                    same->windows.push_back(slot.windows);
                }
            }
            const std::pair<std::string, std::string> key{slot.inf_path, models_section};
            if (std::find(examined.begin(), examined.end(), key) != examined.end()) continue;
            examined.push_back(key);
            find_models_section_problems(report, slot.inf_path, models_section);
        }
    }
    for (const MissingModels& models : missing) {
        const ManufacturerLine line = manufacturer_line_of(report, *models.slot, models.models_section);
        const std::string windows = listed(models.windows);
        const std::string found_inside =
            line.holder.empty() ? std::string()
                                : ": Setup.exe finds \"" + models.models_section.substr(models.models_section.find('.') + 1) +
                                      "\" inside \"" + line.holder + "\", a decoration for another Windows,";
        report.add("error", "models-section-missing", line.place,
                   "makes Setup.exe look for [" + models.models_section + "] on " + windows + found_inside +
                       (found_inside.empty() ? ", which" : " and that section") +
                       " is missing or empty: no device matches from it");
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
        const bool refused = !row.engine_fits && row.engine_image != "missing" && row.engine_image != "not an image";
        report.add(refused ? "error" : "warning", "fallback-undefined", report.at_setting(sections.primary, "Path"),
                   std::string("leaves the stock engine, so Setup.exe applies [") + sections.fallback +
                       "], which the settings file does not define: the engine " + context.engine_path +
                       ", the stock options and Support " + std::to_string(context.support_flags) +
                       (refused ? ", and " + std::string(context.engine_path) + " is an " + row.engine_image +
                                      " image, which the platform check refuses here with message " +
                                      std::to_string(row.engine_message)
                                : std::string()));
    }

    if (!has_section(context.settings_file_path, section)) return;
    const Place support = report.at_setting(section, "Support");
    if ((context.support_flags & SUPPORT_EXIT_CODE) == 0) {
        report.add("warning", "support-flags-no-exit-code", support,
                   "has no value 8: Setup.exe exits with 0 whatever the result, so update tools read success "
                   "even when nothing was installed");
    }
    if ((context.support_flags & SUPPORT_LOG) == 0) {
        report.add("warning", "support-flags-no-log", support, "has no value 4: Setup.exe writes no update-package log");
    }

    const struct {
        const char* key;
        const char* read;  // as the program read it
    } options[] = {{"Default", context.default_options}, {"Silent", context.silent_options}};
    for (const auto& option : options) {
        const std::string raw = setting(section, option.key);
        if (raw == ABSENT) continue;
        const Place subject = report.at_setting(section, option.key);
        if (raw.size() > std::strlen(option.read)) {
            report.add("error", "option-too-long", subject,
                       "is " + std::to_string(raw.size()) + " characters; Setup.exe keeps " +
                           std::to_string(std::strlen(option.read)) + ": " + quoted(option.read));
        }
        if (option.read[0] != '\0' && option.read[0] != ' ') {
            // The engine's command line of the mode the option is for,
            // whatever the mode of the run that read it.
            char engine[PATH_CAPACITY];
            engine_full_path(context.engine_path, engine);
            report.add("warning", "option-leading-blank", subject,
                       "reads as " + quoted(option.read) +
                           " without a leading blank (quote the value to keep one), so the options follow the "
                           "engine's quoted path directly: \"" + engine + "\"" + option.read);
        }
    }
}

void find_engine_problems(Reporter& report, const CheckRow& row)
{
    if (row.engine_fits) return;
    const Place subject = report.at_setting(row.section, "Path");
    const std::string message = std::to_string(row.engine_message);
    if (row.engine_image == "missing") {
        char path[PATH_CAPACITY];
        const bool whole = engine_full_path(row.engine_path.c_str(), path);
        char folder[PATH_CAPACITY];
        bounded_copy(folder, sizeof folder, path);
        PATH_RemoveFileSpec(folder);
        report.add("error", "engine-missing", subject,
                   !whole ? "makes a path longer than the " + std::to_string(PATH_CAPACITY - 1) +
                                " characters Setup.exe's paths hold, so it opens no file: its platform check refuses "
                                "it with message " + message
                   : row.inf.empty()
                       ? "names no file (" + report.session->in_package(path) + "), and Setup.exe finds no INF in " +
                             report.session->in_package(folder) + " either: the run ends with message " +
                             std::to_string(row.inf_message)
                       : "names no file (" + report.session->in_package(path) +
                             "): Setup.exe's platform check refuses it with message " + message);
    } else if (row.engine_image == "not an image") {
        report.add("error", "engine-not-image", subject,
                   "is not an executable image: Setup.exe's platform check refuses it without a message");
    } else {
        report.add("error", "engine-wrong-machine", subject,
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
        if (row.engine_image != "missing") {  // a missing engine tells it
            report.add("error", "no-inf-beside-engine", report.at_setting(row.section, "Path"),
                       "has no INF in its folder " + folder +
                           ": Setup.exe's search for the package INF fails with message " +
                           std::to_string(row.inf_message));
        }
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
        PATH_RemoveFileSpec(pattern);
        std::string names;
        for (const std::string& name : infs) names += (names.empty() ? "" : ", ") + name;
        report.add("warning", "several-infs", report.at_file(pattern),
                   "holds " + std::to_string(infs.size()) + " INF files (" + names + "): Setup.exe uses only " +
                       row.inf + ", the first the folder lists");
    }
    const Place driver_ver{row.inf_path, "Version", "DriverVer", -1, "[Version] DriverVer", 0};
    if (!row.driver_ver_read) {
        report.add("warning", "driver-ver-unreadable", driver_ver,
                   std::string("cannot be read: Setup.exe's version-library check passes without comparing") +
                       (g_process.package_version[0] == '\0' ? ", and the run records no package version" : ""));
    } else if (loc_CopmareDrvVersion(row.driver_ver.c_str(), row.driver_ver.c_str()) < 0) {
        const bool swapped = row.driver_ver.find('/') != std::string::npos;
        report.add("error", "driver-ver-not-four-numbers", driver_ver,
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
        report.add("error", "version-library-mismatch", report.at_file(library),
                   "does not agree with DriverVer " + row.driver_ver + " of " + row.inf + ": Setup.exe shows " +
                       quoted(VERSION_LIBRARY_MISMATCH) + " and ends without running the engine");
    }
}

// --- New checks of the settings and the INFs ---

// Components that name only a vendor (HID\VID_1D6B&PID_0104 gives VID_1D6B):
// any device of that vendor on the machine, of any class, matches them.
void find_vendor_only_components(Reporter& report, const PackageCheck& check)
{
    for (const HardwareIdEntry& entry : check.hardware_ids) {
        const std::string prefix = entry.component.substr(0, 4);
        if (!equals_ignoring_case(prefix.c_str(), "VID_") && !equals_ignoring_case(prefix.c_str(), "VEN_")) continue;
        report.add("warning", "vendor-only-component",
                   {entry.inf_path, entry.models_section, "", entry.entry,
                    "[" + entry.models_section + "] " + entry.line, 0},
                   "Setup.exe takes " + quoted(entry.component) + " from " + entry.hardware_id +
                       ", which names the vendor only: a device of that vendor of any kind (a USB hub, a camera), "
                       "present or not, matches it, so " + entry.section + " applies on every machine that has one");
    }
}

// "Support" written in hexadecimal: what the profile reader makes of it.
void find_hexadecimal_support(Reporter& report, const CheckRow& row)
{
    const std::string raw = setting(row.section.c_str(), "Support");
    if (raw == ABSENT) return;
    const size_t start = raw.find_first_not_of(" \t");
    if (start == std::string::npos) return;
    const std::string value = raw.substr(start);
    const bool prefixed = value.size() > 2 && value[0] == '0' && (value[1] == 'x' || value[1] == 'X');
    const bool suffixed = value.size() > 1 && (value.back() == 'h' || value.back() == 'H') &&
                          std::all_of(value.begin(), value.end() - 1, [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); });
    if (!prefixed && !suffixed) return;
    const std::string digits = prefixed ? value.substr(2) : value.substr(0, value.size() - 1);
    const unsigned long meant = std::strtoul(digits.c_str(), nullptr, 16);
    const uint32_t read = g_process.context.support_flags;
    const bool hexadecimal_read = prefixed && value[1] == 'x';
    report.add(read == meant ? "warning" : "error", "support-hexadecimal", report.at_setting(row.section, "Support"),
               "is written in hexadecimal: Setup.exe's profile reader " +
                   std::string(hexadecimal_read ? "takes a leading \"0x\" for hexadecimal, as Windows' integer read does,"
                                                : "reads decimal digits up to the first other character (only a "
                                                  "lowercase \"0x\" starts hexadecimal)") +
                   " and reads " + std::to_string(read) +
                   (read == meant ? "; write it in decimal" : ", not " + std::to_string(meant)));
}

// An engine "Path" with forward slashes: Windows opens the file, but the
// program's path functions split at backslashes only, so the folder it
// searches for the package INF is another.
void find_forward_slashes(Reporter& report, const CheckRow& row)
{
    if (row.engine_path.find('/') == std::string::npos) return;
    char folder[PATH_CAPACITY];
    if (!engine_full_path(row.engine_path.c_str(), folder)) return;
    PATH_RemoveFileSpec(folder);
    report.add("warning", "path-forward-slashes", report.at_setting(row.section, "Path"),
               "has forward slashes: Windows opens the engine " + row.engine_path +
                   " through them, but Setup.exe's path functions split at backslashes only, so it looks for the "
                   "package INF in " + report.session->in_package(folder) + " and " +
                   (row.inf.empty() ? std::string("finds none") : "uses " + row.inf));
}

}  // namespace

uint32_t PackageLines::line_of(const Place& place)
{
    if (place.line > 0 || place.section.empty()) return place.line;
    auto document = documents_.find(place.file);
    if (document == documents_.end()) {
        document = documents_.emplace(place.file, sim::parse_ini(file_bytes(place.file.c_str()), sim::current_ansi_code_page()))
                       .first;
    }
    const sim::IniSection* section = sim::find_section(document->second, place.section);
    if (section == nullptr) return 0;
    if (place.entry >= 0) {
        int index = 0;
        for (const sim::IniEntry& entry : section->entries) {
            if (entry.comment) continue;
            if (index++ == place.entry) return entry.line;
        }
        return section->line;
    }
    if (place.key.empty()) return section->line;
    const sim::IniEntry* key = sim::find_key(*section, place.key);
    return key != nullptr ? key->line : section->line;
}

void find_settings_problems(CheckSession& session, const PackageCheck& check, PackageLines& lines,
                            std::vector<Finding>* findings)
{
    const SetupContext& context = g_process.context;
    Reporter report{&session, &lines, findings, context.settings_file_path};
    if (check.layout != 2) return;
    find_bus_type_problems(report, context);
    const std::vector<NamedSection> named = find_support_entry_problems(report, context);
    find_configuration_section_problems(report, context, named);
    find_inf_problems(report, check);
    find_vendor_only_components(report, check);
}

void find_encoding_problems(CheckSession& session, PackageLines& lines, std::vector<Finding>* findings)
{
    const char* settings_file = g_process.context.settings_file_path;
    Reporter report{&session, &lines, findings, settings_file};
    const std::string bytes = file_bytes(settings_file);
    const uint32_t code_page = sim::current_ansi_code_page();
    const std::string mark = "\xEF\xBB\xBF";
    const bool marked = bytes.compare(0, mark.size(), mark) == 0;
    std::vector<std::string> file_lines;
    for (size_t at = marked ? mark.size() : 0; at < bytes.size();) {
        const size_t end = std::min(bytes.find_first_of("\r\n", at), bytes.size());
        file_lines.push_back(bytes.substr(at, end - at));
        at = end + (bytes.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    if (marked) {
        const std::string first = file_lines.empty() ? "" : file_lines.front();
        const size_t start = first.find_first_not_of(" \t");
        const bool header = start != std::string::npos && first[start] == '[';
        report.add_unicode(
            header ? "error" : "warning", "utf8-byte-order-mark", {settings_file, "", "", -1, "", 1}, "",
            "begins with a UTF-8 byte-order mark (the bytes EF BB BF), which Setup.exe's profile reader does not "
            "understand: it reads the mark as part of the first line" +
                (header ? ", so " + sim::ansi_to_utf8(first.substr(start), code_page) +
                              " is no section header and its keys are never read; the other findings follow from "
                              "that and are left out: save the file without the mark"
                        : std::string(", which is not a section header, so nothing is lost; save the file without "
                                      "the mark all the same")));
    }
    // The first line whose bytes are not text of the machine's code page.
    for (size_t i = 0; i < file_lines.size(); ++i) {
        const std::string& line = file_lines[i];
        if (std::all_of(line.begin(), line.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) continue;
        const std::u16string as_utf8 = sim::utf8_to_utf16(line);
        const bool valid_utf8 = std::none_of(as_utf8.begin(), as_utf8.end(),
                                             [](char16_t unit) { return unit >= 0xDC80 && unit <= 0xDCFF; });
        const std::string read = sim::ansi_to_utf8(line, code_page);
        std::string text;
        bool every_line = false;  // a name misread is told on each line; a file in another encoding once
        if (code_page != 65001 && valid_utf8) {
            text = "is UTF-8 text (" + line + "), but Setup.exe reads the settings in the machine's code page " +
                   std::to_string(code_page) + ", as " + read + ": save the file in code page " +
                   std::to_string(code_page);
        } else if (code_page == 65001 && !valid_utf8) {
            text = "is not UTF-8 (" + sim::escaped_utf8(line) +
                   "), but Setup.exe reads the settings in the machine's code page 65001 (UTF-8), as " + read +
                   ": save the file in UTF-8";
        } else if (read.find('?') != std::string::npos && line.find('?') == std::string::npos) {
            text = "holds bytes that are no text of the machine's code page " + std::to_string(code_page) +
                   " (" + sim::escaped_utf8(line) + "): Setup.exe reads " + read;
        } else if (const std::string meant = file_meant_in_another_code_page(line, code_page); !meant.empty()) {
            every_line = true;
            text = "names " + meant + " in another code page: Setup.exe reads the settings in the machine's code page " +
                   std::to_string(code_page) + ", as " + read + ", which names no file of the package: write the "
                   "name in ASCII";
        } else {
            continue;
        }
        report.add_unicode("error", "settings-not-in-code-page", {settings_file, "", "", -1, "", static_cast<uint32_t>(i + 1)},
                           "", text);
        if (!every_line) return;
    }
}

void find_run_problems(CheckSession& session, const PackageCheck& check, const CheckRow& row, PackageLines& lines,
                       std::vector<Finding>* findings)
{
    if (row.section.empty()) return;
    Reporter report{&session, &lines, findings, g_process.context.settings_file_path};
    if (check.has_settings_file) {
        find_engine_section_problems(report, check, row);
        // A section the settings file lacks gives the stock values: the
        // finding that names the missing section tells what follows.
        if (!has_section(g_process.context.settings_file_path, row.section.c_str())) return;
        find_hexadecimal_support(report, row);
    }
    find_engine_problems(report, row);
    find_forward_slashes(report, row);
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
            const std::string text = "Setup.exe looks for " + quoted(entry.component) +
                                     " in device instance IDs, which Windows writes in upper case: on a machine "
                                     "with this touch pad (" + row.device + ") it says " + row.description;
            findings->push_back({"error", "component-case", sim::ansi_to_utf8(entry.inf, check.code_page),
                                 entry.line_number,
                                 sim::ansi_to_utf8("[" + entry.models_section + "] " + entry.line, check.code_page),
                                 sim::ansi_to_utf8(text, check.code_page)});
        }
    }
}

void find_untold_failures(const PackageCheck& check, const std::string& settings_file, std::vector<Finding>* findings)
{
    struct Failure {
        std::string file;
        std::string description;
        const CheckRow* first;
        size_t runs;
    };
    std::vector<Failure> failures;
    for (const CheckRow& row : check.rows) {
        const bool failed = row.outcome == "refused" || row.outcome == "engine_not_started" ||
                            row.outcome == "prerequisite_failed" ||
                            (row.outcome == "ended" && row.description != "ends without a message");
        // Refusals the package asks for: a touch pad it lists in OnlyWin7
        // on a later Windows, and a Windows the program has no section for.
        const bool meant = row.acpi_refuses ||
                           (row.section.empty() && row.wanted_section.empty() && check.layout == 1);
        if (!failed || (row.outcome == "refused" && meant)) continue;
        const std::string file =
            row.failed_program.empty() ? settings_file : sim::ansi_to_utf8(row.failed_program, row.code_page);
        const std::string description = sim::ansi_to_utf8(row.description, row.code_page);
        const auto same = std::find_if(failures.begin(), failures.end(), [&](const Failure& failure) {
            return failure.file == file && failure.description == description;
        });
        if (same != failures.end()) {
            ++same->runs;
        } else {
            failures.push_back({file, description, &row, 1});
        }
    }
    const std::vector<Finding> told = *findings;
    for (const Failure& failure : failures) {
        const CheckRow& row = *failure.first;
        // Told already by a finding of the file, or of the INF the run read.
        const std::string inf = sim::ansi_to_utf8(row.inf, row.code_page);
        const bool explained = std::any_of(told.begin(), told.end(), [&](const Finding& finding) {
            return (finding.file == failure.file || (!inf.empty() && finding.file == inf)) && finding.severity != "note";
        });
        if (explained) continue;
        const std::string where = row.windows + " (" + sim::ansi_to_utf8(row.machine, row.code_page) + ")" +
                                  (failure.runs > 1 ? " and " + std::to_string(failure.runs - 1) + " more runs" : "");
        const bool in_settings = failure.file == settings_file && !row.section.empty();
        findings->push_back({"error", "run-fails", failure.file, 0,
                             in_settings ? sim::ansi_to_utf8("[" + row.section + "]", row.code_page) : "",
                             std::string("makes ") + (row.interactive ? "Setup.exe" : "Setup.exe /s") + " fail on " +
                                 where + ": " + failure.description + ", exit code " + std::to_string(row.exit_code)});
    }
}

namespace {

// The short IDs ("VXA0704" of "ACPI\VXA0704") of every hardware ID in the
// models sections that the "Manufacturer" lines of the package's INFs name,
// in upper case as Windows lists them.
std::vector<std::string> declared_touch_pads(const std::filesystem::path& package)
{
    std::vector<std::string> ids;
    std::error_code error;
    for (auto it = std::filesystem::recursive_directory_iterator(package, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
        std::string extension = it->path().extension().string();
        std::transform(extension.begin(), extension.end(), extension.begin(),
                       [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
        if (extension != ".inf" || !it->is_regular_file(error)) continue;
        std::ifstream in(it->path(), std::ios::binary);
        const sim::IniDocument inf = sim::parse_ini(
            std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()), sim::current_ansi_code_page());
        const sim::IniSection* manufacturer = sim::find_section(inf, "Manufacturer");
        if (manufacturer == nullptr) continue;
        for (const sim::IniEntry& line : manufacturer->entries) {
            const std::vector<std::string> fields = manufacturer_fields(line.name + "=" + line.value);
            for (size_t f = 1; f < fields.size(); ++f) {
                const sim::IniSection* models = sim::find_section(inf, f == 1 ? fields[1] : fields[1] + "." + fields[f]);
                if (models == nullptr) continue;
                for (const sim::IniEntry& model : models->entries) {
                    for (const std::string& field : manufacturer_fields(model.value)) {
                        const size_t slash = field.rfind('\\');
                        if (slash != std::string::npos) ids.push_back(listed_hardware_id(field.substr(slash + 1)));
                    }
                }
            }
        }
    }
    return ids;
}

}  // namespace

void find_only_win7_problems(CheckSession& session, PackageLines& lines, const std::filesystem::path& package,
                             std::vector<Finding>* findings)
{
    Reporter report{&session, &lines, findings, g_process.context.settings_file_path};
    std::vector<char> list(ONLY_WIN7_CAPACITY);
    read_only_win7_list(list.data());
    const std::vector<std::string> ids = declared_touch_pads(package);
    for (const std::string& word : program_fields(list.data(), " \t,;")) {
        if (std::find(ids.begin(), ids.end(), word) != ids.end()) continue;
        const auto same_letters = std::find_if(ids.begin(), ids.end(), [&](const std::string& id) {
            return equals_ignoring_case(id.c_str(), word.c_str());
        });
        std::string declared_ids;
        for (const std::string& id : ids) {
            if (declared_ids.find(id) == std::string::npos) declared_ids += (declared_ids.empty() ? "" : ", ") + id;
        }
        report.add("error", "only-win7-unknown-touch-pad", report.at_setting("SupportOS_Option", "OnlyWin7"),
                   same_letters != ids.end()
                       ? std::string("names ") + word + ", but Windows lists the touch pad as " + *same_letters +
                             ": Setup.exe looks for the device's ID in the list as written, so it never applies"
                       : std::string("names ") + word + ", which no INF of the package declares" +
                             (declared_ids.empty() ? std::string() : " (they declare " + declared_ids + ")") +
                             ": it never applies");
    }
}

void find_bitness_problems(const PackageCheck& check, std::vector<Finding>* findings)
{
    // The other bitness of the same Windows: "Windows 10 x86" for "Windows 10 x64".
    const auto other_bitness = [](const std::string& windows) {
        const size_t at = windows.size() >= 3 ? windows.size() - 3 : 0;
        const std::string bits = windows.substr(at);
        return bits == "x86" ? windows.substr(0, at) + "x64" : bits == "x64" ? windows.substr(0, at) + "x86" : "";
    };
    for (const HardwareIdEntry& entry : check.hardware_ids) {
        if (entry.component.empty()) continue;
        const std::string other = other_bitness(entry.windows);
        bool other_supported = false;
        bool declared_there = false;
        std::vector<std::string> there;
        for (const HardwareIdEntry& candidate : check.hardware_ids) {
            if (candidate.windows != other || candidate.section != entry.section || candidate.component.empty()) continue;
            other_supported = true;
            declared_there = declared_there || candidate.component == entry.component;
            if (std::find(there.begin(), there.end(), candidate.component) == there.end()) there.push_back(candidate.component);
        }
        if (!other_supported || declared_there) continue;
        std::string listed_there;
        for (const std::string& component : there) listed_there += (listed_there.empty() ? "" : ", ") + component;
        findings->push_back({"warning", "touch-pad-on-one-bitness", sim::ansi_to_utf8(entry.inf, check.code_page),
                             entry.line_number,
                             sim::ansi_to_utf8("[" + entry.models_section + "] " + entry.line, check.code_page),
                             sim::ansi_to_utf8("declares " + entry.component + " for " + entry.windows + ", but " +
                                                   entry.section + " declares only " + listed_there + " for " + other +
                                                   ": Setup.exe installs for this touch pad on " + entry.windows +
                                                   " only",
                                               check.code_page)});
    }
}
