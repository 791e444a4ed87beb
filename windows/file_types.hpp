#pragma once
// What the shell's "open" of a file does by its type. For many types it runs the file (a batch
// file, a script, an installer, a shortcut to a program); a file found by searching a folder of
// unknown origin must never be run that way. Such a file is opened with its type's "edit" verb
// when it has one, otherwise not at all.

#include <string>
#include <string_view>

namespace Windows::File_Types {

// Whether the shell's "open" of File would run it: its type is one the shell itself calls
// dangerous, one that PATHEXT lists, or one of the known program, script, installer, shortcut and
// registry types. The type is the name's extension as the system reads it (trailing points and
// blanks dropped). A name with a colon beyond its drive is counted too: the shell takes it for an
// address whose handler is a program, or for a stream of another file.
bool Runs_As_Program(std::string_view file);

// How the shell may open File. Only a file that is there is opened: for a name that is not, the
// shell would try program extensions ("notes" runs "notes.exe" beside it).
struct Shell_Opening {
    enum class Kind { Open, Edit, Never, Missing };
    Kind How = Kind::Open;
    // For Edit: the file type's class, named to the shell so that it takes the class's "edit"
    // verb and not its own idea of how to start the file.
    std::string Class;
};
Shell_Opening Opening_Of(std::string_view file);

} // namespace Windows::File_Types
