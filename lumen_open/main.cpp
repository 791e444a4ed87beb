// lumen_open: opens a place, FILE/LINE/COLUMN as the Lumen_Roll viewer hands it to its editor, in
// the editor the user chose, at that line and column. A GUI program, so that no console window
// appears when the viewer starts it; its failures show in message boxes. --set, --show and
// --help print to the console they were started from.

#include "support/failure.hpp"
#include "lumen_open/call.hpp"
#include "lumen_open/editor_start.hpp"
#include "lumen_open/presets.hpp"
#include "lumen_open/settings.hpp"
#include "lumen_open/command_template.hpp"
#include "windows/unicode.hpp"
#include "windows/unique_handle.hpp"
#include "windows/windows.hpp"

#include <windows.h>
#include <objbase.h>

#include <string>
#include <vector>

namespace {

using namespace Open;

enum Exit_Status : int { Done = 0, Bad_Request = 1, Not_Started = 2 };

constexpr const wchar_t* Caption = L"lumen_open";
constexpr const char* Sample_Call = "example.txt/12/5";

std::string Help_Text()
{
    std::string text =
        "Usage: lumen_open FILE/LINE/COLUMN\n"
        "       lumen_open --set PRESET | TEMPLATE\n"
        "       lumen_open --show\n"
        "\n"
        "Opens FILE at LINE and COLUMN in your editor. Give lumen_open.exe to the Lumen_Roll viewer as its\n"
        "editor (lumen_send --open-with does that): it turns the viewer's call into the editor's own.\n"
        "A call that ends in /LINE/COLUMN is always a place, even one that starts like an option.\n"
        "\n"
        "The editor is the first that is set of: the environment variable LUMEN_ROLL_EDITOR; the value\n"
        "\"Editor\" under HKEY_CURRENT_USER\\Software\\Quillmark\\Lumen_Roll; the same under\n"
        "HKEY_LOCAL_MACHINE. Without one, the file opens at its top with its type's \"edit\" when that\n"
        "names an .exe, else in the system's text editor; never with its type's \"open\", which would\n"
        "run a script. Only files on this computer's drives are opened.\n"
        "\n"
        "A setting is a preset or a command template. Presets (found beside lumen_open, in PATH's\n"
        "folders or where the editor installs itself; never in the current folder) and the arguments\n"
        "they run with:\n";
    for (const Presets::Preset& preset : Presets::All())
        text += "  " + std::string(preset.Name) + std::string(12 - preset.Name.size(), ' ') +
                std::string(preset.Programs.front().Arguments) + "\n";
    return text +
           "A template is a command line whose first word is the program (a full path, or a bare name looked\n"
           "for beside lumen_open and in PATH's folders), with {file} (the absolute path,\n"
           "quoted when it holds a blank and not already in quotes), {line} and {column}:\n"
           "  lumen_open --set \"C:\\Tools\\ed.exe --goto {file}:{line}:{column}\"\n"
           "  lumen_open --set \"C:\\Program Files\\Ed\\ed.exe\" -n{line} {file}\n"
           "Several arguments after --set are joined with blanks, each one with a blank in quotes.\n"
           "\n"
           "  --set     store the setting for the current user, then show it\n"
           "  --show    print the setting in force, where it comes from, and what it runs for a sample\n"
           "  --help    this text\n"
           "Exit status: 0 done, 1 bad command line, 2 the editor could not be found or started.\n";
}

void Show_Message(const std::string& text, UINT icon = MB_ICONERROR)
{
    MessageBoxW(nullptr, Windows::Unicode::Wide(text).c_str(), Caption, MB_OK | icon | MB_SETFOREGROUND);
}

// A console shows the UTF-16 text whole; a pipe or a file gets the ANSI code page's text, as the
// other programs of a script expect.
void Write_All(HANDLE output, const std::string& text)
{
    DWORD written = 0;
    DWORD mode = 0;
    if (GetConsoleMode(output, &mode)) {
        const std::wstring wide = Windows::Unicode::Wide(text);
        WriteConsoleW(output, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
        return;
    }
    const std::string ansi = Windows::Unicode::Ansi_From_Utf8(text);
    WriteFile(output, ansi.data(), static_cast<DWORD>(ansi.size()), &written, nullptr);
}

std::string With_Windows_Line_Ends(const std::string& text)
{
    std::string converted;
    for (char character : text) converted += character == '\n' ? std::string("\r\n") : std::string(1, character);
    return converted;
}

// A GUI program has standard output only when its starter gave it one (a pipe, a file);
// otherwise the text goes to the console of the program that started it, or, without one, into
// a message box.
void Print(const std::string& text)
{
    const std::string output = With_Windows_Line_Ends(text);
    const HANDLE standard_output = GetStdHandle(STD_OUTPUT_HANDLE); // borrowed, not ours to close
    if (standard_output != nullptr && standard_output != INVALID_HANDLE_VALUE) return Write_All(standard_output, output);
    if (AttachConsole(ATTACH_PARENT_PROCESS)) {
        Windows::Unique_File console{CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                                                 OPEN_EXISTING, 0, nullptr)};
        if (console) return Write_All(console.get(), output);
    }
    Show_Message(text, MB_ICONINFORMATION);
}

std::string Place_Image(const Call::Place& place)
{
    return place.File + "/" + std::to_string(place.Line) + "/" + std::to_string(place.Column);
}

// What the setting in force runs for a sample place; false when it cannot run anything.
bool Show(std::string& text)
{
    try {
        const Settings::Setting setting = Settings::In_Force();
        const Call::Place sample = Call::Split_Call(Sample_Call);
        const Call::Place place{Call::Local_Path(sample.File), sample.Line, sample.Column};
        text += "Setting:  " + (setting.From == Settings::Source::Nowhere ? "none" : setting.Text) + "\n";
        text += "From:     " + Settings::Source_Image(setting.From) + "\n";
        text += "Example:  " + Place_Image(place) + " runs\n          ";
        if (setting.From == Settings::Source::Nowhere)
            text += "its type's \"edit\" when that names an .exe, else\n          " +
                    Editor::Text_Editor_Command(place.File).Line + " (no line, no column)\n";
        else
            text += Editor::Process_Start_Of(Editor::Command_For(setting.Text, place)).Line + "\n";
        return true;
    } catch (const Failures::Named_Failure& failure) {
        text += "nothing: " + failure.Information() + "\n";
        return false;
    }
}

int Show_Setting()
{
    std::string text;
    const bool runs = Show(text);
    Print(text);
    return runs ? Done : Not_Started;
}

// One argument is the setting as written; several are joined, each with a blank quoted, so that
// --set "C:\Program Files\Ed\ed.exe" -n{line} {file} works as typed.
std::string Joined_Setting(const std::vector<std::string>& arguments)
{
    if (arguments.size() == 1) return arguments.front();
    std::string joined;
    for (const std::string& argument : arguments)
        joined += (joined.empty() ? "" : " ") + Templates::Program_Word(argument);
    return joined;
}

int Set_Setting(const std::vector<std::string>& arguments)
{
    const std::string setting = arguments.empty() ? std::string() : Joined_Setting(arguments);
    try {
        if (!Presets::Find(setting)) Templates::Parse_Template(setting);
        Settings::Store(setting);
    } catch (const Failures::Named_Failure& failure) {
        Print("lumen_open: \"" + setting + "\" is neither a preset nor a usable template: " + failure.Information() +
              "\n(see lumen_open --help)\n");
        return Bad_Request;
    }
    std::string text = "Stored for the current user.\n";
    const bool runs = Show(text);
    if (Settings::In_Force().From != Settings::Source::Current_User)
        text += "Note: the setting above comes first here, so the stored one is not in force.\n";
    Print(text);
    return runs ? Done : Not_Started;
}

// ShellExecuteEx may hand the file to a handler that needs COM.
class Com_Apartment {
public:
    Com_Apartment() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
    ~Com_Apartment()
    {
        if (SUCCEEDED(result_)) CoUninitialize();
    }
    Com_Apartment(const Com_Apartment&) = delete;
    Com_Apartment& operator=(const Com_Apartment&) = delete;

private:
    HRESULT result_;
};

void Open(const Call::Place& place, const Settings::Setting& setting)
{
    if (setting.From != Settings::Source::Nowhere) return Editor::Start(Editor::Command_For(setting.Text, place));
    Com_Apartment apartment;
    Editor::Open_Without_Editor(place.File);
}

std::string Setting_Note(const Settings::Setting& setting)
{
    if (setting.From == Settings::Source::Nowhere) return {};
    return "\n\nThe editor setting is \"" + setting.Text + "\", from " + Settings::Source_Image(setting.From) + ".";
}

int Open_Place(std::string_view arguments)
{
    Call::Place place;
    try {
        place = Call::Split_Call(arguments);
    } catch (const Call::BAD_CALL& failure) {
        Show_Message("lumen_open was called with\n\n    " + std::string(arguments) +
                     "\n\nbut it expects FILE/LINE/COLUMN, as in C:\\src\\main.c/12/5: " + failure.Message() +
                     ".\nNothing was opened. (" + failure.Name() + ")");
        return Bad_Request;
    }
    Settings::Setting setting;
    try {
        place.File = Call::Local_Path(place.File);
        setting = Settings::In_Force();
        Open(place, setting);
        return Done;
    } catch (...) {
        Show_Message("Cannot open " + Place_Image(place) + ":\n\n" + Failures::Current_Description() + Setting_Note(setting));
        return Not_Started;
    }
}

// The viewer's call comes first: a file found by a search may be named like an option
// ("--set x", "-h a.c"), and must still open as the file it is.
int Run(const std::vector<std::string>& arguments)
{
    const std::string command_line = Windows::Raw_Command_Line();
    const std::string_view raw_arguments = Call::Arguments_Of(command_line);
    if (Call::Is_Place_Call(raw_arguments)) return Open_Place(raw_arguments);
    const std::string first = arguments.empty() ? std::string() : arguments.front();
    if (first == "--help" || first == "-h" || first == "/?") {
        Print(Help_Text());
        return Done;
    }
    if (first == "--show" && arguments.size() == 1) return Show_Setting();
    if (first == "--set") return Set_Setting(std::vector<std::string>(arguments.begin() + 1, arguments.end()));
    return Open_Place(raw_arguments);
}

} // namespace

int main()
{
    try {
        return Run(Windows::Program_Arguments());
    } catch (...) {
        Show_Message(Failures::Current_Description());
        return Not_Started;
    }
}
