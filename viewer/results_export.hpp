#pragma once
// Copy all and Save: the place lines of what is in view, to the clipboard or to a file the user
// names. A saved file is read back from any folder: its lines name the files by full paths.

#include "support/failure.hpp"

#include <functional>
#include <string>

namespace Control {

using SAVE_FAILURE = Failures::Failure<"CONTROL.SAVE_FAILURE">;

// Window thread.
void Copy_All(const std::string& lines);
// Asks for the file in the system's dialog, offering a name made from Title, then writes the
// lines that Lines gives then; a failure to write is shown. The dialog runs its own message loop:
// the tree feed goes on meanwhile, and what has arrived by the time the user confirms is saved.
void Save_As(const std::string& title, const std::function<std::string()>& lines);
// The name that a saved line gives a file: the full path against the current folder for a name of
// a file on a drive, any other name as it came (whoever reads it back refuses it there).
std::string Saved_Name(const std::string& name);

} // namespace Control
