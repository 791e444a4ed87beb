// lumen_roll.exe: started by a host program with the pipe name and, optionally, an editor. Its
// exit codes are Control::Exit_Code's.

#include "viewer/control.hpp"
#include "gui/gui.hpp"
#include "windows/unicode.hpp"

#include <windows.h>
#include <shellapi.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

struct Local_Memory_Release {
    void operator()(wchar_t** memory) const noexcept { LocalFree(memory); }
};

// The arguments in UTF-8, read from the wide command line: an editor's path may hold characters
// that the ANSI code page lacks. A program started with an empty command line has no program name
// either, and so no arguments.
std::vector<std::string> Arguments()
{
    std::vector<std::string> arguments;
    const wchar_t* command_line = GetCommandLineW();
    if (!command_line || !*command_line) return arguments;
    int count = 0;
    const std::unique_ptr<wchar_t*, Local_Memory_Release> split(CommandLineToArgvW(command_line, &count));
    for (int index = 1; split && index < count; ++index) arguments.push_back(Windows::Unicode::Utf8(split.get()[index]));
    return arguments;
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    const std::vector<std::string> arguments = Arguments();
    Control::Initialise();
    const Control::Exit_Code exit_code = Control::Main(arguments);
    // The transfer is over; the program lives on until the window has closed. The code was decided
    // on this thread before, so no framework thread can race with it.
    Gui::Wait_For_End();
    return static_cast<int>(exit_code);
}
