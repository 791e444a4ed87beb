#include "viewer/place_opener.hpp"

#include "gui/gui.hpp"
#include "support/log.hpp"
#include "windows/command_processor.hpp"
#include "windows/file_types.hpp"
#include "windows/local_files.hpp"
#include "windows/program_search.hpp"
#include "windows/windows.hpp"

namespace Control::Place_Opener {

namespace {

namespace Command_Processor = Windows::Command_Processor;
namespace File_Types = Windows::File_Types;

// The log writes a name's bytes as they are; a control byte would hide what the name really is.
std::string Visible(const std::string& name)
{
    std::string shown = name;
    for (char& character : shown)
        if (static_cast<unsigned char>(character) < 0x20) character = '?';
    return shown;
}

void Log_Refusal(const std::string& name, const std::string& refusal)
{
    Log::Put("Not opened: " + Visible(name) + " " + refusal);
}

// A program named on a command line may come in quotes; its file has none.
std::string Without_Quotes(const std::string& program)
{
    if (program.size() >= 2 && program.front() == '"' && program.back() == '"') return program.substr(1, program.size() - 2);
    return program;
}

bool Holds_Blank(const std::string& text) { return text.find_first_of(" \t") != std::string::npos; }

// FILE/LINE/COLUMN that no editor takes for an option: a file named like one ("--inspect=1.txt",
// "/x") goes by its full path, which starts with a drive.
std::string Place_Argument(const Place& place, const std::string& full_path)
{
    const bool option_like = place.File.starts_with('-') || place.File.starts_with('/');
    if (!option_like) return place.Editor_Arguments;
    return full_path + place.Editor_Arguments.substr(place.File.size());
}

// The batch file and the place each in quotes, so that "&" and the like in a file name stay
// text; cmd.exe starts without a console window of its own.
void Start_Batch_File(const std::string& batch_file, const std::string& argument)
{
    const std::string command = Command_Processor::Quoted(batch_file) + ' ' + Command_Processor::Quoted(argument);
    Windows::Create_Process({.Program = "cmd.exe",
                             .Arguments = Command_Processor::Arguments(command),
                             .Application = Command_Processor::Program(),
                             .Detached = true});
}

// An .exe splits its command line at blanks: a place holding one goes in quotes, as one argument.
void Start_Program(const std::string& editor, const std::string& program, const std::string& argument)
{
    const std::string passed = Holds_Blank(argument) ? '"' + argument + '"' : argument;
    Windows::Create_Process({.Program = editor, .Arguments = passed, .Application = program});
}

void Start_Editor(const std::string& editor, const Place& place)
{
    const Windows::Local_Files::Decision local = Windows::Local_Files::Canonical(place.File);
    if (!local.Accepted()) return Log_Refusal(place.File, local.Refusal);
    // A file that is not there yet is the editor's to create; one that leads elsewhere is not.
    const std::string refusal = File_Types::Refusal_At(local.Path);
    if (!refusal.empty() && refusal != File_Types::Not_There) return Log_Refusal(place.File, refusal);
    try {
        const std::string program = Windows::Program_Search::Locate(Without_Quotes(editor));
        const std::string argument = Place_Argument(place, local.Path);
        if (Command_Processor::Is_Batch_File(program)) return Start_Batch_File(program, argument);
        Start_Program(editor, program, argument);
    } catch (const Failures::Named_Failure&) {
        Log::Put("Could not start editor!");
    } catch (...) {
        Log::Put("Unexpected error when starting editor");
    }
}

void Open_Without_Editor(const Place& place)
{
    using Kind = File_Types::Opening::Kind;
    try {
        const File_Types::Opening opening = File_Types::Opening_Of(place.File);
        switch (opening.How) {
        case Kind::Edit:
            return Gui::Shell_Execute(opening.File, place.Shell_Parameters, "edit", opening.Class);
        case Kind::Text_Editor:
            return File_Types::Start_Text_Editor(opening);
        case Kind::Refused:
            return Log_Refusal(place.File, opening.Refusal);
        }
    } catch (const Failures::Named_Failure& failure) {
        Log::Put("Not opened: " + Visible(place.File) + " (" + failure.Information() + ")");
    }
}

} // namespace

void Open(const Place& place, const std::string& editor)
{
    if (editor.empty()) return Open_Without_Editor(place);
    Start_Editor(editor, place);
}

} // namespace Control::Place_Opener
