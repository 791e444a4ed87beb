#pragma once
// Command templates: a command line with the placeholders {file}, {line} and {column}, whose
// first word (in double quotes when it holds blanks) is the program.
//     C:\Tools\ed.exe --goto {file}:{line}:{column}
// for "my dir\a b.txt/7/3" in the folder C:\w runs
//     C:\Tools\ed.exe --goto "C:\w\my dir\a b.txt":7:3

#include "support/failure.hpp"
#include "lumen_open/call.hpp"

#include <string>
#include <string_view>

namespace Open::Templates {

// The text is no usable template; the message says why.
using BAD_TEMPLATE = Failures::Failure<"OPEN.BAD_TEMPLATE">;

struct Template {
    std::string Program_Word; // the first word as written, quotes and all
    std::string Program;      // the same without its quotes
    std::string Arguments;    // everything after the first word, from the blank after it on
};

// Raises BAD_TEMPLATE for an empty text, an unclosed quote around the program, a placeholder in
// the program, a program that is neither a bare name nor an absolute path, a template without
// {file} (it would open nothing), or one whose quoting Check_Quoting refuses (for a batch-file
// program, as cmd.exe reads it).
Template Parse_Template(std::string_view text);

enum class File_Quoting {
    Blanks, // in double quotes when the file name holds a blank or a tab
    Always, // for a command that cmd.exe reads, where & ^ ( ) and others are special too
};

// Raises BAD_TEMPLATE for arguments whose quoting cannot be made safe: a quote after a backslash
// (cmd.exe and programs disagree on it), and with Always a {file} in quotes that also hold other
// text.
void Check_Quoting(std::string_view arguments, File_Quoting quoting);

// Replaces every placeholder; other text, "{" included, passes unchanged. {file} is quoted as
// Quoting says, except inside the template's own quotes, which hold it already. The place's file
// is expected to be absolute already. Raises BAD_TEMPLATE as Check_Quoting.
std::string Expand(std::string_view arguments, const Call::Place& place, File_Quoting quoting);

// The file name as {file} gives it. In quotes, backslashes at its end are doubled, so that they
// do not turn the closing quote into a literal one.
std::string Quoted_File(std::string_view file, File_Quoting quoting);

// A program path as the first word of a command line: quoted when it holds a blank or a tab.
std::string Program_Word(std::string_view program);

} // namespace Open::Templates
