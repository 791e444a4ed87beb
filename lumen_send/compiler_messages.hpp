#pragma once
// Compiler output read as places, beside search hits. A compiler's message about a place
//     GCC, Clang:            file:line:column: severity: message
//     Microsoft, MSBuild:    file(line,column): severity code: message
// becomes one entry whose text is the source line, the marker on the character the compiler
// pointed at, then the message: "using std::get;  <- error: 'get' has not been declared".
// The source line is the file's own line when the file can be read (the compiler's echo, when
// there is one, must agree with it: the echo has its tabs expanded, and a file changed since the
// compiler ran is not shown), else the compiler's echo, else there is none and the text is the
// message alone, marked at its start.
//
// The lines that belong to a message (its echo and caret lines, fix-it hints, "In file included
// from" and its "from" lines, "In function" headers, summaries like "3 errors generated." or
// MSBuild's "Build FAILED.") are recognised and counted, not reported. Any line that is not a
// compiler message is read as a search hit, exactly as Places::Parse_Line reads it.
//
// A recursive make runs each compiler in another folder, and the compiler names its files
// relative to that folder. GNU make says where it goes ("make[2]: Entering directory
// '/src/lib'", then "Leaving directory"): a relative name in a message is taken against the
// innermost folder entered and not yet left, as Windows reads a path ("C:/src/lib" and
// "../include/x.h" give "C:\src\include\x.h"), so that the viewer finds the file from anywhere.

#include "lumen_send/places.hpp"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Send::Compiler {

// How a compiler counts its columns. GCC 11 and later count what a terminal shows (a tab moves
// to the next multiple of 8, a wide character takes 2); Clang counts bytes; Microsoft's compiler
// counts characters.
enum class Column_Unit { Display, Bytes, Characters };

struct Diagnostic {
    std::string File;
    std::int32_t Line = 1;
    std::int32_t Column = 1; // 1 when the message gave none
    std::string Message;     // from the severity on: "error: 'x' was not declared in this scope"
    bool Microsoft = false;  // the file(line,column): form
};

// A compiler message about a place, or nothing. Leading blanks and the "1>" of a parallel
// MSBuild are passed over; MSBuild's trailing " [project]" is dropped from the message.
std::optional<Diagnostic> Parse_Diagnostic(std::string_view line);

// GCC's echo of a source line, "  843 | text", and its caret and fix-it lines "      |   ^~~".
struct Gutter_Line {
    std::int32_t Number = 0; // 0 on a line without a number
    std::string_view Text;
};
std::optional<Gutter_Line> Split_Gutter(std::string_view line) noexcept;

// Blanks, "^" and "~" only, at least one of those two: Clang's (and Microsoft's) caret line.
bool Is_Caret_Line(std::string_view line) noexcept;

// A line that compilers, linkers, make and MSBuild print around their messages, without a place.
bool Is_Compiler_Part(std::string_view line) noexcept;

// The byte offset in Source of the character that Column (from 1, counted in Unit) points at;
// Source's length when it points beyond its end. Is_Utf8 tells how Source is encoded.
std::size_t Byte_Of_Column(std::string_view source, std::int32_t column, Column_Unit unit, bool is_utf8) noexcept;

inline constexpr std::string_view Separator = "  <- ";

struct Composed {
    std::string Text;
    std::int32_t Column = 1;
};

// Source (in the viewer's code page, Column from 1 in its bytes), the separator and Message,
// within Limit bytes: the message is cut first ("..." ends it), the source line only after its
// column. A column beyond the limit leaves the message alone, marked at its start. Cuts fall
// between characters of Code_Page (0: the ANSI code page).
Composed Compose(std::string_view source, std::size_t column, std::string_view message, unsigned code_page,
                 std::size_t limit = Places::Message_Limit);

struct Skipped_Line {
    std::size_t Number = 0; // 1 for the first input line
    std::string Reason;
    bool Is_Place = false;  // a place the viewer cannot take, rather than a line that is none
};

struct Reading {
    Places::Index Places;
    std::vector<Skipped_Line> Skipped;
    std::size_t Compiler_Lines = 0;     // recognised as parts of compiler output, not places
    std::size_t Repeated_Messages = 0;  // compiler messages sent once already, left out
};

// Reads every line of Input. Lines end with LF; a CR in front of the LF (or at the very end) is
// removed. Empty lines are passed over without a word; lines that are neither places nor parts
// of compiler output, and places that cannot be sent, are listed in Skipped. A UTF-8 signature
// at the start is dropped (it is no part of the first file name); input that starts with a
// UTF-16 byte-order mark raises Places::UNSUPPORTED_ENCODING. A compiler message repeated
// (MSBuild's summary, a header's error met by two compilations, a macro's error at each of its
// expansions) is sent once, and counted in Repeated_Messages.
Reading Read_Places(std::string_view input, const Places::Parse_Options& options);

} // namespace Send::Compiler
