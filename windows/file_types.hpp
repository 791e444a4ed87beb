#pragma once
// How a file found by a search is opened when the user named no editor. Its type's own "open" is
// never used: on a developer's machine it runs scripts (the Python launcher registers .py, Git
// registers .sh, and so do Perl, Ruby, PHP, ...), and no list of types can name every interpreter
// a machine may have. So the shell is asked only for the type's "edit" verb, and only when that
// verb's command names an .exe; every other file opens in the system's text editor.

#include <string>
#include <string_view>

namespace Windows::File_Types {

// Why the file at Path (a full local path, as Local_Files::Canonical gives it) may not be handed
// to a program, or empty: Not_There, "is a folder", or "leads off this computer's drives" (a
// link to a share). The file is opened for its attributes only, so no sharing is in the way.
std::string Refusal_At(const std::string& path);
inline constexpr std::string_view Not_There = "is not there";

// The program a command line from the registry names: its first word without quotes, an unquoted
// path with blanks read up to its ".exe" ("C:\Program Files\Ed\ed.exe %1"). Empty when the
// command starts with the file itself ("%1", "%L"), which is no editor.
std::string Command_Program(std::string_view command);

// Whether Program, as a type's command names it, may show a file: an .exe. Every other type that
// runs (a batch file, a script) is started by yet another program by rules of its own.
bool Is_Editor_Program(std::string_view program);

// The full path of the system's text editor: the .exe that the ".txt" type's "edit" (else
// "open") command names, else notepad.exe in the system folder.
std::string Text_Editor();

// How a found file is opened, decided on its canonical path.
struct Opening {
    enum class Kind { Edit, Text_Editor, Refused };
    Kind How = Kind::Refused;
    std::string File;    // Edit, Text_Editor: the full local path to open
    std::string Class;   // Edit: the type's class, whose "edit" verb the shell takes
    std::string Program; // Text_Editor: the editor's full path
    std::string Refusal; // Refused: why, to follow the name ("is not there", "is on another computer")
};
Opening Opening_Of(std::string_view name);

// Starts the text editor of an opening with its file as its one quoted argument and returns at
// once; Windows::PROCESS_CREATION_FAILURE when the system refuses.
void Start_Text_Editor(const Opening& opening);

} // namespace Windows::File_Types
