// Plain string building, no streams or printf: SetupCheck.exe links this too
// and stays small.
#include "transcript/transcript.h"

#include <algorithm>
#include <vector>

#include "platform/sys.h"
#include "setup/engine.h"

namespace {

// A file's content as a person reads it, in UTF-8, and how it was stored:
// "UTF-16LE" (after an FF FE byte-order mark), "ANSI" (the machine's code
// page), or "binary" (NUL bytes outside UTF-16; no text then). A UTF-16 log
// that DEBUG extended with the engine's own log has the engine's part in
// ANSI after the debugging banner: "UTF-16LE+ANSI", each part decoded as
// written.
struct ReadableText {
    std::string encoding;
    std::string text;
};

std::string hex(uint32_t value, int digits)
{
    std::string text = "0x";
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) text += "0123456789ABCDEF"[(value >> shift) & 0xF];
    return text;
}

const char* button_name(int answer)
{
    const char* name = record::button_name(answer);
    return name != nullptr ? name : "?";
}

}  // namespace

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

namespace {


const char* json_bool(bool value)
{
    return value ? "true" : "false";
}

void append_utf8(std::string* out, uint32_t code_point)
{
    if (code_point < 0x80) {
        *out += static_cast<char>(code_point);
    } else if (code_point < 0x800) {
        *out += static_cast<char>(0xC0 | (code_point >> 6));
        *out += static_cast<char>(0x80 | (code_point & 0x3F));
    } else if (code_point < 0x10000) {
        *out += static_cast<char>(0xE0 | (code_point >> 12));
        *out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
        *out += static_cast<char>(0x80 | (code_point & 0x3F));
    } else {
        *out += static_cast<char>(0xF0 | (code_point >> 18));
        *out += static_cast<char>(0x80 | ((code_point >> 12) & 0x3F));
        *out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
        *out += static_cast<char>(0x80 | (code_point & 0x3F));
    }
}

// UTF-16 as UTF-8; an unpaired surrogate becomes U+FFFD.
std::string utf8_of(const uint16_t* units, size_t count)
{
    std::string out;
    for (size_t i = 0; i < count; ++i) {
        const uint32_t unit = units[i];
        if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < count && units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000) {
            append_utf8(&out, 0x10000 + ((unit - 0xD800) << 10) + (units[i + 1] - 0xDC00));
            ++i;
        } else if (unit >= 0xD800 && unit < 0xE000) {
            append_utf8(&out, 0xFFFD);
        } else {
            append_utf8(&out, unit);
        }
    }
    return out;
}

// ANSI text as the machine's "A" functions read it (up to a NUL byte).
std::string utf8_of_ansi(const std::string& ansi)
{
    const uint32_t count = SYS_AnsiToUtf16(ansi.c_str(), nullptr, 0);
    if (count <= 1) return "";
    std::vector<uint16_t> wide(count);
    if (SYS_AnsiToUtf16(ansi.c_str(), wide.data(), count) != count) return "";
    return utf8_of(wide.data(), count - 1);
}

// The UTF-16LE units of bytes (a last odd byte is dropped).
std::vector<uint16_t> utf16le_units(const std::string& bytes, size_t from)
{
    std::vector<uint16_t> units;
    for (size_t i = from; i + 1 < bytes.size(); i += 2) {
        units.push_back(static_cast<uint16_t>(static_cast<unsigned char>(bytes[i]) |
                                              (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    }
    return units;
}

ReadableText readable_text(const std::string& bytes)
{
    if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') {
        static const char DEBUG_BANNER[] = "================> Report Information for Debugging <================\r\n";
        const std::vector<uint16_t> units = utf16le_units(bytes, 2);
        const std::vector<uint16_t> banner(DEBUG_BANNER, DEBUG_BANNER + sizeof DEBUG_BANNER - 1);
        size_t at = 0;
        while (at + banner.size() <= units.size() && !std::equal(banner.begin(), banner.end(), units.begin() + at)) {
            ++at;
        }
        const size_t utf16_end = at + banner.size();
        if (utf16_end >= units.size()) return {"UTF-16LE", utf8_of(units.data(), units.size())};
        return {"UTF-16LE+ANSI", utf8_of(units.data(), utf16_end) + utf8_of_ansi(bytes.substr(2 + 2 * utf16_end))};
    }
    if (bytes.find('\0') != std::string::npos) return {"binary", ""};
    return {"ANSI", utf8_of_ansi(bytes)};
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
                out += "\\u00";
                out += "0123456789abcdef"[c >> 4];
                out += "0123456789abcdef"[c & 0xF];
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

namespace {


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
            out += "\\x" + hex(c, 2).substr(2);
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

// The engine is the one process the program starts and reads the exit code of.
bool is_engine_run(const record::Process& process)
{
    return process.kind == "create" && (process.started || process.held_back);
}

// A check run's held-back process, and what the run took it to end with.
std::string held_back_text(const record::Process& process)
{
    if (process.kind != "create") return "held back (check run), taken as started and ended";
    return "held back (check run), taken as ending with exit code " + hex(process.exit_code, 8) +
           (process.exit_code_chosen ? " (chosen with --engine-exit-code)" : " (the default; --engine-exit-code chooses another)");
}

// The engine's exit code in its fields, beside the result the program maps it to.
std::string engine_exit_text(uint32_t exit_code)
{
    const EngineExitFields fields = decode_engine_exit_code(exit_code);
    const int result = map_engine_exit_code(exit_code);
    return std::string("failed ") + (fields.failed ? "yes" : "no") + ", restart needed " +
           (fields.restart_needed ? "yes" : "no") + ", packages installed " + std::to_string(fields.installed) +
           ", only copied to the driver store " + std::to_string(fields.store_only) + " -> result " +
           std::to_string(result) + ' ' + result_name(result);
}

std::string engine_exit_json(uint32_t exit_code)
{
    const EngineExitFields fields = decode_engine_exit_code(exit_code);
    const int result = map_engine_exit_code(exit_code);
    return std::string("{\"failed\": ") + json_bool(fields.failed) +
           ", \"restart_needed\": " + json_bool(fields.restart_needed) +
           ", \"installed\": " + std::to_string(fields.installed) +
           ", \"store_only\": " + std::to_string(fields.store_only) + ", \"result\": " + std::to_string(result) +
           ", \"result_name\": " + json_string(result_name(result)) + '}';
}

// Texts in ANSI (paths the program passed, reasons), as JSON strings.
std::string json_list(const std::vector<std::string>& paths)
{
    std::string out = "[";
    for (const std::string& path : paths) out += (out.size() > 1 ? ", " : "") + json_string(utf8_of_ansi(path));
    return out + "]";
}

// The run's events in order, then one for each item that none names (a
// record filled without the helpers), kind by kind; an event that names no
// item, or one named before, is left out.
std::vector<record::Event> ordered_events(const record::RunRecord& run)
{
    constexpr size_t KINDS = static_cast<size_t>(record::EventKind::Restart) + 1;
    const size_t counts[KINDS] = {run.boxes.size(),         run.processes.size(), run.folders_created.size(),
                                  run.files_written.size(), run.files_deleted.size(), run.reasons.size(),
                                  run.restart_requested ? 1u : 0u};
    std::vector<bool> named[KINDS];
    for (size_t kind = 0; kind < KINDS; ++kind) named[kind].assign(counts[kind], false);
    std::vector<record::Event> events;
    const auto add = [&](record::EventKind kind, size_t index) {
        const size_t k = static_cast<size_t>(kind);
        if (k >= KINDS || index >= counts[k] || named[k][index]) return;
        named[k][index] = true;
        events.push_back({kind, index});
    };
    for (const record::Event& event : run.events) add(event.kind, event.kind == record::EventKind::Restart ? 0 : event.index);
    for (size_t kind = 0; kind < KINDS; ++kind) {
        for (size_t index = 0; index < counts[kind]; ++index) add(static_cast<record::EventKind>(kind), index);
    }
    return events;
}

// The lines of one event; a box and a process numbered in their own lists.
std::string event_text(const record::RunRecord& run, const record::Event& event)
{
    // A check run did none of it: it says what the program would have done.
    const std::string would = run.check_run ? " would be " : " ";
    switch (event.kind) {
    case record::EventKind::Box: {
        const record::Box& box = run.boxes[event.index];
        std::string out = "Box " + std::to_string(event.index + 1) + (box.shown_by_shell ? " (the shell's own)" : "") +
                          ": caption \"" + utf8_of_ansi(box.caption) + "\", style " + hex(box.style, 8) + ", answer " +
                          std::to_string(box.answer) + " (" + button_name(box.answer) + ")\n";
        out += "  text: " + visible(utf8_of_ansi(box.text)) + '\n';
        if (!box.error.empty()) out += "  answer not taken: " + box.error + '\n';
        return out;
    }
    case record::EventKind::Process: {
        const record::Process& process = run.processes[event.index];
        std::string out = "Process " + std::to_string(event.index + 1) + ": " + (process.kind == "shell" ? "shell " : "") +
                          utf8_of_ansi(process.command_line);
        if (!process.directory.empty()) out += " (in " + utf8_of_ansi(process.directory) + ")";
        if (process.started) {
            out += " -> exit code " + hex(process.exit_code, 8) + '\n';
        } else if (process.held_back) {
            out += " -> " + held_back_text(process) + '\n';
        } else {
            out += " -> not started, error " + std::to_string(process.error) + '\n';
        }
        if (is_engine_run(process)) out += "  engine exit code: " + engine_exit_text(process.exit_code) + '\n';
        return out;
    }
    case record::EventKind::Folder:
        return "Folder" + would + "created: " + utf8_of_ansi(run.folders_created[event.index]) + '\n';
    case record::EventKind::File: {
        // What the program wrote itself is shown in full; a copy only by its origin.
        const record::WrittenFile& file = run.files_written[event.index];
        std::string out = "File" + would + "written: " + utf8_of_ansi(file.path);
        if (!file.copy_of.empty()) return out + " (copy of " + utf8_of_ansi(file.copy_of) + ")\n";
        const ReadableText readable = readable_text(file.bytes);
        out += " (" + readable.encoding + ", " + std::to_string(file.size) + " bytes)\n";
        if (!readable.text.empty()) out += indented(readable.text);
        return out;
    }
    case record::EventKind::Deleted:
        return "File" + would + "deleted: " + utf8_of_ansi(run.files_deleted[event.index]) + '\n';
    case record::EventKind::Reason:
        return "Why: " + utf8_of_ansi(run.reasons[event.index]) + '\n';
    case record::EventKind::Restart:
        return std::string("Restart: ") + (run.check_run ? "would be requested" : "requested") + '\n';
    }
    return "";
}

}  // namespace

namespace {

std::string windows_version_text(const record::MachineDescription& machine)
{
    return std::to_string(machine.major) + '.' + std::to_string(machine.minor) + '.' + std::to_string(machine.build);
}

}  // namespace

std::string transcript_text(const record::RunRecord& run)
{
    const record::MachineDescription& machine = run.machine;
    std::string out = "Machine: Windows " + windows_version_text(machine) + (machine.is_64bit ? " x64" : " x86") +
                      ", system language " + hex(machine.system_language, 4) + ", UI language " +
                      hex(machine.ui_language, 4) + ", code page " + std::to_string(machine.code_page) + '\n';
    out += "Program: " + utf8_of_ansi(run.program_path) + '\n';
    out += "Command line: " + utf8_of_ansi(run.command_line) + '\n';
    if (run.check_run) {
        out += "Check run: nothing started, written or changed; boxes answered as --answers says, else with their "
               "default button\n";
    }
    if (run.boxes.empty()) out += "Boxes: none\n";
    if (run.processes.empty()) out += "Processes: none\n";
    if (run.files_written.empty()) out += "Files written: none\n";
    for (const record::Event& event : ordered_events(run)) out += event_text(run, event);
    if (!run.restart_requested) out += "Restart: no\n";
    if (run.ended_at_once) out += "Ended at once, without the end of run\n";
    out += "Result: " + std::to_string(run.result) + ' ' + result_name(run.result) + '\n';
    out += "Exit code: " + std::to_string(run.exit_code) + '\n';
    return out;
}

std::string transcript_json(const record::RunRecord& run)
{
    std::string out = "{\"program\": " + json_string(utf8_of_ansi(run.program_path)) +
                      ", \"command_line\": " + json_string(utf8_of_ansi(run.command_line)) +
                      ", \"check_run\": " + json_bool(run.check_run) + ", \"result\": " + std::to_string(run.result) +
                      ", \"result_name\": " + json_string(result_name(run.result)) +
                      ", \"exit_code\": " + std::to_string(run.exit_code) +
                      ", \"ended_at_once\": " + json_bool(run.ended_at_once) + ", \"boxes\": [";
    const char* separator = "";
    for (const record::Box& box : run.boxes) {
        out += separator;
        out += "{\"caption\": " + json_string(utf8_of_ansi(box.caption)) +
               ", \"text\": " + json_string(utf8_of_ansi(box.text)) + ", \"style\": " + std::to_string(box.style) +
               ", \"answer\": " + std::to_string(box.answer) + ", \"error\": " + json_string(box.error) +
               ", \"shown_by_shell\": " + json_bool(box.shown_by_shell) + '}';
        separator = ", ";
    }
    out += "], \"processes\": [";
    separator = "";
    for (const record::Process& process : run.processes) {
        out += separator;
        out += "{\"kind\": " + json_string(process.kind) +
               ", \"command_line\": " + json_string(utf8_of_ansi(process.command_line)) +
               ", \"file\": " + json_string(utf8_of_ansi(process.file)) +
               ", \"directory\": " + json_string(utf8_of_ansi(process.directory)) +
               ", \"show_command\": " + std::to_string(process.show_command) + ", \"started\": " + json_bool(process.started) +
               ", \"held_back\": " + json_bool(process.held_back) +
               ", \"exit_code_chosen\": " + json_bool(process.exit_code_chosen) +
               ", \"error\": " + std::to_string(process.error) +
               ", \"exit_code\": " + std::to_string(process.exit_code) +
               ", \"engine_exit\": " + (is_engine_run(process) ? engine_exit_json(process.exit_code) : "null") + '}';
        separator = ", ";
    }
    out += "], \"folders_created\": " + json_list(run.folders_created) + ", \"files_written\": [";
    separator = "";
    for (const record::WrittenFile& file : run.files_written) {
        const ReadableText readable = file.copy_of.empty() ? readable_text(file.bytes) : ReadableText{"copy", ""};
        out += separator;
        out += "{\"path\": " + json_string(utf8_of_ansi(file.path)) +
               ", \"copy_of\": " + json_string(utf8_of_ansi(file.copy_of)) +
               ", \"encoding\": " + json_string(readable.encoding) + ", \"size\": " + std::to_string(file.size) +
               ", \"text\": " + json_string(readable.text) + '}';
        separator = ", ";
    }
    out += "], \"files_deleted\": " + json_list(run.files_deleted) +
           ", \"reasons\": " + json_list(run.reasons) + ", \"restart\": " + json_bool(run.restart_requested) +
           ", \"machine\": {\"windows_version\": " + json_string(windows_version_text(run.machine)) +
           ", \"architecture\": " + json_string(run.machine.is_64bit ? "x64" : "x86") +
           ", \"system_language\": " + std::to_string(run.machine.system_language) +
           ", \"ui_language\": " + std::to_string(run.machine.ui_language) +
           ", \"code_page\": " + std::to_string(run.machine.code_page) + "}, \"events\": [";
    separator = "";
    for (const record::Event& event : ordered_events(run)) {
        out += separator;
        out += std::string("{\"kind\": \"") + record::event_kind_name(event.kind) + '"';
        if (event.kind != record::EventKind::Restart) out += ", \"index\": " + std::to_string(event.index);
        out += '}';
        separator = ", ";
    }
    return out + "]}\n";
}
