// SYS_ on the simulated machine.
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "platform/sim/codepage.h"
#include "platform/sim/machine.h"
#include "platform/sim/short_names.h"
#include "platform/sys.h"

std::string sim::windows_folder()
{
    const Machine& machine = current();
    const auto found = machine.environment.find("SYSTEMROOT");
    return found != machine.environment.end() ? found->second : "C:\\Windows";
}

bool sim::make_windows_folder()
{
    const std::string host = host_path(windows_folder() + "\\System32");
    std::error_code error;
    return !host.empty() && (std::filesystem::create_directories(host, error) || std::filesystem::is_directory(host, error));
}

bool SYS_FormatText(char* buffer, size_t capacity, const char* format, va_list arguments)
{
    const int written = std::vsnprintf(buffer, capacity, format, arguments);
    if (written < 0) buffer[0] = '\0';
    return written >= 0 && static_cast<size_t>(written) < capacity;
}

namespace {

constexpr uint32_t ERR_PRIVILEGE_NOT_HELD = 1314;

// Stand-ins for the handles the program only compares with null.
char kernel32_module;
char mutex_handle;

std::string upper(const char* text)
{
    std::string result(text);
    for (char& c : result) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return result;
}

// Copy into a Windows-style buffer: returns the length copied, or the size
// needed (with terminator) when it does not fit.
uint32_t copy_or_required(const std::string& value, char* buffer, uint32_t capacity)
{
    if (value.size() + 1 > capacity) return static_cast<uint32_t>(value.size() + 1);
    std::memcpy(buffer, value.c_str(), value.size() + 1);
    return static_cast<uint32_t>(value.size());
}

}  // namespace

uint32_t SYS_GetLastError()
{
    return sim::current().last_error;
}

void SYS_SetLastError(uint32_t error)
{
    sim::current().last_error = error;
}

namespace {

// GetShortPathNameW of the program's own path. The machine need not hold the
// program's file (the tests and setup-sim run the program without one): then
// its folder is shortened, and its name is the one NTFS would give it there.
std::string short_module_path(const std::string& unicode_path, uint32_t code_page)
{
    const std::string whole = sim::short_path(unicode_path);
    const size_t separator = unicode_path.find_last_of('\\');
    if (!whole.empty() || separator == std::string::npos) return whole;
    const std::string folder = sim::short_path(unicode_path.substr(0, separator));
    if (folder.empty()) return "";
    const std::u16string name = sim::utf8_to_utf16(unicode_path.substr(separator + 1));
    return folder + (folder.back() == '\\' ? "" : "\\") +
           (sim::is_legal_short_name(name, code_page) ? sim::utf16_to_utf8(name) : sim::generated_short_name(name, 1));
}

}  // namespace

std::string sim::ansi_module_path()
{
    const uint32_t code_page = sim::current_ansi_code_page();
    const std::string& unicode_path = sim::current().module_path;
    const std::u16string path = sim::utf8_to_utf16(unicode_path);
    if (!sim::converts_exactly(path, code_page)) {
        const std::u16string short_form = sim::utf8_to_utf16(short_module_path(unicode_path, code_page));
        if (!short_form.empty() && sim::converts_exactly(short_form, code_page)) {
            return sim::utf16_to_ansi(short_form, code_page);
        }
    }
    return sim::utf16_to_ansi(path, code_page);
}

uint32_t SYS_GetModuleFileName(ModuleHandle /*module*/, char* buffer, uint32_t capacity)
{
    if (capacity == 0) return 0;
    const std::string path = sim::ansi_module_path();
    if (path.size() < capacity) {
        std::memcpy(buffer, path.c_str(), path.size() + 1);
        return static_cast<uint32_t>(path.size());
    }
    std::memcpy(buffer, path.data(), capacity - 1);
    buffer[capacity - 1] = '\0';
    sim::current().last_error = ERR_INSUFFICIENT_BUFFER;
    return capacity;
}

bool SYS_GetVersion(SYS_OsVersion* version)
{
    sim::Machine& machine = sim::current();
    if (version->size != SYS_OS_VERSION_SIZE) {
        machine.last_error = ERR_INSUFFICIENT_BUFFER;
        return false;
    }
    version->major = machine.major;
    version->minor = machine.minor;
    version->build = machine.build;
    version->platform_id = machine.platform_id;
    std::memset(version->service_pack, 0, sizeof version->service_pack);
    std::strncpy(version->service_pack, machine.service_pack.c_str(), sizeof version->service_pack - 1);
    return true;
}

uint16_t SYS_GetSystemDefaultLangId()
{
    return sim::current().system_language;
}

void SYS_GetLocalTime(SYS_Time* time)
{
    const uint16_t* t = sim::current().local_time;
    *time = SYS_Time{t[0], t[1], t[2], t[3], t[4], t[5], t[6], t[7]};
}

void* SYS_CreateMutex(const char* name, bool /*initially_owned*/)
{
    sim::Machine& machine = sim::current();
    const bool existed = !machine.mutexes.insert(name).second;
    machine.last_error = existed ? ERR_ALREADY_EXISTS : ERR_SUCCESS;
    return &mutex_handle;
}

void* SYS_GetLoadedModule(const char* name)
{
    return upper(name) == "KERNEL32.DLL" ? &kernel32_module : nullptr;
}

bool SYS_HasExport(void* module, const char* name)
{
    return module == &kernel32_module && std::strcmp(name, "GetSystemWow64DirectoryW") == 0 &&
           sim::current().has_wow64_export;
}

uint32_t SYS_GetSystemWow64DirectoryW(uint16_t* buffer, uint32_t capacity)
{
    sim::Machine& machine = sim::current();
    if (!machine.is_64bit) {
        machine.last_error = ERR_CALL_NOT_IMPLEMENTED;
        return 0;
    }
    static const char directory[] = "C:\\Windows\\SysWOW64";
    const uint32_t length = sizeof directory - 1;
    if (capacity <= length) return length + 1;
    for (uint32_t i = 0; i <= length; ++i) buffer[i] = static_cast<uint16_t>(directory[i]);
    return length;
}

uint32_t SYS_GetEnvironmentVariable(const char* name, char* buffer, uint32_t capacity)
{
    sim::Machine& machine = sim::current();
    const auto found = machine.environment.find(upper(name));
    if (found == machine.environment.end()) {
        machine.last_error = 203;  // ERROR_ENVVAR_NOT_FOUND
        return 0;
    }
    return copy_or_required(found->second, buffer, capacity);
}

uint32_t SYS_ExpandEnvironmentStrings(const char* source, char* buffer, uint32_t capacity)
{
    const sim::Machine& machine = sim::current();
    std::string expanded;
    const std::string text(source);
    size_t position = 0;
    while (position < text.size()) {
        const size_t open = text.find('%', position);
        const size_t close = open == std::string::npos ? std::string::npos : text.find('%', open + 1);
        if (close == std::string::npos) {
            expanded += text.substr(position);
            break;
        }
        expanded += text.substr(position, open - position);
        const auto found = machine.environment.find(upper(text.substr(open + 1, close - open - 1).c_str()));
        if (found != machine.environment.end()) {
            expanded += found->second;
            position = close + 1;
        } else {
            // An unknown name stays as written; its closing % may open the next.
            expanded += text.substr(open, close - open);
            position = close;
        }
    }
    const uint32_t required = static_cast<uint32_t>(expanded.size() + 1);
    if (required <= capacity) std::memcpy(buffer, expanded.c_str(), required);
    return required;
}

uint32_t SYS_AnsiToUtf16(const char* text, uint16_t* buffer, uint32_t capacity)
{
    const std::u16string wide = sim::ansi_to_utf16(text, sim::current_ansi_code_page());
    const uint32_t count = static_cast<uint32_t>(wide.size() + 1);
    if (capacity == 0) return count;
    if (capacity < count) {
        sim::current().last_error = ERR_INSUFFICIENT_BUFFER;
        return 0;
    }
    for (uint32_t i = 0; i + 1 < count; ++i) buffer[i] = wide[i];
    buffer[count - 1] = 0;
    return count;
}

uint32_t SYS_Utf16ToAnsi(const uint16_t* text, char* buffer, uint32_t capacity)
{
    std::u16string wide;
    for (const uint16_t* unit = text; *unit != 0; ++unit) wide.push_back(static_cast<char16_t>(*unit));
    const std::string ansi = sim::utf16_to_ansi(wide, sim::current_ansi_code_page());
    const uint32_t count = static_cast<uint32_t>(ansi.size() + 1);
    if (capacity == 0) return count;
    if (capacity < count) {
        sim::current().last_error = ERR_INSUFFICIENT_BUFFER;
        return 0;
    }
    std::memcpy(buffer, ansi.c_str(), count);
    return count;
}

void SYS_RestrictDllSearchToSystem32()
{
    sim::current().dll_search_restricted = true;
}

void SYS_SuppressCriticalErrorBoxes()
{
    sim::current().critical_error_boxes_suppressed = true;
}

bool SYS_EnableShutdownPrivilege()
{
    sim::current().record.shutdown_privilege_enabled = true;
    return true;
}

bool SYS_ExitWindows(uint32_t flags, uint32_t /*reason*/)
{
    sim::Machine& machine = sim::current();
    if (!machine.record.shutdown_privilege_enabled) {
        machine.last_error = ERR_PRIVILEGE_NOT_HELD;
        return false;
    }
    record::request_restart(&machine.record, flags);
    return true;
}
