#include "tools/lumen_open/editor_start.hpp"

#include "tools/lumen_open/command_template.hpp"
#include "tools/lumen_open/presets.hpp"
#include "windows/unique_handle.hpp"

#include <windows.h>
#include <shellapi.h>

#include <vector>

namespace Open::Editor {

namespace {

bool Ends_With_Letters(std::string_view text, std::string_view ending)
{
    if (text.size() < ending.size()) return false;
    return CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, text.data() + text.size() - ending.size(),
                          static_cast<int>(ending.size()), ending.data(), static_cast<int>(ending.size())) == CSTR_EQUAL;
}

bool Is_Batch_File(std::string_view program) { return Ends_With_Letters(program, ".cmd") || Ends_With_Letters(program, ".bat"); }

Templates::File_Quoting Quoting_For(bool through_command_processor)
{
    return through_command_processor ? Templates::File_Quoting::Always : Templates::File_Quoting::Blanks;
}

// cmd.exe replaces %NAME% with the variable's value even inside quotes, and there is no escape
// for it on a command line; a file name with a "%" would reach the editor changed.
void Check_For_Command_Processor(const Call::Place& place)
{
    if (place.File.find('%') != std::string::npos)
        throw START_FAILURE("the file name holds a \"%\", which cmd.exe would change on its way to the batch file; "
                            "name the editor's .exe instead");
}

Command Preset_Command(const Presets::Preset& preset, const Call::Place& place)
{
    const Presets::Found found = Presets::Locate(preset);
    const bool batch = Is_Batch_File(found.Path);
    if (batch) Check_For_Command_Processor(place);
    return {found.Path, Templates::Program_Word(found.Path) + ' ' + Templates::Expand(found.Arguments, place, Quoting_For(batch)),
            batch};
}

Command Template_Command(std::string_view setting, const Call::Place& place)
{
    const Templates::Template parsed = Templates::Parse_Template(setting);
    const std::optional<std::string> program = Presets::Search_Path(parsed.Program);
    if (!program) throw PROGRAM_NOT_FOUND("the editor program " + parsed.Program + " was not found");
    const bool batch = Is_Batch_File(*program);
    if (batch) Check_For_Command_Processor(place);
    return {*program, parsed.Program_Word + Templates::Expand(parsed.Arguments, place, Quoting_For(batch)), batch};
}

std::string System_Program(const char* name)
{
    char folder[MAX_PATH];
    const UINT length = GetSystemDirectoryA(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        const DWORD error = GetLastError();
        throw START_FAILURE("cannot find the system folder (system error " + std::to_string(error) + ")");
    }
    return std::string(folder, length) + "\\" + name;
}

} // namespace

Command Command_For(std::string_view setting, const Call::Place& place)
{
    if (const Presets::Preset* preset = Presets::Find(setting)) return Preset_Command(*preset, place);
    return Template_Command(setting, place);
}

// "/s" makes cmd.exe take everything between the first and the last quote as the command, so
// the quotes inside stay as they are; "/d" keeps AutoRun commands out.
Process_Start Process_Start_Of(const Command& command)
{
    if (!command.Through_Command_Processor) return {command.Program, command.Line};
    return {System_Program("cmd.exe"), "cmd.exe /d /s /c \"" + command.Line + "\""};
}

void Start(const Command& command)
{
    const Process_Start start = Process_Start_Of(command);
    std::vector<char> line(start.Line.begin(), start.Line.end());
    line.push_back('\0'); // CreateProcessA may write into its command line
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    const DWORD flags = command.Through_Command_Processor ? CREATE_NO_WINDOW : 0;
    if (!CreateProcessA(start.Program.c_str(), line.data(), nullptr, nullptr, FALSE, flags, nullptr, nullptr, &startup,
                        &started)) {
        const DWORD error = GetLastError();
        throw START_FAILURE("cannot start " + start.Program + " (system error " + std::to_string(error) + ")");
    }
    // The editor runs on its own; nothing of it is kept.
    Windows::Unique_Process_Information editor(started);
}

// The process ends right after this call, so the shell must finish its work within it
// (SEE_MASK_NOASYNC); its own error box is left out, the caller shows one.
void Open_With_Shell(const std::string& file)
{
    SHELLEXECUTEINFOA request{};
    request.cbSize = sizeof request;
    request.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    request.lpFile = file.c_str();
    request.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExA(&request)) {
        const DWORD error = GetLastError();
        throw START_FAILURE("Windows cannot open " + file + " (system error " + std::to_string(error) + ")");
    }
}

} // namespace Open::Editor
