// The scenarios that the real Setup.exe runs under Wine (tests/wine/scenarios),
// run here on the simulated machine with the same expectations. When the two
// disagree on a scenario, one of the backends is wrong.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "platform/pe.h"
#include "platform/sim/codepage.h"
#include "setup/context.h"
#include "support/package_fixture.h"

namespace fs = std::filesystem;

namespace {

const fs::path SCENARIOS = fs::path(SOURCE_DIR) / "tests" / "wine" / "scenarios";

std::string read_all(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

std::string upper(std::string text)
{
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

struct Scenario {
    std::string name;
    std::map<std::string, std::string> settings;
    std::vector<std::string> answers;
};

Scenario load_scenario(const fs::path& folder)
{
    Scenario scenario{folder.filename().string(), {}, {}};
    std::istringstream lines(read_all(folder / "scenario.conf"));
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line[0] == '#') continue;
        const size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        const std::string key = line.substr(0, equals);
        if (key == "answer") scenario.answers.push_back(line.substr(equals + 1));
        else scenario.settings[key] = line.substr(equals + 1);
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
            // The texts are ANSI converted to UTF-8; two bytes cover code page 1252's letters.
            if (code < 0x80) value += static_cast<char>(code);
            else {
                value += static_cast<char>(0xC0 | (code >> 6));
                value += static_cast<char>(0x80 | (code & 0x3F));
            }
        } else value += escaped;
    }
    return value;
}

int button_code(const std::string& name)
{
    static const std::map<std::string, int> codes = {{"OK", 1}, {"Cancel", 2}, {"Yes", 6}, {"No", 7}};
    const auto found = codes.find(name);
    return found != codes.end() ? found->second : 0;
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

class SharedScenario : public PackageTest, public ::testing::WithParamInterface<Scenario> {
protected:
    // Devices of a registry file as Wine's device tree has them: every key
    // below Enum with a hardware ID is a device, present, its instance ID in
    // upper case.
    void add_devices(const fs::path& registry_file)
    {
        static const std::string ENUM_KEY = "HKEY_LOCAL_MACHINE\\SYSTEM\\CURRENTCONTROLSET\\ENUM\\";
        std::istringstream lines(read_all(registry_file));
        sim::Device* device = nullptr;
        for (std::string line; std::getline(lines, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.size() > 2 && line[0] == '[') {
                const std::string key = line.substr(1, line.size() - 2);
                device = nullptr;
                if (upper(key).rfind(ENUM_KEY, 0) == 0) {
                    machine.devices.push_back(sim::Device{upper(key.substr(ENUM_KEY.size())), "", true, {}});
                    device = &machine.devices.back();
                }
            } else if (device != nullptr && line.rfind("\"HardwareID\"=hex(7):", 0) == 0) {
                device->hardware_ids = multi_string(line.substr(20));
            } else if (device != nullptr && line.rfind("\"ClassGUID\"=\"", 0) == 0) {
                device->class_guid = line.substr(13, line.size() - 14);
            }
        }
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

    const std::string package = setting("package", "C:\\pkg");
    machine.module_path = package + "\\" + setting("program_name", "Setup.exe");
    fs::copy(folder / "package", sim::host_path(package), fs::copy_options::recursive);
    const std::string engine = setting("engine", "DPInst.exe");
    if (!engine.empty()) {
        write_file(package + "\\" + engine,
                   pe_image(static_cast<uint16_t>(std::stoul(setting("engine_machine", "0x14C"), nullptr, 0))));
        std::string engine_name = engine.substr(engine.find_last_of('\\') + 1);
        for (char& c : engine_name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        machine.programs[engine_name].exit_code =
            static_cast<uint32_t>(std::stoul(setting("engine_exit_code", "0"), nullptr, 0));
    }
    if (fs::exists(folder / "registry.reg")) add_devices(folder / "registry.reg");
    for (const std::string& answer : scenario.answers) machine.answers.push_back(button_code(answer));

    const int exit_code = run(setting("arguments", ""));
    EXPECT_EQ(static_cast<uint32_t>(exit_code), static_cast<uint32_t>(std::stoul(setting("exit_code", "0"), nullptr, 0)));

    std::string engine_lines;
    for (const sim::ProcessRecord& process : machine.processes) {
        if (process.kind == "create" && process.started) engine_lines += process.command_line + "\n";
    }
    const fs::path expected_engine = folder / "expect_engine_command_line.txt";
    EXPECT_EQ(engine_lines, fs::exists(expected_engine) ? read_all(expected_engine) : "");

    std::vector<std::string> records;
    std::istringstream expected_boxes(fs::exists(folder / "expect_boxes.jsonl") ? read_all(folder / "expect_boxes.jsonl")
                                                                                 : "");
    for (std::string line; std::getline(expected_boxes, line);) {
        if (!line.empty()) records.push_back(line);
    }
    ASSERT_EQ(machine.boxes.size(), records.size());
    for (size_t i = 0; i < records.size(); ++i) {
        const sim::Box& box = machine.boxes[i];
        EXPECT_EQ(sim::ansi_to_utf8(box.caption, 1252), json_field(records[i], "caption")) << "box " << i + 1;
        EXPECT_EQ(sim::ansi_to_utf8(box.text, 1252), json_field(records[i], "text")) << "box " << i + 1;
        EXPECT_EQ(box.style, std::stoul(json_field(records[i], "style"), nullptr, 16)) << "box " << i + 1;
        EXPECT_EQ(box.answer, button_code(json_field(records[i], "pressed"))) << "box " << i + 1;
    }
}

INSTANTIATE_TEST_SUITE_P(Wine, SharedScenario, ::testing::ValuesIn(all_scenarios()),
                         [](const ::testing::TestParamInfo<Scenario>& param_info) { return param_info.param.name; });

}  // namespace
