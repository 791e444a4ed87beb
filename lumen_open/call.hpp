#pragma once
// How the viewer calls its editor: one command line, "PROGRAM FILE/LINE/COLUMN", with the place
// unquoted, so a file name with blanks arrives in several "arguments". lumen_open therefore reads
// its raw command line and takes the line and column off the right end.

#include "support/failure.hpp"

#include <cstdint>
#include <string>
#include <string_view>

namespace Open::Call {

// The command line is not FILE/LINE/COLUMN; the message says what is wrong with it.
using BAD_CALL = Failures::Failure<"OPEN.BAD_CALL">;
// The file is not one on this computer's drives; the message says why.
using NOT_LOCAL = Failures::Failure<"OPEN.NOT_LOCAL">;

struct Place {
    std::string File;
    std::int32_t Line = 1;
    std::int32_t Column = 1;
};

// What follows the program name and the one blank after it on a raw command line: blanks that
// start a file name are the file's.
std::string_view Arguments_Of(std::string_view command_line) noexcept;

// Whether the arguments end in /LINE/COLUMN (decimal): then they are a place, whatever they start
// with, and never an option.
bool Is_Place_Call(std::string_view arguments) noexcept;

// Splits FILE/LINE/COLUMN at its last two "/": a file name may hold blanks and "/". Line and
// column are decimal; 0 (which a host may send for "no particular place") counts as 1. The
// whole place may be in double quotes, as a shell passes a typed argument with blanks.
Place Split_Call(std::string_view arguments);

// The file's full local path, against the current folder ("/" becomes "\"). NOT_LOCAL for a name
// on another computer, a device, one of the system's name spaces, a name the system reads as
// another file ("x.bat\."), a folder, and a file that is there but leads off this computer's
// drives (a link to a share). A file that is not there is the editor's to create.
std::string Local_Path(const std::string& file);

} // namespace Open::Call
