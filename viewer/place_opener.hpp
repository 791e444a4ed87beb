#pragma once
// Opening a place for the user, the two ways the viewer knows: in the editor named on its
// command line, or through the shell by the file's type. The file names come from searching
// folders that nobody here wrote, so neither way may run what such a folder holds: no program is
// looked for in the current folder, a file whose type runs is not "opened" as a program, and a
// batch-file editor gets the place through cmd.exe only in quotes that cmd.exe leaves alone.

#include <string>

namespace Control::Place_Opener {

// Starts Editor with Arguments (the place, FILE/LINE/COLUMN) and returns at once. A bare Editor
// is looked for beside the viewer, then in PATH's folders. An .exe gets the command line
// "EDITOR FILE/LINE/COLUMN", unquoted as ever; a .bat or .cmd runs through cmd.exe with the place
// in quotes. Every way it cannot start raises Windows::PROCESS_CREATION_FAILURE, whose message
// says why.
void Start_Editor(const std::string& editor, const std::string& arguments);

// Opens File through the shell with its type's program and Parameters. A file whose type runs
// is opened with the type's "edit" verb when it has one; otherwise it is not opened and the log
// says "Not opened: FILE runs as a program". A file that is not there is not opened either
// ("Not opened: FILE is not there"): the shell would look for a program of its name.
void Open_With_Shell(const std::string& file, const std::string& parameters);

} // namespace Control::Place_Opener
