#include "setup-sim/program_start.h"

#include "platform/command_text.h"
#include "platform/sim/codepage.h"
#include "platform/sim/machine.h"
#include "setup/context.h"
#include "setup/entry.h"

int start_program(const std::string& arguments, std::string* winmain_text)
{
    reset_process_state();
    std::string command_line = "\"" + sim::current().module_path + "\"";
    if (!arguments.empty()) command_line += " " + arguments;
    const std::string ansi = sim::utf16_to_ansi(sim::utf8_to_utf16(command_line), sim::current_ansi_code_page());
    const std::string text = SYS_WinMainCommandText(ansi.c_str());
    if (winmain_text != nullptr) *winmain_text = text;
    return run_setup(nullptr, text.c_str());
}
