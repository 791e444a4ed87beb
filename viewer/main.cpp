// lumen_roll.exe: started by a host program with the pipe name and, optionally, an editor. Its
// exit codes are Control::Exit_Code's.

#include "viewer/control.hpp"
#include "gui/gui.hpp"
#include "windows/windows.hpp"

#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    // An editor's path may hold characters that the ANSI code page lacks: the arguments come from
    // the wide command line, in UTF-8.
    const std::vector<std::string> arguments = Windows::Program_Arguments();
    Control::Initialise();
    const Control::Exit_Code exit_code = Control::Main(arguments);
    // The transfer is over; the program lives on until the window has closed. The code was decided
    // on this thread before, so no framework thread can race with it.
    Gui::Wait_For_End();
    return static_cast<int>(exit_code);
}
