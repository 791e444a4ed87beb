#pragma once
// From a setting and a place to a started editor. A setting that names a preset runs the
// preset's program with its arguments; any other setting is a command template. A program that
// is a batch file (.cmd, .bat) runs through cmd.exe, without a console window. Programs are
// never looked for in the current folder.

#include "support/failure.hpp"
#include "lumen_open/call.hpp"

#include <string>
#include <string_view>

namespace Open::Editor {

// A template's program is not there (a bare name: not on the search path).
using PROGRAM_NOT_FOUND = Failures::Failure<"OPEN.PROGRAM_NOT_FOUND">;
// The system refused to start the editor or to open the file.
using START_FAILURE = Failures::Failure<"OPEN.START_FAILURE">;

struct Command {
    std::string Program; // full path of what the command line's first word names
    std::string Line;    // the editor's command line, its program word first
    bool Through_Command_Processor = false;
};

// Place.File must be absolute already. Raises Presets::PRESET_NOT_FOUND, PROGRAM_NOT_FOUND,
// Templates::BAD_TEMPLATE, or START_FAILURE for a file name that cmd.exe could not take safely.
Command Command_For(std::string_view setting, const Call::Place& place);

// The program and command line handed to CreateProcess: for a batch file, cmd.exe's.
struct Process_Start {
    std::string Program;
    std::string Line;
};
Process_Start Process_Start_Of(const Command& command);

// Starts the editor and returns at once.
void Start(const Command& command);

// Without an editor setting: File (a full local path) opens with its type's "edit" verb when
// that verb's command names an .exe, else in the system's text editor; never by its type's own
// "open", which runs scripts. START_FAILURE for a file that is not there or cannot be opened.
void Open_Without_Editor(const std::string& file);

// The system's text editor with File as its one argument, as Open_Without_Editor starts it.
Command Text_Editor_Command(const std::string& file);

} // namespace Open::Editor
