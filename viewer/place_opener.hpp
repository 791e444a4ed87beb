#pragma once
// Opening a place for the user, the two ways the viewer knows: in the editor named on its
// command line, or without one by the file's type. The file names come from searching folders
// that nobody here wrote, so neither way may run what such a folder holds: every name is made a
// full local path and checked before anything is started, no program is looked for in the
// current folder, no type's own "open" is used, and an editor gets the place as one argument
// that it cannot take for an option.

#include <string>

namespace Control::Place_Opener {

// An entry's place as the viewer hands it on.
struct Place {
    std::string File;             // as the host sent it
    std::string Editor_Arguments; // FILE/LINE/COLUMN, File first
    std::string Shell_Parameters; // what a type's "edit" verb gets besides the file
};

// Opens Place and returns at once; never fails, what cannot be opened is logged. A name that is
// not a local file's ("\\host\x.c", "x.bat\.", a control byte) is not opened: "Not opened: NAME
// is on another computer", the name's control bytes shown as "?".
// - With an Editor: a bare one is looked for beside the viewer, then in PATH's folders. An .exe
//   gets "EDITOR FILE/LINE/COLUMN", unquoted as ever for an ordinary name; a file named like an
//   option ("-x", "/x") goes as its full path, and a place holding a blank in quotes. A .bat or
//   .cmd runs through cmd.exe with the place in quotes. Every way it cannot start logs "Could
//   not start editor!".
// - Without one: with the type's "edit" verb when its command names an .exe, else in the
//   system's text editor; a file that is not there is not opened ("Not opened: FILE is not
//   there"): the shell would look for a program of its name.
void Open(const Place& place, const std::string& editor);

} // namespace Control::Place_Opener
