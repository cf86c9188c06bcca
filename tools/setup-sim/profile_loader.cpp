#include "setup-sim/profile_loader.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/sim/codepage.h"
#include "platform/sim/ini.h"
#include "platform/sim/short_names.h"

namespace {

std::string lower(std::string text)
{
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool starts_with_ignoring_case(const std::string& text, const std::string& prefix)
{
    return text.size() >= prefix.size() && lower(text.substr(0, prefix.size())) == lower(prefix);
}

bool parse_number(const std::string& text, uint32_t* value)
{
    if (text.empty()) return false;
    char* end = nullptr;
    const unsigned long long parsed = std::strtoull(text.c_str(), &end, 0);
    if (*end != '\0' || parsed > 0xFFFFFFFFull) return false;
    *value = static_cast<uint32_t>(parsed);
    return true;
}

bool parse_flag(const std::string& text, bool* value)
{
    const std::string word = lower(text);
    if (word == "yes" || word == "true" || word == "1") {
        *value = true;
    } else if (word == "no" || word == "false" || word == "0") {
        *value = false;
    } else {
        return false;
    }
    return true;
}

std::vector<std::string> split_list(const std::string& text)
{
    std::vector<std::string> items;
    std::stringstream stream(text);
    for (std::string item; std::getline(stream, item, ',');) {
        while (!item.empty() && item.front() == ' ') item.erase(item.begin());
        while (!item.empty() && item.back() == ' ') item.pop_back();
        if (!item.empty()) items.push_back(item);
    }
    return items;
}

// "6.1.7601" or "6.1": two or three decimal numbers of 32 bits, dot-separated,
// nothing else.
bool parse_version(const std::string& text, uint32_t numbers[3])
{
    numbers[2] = 0;
    size_t at = 0;
    for (int i = 0; i < 3; ++i) {
        const size_t end = std::min(text.find('.', at), text.size());
        const std::string part = text.substr(at, end - at);
        if (part.empty() || part.size() > 10 || part.find_first_not_of("0123456789") != std::string::npos) return false;
        const unsigned long long value = std::strtoull(part.c_str(), nullptr, 10);
        if (value > 0xFFFFFFFFull) return false;
        numbers[i] = static_cast<uint32_t>(value);
        if (end == text.size()) return i >= 1;
        at = end + 1;
    }
    return false;
}

struct Loader {
    sim::Machine* machine;
    std::filesystem::path profile_folder;
    std::string file;  // the profile as the messages name it
    std::string error;

    // "win7.ini:12: [Machine] Version: expected ...", naming the line.
    bool fail(uint32_t line, const std::string& section, const std::string& key, const std::string& what)
    {
        error = file + ":" + std::to_string(line) + ": [" + section + "]" + (key.empty() ? "" : " " + key) + ": " + what;
        return false;
    }
    bool fail(const sim::IniEntry& entry, const std::string& section, const std::string& what)
    {
        return fail(entry.line, section, entry.name, what);
    }

    bool machine_key(const sim::IniEntry& entry, const std::string& value)
    {
        sim::Machine& m = *machine;
        const std::string k = lower(entry.name);
        if (k == "version") {
            uint32_t numbers[3] = {};
            if (!parse_version(value, numbers)) {
                return fail(entry, "Machine", "expected major.minor[.build], numbers from 0 to 4294967295");
            }
            m.major = numbers[0];
            m.minor = numbers[1];
            m.build = numbers[2];
            return true;
        }
        if (k == "platform") {
            if (lower(value) == "nt") m.platform_id = 2;
            else if (lower(value) == "9x") m.platform_id = 1;
            else if (!parse_number(value, &m.platform_id)) return fail(entry, "Machine", "expected NT, 9x or a number");
            return true;
        }
        if (k == "architecture") {
            if (lower(value) == "x64") m.is_64bit = true;
            else if (lower(value) == "x86") m.is_64bit = false;
            else return fail(entry, "Machine", "expected x86 or x64");
            return true;
        }
        if (k == "servicepack") {
            m.service_pack = value;
            return true;
        }
        uint32_t number = 0;
        if (k == "systemlanguage" || k == "uilanguage") {
            if (!parse_number(value, &number) || number > 0xFFFF) {
                return fail(entry, "Machine", "expected a language identifier from 0 to 0xFFFF");
            }
            (k == "systemlanguage" ? m.system_language : m.ui_language) = static_cast<uint16_t>(number);
            return true;
        }
        if (k == "codepage") {
            if (!parse_number(value, &number) || (number != 0 && !sim::is_supported_code_page(number))) {
                return fail(entry, "Machine",
                            "expected 0 (the system language's) or a code page the machine can have: 874, 932, 936, "
                            "949, 950, 1250 to 1258 or 65001");
            }
            m.ansi_code_page = number;
            return true;
        }
        if (k == "wow64export") return parse_flag(value, &m.has_wow64_export) || fail(entry, "Machine", "expected yes/no");
        if (k == "deviceenumerationfails") {
            return parse_flag(value, &m.device_enumeration_fails) || fail(entry, "Machine", "expected yes/no");
        }
        if (k == "program") {
            if (value.size() < 4 || value[1] != ':') return fail(entry, "Machine", "expected a full Windows path");
            m.module_path = value;
            return true;
        }
        if (k == "localtime") {
            unsigned year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
            if (std::sscanf(value.c_str(), "%u-%u-%u %u:%u:%u.%u", &year, &month, &day, &hour, &minute, &second,
                            &millisecond) < 6) {
                return fail(entry, "Machine", "expected YYYY-MM-DD hh:mm:ss[.mmm]");
            }
            // Day of week by Zeller's rule, Sunday = 0 as Windows counts.
            const unsigned y = month < 3 ? year - 1 : year;
            const unsigned m3 = month < 3 ? month + 12 : month;
            const unsigned weekday = (day + 13 * (m3 + 1) / 5 + y + y / 4 - y / 100 + y / 400 + 6) % 7;
            const uint16_t fields[8] = {static_cast<uint16_t>(year), static_cast<uint16_t>(month),
                                        static_cast<uint16_t>(weekday), static_cast<uint16_t>(day),
                                        static_cast<uint16_t>(hour), static_cast<uint16_t>(minute),
                                        static_cast<uint16_t>(second), static_cast<uint16_t>(millisecond)};
            std::copy(std::begin(fields), std::end(fields), m.local_time);
            return true;
        }
        return fail(entry, "Machine", "unknown key");
    }

    // A registry key named "Registry:", "Registry32:" or "Registry64:"
    // followed by its path; false for any other kind or root.
    static bool parse_registry_key(const std::string& kind, const std::string& path, sim::RegistryKey* key)
    {
        key->path = path;
        if (kind == "registry64") key->view = sim::RegistryView::Only64;
        else if (kind == "registry32") key->view = sim::RegistryView::Only32;
        else if (kind != "registry") return false;
        return starts_with_ignoring_case(path, "HKLM\\") || starts_with_ignoring_case(path, "HKCU\\");
    }

    // A value as a profile writes it: text (REG_SZ) or dword:N.
    static bool parse_registry_value(const std::string& text, sim::RegistryValue* value)
    {
        if (!starts_with_ignoring_case(text, "dword:")) {
            value->data = text;
            return true;
        }
        uint32_t number = 0;
        if (!parse_number(text.substr(6), &number)) return false;
        value->type = 4;
        value->data.assign(reinterpret_cast<const char*>(&number), sizeof number);
        return true;
    }

    bool registry_section(const std::string& name, const sim::IniSection& section)
    {
        const size_t colon = name.find(':');
        sim::RegistryKey key;
        if (!parse_registry_key(lower(name.substr(0, colon)), name.substr(colon + 1), &key)) {
            return fail(section.line, name, "",
                        "expected Registry:, Registry32: or Registry64: and a path below HKLM\\ or HKCU\\");
        }
        for (const sim::IniEntry& entry : section.entries) {
            if (entry.comment || !entry.has_value) continue;
            sim::RegistryValue value;
            if (!parse_registry_value(sim::unquote_value(entry.value), &value)) return fail(entry, name, "bad dword");
            key.values[entry.name == "@" ? "" : entry.name] = value;
        }
        machine->registry.push_back(key);
        return true;
    }

    // "Registry64:HKLM\Software\Vexa\Kurso\ProductVer=Kurso 19.2.4.7": the
    // key, the value name after its last backslash, and the value after "=".
    static bool parse_registry_write(const std::string& text, sim::RegistryKey* key)
    {
        const size_t colon = text.find(':');
        const size_t equals = text.find('=');
        if (colon == std::string::npos || equals == std::string::npos || equals < colon) return false;
        const std::string location = text.substr(colon + 1, equals - colon - 1);
        const size_t last_backslash = location.find_last_of('\\');
        if (last_backslash == std::string::npos) return false;
        sim::RegistryValue value;
        if (!parse_registry_key(lower(text.substr(0, colon)), location.substr(0, last_backslash), key) ||
            !parse_registry_value(text.substr(equals + 1), &value)) {
            return false;
        }
        key->values[location.substr(last_backslash + 1)] = value;
        return true;
    }

    bool device_section(const std::string& name, const sim::IniSection& section)
    {
        sim::Device device;
        device.instance_id = name.substr(name.find(':') + 1);
        device.class_guid = MOUSE_CLASS_GUID;
        for (const sim::IniEntry& entry : section.entries) {
            if (entry.comment || !entry.has_value) continue;
            const std::string k = lower(entry.name);
            const std::string value = sim::unquote_value(entry.value);
            if (k == "class") device.class_guid = lower(value) == "mouse" ? MOUSE_CLASS_GUID : value;
            else if (k == "present") {
                if (!parse_flag(value, &device.present)) return fail(entry, name, "expected yes/no");
            } else if (k == "hardwareids") device.hardware_ids = split_list(value);
            else return fail(entry, name, "unknown key");
        }
        machine->devices.push_back(device);
        return true;
    }

    bool program_section(const std::string& name, const sim::IniSection& section)
    {
        sim::ProgramBehaviour& program = machine->programs[lower(name.substr(name.find(':') + 1))];
        for (const sim::IniEntry& entry : section.entries) {
            if (entry.comment || !entry.has_value) continue;
            const std::string k = lower(entry.name);
            const std::string value = sim::unquote_value(entry.value);
            bool ok = true;
            if (k == "exitcode") ok = parse_number(value, &program.exit_code);
            else if (k == "starts") ok = parse_flag(value, &program.can_start);
            else if (k == "starterror") ok = parse_number(value, &program.start_error);
            else if (k == "logline") program.engine_log_lines.push_back(value);
            else if (k == "writesregistry") {
                program.registry_writes.emplace_back();
                ok = parse_registry_write(value, &program.registry_writes.back());
            } else return fail(entry, name, "unknown key");
            if (!ok) return fail(entry, name, "bad value");
        }
        return true;
    }

    bool load(const sim::IniDocument& document)
    {
        // Nothing reads a line before the first section: it is a mistake
        // (often a UTF-8 byte-order mark, which INI reading does not know,
        // in front of the first section's name).
        for (const sim::IniEntry& entry : document.preamble) {
            if (entry.comment) continue;
            const bool mark = entry.name.rfind("\xEF\xBB\xBF", 0) == 0;
            error = file + ":" + std::to_string(entry.line) + ": " +
                    (mark ? "a UTF-8 byte-order mark, which INI reading does not understand: save the profile without it"
                          : "\"" + entry.name + "\" stands before any section");
            return false;
        }
        // The machine's devices before the profile: the built-in ones, which
        // "Builtin=no" drops wherever it stands, keeping the profile's own.
        size_t builtin_devices = machine->devices.size();
        for (const sim::IniSection& section : document.sections) {
            const std::string kind = lower(section.name.substr(0, section.name.find(':')));
            const bool has_colon = section.name.find(':') != std::string::npos;
            bool ok = true;
            if (!has_colon && kind == "machine") {
                for (const sim::IniEntry& entry : section.entries) {
                    if (entry.comment || !entry.has_value) continue;
                    if (!(ok = machine_key(entry, sim::unquote_value(entry.value)))) break;
                }
            } else if (!has_colon && kind == "environment") {
                for (const sim::IniEntry& entry : section.entries) {
                    if (entry.comment || !entry.has_value) continue;
                    std::string upper = entry.name;
                    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
                    machine->environment[upper] = sim::unquote_value(entry.value);
                }
            } else if (!has_colon && kind == "drives") {
                for (const sim::IniEntry& entry : section.entries) {
                    if (entry.comment || !entry.has_value) continue;
                    if (lower(entry.name) == "noshortnames") {
                        for (const std::string& letter : split_list(sim::unquote_value(entry.value))) {
                            if (letter.size() != 1 || !std::isalpha(static_cast<unsigned char>(letter[0]))) {
                                ok = fail(entry, "Drives", "expected drive letters");
                                break;
                            }
                            machine->drives_without_short_names.insert(
                                static_cast<char>(std::toupper(static_cast<unsigned char>(letter[0]))));
                        }
                        if (!ok) break;
                        continue;
                    }
                    if (entry.name.size() != 1 || !std::isalpha(static_cast<unsigned char>(entry.name[0]))) {
                        ok = fail(entry, "Drives", "expected a drive letter or NoShortNames");
                        break;
                    }
                    std::filesystem::path folder = sim::unquote_value(entry.value);
                    if (folder.is_relative()) folder = profile_folder / folder;
                    // The drive is a folder the user has: setup-sim makes none on the host.
                    std::error_code status_error;
                    if (!std::filesystem::is_directory(folder, status_error)) {
                        ok = fail(entry, "Drives", "no folder " + folder.string());
                        break;
                    }
                    machine->drives[static_cast<char>(std::toupper(static_cast<unsigned char>(entry.name[0])))] =
                        folder.string();
                }
            } else if (!has_colon && kind == "shortnames") {
                for (const sim::IniEntry& entry : section.entries) {
                    if (entry.comment || !entry.has_value) continue;
                    const std::u16string alias = sim::utf8_to_utf16(sim::unquote_value(entry.value));
                    // A set short name is plain ASCII in practice; 1252 judges it like any code page.
                    if (entry.name.size() < 4 || entry.name[1] != ':' || !sim::is_legal_short_name(alias, 1252)) {
                        ok = fail(entry, "ShortNames", "expected a full Windows path = a legal 8.3 name");
                        break;
                    }
                    machine->short_name_aliases[entry.name] = sim::unquote_value(entry.value);
                }
            } else if (!has_colon && kind == "user") {
                for (const sim::IniEntry& entry : section.entries) {
                    if (entry.comment || !entry.has_value) continue;
                    if (lower(entry.name) != "answers") {
                        ok = fail(entry, "User", "unknown key");
                        break;
                    }
                    for (const std::string& word : split_list(sim::unquote_value(entry.value))) {
                        const int answer = record::parse_answer(word);
                        if (answer == 0) {
                            ok = fail(entry, "User", "unknown answer " + word);
                            break;
                        }
                        machine->answers.push_back(answer);
                    }
                }
            } else if (!has_colon && kind == "mutexes") {
                for (const sim::IniEntry& entry : section.entries) {
                    if (!entry.comment) machine->mutexes.insert(entry.name);
                }
            } else if (!has_colon && kind == "devices") {
                for (const sim::IniEntry& entry : section.entries) {
                    if (entry.comment || !entry.has_value) continue;
                    if (lower(entry.name) != "builtin") return fail(entry, "Devices", "unknown key");
                    bool keep = true;
                    if (!parse_flag(sim::unquote_value(entry.value), &keep)) return fail(entry, "Devices", "expected yes/no");
                    if (!keep) {
                        machine->devices.erase(machine->devices.begin(),
                                               machine->devices.begin() + static_cast<std::ptrdiff_t>(builtin_devices));
                        builtin_devices = 0;
                    }
                }
            } else if (has_colon && (kind == "registry" || kind == "registry32" || kind == "registry64")) {
                ok = registry_section(section.name, section);
            } else if (has_colon && kind == "device") {
                ok = device_section(section.name, section);
            } else if (has_colon && kind == "program") {
                ok = program_section(section.name, section);
            } else {
                ok = fail(section.line, section.name, "", "unknown section");
            }
            if (!ok) return false;
        }
        return true;
    }
};

}  // namespace

void builtin_machine(sim::Machine* machine)
{
    *machine = sim::Machine{};
    machine->major = 10;
    machine->minor = 0;
    machine->build = 19045;
    machine->is_64bit = true;
    machine->system_language = 0x0409;
    machine->ui_language = 0x0409;
    machine->module_path = "C:\\Package\\Setup.exe";
    machine->environment = {{"SYSTEMROOT", "C:\\Windows"},
                            {"SYSTEMDRIVE", "C:"},
                            {"WINDIR", "C:\\Windows"},
                            {"COMSPEC", "C:\\Windows\\system32\\cmd.exe"}};
    // The touch pad of the example packages, as an ACPI pointing device.
    machine->devices.push_back(sim::Device{"ACPI\\VXA0704\\4&2A1B3C4D&0",
                                           MOUSE_CLASS_GUID,
                                           true,
                                           {"ACPI\\VEN_VXA&DEV_0704", "ACPI\\VXA0704", "*VXA0704", "*PNP0F13"}});
    machine->devices.push_back(sim::Device{"ROOT\\BASICDISPLAY\\0000",
                                           "{4D36E968-E325-11CE-BFC1-08002BE10318}",
                                           true,
                                           {"ROOT\\BasicDisplay"}});
    // Windows' own driver installer finishes one package without asking for a restart.
    machine->programs["dpinst.exe"].exit_code = 0x1;
}

bool load_machine_profile(const std::string& host_file, sim::Machine* machine, std::string* error)
{
    // A FIFO would never end: only a plain file (or a link to one) is opened.
    std::error_code status_error;
    if (!std::filesystem::is_regular_file(host_file, status_error)) {
        *error = host_file + ": " + (status_error ? status_error.message() : "not a file");
        return false;
    }
    std::ifstream in(host_file, std::ios::binary);
    if (!in) {
        *error = host_file + ": cannot be read";
        return false;
    }
    std::ostringstream bytes;
    bytes << in.rdbuf();
    const std::filesystem::path absolute = std::filesystem::absolute(host_file, status_error);
    Loader loader{machine, absolute.parent_path(), host_file, ""};
    if (!loader.load(sim::parse_ini(bytes.str()))) {
        *error = loader.error;
        return false;
    }
    return true;
}
