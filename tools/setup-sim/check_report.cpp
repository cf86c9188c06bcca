#include "setup-sim/check_report.h"

#include <algorithm>
#include <sstream>
#include <vector>

#include "platform/sim/codepage.h"
#include "transcript/transcript.h"

namespace {

// A text line of the report is at most this many characters, unless the
// wide table is asked for.
constexpr size_t REPORT_WIDTH = 120;
// The narrowest a last column gets beside the others; where they leave less,
// or less than its longest word, it goes below them.
constexpr size_t NARROWEST_LAST_COLUMN = 24;
// How far a last column below the others is indented.
constexpr size_t BELOW_INDENT = 4;

using Table = std::vector<std::vector<std::string>>;

// Characters of UTF-8 text (code points; every one taken as one column).
size_t columns_of(const std::string& utf8)
{
    return static_cast<size_t>(
        std::count_if(utf8.begin(), utf8.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

// The byte length of the first `columns` characters of UTF-8 text.
size_t bytes_of_columns(const std::string& utf8, size_t from, size_t columns)
{
    size_t at = from;
    for (size_t counted = 0; at < utf8.size(); ++at) {
        if ((static_cast<unsigned char>(utf8[at]) & 0xC0) != 0x80 && counted++ == columns) break;
    }
    return at - from;
}

// Text in lines of at most `width` characters, broken at blanks only: a
// word longer than the width stays whole, on a line of its own.
std::vector<std::string> wrapped(const std::string& text, size_t width)
{
    std::vector<std::string> lines;
    size_t at = 0;
    while (columns_of(text.substr(at)) > width) {
        // The last blank at most one past the width ends the line, or else
        // the first one after its first word.
        size_t blank = text.rfind(' ', at + bytes_of_columns(text, at, width));
        if (blank == std::string::npos || blank <= at) blank = text.find(' ', at + 1);
        if (blank == std::string::npos) break;
        std::string line = text.substr(at, blank - at);
        while (!line.empty() && line.back() == ' ') line.pop_back();
        lines.push_back(line);
        at = text.find_first_not_of(' ', blank);
        if (at == std::string::npos) return lines;
    }
    lines.push_back(text.substr(at));
    return lines;
}

size_t longest_word(const std::string& text)
{
    size_t longest = 0;
    std::istringstream words(text);
    for (std::string word; words >> word;) longest = std::max(longest, columns_of(word));
    return longest;
}

// Columns two blanks apart, each as wide as its widest cell; the last
// column is not padded. With a width, the last column wraps at blanks to fit
// it: beside the others where they leave it room enough, else below each
// row, indented.
std::string aligned(const Table& table, size_t width = 0)
{
    std::vector<size_t> widths;
    size_t last_longest_word = 0;
    for (const auto& cells : table) {
        if (widths.size() < cells.size()) widths.resize(cells.size());
        for (size_t i = 0; i < cells.size(); ++i) widths[i] = std::max(widths[i], columns_of(cells[i]));
        if (!cells.empty()) last_longest_word = std::max(last_longest_word, longest_word(cells.back()));
    }
    size_t last_width = widths.empty() ? 0 : widths.back();
    bool below = false;
    if (width > 0 && !widths.empty()) {
        size_t others = 0;
        for (size_t i = 0; i + 1 < widths.size(); ++i) others += widths[i] + 2;
        const size_t room = width > others ? width - others : 0;
        below = room < std::max(NARROWEST_LAST_COLUMN, last_longest_word);
        last_width = below ? std::max(width, BELOW_INDENT + 1) - BELOW_INDENT : room;
    }
    std::string out;
    const auto add_line = [&out](std::string line) {
        while (!line.empty() && line.back() == ' ') line.pop_back();
        out += line + '\n';
    };
    for (const auto& cells : table) {
        if (cells.empty()) continue;
        std::string others;
        for (size_t i = 0; i + 1 < cells.size(); ++i) others += cells[i] + std::string(widths[i] - columns_of(cells[i]) + 2, ' ');
        const std::vector<std::string> parts = wrapped(cells.back(), last_width);
        if (below) {
            if (!others.empty()) add_line(others);
            for (const std::string& part : parts) {
                if (!part.empty()) add_line(std::string(BELOW_INDENT, ' ') + part);
            }
            continue;
        }
        for (size_t i = 0; i < parts.size(); ++i) add_line((i == 0 ? others : std::string(columns_of(others), ' ')) + parts[i]);
    }
    return out;
}

// Text wrapped to the report's width, its first line indented by `first`
// blanks and the others by `rest`.
std::string indented(const std::string& text, size_t first, size_t rest)
{
    std::string out;
    const std::vector<std::string> lines = wrapped(text, REPORT_WIDTH - std::max(first, rest));
    for (size_t i = 0; i < lines.size(); ++i) out += std::string(i == 0 ? first : rest, ' ') + lines[i] + '\n';
    return out;
}

std::string or_dash(const std::string& text)
{
    return text.empty() ? "-" : text;
}

// A row's texts in UTF-8, from the code page of the machine it ran on.
struct ShownRow {
    explicit ShownRow(const CheckRow& row)
        : machine(text(row, row.machine)),
          section(text(row, row.section)),
          engine_path(text(row, row.engine_path)),
          inf(text(row, row.inf)),
          driver_ver(text(row, row.driver_ver)),
          command_line(text(row, row.command_line)),
          acpi_device_id(text(row, row.acpi_device_id)),
          description(text(row, row.description))
    {
        for (const std::string& prerequisite : row.prerequisites) prerequisites.push_back(text(row, prerequisite));
    }
    static std::string text(const CheckRow& row, const std::string& ansi) { return sim::ansi_to_utf8(ansi, row.code_page); }

    std::string machine, section, engine_path, inf, driver_ver, command_line, acpi_device_id, description;
    std::vector<std::string> prerequisites;
};

std::string engine_cell(const CheckRow& row, const ShownRow& shown)
{
    if (row.section.empty()) return "-";
    return shown.engine_path + " (" + row.engine_image + (row.engine_fits ? "" : ", refused") + ")";
}

std::string inf_cell(const CheckRow& row, const ShownRow& shown)
{
    if (row.section.empty()) return "-";
    if (row.inf.empty()) return "(none)";
    return shown.inf + " " + (row.driver_ver_read ? shown.driver_ver : "(no DriverVer)");
}

std::string run_cell(const CheckRow& row)
{
    return row.interactive ? "Setup.exe" : "Setup.exe /s";
}

// Machines of one Windows, with and without touch pads, whose runs went
// alike share a line. The narrow table leaves the engine, the INF and the
// command line to the wide one.
std::string rows_table(const PackageCheck& check, bool wide)
{
    constexpr size_t NAMED_ALIKE = 3;  // more are counted
    constexpr size_t MACHINE_COLUMN = 1;
    Table table;
    if (wide) {
        table.push_back({"Windows", "Machine", "Run", "Section", "Engine", "INF and DriverVer", "Outcome", "Result",
                         "Exit code", "Engine command line"});
    } else {
        table.push_back({"Windows", "Machine", "Run", "Section", "Result", "Exit", "Outcome"});
    }
    std::vector<std::string> alike;  // the machines of the last line
    for (const CheckRow& row : check.rows) {
        const ShownRow shown(row);
        const std::vector<std::string> cells =
            wide ? std::vector<std::string>{row.windows, shown.machine, run_cell(row), or_dash(shown.section),
                                            engine_cell(row, shown), inf_cell(row, shown), shown.description,
                                            std::to_string(row.result), std::to_string(row.exit_code),
                                            or_dash(shown.command_line)}
                 : std::vector<std::string>{row.windows, shown.machine, run_cell(row), or_dash(shown.section),
                                            std::to_string(row.result), std::to_string(row.exit_code),
                                            shown.description};
        std::vector<std::string>& last = table.back();
        const bool built_in = row.installed_version.empty() && (!row.device.empty() || row.machine == NO_TOUCH_PAD);
        if (!alike.empty() && built_in && cells[0] == last[0] &&
            std::equal(cells.begin() + MACHINE_COLUMN + 1, cells.end(), last.begin() + MACHINE_COLUMN + 1)) {
            alike.push_back(shown.machine);
            last[MACHINE_COLUMN] = alike.front();
            for (size_t i = 1; i < alike.size() && alike.size() <= NAMED_ALIKE; ++i) last[MACHINE_COLUMN] += ", " + alike[i];
            if (alike.size() > NAMED_ALIKE) last[MACHINE_COLUMN] += " and " + std::to_string(alike.size() - 1) + " more";
            continue;
        }
        table.push_back(cells);
        alike.assign(built_in ? 1 : 0, shown.machine);
    }
    return aligned(table, wide ? 0 : REPORT_WIDTH);
}

std::string shown_text(const PackageCheck& check, const std::string& ansi)
{
    return sim::ansi_to_utf8(ansi, check.code_page);
}

// One line per models section that a slot's configuration section reads,
// its hardware IDs wrapped onto further lines when they are many.
std::string hardware_id_table(const PackageCheck& check, bool wide)
{
    Table table{{"Windows", "Section", "INF [models section]", "Hardware IDs (component)"}};
    // By Windows, each in the program's bus order.
    std::vector<SupportedSlot> slots = check.supported_slots;
    std::stable_sort(slots.begin(), slots.end(),
                     [](const SupportedSlot& a, const SupportedSlot& b) { return a.os_index < b.os_index; });
    for (const SupportedSlot& slot : slots) {
        const std::string section = shown_text(check, slot.section);
        if (slot.models_sections.empty()) table.push_back({slot.windows, section, "(no models section)", "-"});
        for (const std::string& models_section : slot.models_sections) {
            std::string ids;
            for (const HardwareIdEntry& entry : check.hardware_ids) {
                if (entry.os_index != slot.os_index || entry.section != slot.section ||
                    entry.models_section != models_section) {
                    continue;
                }
                ids += (ids.empty() ? "" : ", ") + shown_text(check, entry.hardware_id) + " (" +
                       (entry.component.empty() ? "none" : shown_text(check, entry.component)) + ")";
            }
            table.push_back({slot.windows, section, shown_text(check, slot.inf + " [" + models_section + "]"),
                             ids.empty() ? "(no model)" : ids});
        }
    }
    return aligned(table, wide ? 0 : REPORT_WIDTH);
}

// "Setup.ini:12", or the file alone for a finding about all of it.
std::string finding_place(const Finding& finding)
{
    return finding.file + (finding.line > 0 ? ":" + std::to_string(finding.line) : "");
}

const char* json_bool(bool value)
{
    return value ? "true" : "false";
}

std::string json_list(const std::vector<std::string>& items)
{
    std::string out = "[";
    for (size_t i = 0; i < items.size(); ++i) out += (i > 0 ? ", " : "") + json_string(items[i]);
    return out + "]";
}

}  // namespace

std::string check_report_text(const std::string& package, const PackageCheck& check, bool wide)
{
    std::ostringstream out;
    constexpr size_t INDENT = 4;
    out << indented("Package: " + package + " (settings layout " + std::to_string(check.layout) + ")", 0, INDENT)
        << "Each row is a run of Setup.exe on a simulated machine" << (wide ? "" : " (--wide: engine, INF, command line)")
        << ".\n\n"
        << rows_table(check, wide);
    if (check.layout == 2) {
        out << "\nHardware IDs a touch pad must carry to match: its device instance ID must contain the component.\n"
            << hardware_id_table(check, wide);
    }
    out << '\n';
    if (check.findings.empty()) {
        out << "Findings: none\n";
        return out.str();
    }
    out << "Findings: " << check.findings.size() << '\n';
    for (const Finding& finding : check.findings) {
        out << indented(finding_place(finding) + ": " + finding.severity + ":" +
                            (finding.subject.empty() ? "" : " " + finding.subject),
                        2, INDENT)
            << indented(finding.text + " [" + finding.kind + "]", INDENT, INDENT);
    }
    return out.str();
}

std::string check_report_json(const std::string& package, const PackageCheck& check)
{
    std::ostringstream out;
    out << "{\"package\": " << json_string(package) << ", \"layout\": " << check.layout << ", \"rows\": [";
    const char* separator = "";
    for (const CheckRow& row : check.rows) {
        const ShownRow shown(row);
        out << separator << "{\"windows\": " << json_string(row.windows)
            << ", \"windows_version\": " << json_string(row.windows_version)
            << ", \"machine\": " << json_string(shown.machine) << ", \"device\": " << json_string(ShownRow::text(row, row.device))
            << ", \"installed_version\": " << json_string(ShownRow::text(row, row.installed_version))
            << ", \"interactive\": " << json_bool(row.interactive) << ", \"section\": " << json_string(shown.section)
            << ", \"engine_path\": " << json_string(shown.engine_path)
            << ", \"engine_image\": " << json_string(row.engine_image) << ", \"engine_fits\": " << json_bool(row.engine_fits)
            << ", \"engine_message\": " << row.engine_message << ", \"inf\": " << json_string(shown.inf)
            << ", \"inf_message\": " << row.inf_message << ", \"driver_ver_read\": " << json_bool(row.driver_ver_read)
            << ", \"driver_ver\": " << json_string(shown.driver_ver)
            << ", \"version_library_agrees\": " << json_bool(row.version_library_agrees)
            << ", \"command_line\": " << json_string(shown.command_line)
            << ", \"acpi_device_id\": " << json_string(shown.acpi_device_id)
            << ", \"acpi_refuses\": " << json_bool(row.acpi_refuses)
            << ", \"prerequisites\": " << json_list(shown.prerequisites) << ", \"engine_ran\": " << json_bool(row.engine_ran)
            << ", \"engine_exit_code\": " << row.engine_exit_code << ", \"outcome\": " << json_string(row.outcome)
            << ", \"description\": " << json_string(shown.description) << ", \"result\": " << row.result
            << ", \"result_name\": " << json_string(result_name(row.result)) << ", \"exit_code\": " << row.exit_code
            << '}';
        separator = ", ";
    }
    out << "], \"supported_slots\": [";
    separator = "";
    for (const SupportedSlot& slot : check.supported_slots) {
        std::vector<std::string> models_sections;
        for (const std::string& models_section : slot.models_sections) models_sections.push_back(shown_text(check, models_section));
        out << separator << "{\"windows\": " << json_string(slot.windows) << ", \"os_index\": " << slot.os_index
            << ", \"bus\": " << json_string(shown_text(check, slot.bus))
            << ", \"support_key\": " << json_string(slot.support_key)
            << ", \"section\": " << json_string(shown_text(check, slot.section))
            << ", \"inf\": " << json_string(shown_text(check, slot.inf))
            << ", \"models_sections\": " << json_list(models_sections) << '}';
        separator = ", ";
    }
    out << "], \"hardware_ids\": [";
    separator = "";
    for (const HardwareIdEntry& entry : check.hardware_ids) {
        out << separator << "{\"windows\": " << json_string(entry.windows) << ", \"os_index\": " << entry.os_index
            << ", \"section\": " << json_string(shown_text(check, entry.section))
            << ", \"inf\": " << json_string(shown_text(check, entry.inf))
            << ", \"models_section\": " << json_string(shown_text(check, entry.models_section))
            << ", \"line_number\": " << entry.line_number << ", \"line\": " << json_string(shown_text(check, entry.line))
            << ", \"hardware_id\": " << json_string(shown_text(check, entry.hardware_id))
            << ", \"component\": " << json_string(shown_text(check, entry.component)) << '}';
        separator = ", ";
    }
    out << "], \"findings\": [";
    separator = "";
    for (const Finding& finding : check.findings) {
        out << separator << "{\"file\": " << json_string(finding.file) << ", \"line\": " << finding.line
            << ", \"severity\": " << json_string(finding.severity) << ", \"kind\": " << json_string(finding.kind)
            << ", \"subject\": " << json_string(finding.subject) << ", \"text\": " << json_string(finding.text) << '}';
        separator = ", ";
    }
    out << "]}\n";
    return out.str();
}
