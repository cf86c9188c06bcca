#include "setup/messages.h"

#include <cstdarg>

#include "platform/ui.h"
#include "common/bounded_string.h"

namespace {

constexpr size_t NOTICE_CAPACITY = 1024;
constexpr int TABLE_TEXT_CAPACITY = 260;
constexpr uint32_t RTL_FLAGS = UI_MB_RIGHT | UI_MB_RTLREADING;

uint32_t with_rtl(uint32_t style)
{
    return g_process.rtl_language == 1 ? style | RTL_FLAGS : style;
}

}  // namespace

void ShowNoticeMsg(uint32_t level, const char* format, ...)
{
    if (level > 4) return;
    char text[NOTICE_CAPACITY];
    va_list arguments;
    va_start(arguments, format);
    bounded_vprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    UI_MessageBox(text, "SETUP: ", UI_MB_OK);
}

void ShowErrorMsg(ModuleHandle instance, uint32_t text_id, uint32_t caption_id, uint32_t code)
{
    char text[TABLE_TEXT_CAPACITY];
    char caption[TABLE_TEXT_CAPACITY];
    UI_LoadString(instance, text_id, text, sizeof text);
    if (code != 0) {
        char suffix[TABLE_TEXT_CAPACITY];
        bounded_printf(suffix, sizeof suffix, " [%X]", code);
        bounded_append(text, sizeof text, suffix);
    }
    UI_LoadString(instance, caption_id, caption, sizeof caption);
    UI_MessageBox(text, caption, with_rtl(UI_MB_OK | UI_MB_ICONINFORMATION));
}

int ShowYesNoMsg(ModuleHandle instance, uint32_t text_id, uint32_t caption_id, uint32_t extra_flags)
{
    char text[TABLE_TEXT_CAPACITY];
    char caption[TABLE_TEXT_CAPACITY];
    UI_LoadString(instance, text_id, text, sizeof text);
    UI_LoadString(instance, caption_id, caption, sizeof caption);
    return UI_MessageBox(text, caption, with_rtl(UI_MB_YESNO | UI_MB_ICONQUESTION) | extra_flags);
}

void build_help_text(const SetupContext* context, char* text, size_t capacity)
{
    static const char* const always[] = {
        "Setup.exe: Installs driver packages by calling the DPInst.exe.",
        "\n\n",
        "/?\n", "Show this help.\n", "\tUsage: Setup.exe /?\n",
        "/s\n", "Execute the update package silently without user intervention.\n",
        "\tUsage: Setup.exe /s\n",
    };
    static const char* const extract_all[] = {
        "/extract_all\n",
        "Extract all of the contents of the driver package to a specified folder path.\n",
        "\tUsage: Setup.exe /extract_all:<path>\n",
    };
    static const char* const properties[] = {
        "/v\n", "Public properties option.\n", "\n",
        "'EXTRACTDRIVERS'\n",
        "Extract all of the contents of the driver package to a specified folder path. "
        "It is possible to use the 'LOGFILE' message.\n",
        "\tUsage: Setup.exe /vEXTRACTDRIVERS=<path>\n",
        "'LOGFILE'\n",
        "Append installation log to a specified log file. Identical log shall still be written "
        "to the default log file.\n",
        "\tUsage: Setup.exe /vLOGFILE=<file>\n",
        "'DEBUG'\n",
        "Report all information necessary to enable service and support to root cause an error. "
        "It shall be written to the runtime log file and user specified log file if using "
        "'LOGFILE' message.\n",
        "\tUsage: Setup.exe /vDEBUG=true\n",
        "'FORCE'\n",
        "Force a downgrade to an older version only if the driver package supports the downgrade.\n",
        "\tUsage: Setup.exe /vFORCE=true", "\n",
        "'FRESHINSTALL'\n", "Perform a fresh installation of the product.\n",
        "\tUsage: Setup.exe /vFRESHINSTALL=true\n",
        "'FORCERESTART'\n",
        "Reboot the system if necessary after the update. If the device requires reboot for the "
        "update, this property becomes mandatory.\n",
        "\tUsage: Setup.exe /vFORCERESTART=true\n",
    };

    bounded_copy(text, capacity, "");
    for (const char* piece : always) bounded_append(text, capacity, piece);
    // These gates differ from the ones under which the options are accepted;
    // the help has always listed them this way.
    if ((context->support_flags & SUPPORT_PROPERTIES) != 0 || context->major_version != 1) {
        for (const char* piece : extract_all) bounded_append(text, capacity, piece);
    }
    if ((context->support_flags & SUPPORT_EXTRACT_ALL) != 0 || context->major_version != 1) {
        for (const char* piece : properties) bounded_append(text, capacity, piece);
    }
}

void ShowHelpMsg(ModuleHandle /*instance*/, const SetupContext* context)
{
    char text[HELP_TEXT_CAPACITY];
    char caption[TABLE_TEXT_CAPACITY];
    build_help_text(context, text, sizeof text);
    bounded_copy(caption, sizeof caption, "Help");
    UI_MessageBox(text, caption, UI_MB_OK | UI_MB_ICONINFORMATION);
}
