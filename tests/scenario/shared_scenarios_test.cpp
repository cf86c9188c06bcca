// The scenarios that the real Setup.exe runs under Wine (tests/wine/scenarios),
// run here on the simulated machine with the same expectations. When the two
// disagree on a scenario, one of the backends is wrong.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/pe.h"
#include "platform/sim/codepage.h"
#include "platform/sim/string_table.h"
#include "setup/context.h"
#include "support/package_fixture.h"
#include "support/scenario_files.h"

namespace fs = std::filesystem;

namespace {

const fs::path SCENARIOS = fs::path(SOURCE_DIR) / "tests" / "wine" / "scenarios";

std::string upper(std::string text)
{
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

struct Scenario {
    std::string name;
    std::map<std::string, std::string> settings;
    std::vector<std::string> answers;
    std::vector<std::string> trees;  // expect_tree: folders checked whole
    std::vector<std::string> masked;  // mask_times: files whose dates and times are not compared
};

Scenario load_scenario(const fs::path& folder)
{
    Scenario scenario{folder.filename().string(), {}, {}, {}, {}};
    for (const auto& [key, value] : scenario_settings(folder)) {
        if (key == "answer") scenario.answers.push_back(value);
        else if (key == "expect_tree") scenario.trees.push_back(value);
        else if (key == "mask_times") scenario.masked.push_back(value);
        else scenario.settings[key] = value;
    }
    return scenario;
}

std::vector<Scenario> all_scenarios()
{
    std::vector<Scenario> scenarios;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(SCENARIOS, error)) {
        if (fs::exists(entry.path() / "scenario.conf")) scenarios.push_back(load_scenario(entry.path()));
    }
    std::sort(scenarios.begin(), scenarios.end(), [](const Scenario& a, const Scenario& b) { return a.name < b.name; });
    return scenarios;
}

void PrintTo(const Scenario& scenario, std::ostream* out)
{
    *out << scenario.name;
}

// One string field of a box record (a JSON object on one line).
std::string json_field(const std::string& record, const std::string& key)
{
    const std::string opening = "\"" + key + "\":\"";
    size_t at = record.find(opening);
    if (at == std::string::npos) return "";
    std::string value;
    for (at += opening.size(); at < record.size() && record[at] != '"'; ++at) {
        if (record[at] != '\\' || at + 1 >= record.size()) {
            value += record[at];
            continue;
        }
        const char escaped = record[++at];
        if (escaped == 'n') value += '\n';
        else if (escaped == 't') value += '\t';
        else if (escaped == 'r') value += '\r';
        else if (escaped == 'u' && at + 4 < record.size()) {
            const unsigned code = static_cast<unsigned>(std::stoul(record.substr(at + 1, 4), nullptr, 16));
            at += 4;
            // The runner escapes only control characters; the rest of a text is
            // UTF-8 as it is. Any other escape is taken as the character it names.
            if (code < 0x80) {
                value += static_cast<char>(code);
            } else if (code < 0x800) {
                value += static_cast<char>(0xC0 | (code >> 6));
                value += static_cast<char>(0x80 | (code & 0x3F));
            } else {
                value += static_cast<char>(0xE0 | (code >> 12));
                value += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
                value += static_cast<char>(0x80 | (code & 0x3F));
            }
        } else value += escaped;
    }
    return value;
}

struct WindowsVersion {
    uint32_t major, minor, build, platform_id;
    bool wow64_export;
};

WindowsVersion wine_version(const std::string& name)
{
    static const std::map<std::string, WindowsVersion> versions = {
        {"win98", {4, 10, 2222, 1, false}},  {"win2k", {5, 0, 2195, 2, false}},  {"winxp", {5, 1, 2600, 2, true}},
        {"winxp64", {5, 2, 3790, 2, true}},   {"vista", {6, 0, 6002, 2, true}},   {"win7", {6, 1, 7601, 2, true}},
        {"win8", {6, 2, 9200, 2, true}},      {"win81", {6, 3, 9600, 2, true}},   {"win10", {10, 0, 19045, 2, true}},
    };
    const auto found = versions.find(name);
    return found != versions.end() ? found->second : WindowsVersion{0, 0, 0, 0, false};
}

// The Windows language of a locale name as Wine reads LANG and LC_MESSAGES
// ("he_IL.UTF-8", "vi_VN", "de_DE@euro"): the character set and modifier do
// not change it; C and POSIX are US English. 0 for a name not listed here.
uint16_t windows_language(const std::string& locale)
{
    static const std::map<std::string, uint16_t> languages = {
        {"ar_SA", 0x0401}, {"ar_EG", 0x0C01}, {"bg_BG", 0x0402}, {"cs_CZ", 0x0405}, {"da_DK", 0x0406},
        {"de_AT", 0x0C07}, {"de_DE", 0x0407}, {"el_GR", 0x0408}, {"en_GB", 0x0809}, {"en_US", 0x0409},
        {"es_ES", 0x0C0A}, {"es_MX", 0x080A}, {"fi_FI", 0x040B}, {"fr_FR", 0x040C}, {"he_IL", 0x040D},
        {"hr_HR", 0x041A}, {"hu_HU", 0x040E}, {"it_IT", 0x0410}, {"ja_JP", 0x0411}, {"ko_KR", 0x0412},
        {"nb_NO", 0x0414}, {"nl_NL", 0x0413}, {"pl_PL", 0x0415}, {"pt_BR", 0x0416}, {"pt_PT", 0x0816},
        {"ro_RO", 0x0418}, {"ru_RU", 0x0419}, {"sk_SK", 0x041B}, {"sl_SI", 0x0424}, {"sv_SE", 0x041D},
        {"th_TH", 0x041E}, {"tr_TR", 0x041F}, {"uk_UA", 0x0422}, {"vi_VN", 0x042A}, {"zh_CN", 0x0804},
        {"zh_HK", 0x0C04}, {"zh_SG", 0x1004}, {"zh_TW", 0x0404},
    };
    const std::string name = locale.substr(0, locale.find_first_of(".@"));
    if (name.empty() || name == "C" || name == "POSIX") return 0x0409;
    const auto found = languages.find(name);
    return found != languages.end() ? found->second : 0;
}

// Hex bytes of a REG_MULTI_SZ value ("41,43,...") as a list of strings.
std::vector<std::string> multi_string(const std::string& hex)
{
    std::vector<std::string> strings(1);
    std::istringstream bytes(hex);
    for (std::string byte; std::getline(bytes, byte, ',');) {
        const char c = static_cast<char>(std::stoul(byte, nullptr, 16));
        if (c != '\0') strings.back() += c;
        else strings.emplace_back();
    }
    while (!strings.empty() && strings.back().empty()) strings.pop_back();
    return strings;
}

// Every file and folder below a host folder, by relative path, with the
// bytes of the files ("/" for a folder).
std::map<std::string, std::string> tree_listing(const fs::path& root)
{
    std::map<std::string, std::string> listing;
    std::error_code error;
    if (!fs::is_directory(root, error)) return listing;
    for (const auto& entry : fs::recursive_directory_iterator(root, error)) {
        const std::string relative = fs::relative(entry.path(), root).generic_string();
        listing[relative] = entry.is_directory() ? "/" : read_all(entry.path());
    }
    return listing;
}

// "C:\out\x" as the relative path below drive C that expect_files/C/ uses.
std::string below_drive_c(const std::string& windows_path)
{
    std::string relative = windows_path.substr(std::min<size_t>(3, windows_path.size()));
    std::replace(relative.begin(), relative.end(), '\\', '/');
    return relative;
}

// The Windows path of a file or folder below expect_files/C/ or before_files/C/.
std::string on_drive_c(const std::string& relative)
{
    std::string windows_path = "C:\\" + relative;
    std::replace(windows_path.begin(), windows_path.end(), '/', '\\');
    return windows_path;
}

// A file's bytes with every date and time "Y-M-D h:m:s" (decimal fields, in
// ANSI or UTF-16LE) replaced by "TIME", as tools/wine/wine-env.sh does for
// mask_times: the real program under Wine logs the real clock.
std::string mask_times(const std::string& bytes)
{
    static const std::string D = "[0-9]\\x00";
    static const std::regex utf16("(?:" + D + ")+-\\x00(?:" + D + ")+-\\x00(?:" + D + ")+ \\x00(?:" + D + ")+:\\x00(?:" + D +
                                  ")+:\\x00(?:" + D + ")+");
    static const std::regex ansi("[0-9]+-[0-9]+-[0-9]+ [0-9]+:[0-9]+:[0-9]+");
    return std::regex_replace(std::regex_replace(bytes, utf16, std::string("T\0I\0M\0E\0", 8)), ansi, "TIME");
}

class SharedScenario : public PackageTest, public ::testing::WithParamInterface<Scenario> {
protected:
    // A registry file as regedit imports it. Keys below Enum with a hardware ID
    // are devices as Wine's device tree has them: present, the instance ID in
    // upper case. Other keys get their string values, in the view a 64-bit
    // regedit writes: HKLM\Software in the 64-bit view, HKLM\Software\Wow6432Node
    // as the 32-bit view of HKLM\Software; a 32-bit prefix has one view.
    void import_registry(const fs::path& registry_file, bool win64)
    {
        static const std::string ENUM_KEY = "HKEY_LOCAL_MACHINE\\SYSTEM\\CURRENTCONTROLSET\\ENUM\\";
        static const std::string SOFTWARE = "HKLM\\SOFTWARE";
        static const std::string WOW6432NODE = "HKLM\\SOFTWARE\\WOW6432NODE";
        std::istringstream lines(read_all(registry_file));
        sim::Device* device = nullptr;
        std::string key;
        sim::RegistryView view = sim::RegistryView::Both;
        for (std::string line; std::getline(lines, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.size() > 2 && line[0] == '[') {
                key = line.substr(1, line.size() - 2);
                device = nullptr;
                if (upper(key).rfind(ENUM_KEY, 0) == 0) {
                    machine.devices.push_back(sim::Device{upper(key.substr(ENUM_KEY.size())), "", true, {}});
                    device = &machine.devices.back();
                    continue;
                }
                if (key.rfind("HKEY_LOCAL_MACHINE\\", 0) == 0) key = "HKLM" + key.substr(18);
                view = sim::RegistryView::Both;
                if (win64 && below(key, WOW6432NODE)) {
                    key = key.substr(0, SOFTWARE.size()) + key.substr(WOW6432NODE.size());
                    view = sim::RegistryView::Only32;
                } else if (win64 && below(key, SOFTWARE)) {
                    view = sim::RegistryView::Only64;
                }
            } else if (device != nullptr && line.rfind("\"HardwareID\"=hex(7):", 0) == 0) {
                device->hardware_ids = multi_string(line.substr(20));
            } else if (device != nullptr && line.rfind("\"ClassGUID\"=\"", 0) == 0) {
                device->class_guid = line.substr(13, line.size() - 14);
            } else if (device == nullptr && !key.empty() && line.size() > 4 && line[0] == '"' &&
                       line.find("\"=\"") != std::string::npos && line.back() == '"') {
                const size_t equals = line.find("\"=\"");
                set_registry_value(key, line.substr(1, equals - 1),
                                   reg_unescape(line.substr(equals + 3, line.size() - equals - 4)), view);
            }
        }
    }

    static bool below(const std::string& key, const std::string& prefix)
    {
        const std::string folded = upper(key);
        return folded.rfind(prefix, 0) == 0 && (folded.size() == prefix.size() || folded[prefix.size()] == '\\');
    }

    // A .reg string: \\ is a backslash, \" a quote.
    static std::string reg_unescape(const std::string& text)
    {
        std::string out;
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\\' && i + 1 < text.size()) ++i;
            out += text[i];
        }
        return out;
    }

    std::string setting(const std::string& key, const std::string& fallback) const
    {
        const auto found = GetParam().settings.find(key);
        return found != GetParam().settings.end() ? found->second : fallback;
    }
};

TEST_P(SharedScenario, GivesWhatTheRealProgramGivesUnderWine)
{
    const Scenario& scenario = GetParam();
    const fs::path folder = SCENARIOS / scenario.name;

    const WindowsVersion version = wine_version(setting("windows", "win7"));
    ASSERT_NE(version.major, 0u) << "unknown Windows version " << setting("windows", "win7");
    set_os(version.major, version.minor, setting("arch", "win32") == "win64", version.platform_id);
    machine.build = version.build;
    machine.has_wow64_export = version.wow64_export;

    // LANG gives the system language (and with it the ANSI code page), LC_MESSAGES
    // the user-interface language; without it, LANG gives both.
    const std::string lang = setting("lang", "C.UTF-8");
    const std::string lc_messages = setting("lc_messages", "");
    machine.system_language = windows_language(lang);
    machine.ui_language = windows_language(lc_messages.empty() ? lang : lc_messages);
    ASSERT_NE(machine.system_language, 0) << "no Windows language listed for lang=" << lang;
    ASSERT_NE(machine.ui_language, 0) << "no Windows language listed for lc_messages=" << lc_messages;
    const uint32_t code_page = sim::ansi_code_page_for_language(machine.system_language);

    // The scenario's paths and the package's file names are Unicode, as the
    // host gives them to Wine: the machine holds them as they are, whatever
    // its code page can spell.
    const std::string package = setting("package", "C:\\pkg");
    machine.module_path = package + "\\" + setting("program_name", "Setup.exe");
    // The runner starts the program in `directory`; without it, in the
    // program's own folder (the machine's default).
    machine.current_directory = setting("directory", "");
    fs::create_directories(sim::host_path_of_unicode(package));
    fs::copy(folder / "package", sim::host_path_of_unicode(package), fs::copy_options::recursive);
    // Wine makes short names of its own; the machine holds the one Wine makes.
    const std::string short_name = setting("short_name", "");
    if (!short_name.empty()) {
        machine.short_name_aliases[short_name.substr(0, short_name.rfind('='))] =
            short_name.substr(short_name.rfind('=') + 1);
    }
    const std::string engine = setting("engine", "DPInst.exe");
    if (!engine.empty()) {
        const fs::path engine_file = sim::host_path_of_unicode(package + "\\" + engine);
        fs::create_directories(engine_file.parent_path());
        std::ofstream(engine_file, std::ios::binary)
            << pe_image(static_cast<uint16_t>(std::stoul(setting("engine_machine", "0x14C"), nullptr, 0)));
        std::string engine_name = engine.substr(engine.find_last_of('\\') + 1);
        for (char& c : engine_name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        machine.programs[engine_name].exit_code =
            static_cast<uint32_t>(std::stoul(setting("engine_exit_code", "0"), nullptr, 0));
        // The fake engine's lines for its log, each ended by CR LF in the file.
        std::istringstream log_lines(fs::exists(folder / "engine_log_lines.txt")
                                         ? read_all(folder / "engine_log_lines.txt")
                                         : "");
        for (std::string line; std::getline(log_lines, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            machine.programs[engine_name].engine_log_lines.push_back(line);
        }
    }
    if (fs::exists(folder / "registry.reg")) import_registry(folder / "registry.reg", setting("arch", "win32") == "win64");
    // Laid at their Windows paths, so that "windows" (as Wine's prefix spells
    // it) is the machine's own "Windows" folder.
    for (const auto& [relative, bytes] : tree_listing(folder / "before_files" / "C")) {
        if (bytes == "/") fs::create_directories(sim::host_path(on_drive_c(relative)));
        else write_file(on_drive_c(relative), bytes);
    }
    // "default" names no button: the box gets its default one.
    for (const std::string& answer : scenario.answers) machine.answers.push_back(record::button_id(answer));

    const int exit_code = run(setting("arguments", ""));
    EXPECT_EQ(static_cast<uint32_t>(exit_code), static_cast<uint32_t>(std::stoul(setting("exit_code", "0"), nullptr, 0)));

    std::string engine_lines;
    for (const record::Process& process : machine.record.processes) {
        // The fake engine records its command line in UTF-8.
        if (process.kind == "create" && process.started) {
            engine_lines += sim::ansi_to_utf8(process.command_line, code_page) + "\n";
        }
    }
    const fs::path expected_engine = folder / "expect_engine_command_line.txt";
    EXPECT_EQ(engine_lines, fs::exists(expected_engine) ? read_all(expected_engine) : "");

    std::vector<std::string> records;
    std::istringstream expected_boxes(fs::exists(folder / "expect_boxes.jsonl") ? read_all(folder / "expect_boxes.jsonl")
                                                                                 : "");
    for (std::string line; std::getline(expected_boxes, line);) {
        if (!line.empty()) records.push_back(line);
    }
    ASSERT_EQ(machine.record.boxes.size(), records.size());
    for (size_t i = 0; i < records.size(); ++i) {
        const record::Box& box = machine.record.boxes[i];
        // The shell's own box carries Windows' caption and text, which Wine's
        // shell words otherwise: only what both show is compared.
        if (!box.shown_by_shell) {
            EXPECT_EQ(sim::ansi_to_utf8(box.caption, code_page), json_field(records[i], "caption")) << "box " << i + 1;
            EXPECT_EQ(sim::ansi_to_utf8(box.text, code_page), json_field(records[i], "text")) << "box " << i + 1;
        }
        EXPECT_EQ(box.style, std::stoul(json_field(records[i], "style"), nullptr, 16)) << "box " << i + 1;
        EXPECT_EQ(box.answer, record::button_id(json_field(records[i], "pressed"))) << "box " << i + 1;
        EXPECT_EQ(box.error, json_field(records[i], "error")) << "box " << i + 1;
    }

    // The files: every expected one with its bytes, and below an expect_tree
    // folder nothing else.
    const fs::path expected_root = folder / "expect_files" / "C";
    for (const auto& [relative, bytes] : tree_listing(expected_root)) {
        if (bytes == "/") continue;
        const std::string windows_path = on_drive_c(relative);
        const bool masked = std::any_of(scenario.masked.begin(), scenario.masked.end(),
                                        [&](const std::string& path) { return upper(path) == upper(windows_path); });
        const std::string actual = read_all(sim::host_path_of_unicode(windows_path));
        EXPECT_EQ(masked ? mask_times(actual) : actual, masked ? mask_times(bytes) : bytes)
            << "the simulated machine's C:/" << relative << " differs from expect_files";
    }
    for (const std::string& tree : scenario.trees) {
        std::map<std::string, std::string> expected;
        for (const auto& [relative, bytes] : tree_listing(expected_root / below_drive_c(tree))) {
            expected[relative] = bytes == "/" ? "/" : "file";
        }
        std::map<std::string, std::string> actual;
        for (const auto& [relative, bytes] : tree_listing(sim::host_path_of_unicode(tree))) {
            actual[relative] = bytes == "/" ? "/" : "file";
        }
        EXPECT_EQ(actual, expected) << "the simulated machine's " << tree << " holds other files or folders";
    }
}

INSTANTIATE_TEST_SUITE_P(Wine, SharedScenario, ::testing::ValuesIn(all_scenarios()),
                         [](const ::testing::TestParamInfo<Scenario>& param_info) { return param_info.param.name; });

// A code page table as Windows keeps it and Wine installs it (c_<code page>.nls):
// what WideCharToMultiByte writes for each UTF-16 unit, best fit included.
class NlsCodePage {
public:
    explicit NlsCodePage(const fs::path& file) : bytes_(read_all(file))
    {
        const size_t header = word(0);
        if (header == 0 || bytes_.size() < 2 * (header + 1)) return;
        double_byte_ = word(2) == 2;
        table_ = header + word(header) + 1;  // in 16-bit words
        loaded_ = bytes_.size() >= 2 * table_ + (double_byte_ ? 2 : 1) * 0x10000;
    }

    bool loaded() const { return loaded_; }

    // The bytes written for one UTF-16 unit (the default character, '?', for
    // one the code page lacks and has no best fit for).
    std::string convert(char16_t unit) const
    {
        if (!double_byte_) return std::string(1, bytes_[2 * table_ + unit]);
        const uint16_t value = word(table_ + unit);
        if (value < 0x100) return std::string(1, static_cast<char>(value));
        return {static_cast<char>(value >> 8), static_cast<char>(value & 0xFF)};
    }

private:
    uint16_t word(size_t index) const
    {
        if (2 * index + 1 >= bytes_.size()) return 0;
        return static_cast<uint16_t>(static_cast<unsigned char>(bytes_[2 * index]) |
                                     (static_cast<unsigned char>(bytes_[2 * index + 1]) << 8));
    }

    std::string bytes_;
    bool loaded_ = false;
    bool double_byte_ = false;
    size_t table_ = 0;
};

std::string hex_bytes(const std::string& bytes)
{
    std::string out;
    for (const char c : bytes) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02X", static_cast<unsigned char>(c));
        out += out.empty() ? hex : std::string(" ") + hex;
    }
    return out;
}

// The simulated machine carries Windows' best-fit replacements only for the
// characters of our string table. Where Wine's copy of Windows' code page tables
// is installed, every such character must convert as those tables say, in every
// ANSI code page: a new translation may bring characters that need a row more.
TEST(SharedCodePages, StringTableCharactersConvertAsWindowsTablesSay)
{
    fs::path folder;
    for (const char* candidate : {"/usr/share/wine/nls", "/usr/local/share/wine/nls", "/opt/wine-stable/share/wine/nls"}) {
        if (fs::exists(fs::path(candidate) / "c_1252.nls")) folder = candidate;
    }
    if (folder.empty()) GTEST_SKIP() << "Wine's code page tables (c_1252.nls, ...) are not installed";

    std::set<char16_t> characters;
    for (size_t i = 0; i < sim::string_table_size; ++i) {
        for (const char16_t* unit = sim::string_table[i].text; *unit != u'\0'; ++unit) {
            if (*unit >= 0x80) characters.insert(*unit);
        }
    }
    ASSERT_FALSE(characters.empty());
    for (const uint32_t code_page : {874u, 932u, 936u, 949u, 950u, 1250u, 1251u, 1252u, 1253u, 1254u, 1255u, 1256u,
                                     1257u, 1258u}) {
        const NlsCodePage windows(folder / ("c_" + std::to_string(code_page) + ".nls"));
        ASSERT_TRUE(windows.loaded()) << "code page " << code_page;
        for (const char16_t c : characters) {
            EXPECT_EQ(hex_bytes(sim::utf16_to_ansi(std::u16string(1, c), code_page)), hex_bytes(windows.convert(c)))
                << "U+" << std::hex << std::uppercase << std::setw(4) << std::setfill('0') << static_cast<unsigned>(c)
                << " in code page " << std::dec << code_page << " (best-fit rows: src/platform/sim/codepage.cpp)";
        }
    }
}

}  // namespace

namespace {

// NTFS compares file names upper-cased by Windows' casing table, which Wine
// installs as l_intl.nls: for the scripts the simulated machine folds (up to
// U+017F and U+0370-U+052F), every unit must fold as that table says.
TEST(SharedCodePages, FileNamesFoldAsWindowsCasingTableSays)
{
    fs::path table;
    for (const char* candidate : {"/usr/share/wine/nls", "/usr/local/share/wine/nls", "/opt/wine-stable/share/wine/nls"}) {
        if (fs::exists(fs::path(candidate) / "l_intl.nls")) table = fs::path(candidate) / "l_intl.nls";
    }
    if (table.empty()) GTEST_SKIP() << "Wine's casing table (l_intl.nls) is not installed";
    const std::string bytes = read_all(table);
    const auto word = [&](size_t index) -> uint16_t {
        if (2 * index + 1 >= bytes.size()) return 0;
        return static_cast<uint16_t>(static_cast<unsigned char>(bytes[2 * index]) |
                                     (static_cast<unsigned char>(bytes[2 * index + 1]) << 8));
    };
    // The upper-case table follows a two-unit header; three levels of offsets
    // lead to the difference between a unit and its capital.
    const auto upper = [&](char16_t unit) {
        const size_t base = 2;
        const size_t level2 = word(base + (unit >> 8));
        const size_t level3 = word(base + level2 + ((unit >> 4) & 0xF));
        return static_cast<char16_t>(unit + word(base + level3 + (unit & 0xF)));
    };
    std::string differences;
    for (char32_t unit = 0; unit <= 0x052F; ++unit) {
        if (unit >= 0x0180 && unit < 0x0370) continue;
        const char16_t c = static_cast<char16_t>(unit);
        if (sim::upcase(c) != upper(c)) {
            char line[48];
            std::snprintf(line, sizeof line, "U+%04X: %04X, table %04X\n", static_cast<unsigned>(unit),
                          static_cast<unsigned>(sim::upcase(c)), static_cast<unsigned>(upper(c)));
            differences += line;
        }
    }
    EXPECT_EQ(differences, "") << "(casing runs: src/platform/sim/codepage.cpp)";
}

}  // namespace
