#include "viewer/place_opener.hpp"

#include "gui/gui.hpp"
#include "support/log.hpp"
#include "windows/command_processor.hpp"
#include "windows/file_types.hpp"
#include "windows/program_search.hpp"
#include "windows/windows.hpp"

namespace Control::Place_Opener {

namespace {

namespace Command_Processor = Windows::Command_Processor;

// A program named on a command line may come in quotes; its file has none.
std::string Without_Quotes(const std::string& program)
{
    if (program.size() >= 2 && program.front() == '"' && program.back() == '"') return program.substr(1, program.size() - 2);
    return program;
}

// The batch file and the place each in quotes, so that "&" and the like in a file name stay
// text; cmd.exe starts without a console window of its own.
void Start_Batch_File(const std::string& batch_file, const std::string& arguments)
{
    const std::string command = Command_Processor::Quoted(batch_file) + ' ' + Command_Processor::Quoted(arguments);
    Windows::Create_Process({.Program = "cmd.exe",
                             .Arguments = Command_Processor::Arguments(command),
                             .Application = Command_Processor::Program(),
                             .Detached = true});
}

void Start_Located(const std::string& editor, const std::string& program, const std::string& arguments)
{
    if (Command_Processor::Is_Batch_File(program)) return Start_Batch_File(program, arguments);
    Windows::Create_Process({.Program = editor, .Arguments = arguments, .Application = program});
}

} // namespace

void Start_Editor(const std::string& editor, const std::string& arguments)
{
    try {
        Start_Located(editor, Windows::Program_Search::Locate(Without_Quotes(editor)), arguments);
    } catch (const Windows::PROCESS_CREATION_FAILURE&) {
        throw;
    } catch (const Failures::Named_Failure& failure) {
        throw Windows::PROCESS_CREATION_FAILURE(failure.Information());
    }
}

void Open_With_Shell(const std::string& file, const std::string& parameters)
{
    using Kind = Windows::File_Types::Shell_Opening::Kind;
    const Windows::File_Types::Shell_Opening opening = Windows::File_Types::Opening_Of(file);
    switch (opening.How) {
    case Kind::Open:
        return Gui::Shell_Execute(file, parameters);
    case Kind::Edit:
        return Gui::Shell_Execute(file, parameters, "edit", opening.Class);
    case Kind::Never:
        return Log::Put("Not opened: " + file + " runs as a program");
    case Kind::Missing:
        return Log::Put("Not opened: " + file + " is not there");
    }
}

} // namespace Control::Place_Opener
