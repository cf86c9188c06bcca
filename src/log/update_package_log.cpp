#include "log/update_package_log.h"

#include "common/bounded_string.h"

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

}  // namespace

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
