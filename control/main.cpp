// lumen_roll.exe: started by a host program with the pipe name and, optionally, an editor.

#include "control/control.hpp"
#include "gui/gui.hpp"

#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    std::vector<std::string> arguments(__argv + 1, __argv + __argc);
    Control::Initialise();
    Control::Main(arguments);
    // The transfer is over; the program lives on until the user has closed the window.
    Gui::Wait_For_End();
    return 0;
}
