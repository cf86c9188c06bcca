#include "log/update_package_log.h"

#include <cstring>

#include "common/bounded_string.h"
#include "log/directory_path.h"
#include "log/file_append.h"
#include "log/log_paths.h"
#include "platform/file.h"
#include "platform/mem.h"
#include "setup/run_mode.h"

namespace {

// Two exact engine exit codes (failure bit, no package or one package
// installed) that the update tool wants reported as Windows installer codes of
// their own: 1602 (ERROR_INSTALL_USEREXIT) and 1604 (ERROR_INSTALL_SUSPEND).
constexpr struct {
    uint32_t engine_exit_code;
    int reported;
} REPORTED_ENGINE_CODES[] = {{0x80000000, 1602}, {0x80000001, 1604}};

// Room for the longest formatted line: a date, or "Exit code = " and an int.
constexpr uint32_t LINE_CAPACITY = 64;

void append_time(char* text, const SYS_Time& time)
{
    char line[LINE_CAPACITY];
    bounded_printf(line, sizeof line, "%u-%u-%u %u:%u:%u\r\n", time.year, time.month, time.day, time.hour,
                   time.minute, time.second);
    bounded_append(text, LOG_TEXT_CAPACITY, line);
}

void append_line(char* text, const char* label, const char* value)
{
    bounded_append(text, LOG_TEXT_CAPACITY, label);
    bounded_append(text, LOG_TEXT_CAPACITY, value);
    bounded_append(text, LOG_TEXT_CAPACITY, "\r\n");
}

// The header as UTF-16LE after its byte-order mark, without the terminator.
// The ANSI code page gives both the count and the conversion, so a
// non-ASCII path reads back as the program had it.
void write_log_header(FILE_Handle file, ModuleHandle instance, const char* received_command_line,
                      SYS_Time start_time, int result)
{
    static const uint8_t BYTE_ORDER_MARK[] = {0xFF, 0xFE};
    FILE_Write(file, BYTE_ORDER_MARK, sizeof BYTE_ORDER_MARK);

    char text[LOG_TEXT_CAPACITY];
    BuildLogHeader(instance, text, received_command_line, start_time, result);
    const uint32_t units = SYS_AnsiToUtf16(text, nullptr, 0);  // terminator included
    if (units == 0) return;
    // Without the memory for the conversion the log keeps only its mark.
    auto* wide = static_cast<uint16_t*>(MEM_Alloc((units + 1) * sizeof(uint16_t)));
    if (wide == nullptr) return;
    if (SYS_AnsiToUtf16(text, wide, units) == units) FILE_Write(file, wide, 2 * units - 2);
    MEM_Free(wide);
}

void write_response_report(FILE_Handle file, int result)
{
    char text[LOG_TEXT_CAPACITY];
    BuildResponseReport(text, result);
    FILE_Write(file, text, static_cast<uint32_t>(std::strlen(text)));
}

}  // namespace

void WriteUpdatePackageLog(ModuleHandle instance, const char* received_command_line, int result,
                           SYS_Time start_time, const SetupContext* context)
{
    const bool log_wanted = (context->support_flags & SUPPORT_LOG) != 0;
    if (g_process.log_requested == 0 && !(log_wanted && (is_silent_mode() || g_process.extract_drivers != 0))) {
        return;
    }

    const bool response_report = std::strstr(received_command_line, "/f2") != nullptr;
    char path[PATH_CAPACITY];
    if (response_report) {
        bounded_copy(path, sizeof path, g_process.log_file);
    } else {
        expanded_path("%SYSTEMROOT%", "\\Rire\\UpdatePackage\\log\\Setup.log", path);
    }
    CreateDirectoryPath(path);
    FILE_Handle file = FILE_CreateForWrite(path);
    if (file != nullptr) {
        if (response_report) write_response_report(file, result);
        else write_log_header(file, instance, received_command_line, start_time, result);
        FILE_Close(file);
    }

    if (g_process.debug != 0) {
        char engine_log[PATH_CAPACITY];
        engine_log_path(engine_log);
        append_file(path, engine_log);
    }
    // In an "/f2" run the record already is the user's file.
    if (g_process.log_file[0] != '\0' && std::strcmp(path, g_process.log_file) != 0) {
        CreateDirectoryPath(g_process.log_file);
        FILE_CopyFile(path, g_process.log_file);
    }
}

void BuildLogHeader(ModuleHandle instance, char* text, const char* received_command_line, SYS_Time start_time,
                    int result)
{
    text[0] = '\0';
    append_line(text, "===============> Update Package application started <===============", "");

    char program_path[PATH_CAPACITY] = "";
    SYS_GetModuleFileName(instance, program_path, sizeof program_path);
    bounded_append(text, LOG_TEXT_CAPACITY, "Command:");
    bounded_append(text, LOG_TEXT_CAPACITY, program_path);
    append_line(text, " ", received_command_line);

    bounded_append(text, LOG_TEXT_CAPACITY, "Date:");
    append_time(text, start_time);
    append_line(text, "============================================================", "");
    append_line(text, "  Installed version:", g_process.installed_version);
    append_line(text, "  Package version:", g_process.package_version);
    if (result == REBOOT_REQUIRED) append_line(text, "Update ready to be applied at reboot", "");

    char line[LINE_CAPACITY];
    bounded_printf(line, sizeof line, "Exit code = %d\r\n", result);
    bounded_append(text, LOG_TEXT_CAPACITY, line);

    SYS_Time now{};
    SYS_GetLocalTime(&now);
    append_time(text, now);

    if (g_process.debug == 1) {
        append_line(text, "", "");
        append_line(text, "================> Report Information for Debugging <================", "");
    }
}

void BuildResponseReport(char* text, int result)
{
    for (const auto& code : REPORTED_ENGINE_CODES) {
        if (g_process.dpinst_return_code == code.engine_exit_code) g_process.result_code_override = code.reported;
    }
    const int reported = g_process.result_code_override != 0 ? g_process.result_code_override : result;

    char line[LINE_CAPACITY];
    text[0] = '\0';
    append_line(text, "[ResponseResult]", "");
    bounded_printf(line, sizeof line, "ResultCode=%d\r\n", reported);
    bounded_append(text, LOG_TEXT_CAPACITY, line);
    append_line(text, "[DPInst]", "");
    bounded_printf(line, sizeof line, "DpinstReturnCode=0x%.8x\r\n", g_process.dpinst_return_code);
    bounded_append(text, LOG_TEXT_CAPACITY, line);
    append_line(text, "SetupDriverVersion=", g_process.package_version);
}
