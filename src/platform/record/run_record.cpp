#include "platform/record/run_record.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <utility>

#include "platform/types.h"
#include "platform/ui.h"

namespace record {

namespace {

struct ButtonName {
    int id;
    const char* name;
};

constexpr ButtonName BUTTON_NAMES[] = {
    {UI_IDOK, "OK"}, {UI_IDCANCEL, "Cancel"}, {3, "Abort"},     {4, "Retry"},       {5, "Ignore"},
    {UI_IDYES, "Yes"}, {UI_IDNO, "No"},       {10, "TryAgain"}, {11, "Continue"},
};

// A box's buttons, left to right, by the button part of its style (0: none
// there); a style beyond the known ones shows an OK box.
const int* buttons_of(uint32_t style)
{
    constexpr uint32_t BUTTON_MASK = 0xF;
    static const int buttons[][3] = {
        {UI_IDOK, 0, 0},                   // MB_OK
        {UI_IDOK, UI_IDCANCEL, 0},         // MB_OKCANCEL
        {3, 4, 5},                         // MB_ABORTRETRYIGNORE
        {UI_IDYES, UI_IDNO, UI_IDCANCEL},  // MB_YESNOCANCEL
        {UI_IDYES, UI_IDNO, 0},            // MB_YESNO
        {4, UI_IDCANCEL, 0},               // MB_RETRYCANCEL
        {UI_IDCANCEL, 10, 11},             // MB_CANCELTRYCONTINUE
    };
    const uint32_t kind = style & BUTTON_MASK;
    return buttons[kind < sizeof buttons / sizeof buttons[0] ? kind : 0];
}

// An item taken out of its kind's list with its event; the events of the
// items after it move up with them.
template <typename Item>
void remove_item(RunRecord* run, std::vector<Item>* items, EventKind kind, size_t index)
{
    if (index >= items->size()) return;
    items->erase(items->begin() + static_cast<std::ptrdiff_t>(index));
    std::erase(run->events, Event{kind, index});
    for (Event& event : run->events) {
        if (event.kind == kind && event.index > index) --event.index;
    }
}

template <typename Item>
Item& add_item(RunRecord* run, std::vector<Item>* items, EventKind kind, const Item& item)
{
    run->events.push_back({kind, items->size()});
    items->push_back(item);
    return items->back();
}

}  // namespace

const char* event_kind_name(EventKind kind)
{
    switch (kind) {
    case EventKind::Box: return "box";
    case EventKind::Process: return "process";
    case EventKind::Folder: return "folder";
    case EventKind::File: return "file";
    case EventKind::Deleted: return "deleted";
    case EventKind::Reason: return "reason";
    case EventKind::Restart: return "restart";
    }
    return "";
}

Box& add_box(RunRecord* run, const Box& box)
{
    return add_item(run, &run->boxes, EventKind::Box, box);
}

Process& add_process(RunRecord* run, const Process& process)
{
    return add_item(run, &run->processes, EventKind::Process, process);
}

void add_folder(RunRecord* run, const std::string& path)
{
    add_item(run, &run->folders_created, EventKind::Folder, path);
}

WrittenFile& add_written_file(RunRecord* run, const WrittenFile& file)
{
    return add_item(run, &run->files_written, EventKind::File, file);
}

void add_deleted_file(RunRecord* run, const std::string& path)
{
    add_item(run, &run->files_deleted, EventKind::Deleted, path);
}

void add_reason(RunRecord* run, const std::string& reason)
{
    add_item(run, &run->reasons, EventKind::Reason, reason);
}

void request_restart(RunRecord* run, uint32_t flags)
{
    if (!run->restart_requested) run->events.push_back({EventKind::Restart, 0});
    run->restart_requested = true;
    run->restart_flags = flags;
}

void remove_written_file(RunRecord* run, size_t index)
{
    remove_item(run, &run->files_written, EventKind::File, index);
}

void remove_deleted_file(RunRecord* run, size_t index)
{
    remove_item(run, &run->files_deleted, EventKind::Deleted, index);
}

void clear_boxes(RunRecord* run)
{
    run->boxes.clear();
    std::erase_if(run->events, [](const Event& event) { return event.kind == EventKind::Box; });
}

void place_last_events(RunRecord* run, const std::vector<size_t>& positions)
{
    std::vector<Event>& events = run->events;
    if (positions.size() > events.size()) return;
    const size_t others = events.size() - positions.size();
    // A pass over the moved events for each place (no sort: its buffer
    // would pull the runtime's exception reporting into SetupCheck.exe).
    std::vector<Event> placed;
    placed.reserve(events.size());
    for (size_t at = 0; at <= others; ++at) {
        for (size_t moved = 0; moved < positions.size(); ++moved) {
            if (positions[moved] == at || (at == others && positions[moved] > others)) {
                placed.push_back(events[others + moved]);
            }
        }
        if (at < others) placed.push_back(events[at]);
    }
    events = std::move(placed);
}

int default_button(uint32_t style)
{
    constexpr uint32_t DEFAULT_BUTTON_MASK = 0xF00;
    const int* buttons = buttons_of(style);
    const uint32_t chosen = (style & DEFAULT_BUTTON_MASK) >> 8;
    const int answer = chosen < 3 ? buttons[chosen] : 0;
    return answer != 0 ? answer : buttons[0];
}

const char* button_name(int id)
{
    for (const ButtonName& button : BUTTON_NAMES) {
        if (button.id == id) return button.name;
    }
    return nullptr;
}

int button_id(const std::string& name)
{
    for (const ButtonName& button : BUTTON_NAMES) {
        if (name.size() == std::strlen(button.name) &&
            std::equal(name.begin(), name.end(), button.name, [](char a, char b) {
                return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
            })) {
            return button.id;
        }
    }
    return 0;
}

bool parse_number(const std::string& text, uint32_t* value)
{
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const size_t first = hex ? 2 : 0;
    if (text.size() <= first || text.size() - first > (hex ? 8u : 10u)) return false;
    uint64_t number = 0;
    for (size_t i = first; i < text.size(); ++i) {
        const char c = text[i];
        int digit = -1;
        if (c >= '0' && c <= '9') digit = c - '0';
        else if (hex && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        if (digit < 0) return false;
        number = number * (hex ? 16 : 10) + static_cast<uint64_t>(digit);
    }
    if (number > 0xFFFFFFFFull) return false;
    *value = static_cast<uint32_t>(number);
    return true;
}

int parse_answer(const std::string& word)
{
    const int button = button_id(word);
    if (button != 0) return button;
    uint32_t number = 0;
    return parse_number(word, &number) && number > 0 && number < 100 ? static_cast<int>(number) : 0;
}

bool parse_answers(const std::string& list, std::vector<int>* answers, std::string* bad_word)
{
    if (list.empty()) return true;
    size_t start = 0;
    while (start <= list.size()) {
        const size_t comma = std::min(list.find(',', start), list.size());
        const std::string word = list.substr(start, comma - start);
        const int answer = parse_answer(word);
        if (answer == 0) {
            *bad_word = word;
            return false;
        }
        answers->push_back(answer);
        start = comma + 1;
    }
    return true;
}

void answer_box(Box* box, int answer)
{
    const int* buttons = buttons_of(box->style);
    const bool present = answer != 0 && (buttons[0] == answer || buttons[1] == answer || buttons[2] == answer);
    box->answer = present ? answer : default_button(box->style);
    box->error.clear();
    if (answer != 0 && !present) {
        const char* name = button_name(answer);
        box->error = name != nullptr ? std::string("the box has no ") + name + " button"
                                     : "the box has no button " + std::to_string(answer);
    }
}

std::string program_of(const std::string& command_line)
{
    if (!command_line.empty() && command_line[0] == '"') {
        const size_t close = command_line.find('"', 1);
        return command_line.substr(1, close == std::string::npos ? std::string::npos : close - 1);
    }
    return command_line.substr(0, command_line.find_first_of(" \t"));
}

Process create_process(const char* command_line)
{
    Process process;
    process.kind = "create";
    process.command_line = command_line;
    process.file = program_of(process.command_line);
    return process;
}

Process shell_process(const char* file, const char* parameters, const char* directory, int show_command,
                      bool no_error_ui)
{
    Process process;
    process.kind = "shell";
    process.command_line = std::string(file) + (parameters != nullptr ? parameters : "");
    process.directory = directory != nullptr ? directory : "";
    process.show_command = show_command;
    process.no_error_ui = no_error_ui;
    const bool relative = std::strchr(file, ':') == nullptr && file[0] != '\\';
    process.file = relative && !process.directory.empty() ? process.directory + "\\" + file : file;
    return process;
}

uint32_t shell_start_error(uint32_t open_error)
{
    return open_error == ERR_PATH_NOT_FOUND ? ERR_FILE_NOT_FOUND : open_error;
}

bool shell_error_box(const Process& failed_start, const char* file, Box* box)
{
    constexpr uint32_t MB_ICONERROR = 0x10;
    if (failed_start.no_error_ui) return false;
    std::string text;
    if (failed_start.error == ERR_FILE_NOT_FOUND) {
        text = std::string("Windows cannot find '") + file +
               "'. Make sure you typed the name correctly, and then try again.";
    } else if (failed_start.error == ERR_BAD_EXE_FORMAT) {
        // The system's text for the error with the file put in.
        text = std::string(file) + " is not a valid Win32 application.";
    } else {
        return false;
    }
    *box = Box{};
    box->caption = file;
    box->text = text;
    box->style = UI_MB_OK | MB_ICONERROR;
    box->shown_by_shell = true;
    return true;
}

}  // namespace record
