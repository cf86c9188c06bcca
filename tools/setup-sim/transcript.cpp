#include "setup-sim/transcript.h"

#include <cstdio>
#include <sstream>

#include "platform/sim/codepage.h"

namespace {

std::string hex(uint32_t value, int digits)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, value);
    return text;
}

const char* button_name(int answer)
{
    switch (answer) {
    case 1: return "OK";
    case 2: return "Cancel";
    case 6: return "Yes";
    case 7: return "No";
    default: return "?";
    }
}

uint32_t code_page(const sim::Machine& machine)
{
    return machine.ansi_code_page != 0 ? machine.ansi_code_page
                                       : sim::ansi_code_page_for_language(machine.system_language);
}

// The UTF-16LE units of bytes (a last odd byte is dropped).
std::u16string utf16le_units(const std::string& bytes)
{
    std::u16string units;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        units.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                              (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    }
    return units;
}

// A file's text indented under its "File written" line, control characters
// other than tabs shown as \xNN.
std::string indented(const std::string& text)
{
    std::string out = "  | ";
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        if (c == '\n') {
            out += i + 1 < text.size() ? "\n  | " : "\n";
        } else if (c < 0x20 && c != '\t') {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    if (out.back() != '\n') out += '\n';
    return out;
}

// Box text for a person: line breaks and tabs made visible on one line.
std::string visible(const std::string& text)
{
    std::string out;
    for (const char c : text) {
        if (c == '\n') out += "\\n";
        else if (c == '\t') out += "\\t";
        else if (c == '\r') out += "\\r";
        else out += c;
    }
    return out;
}

}  // namespace

std::string json_string(const std::string& utf8)
{
    std::string out = "\"";
    for (const unsigned char c : utf8) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                out += escaped;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

ReadableText readable_text(const std::string& bytes, uint32_t code_page)
{
    if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') {
        static const std::u16string DEBUG_BANNER =
            u"================> Report Information for Debugging <================\r\n";
        const std::u16string units = utf16le_units(bytes.substr(2));
        const size_t banner = units.find(DEBUG_BANNER);
        if (banner == std::u16string::npos || banner + DEBUG_BANNER.size() == units.size()) {
            return {"UTF-16LE", sim::utf16_to_ansi(units, 65001)};
        }
        const size_t utf16_end = banner + DEBUG_BANNER.size();
        return {"UTF-16LE+ANSI", sim::utf16_to_ansi(units.substr(0, utf16_end), 65001) +
                                     sim::ansi_to_utf8(bytes.substr(2 + 2 * utf16_end), code_page)};
    }
    if (bytes.find('\0') != std::string::npos) return {"binary", ""};
    return {"ANSI", sim::ansi_to_utf8(bytes, code_page)};
}

const char* result_name(int result)
{
    switch (result) {
    case 0: return "SUCCESS";
    case 3: return "DEP_SOFT_ERROR";
    case 4: return "DEP_HARD_ERROR";
    case 1603: return "ERROR";
    case 1608: return "UNKNOWN_OPTION";
    case 1633: return "ERROR_INSTALL_PLATFORM_UNSUPPORTED";
    case 1641: return "REBOOT_REQUIRED";
    default: return "";
    }
}

std::string transcript_text(const sim::Machine& machine, const RunOutcome& outcome)
{
    const uint32_t cp = code_page(machine);
    std::ostringstream out;
    out << "Machine: Windows " << machine.major << '.' << machine.minor << '.' << machine.build
        << (machine.is_64bit ? " x64" : " x86") << ", system language " << hex(machine.system_language, 4)
        << ", UI language " << hex(machine.ui_language, 4) << ", code page " << cp << '\n';
    out << "Program: " << outcome.program_path << '\n';
    out << "Command line: " << outcome.command_line << '\n';
    int number = 0;
    for (const sim::Box& box : machine.boxes) {
        out << "Box " << ++number << ": caption \"" << sim::ansi_to_utf8(box.caption, cp) << "\", style "
            << hex(box.style, 8) << ", answer " << box.answer << " (" << button_name(box.answer) << ")\n"
            << "  text: " << visible(sim::ansi_to_utf8(box.text, cp)) << '\n';
    }
    if (machine.boxes.empty()) out << "Boxes: none\n";
    number = 0;
    for (const sim::ProcessRecord& process : machine.processes) {
        out << "Process " << ++number << ": " << (process.kind == "shell" ? "shell " : "") << process.command_line;
        if (!process.directory.empty()) out << " (in " << process.directory << ")";
        if (process.started) {
            out << " -> exit code " << hex(process.exit_code, 8) << '\n';
        } else {
            out << " -> not started, error " << process.error << '\n';
        }
    }
    if (machine.processes.empty()) out << "Processes: none\n";
    for (const std::string& folder : outcome.folders_created) out << "Folder created: " << folder << '\n';
    if (outcome.files_written.empty()) out << "Files written: none\n";
    // What the program wrote itself is shown in full; a copy of a package
    // file only by its origin.
    for (const WrittenFile& file : outcome.files_written) {
        out << "File written: " << file.path;
        if (!file.copy_of.empty()) {
            out << " (copy of " << file.copy_of << ")\n";
            continue;
        }
        const ReadableText readable = readable_text(file.bytes, cp);
        out << " (" << readable.encoding << ", " << file.bytes.size() << " bytes)\n";
        if (!readable.text.empty()) out << indented(readable.text);
    }
    out << "Restart: " << (machine.restart_requested ? "requested" : "no") << '\n';
    if (outcome.ended_at_once) out << "Ended at once, without the end of run\n";
    out << "Result: " << outcome.result << ' ' << result_name(outcome.result) << '\n';
    out << "Exit code: " << outcome.exit_code << '\n';
    return out.str();
}

std::string transcript_json(const sim::Machine& machine, const RunOutcome& outcome)
{
    const uint32_t cp = code_page(machine);
    std::ostringstream out;
    out << "{\"program\": " << json_string(outcome.program_path)
        << ", \"command_line\": " << json_string(outcome.command_line) << ", \"result\": " << outcome.result
        << ", \"result_name\": " << json_string(result_name(outcome.result)) << ", \"exit_code\": " << outcome.exit_code
        << ", \"ended_at_once\": " << (outcome.ended_at_once ? "true" : "false") << ", \"boxes\": [";
    const char* separator = "";
    for (const sim::Box& box : machine.boxes) {
        out << separator << "{\"caption\": " << json_string(sim::ansi_to_utf8(box.caption, cp))
            << ", \"text\": " << json_string(sim::ansi_to_utf8(box.text, cp)) << ", \"style\": " << box.style
            << ", \"answer\": " << box.answer << '}';
        separator = ", ";
    }
    out << "], \"processes\": [";
    separator = "";
    for (const sim::ProcessRecord& process : machine.processes) {
        out << separator << "{\"kind\": " << json_string(process.kind)
            << ", \"command_line\": " << json_string(process.command_line) << ", \"file\": " << json_string(process.file)
            << ", \"directory\": " << json_string(process.directory) << ", \"show_command\": " << process.show_command
            << ", \"started\": " << (process.started ? "true" : "false") << ", \"error\": " << process.error
            << ", \"exit_code\": " << process.exit_code << '}';
        separator = ", ";
    }
    out << "], \"folders_created\": [";
    separator = "";
    for (const std::string& folder : outcome.folders_created) {
        out << separator << json_string(folder);
        separator = ", ";
    }
    out << "], \"files_written\": [";
    separator = "";
    for (const WrittenFile& file : outcome.files_written) {
        const ReadableText readable =
            file.copy_of.empty() ? readable_text(file.bytes, cp) : ReadableText{"copy", ""};
        out << separator << "{\"path\": " << json_string(file.path) << ", \"copy_of\": " << json_string(file.copy_of)
            << ", \"encoding\": " << json_string(readable.encoding) << ", \"size\": " << file.bytes.size()
            << ", \"text\": " << json_string(readable.text) << '}';
        separator = ", ";
    }
    out << "], \"restart\": " << (machine.restart_requested ? "true" : "false")
        << ", \"device_enumerations\": " << machine.device_enumerations << "}\n";
    return out.str();
}
