// A GUI program that ends at once with exit code 0: what starting any program
// under Wine through the runner costs, against which Setup.exe is measured.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    return 0;
}
