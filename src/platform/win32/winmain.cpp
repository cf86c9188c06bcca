// The real program's entry point: a thin stub over the program's logic.
#include <windows.h>

#include "setup/entry.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR command_text, int /*show*/)
{
    return run_setup(instance, command_text != nullptr ? command_text : "");
}
