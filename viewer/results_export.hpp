#pragma once
// Copy all and Save: the place lines of what is in view, to the clipboard or to a file the user
// names.

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

} // namespace Control
