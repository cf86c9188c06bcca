#include "setup-sim/check_report.h"

#include <algorithm>
#include <sstream>
#include <vector>

#include "transcript/transcript.h"

namespace {

using Table = std::vector<std::vector<std::string>>;

// Columns two blanks apart, each as wide as its widest cell; the last
// column is not padded.
std::string aligned(const Table& table)
{
    std::vector<size_t> widths;
    for (const auto& cells : table) {
        if (widths.size() < cells.size()) widths.resize(cells.size());
        for (size_t i = 0; i < cells.size(); ++i) widths[i] = std::max(widths[i], cells[i].size());
    }
    std::string out;
    for (const auto& cells : table) {
        std::string line;
        for (size_t i = 0; i < cells.size(); ++i) {
            line += cells[i];
            if (i + 1 < cells.size()) line += std::string(widths[i] - cells[i].size() + 2, ' ');
        }
        out += line + '\n';
    }
    return out;
}

std::string or_dash(const std::string& text)
{
    return text.empty() ? "-" : text;
}

std::string engine_cell(const CheckRow& row)
{
    if (row.section.empty()) return "-";
    return row.engine_path + " (" + row.engine_image + (row.engine_fits ? "" : ", refused") + ")";
}

std::string inf_cell(const CheckRow& row)
{
    if (row.section.empty()) return "-";
    if (row.inf.empty()) return "(none)";
    return row.inf + " " + (row.driver_ver_read ? row.driver_ver : "(no DriverVer)");
}

// Machines of one Windows, with and without touch pads, whose runs went alike share a line.
std::string rows_table(const PackageCheck& check)
{
    constexpr size_t NAMED_ALIKE = 3;  // more are counted
    Table table{{"Windows", "Machine", "Run", "Section", "Engine", "INF and DriverVer", "Outcome", "Result", "Exit code",
                 "Silent engine command line"}};
    std::vector<std::string> alike;  // the touch pads of the last line
    for (const CheckRow& row : check.rows) {
        std::vector<std::string> cells{row.windows, row.machine, row.interactive ? "Setup.exe" : "Setup.exe /s",
                                       or_dash(row.section), engine_cell(row), inf_cell(row),
                                       row.description, std::to_string(row.result), std::to_string(row.exit_code),
                                       or_dash(row.command_line)};
        std::vector<std::string>& last = table.back();
        const bool built_in = row.installed_version.empty() && (!row.device.empty() || row.machine == NO_TOUCH_PAD);
        if (!alike.empty() && built_in && cells[0] == last[0] &&
            std::equal(cells.begin() + 2, cells.end(), last.begin() + 2)) {
            alike.push_back(row.machine);
            last[1] = alike.front();
            for (size_t i = 1; i < alike.size() && alike.size() <= NAMED_ALIKE; ++i) last[1] += ", " + alike[i];
            if (alike.size() > NAMED_ALIKE) last[1] += " and " + std::to_string(alike.size() - 1) + " more";
            continue;
        }
        table.push_back(cells);
        alike.assign(built_in ? 1 : 0, row.machine);
    }
    return aligned(table);
}

// One line per models section that a slot's configuration section reads,
// its hardware IDs wrapped onto further lines when they are many.
std::string hardware_id_table(const PackageCheck& check)
{
    constexpr size_t ID_COLUMN_WIDTH = 96;
    Table table{{"Windows", "Section", "INF [models section]", "Hardware IDs (component)"}};
    // By Windows, each in the program's bus order.
    std::vector<SupportedSlot> slots = check.supported_slots;
    std::stable_sort(slots.begin(), slots.end(),
                     [](const SupportedSlot& a, const SupportedSlot& b) { return a.os_index < b.os_index; });
    for (const SupportedSlot& slot : slots) {
        if (slot.models_sections.empty()) table.push_back({slot.windows, slot.section, "(no models section)", "-"});
        for (const std::string& models_section : slot.models_sections) {
            std::vector<std::string> ids;
            for (const HardwareIdEntry& entry : check.hardware_ids) {
                if (entry.os_index != slot.os_index || entry.section != slot.section ||
                    entry.models_section != models_section) {
                    continue;
                }
                ids.push_back(entry.hardware_id + " (" + (entry.component.empty() ? "none" : entry.component) + ")");
            }
            std::vector<std::string> cells{slot.windows, slot.section, slot.inf + " [" + models_section + "]", ""};
            if (ids.empty()) cells[3] = "(no model)";
            for (const std::string& id : ids) {
                if (!cells[3].empty() && cells[3].size() + 2 + id.size() > ID_COLUMN_WIDTH) {
                    table.push_back(cells);
                    table.back()[3] += ",";
                    cells = {"", "", "", ""};
                }
                cells[3] += (cells[3].empty() ? "" : ", ") + id;
            }
            table.push_back(cells);
        }
    }
    return aligned(table);
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

std::string check_report_text(const std::string& package, const PackageCheck& check)
{
    std::ostringstream out;
    out << "Package: " << package << " (settings layout " << check.layout << ")\n"
        << "Each row is a silent run, Setup.exe /s, on a simulated machine.\n\n"
        << rows_table(check);
    if (check.layout == 2) {
        out << "\nHardware IDs a touch pad must carry to match: its device instance ID must contain the component.\n"
            << hardware_id_table(check);
    }
    out << '\n';
    if (check.findings.empty()) {
        out << "Findings: none\n";
        return out.str();
    }
    out << "Findings: " << check.findings.size() << '\n';
    for (const Finding& finding : check.findings) {
        out << "  " << finding.subject << "\n    " << finding.text << " [" << finding.kind << "]\n";
    }
    return out.str();
}

std::string check_report_json(const std::string& package, const PackageCheck& check)
{
    std::ostringstream out;
    out << "{\"package\": " << json_string(package) << ", \"layout\": " << check.layout << ", \"rows\": [";
    const char* separator = "";
    for (const CheckRow& row : check.rows) {
        out << separator << "{\"windows\": " << json_string(row.windows) << ", \"machine\": " << json_string(row.machine)
            << ", \"device\": " << json_string(row.device)
            << ", \"installed_version\": " << json_string(row.installed_version)
            << ", \"interactive\": " << json_bool(row.interactive) << ", \"section\": " << json_string(row.section)
            << ", \"engine_path\": " << json_string(row.engine_path)
            << ", \"engine_image\": " << json_string(row.engine_image) << ", \"engine_fits\": " << json_bool(row.engine_fits)
            << ", \"engine_message\": " << row.engine_message << ", \"inf\": " << json_string(row.inf)
            << ", \"driver_ver_read\": " << json_bool(row.driver_ver_read)
            << ", \"driver_ver\": " << json_string(row.driver_ver)
            << ", \"version_library_agrees\": " << json_bool(row.version_library_agrees)
            << ", \"command_line\": " << json_string(row.command_line)
            << ", \"acpi_device_id\": " << json_string(row.acpi_device_id)
            << ", \"acpi_refuses\": " << json_bool(row.acpi_refuses)
            << ", \"prerequisites\": " << json_list(row.prerequisites) << ", \"engine_ran\": " << json_bool(row.engine_ran)
            << ", \"engine_exit_code\": " << row.engine_exit_code << ", \"outcome\": " << json_string(row.outcome)
            << ", \"description\": " << json_string(row.description) << ", \"result\": " << row.result
            << ", \"result_name\": " << json_string(result_name(row.result)) << ", \"exit_code\": " << row.exit_code
            << '}';
        separator = ", ";
    }
    out << "], \"supported_slots\": [";
    separator = "";
    for (const SupportedSlot& slot : check.supported_slots) {
        out << separator << "{\"windows\": " << json_string(slot.windows) << ", \"os_index\": " << slot.os_index
            << ", \"bus\": " << json_string(slot.bus) << ", \"support_key\": " << json_string(slot.support_key)
            << ", \"section\": " << json_string(slot.section)
            << ", \"models_sections\": " << json_list(slot.models_sections) << '}';
        separator = ", ";
    }
    out << "], \"hardware_ids\": [";
    separator = "";
    for (const HardwareIdEntry& entry : check.hardware_ids) {
        out << separator << "{\"windows\": " << json_string(entry.windows) << ", \"os_index\": " << entry.os_index
            << ", \"section\": " << json_string(entry.section) << ", \"inf\": " << json_string(entry.inf)
            << ", \"models_section\": " << json_string(entry.models_section) << ", \"line\": " << json_string(entry.line)
            << ", \"hardware_id\": " << json_string(entry.hardware_id)
            << ", \"component\": " << json_string(entry.component) << '}';
        separator = ", ";
    }
    out << "], \"findings\": [";
    separator = "";
    for (const Finding& finding : check.findings) {
        out << separator << "{\"kind\": " << json_string(finding.kind) << ", \"subject\": " << json_string(finding.subject)
            << ", \"text\": " << json_string(finding.text) << '}';
        separator = ", ";
    }
    out << "]}\n";
    return out.str();
}
