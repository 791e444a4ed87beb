#include "lumen_open/editor_start.hpp"

#include "lumen_open/columns.hpp"
#include "lumen_open/command_template.hpp"
#include "lumen_open/presets.hpp"
#include "windows/command_processor.hpp"
#include "windows/file_types.hpp"
#include "windows/files.hpp"
#include "windows/program_search.hpp"
#include "windows/unicode.hpp"
#include "windows/unique_handle.hpp"

#include <windows.h>
#include <shellapi.h>

namespace Open::Editor {

namespace {

namespace Command_Processor = Windows::Command_Processor;

Templates::File_Quoting Quoting_For(bool through_command_processor)
{
    return through_command_processor ? Templates::File_Quoting::Always : Templates::File_Quoting::Blanks;
}

// On the way through cmd.exe the program stands in quotes whatever it holds ("C:\R&D\ed.cmd").
std::string Program_Word_For(const std::string& program, bool through_command_processor)
{
    return through_command_processor ? Command_Processor::Quoted(program) : Templates::Program_Word(program);
}

// cmd.exe replaces %NAME% with the variable's value even inside quotes, and there is no escape
// for it on a command line; a file name with a "%" would reach the editor changed.
void Check_For_Command_Processor(const Call::Place& place)
{
    try {
        Command_Processor::Check_Quotable(place.File);
    } catch (const Command_Processor::UNSAFE_TEXT& failure) {
        throw START_FAILURE(failure.Message() + " on its way to the batch file; name the editor's .exe instead");
    }
}

Command Command_Of(const std::string& program, std::string_view arguments, const Call::Place& place)
{
    const bool batch = Command_Processor::Is_Batch_File(program);
    if (batch) Check_For_Command_Processor(place);
    return {program, Program_Word_For(program, batch) + Templates::Expand(arguments, place, Quoting_For(batch)), batch};
}

// The preset's editor gets the column in its own unit.
Command Preset_Command(const Presets::Preset& preset, const Call::Place& place)
{
    const Presets::Found found = Presets::Locate(preset);
    Call::Place counted = place;
    counted.Column = Columns::File_Column(preset.Column_Counts, place.File, place.Line, place.Column);
    return Command_Of(found.Path, " " + std::string(found.Arguments), counted);
}

// A bare program is looked for beside lumen_open and in PATH's folders, never in the current
// folder, which is usually the searched one.
std::string Template_Program(const Templates::Template& parsed)
{
    if (Windows::Program_Search::Is_Bare_Name(parsed.Program)) {
        if (std::optional<std::string> found = Windows::Program_Search::Find(parsed.Program)) return *found;
        throw PROGRAM_NOT_FOUND("the editor program " + parsed.Program +
                                " is neither beside lumen_open nor in a folder of PATH");
    }
    const std::string program = Windows::Program_Search::Locate(parsed.Program);
    if (!Windows::Files::Is_File(program)) throw PROGRAM_NOT_FOUND("the editor program " + program + " is not there");
    return program;
}

Command Template_Command(std::string_view setting, const Call::Place& place)
{
    const Templates::Template parsed = Templates::Parse_Template(setting);
    return Command_Of(Template_Program(parsed), parsed.Arguments, place);
}

// The file, a full local path, holds no quote and does not end in a backslash: quoted, it is
// one argument.
Command Text_Editor_Command_Of(const std::string& program, const std::string& file)
{
    return {program, Templates::Program_Word(program) + " \"" + file + "\""};
}

} // namespace

Command Command_For(std::string_view setting, const Call::Place& place)
{
    if (const Presets::Preset* preset = Presets::Find(setting)) return Preset_Command(*preset, place);
    return Template_Command(setting, place);
}

Process_Start Process_Start_Of(const Command& command)
{
    if (!command.Through_Command_Processor) return {command.Program, command.Line};
    return {Command_Processor::Program(), "cmd.exe " + Command_Processor::Arguments(command.Line)};
}

void Start(const Command& command)
{
    const Process_Start start = Process_Start_Of(command);
    std::wstring line = Windows::Unicode::Wide(start.Line);
    line.push_back(L'\0'); // CreateProcessW may write into its command line
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    const DWORD flags = command.Through_Command_Processor ? CREATE_NO_WINDOW : 0;
    if (!CreateProcessW(Windows::Unicode::Wide(start.Program).c_str(), line.data(), nullptr, nullptr, FALSE, flags,
                        nullptr, nullptr, &startup, &started)) {
        const DWORD error = GetLastError();
        throw START_FAILURE("cannot start " + start.Program + " (system error " + std::to_string(error) + ")");
    }
    // The editor runs on its own; nothing of it is kept.
    Windows::Unique_Process_Information editor(started);
}

Command Text_Editor_Command(const std::string& file)
{
    return Text_Editor_Command_Of(Windows::File_Types::Text_Editor(), file);
}

// The process ends right after this call, so the shell must finish its work within it
// (SEE_MASK_NOASYNC); its own error box is left out, the caller shows one. The class is named so
// that the shell takes that class's "edit" verb and not its own idea of how to start the file.
void Open_Without_Editor(const std::string& file)
{
    using Kind = Windows::File_Types::Opening::Kind;
    const Windows::File_Types::Opening opening = Windows::File_Types::Opening_Of(file);
    if (opening.How == Kind::Refused) throw START_FAILURE(file + " " + opening.Refusal + ", so nothing was opened");
    if (opening.How == Kind::Text_Editor) return Start(Text_Editor_Command_Of(opening.Program, opening.File));
    const std::wstring file_name = Windows::Unicode::Wide(opening.File);
    const std::wstring class_name = Windows::Unicode::Wide(opening.Class);
    SHELLEXECUTEINFOW request{};
    request.cbSize = sizeof request;
    request.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI | SEE_MASK_CLASSNAME;
    request.lpVerb = L"edit";
    request.lpFile = file_name.c_str();
    request.lpClass = class_name.c_str();
    request.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExW(&request)) {
        const DWORD error = GetLastError();
        throw START_FAILURE("Windows cannot edit " + opening.File + " (system error " + std::to_string(error) + ")");
    }
}

} // namespace Open::Editor
