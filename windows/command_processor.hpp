#pragma once
// Running a batch file (.bat, .cmd) safely. The system runs one only through cmd.exe, which reads
// its command line by rules of its own: "&", "|", "<", ">", "^" and parentheses are special
// outside quotes, and "%NAME%" (and "!NAME!" with delayed expansion) is replaced everywhere, even
// inside quotes. So the command is built here: every text from outside stands in quotes, a text
// that cmd.exe would change even there is refused, and delayed expansion and AutoRun are off.

#include "support/failure.hpp"

#include <string>
#include <string_view>

namespace Windows::Command_Processor {

// A text that cmd.exe would change or split even inside quotes; the message says why.
using UNSAFE_TEXT = Failures::Failure<"WINDOWS.COMMAND_PROCESSOR.UNSAFE_TEXT">;

// Whether Program ends in .bat or .cmd (letter case aside).
bool Is_Batch_File(std::string_view program) noexcept;

// Raises UNSAFE_TEXT when Text holds "%" (expanded inside quotes), a double quote (ends the
// quotes) or a control character (a line end ends the command).
void Check_Quotable(std::string_view text);

// Text in double quotes, after Check_Quotable.
std::string Quoted(std::string_view text);

// The full path of the system's cmd.exe (Program_Search::NO_SYSTEM_FOLDER when it is unknown).
std::string Program();

// cmd.exe's arguments to run Command: "/d /s /v:off /c "COMMAND"". /d leaves the AutoRun
// commands out, /v:off delayed expansion whatever the registry says, and /s makes cmd.exe take
// everything between the first and the last quote as the command, the quotes inside as they are.
std::string Arguments(std::string_view command);

} // namespace Windows::Command_Processor
