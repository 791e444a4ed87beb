#pragma once
// Places in files as search tools and compilers print them, one a line:
//     file:line:column:text        (grep -n --column, ripgrep --vimgrep, compilers)
//     file:line:text               (grep -n; the column is then 1)
//     file(line,column): text      (Microsoft's compiler, MSBuild and many Windows tools)
//     file(line): text
// and their grouping by file for the viewer. A viewer on the message-by-message protocol takes
// 8-bit ANSI text: a file name, and a text, in UTF-8 (with a byte above 0x7F) is converted to the
// ANSI code page, the column moved to the same character; other bytes pass unchanged. A viewer on
// the batch protocol takes UTF-8 (Parse_Options::Code_Page is then CP_UTF8): UTF-8 passes as it
// is, 8-bit text is converted from the ANSI code page. Either way columns count the bytes of the
// text as the viewer gets it. Name and text are judged each on its own: a tool may print a UTF-8
// name beside a line of an 8-bit file.
//
// Which lines are refused, and why:
// - no file name, no line number, a line number that is not decimal digits, is 0, negative or
//   beyond 2^31 - 1 (the viewer reads signed 32-bit values and takes only 0 and up; a line 0
//   names no place);
// - a column of 0 or beyond 2^31 - 1;
// - an empty text: the protocol has no way to carry one, an empty message ends the group;
// - a file name longer than 1024 bytes: the viewer's message limit;
// - a file name with a control byte (NUL, a tab, ...): no Windows name holds one, and the system
//   would stop at a NUL, so the name is not the file it spells;
// - a column beyond the text's length + 1: the viewer would stop on it. With Clamp_Columns such a
//   column is sent as the text's length + 1 instead (for tools that, unlike the compilers that
//   Send::Compiler knows, put a column of some other line in front of their message);
// - with Encoding::Utf_8, a line that is not valid UTF-8;
// - for an 8-bit viewer, a UTF-8 file name with a character that the ANSI code page lacks: that
//   viewer opens files by their 8-bit names, and "?" in their place would name no file (or, to
//   some editors, any).
// Lengths and columns are checked after the conversion from UTF-8. A text longer than 1024 bytes
// (a line of a minified file) is cut to the part around its column, "..." at each cut end, the
// column moved to the same character.
// git's quoted names ("caf\303\251.txt":1:1:text) are read as the bytes they stand for.
// A leading drive letter ("C:\x.c", "C:/x.c", "C:x.c") is part of the file name. Apart from that,
// the first colon ends the file name: Windows file names cannot contain colons. So the two kinds
// of form never both fit a line: the compiler form's "(line):" must come before that colon, and a
// digit may not follow it.

#include "support/failure.hpp"
#include "lumen_send/utf8.hpp"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace Send::Places {

using BAD_LINE = Failures::Failure<"SEND.PLACES.BAD_LINE">;
// UTF-16 input (what some shells write by default): every line would be refused.
using UNSUPPORTED_ENCODING = Failures::Failure<"SEND.PLACES.UNSUPPORTED_ENCODING">;

// The longest text message the viewer takes.
inline constexpr std::size_t Message_Limit = 1024;

enum class Encoding {
    Auto,  // a valid UTF-8 line with a byte above 0x7F is converted, any other passes as it is
    Utf_8, // every line is UTF-8: one that is not is refused
    Ansi,  // 8-bit text: passes unchanged to an 8-bit viewer, converted for one that takes UTF-8
};

struct Parse_Options {
    bool Clamp_Columns = false;
    // The input has no column field: everything after the line number is the text
    // (for "grep -n" output whose texts may start with digits and a colon).
    bool No_Columns = false;
    Encoding Input_Encoding = Encoding::Auto;
    // The viewer's code page, what the texts become: 0 is the ANSI code page, CP_UTF8 (65001) a
    // viewer on the batch protocol.
    unsigned Code_Page = 0;
};

// One parsed line, in the viewer's code page.
struct Place {
    std::string File;
    std::string Text;
    std::int32_t Line = 1;
    std::int32_t Column = 1;
    bool Has_Column = false;    // the line gave one
    bool Parenthesised = false; // the file(line,column): form
    bool Cut = false;           // the text was cut to the viewer's limit around the column
};

// Splits one input line (its line end already removed) into its fields as they stand: no
// conversion, no check of the text. A line that is no place raises BAD_LINE with the reason.
Place Split_Line(std::string_view line, const Parse_Options& options);

// Splits one input line and makes it what the viewer takes. A refused line raises BAD_LINE whose
// message is the reason.
Place Parse_Line(std::string_view line, const Parse_Options& options);

// A file name as the viewer takes it; BAD_LINE when it cannot be (a control byte, characters the
// code page lacks).
std::string Viewer_File_Name(std::string_view name, const Parse_Options& options);

// A text in the viewer's code page, Column (counting the bytes of Text) moved along. Is_Utf8
// tells how Text is encoded; under Encoding::Ansi every text is 8-bit.
Utf8::Converted Viewer_Text(std::string_view text, std::size_t column, bool is_utf8, const Parse_Options& options);

struct Entry {
    std::string Text;
    std::int32_t Line = 1;
    std::int32_t Column = 1;
};

struct Group {
    std::string File;
    std::vector<Entry> Entries; // in input order
};

// Groups by file name (compared byte for byte), in the order the files first appear; the viewer
// sorts them itself.
class Index {
public:
    void Add(const Place& place);
    const std::vector<Group>& Groups() const noexcept { return groups_; }
    std::size_t Entry_Count() const noexcept { return entry_count_; }
    std::size_t Cut_Count() const noexcept { return cut_count_; } // entries whose text was cut

private:
    std::vector<Group> groups_;
    std::unordered_map<std::string, std::size_t> group_of_file_;
    std::size_t entry_count_ = 0;
    std::size_t cut_count_ = 0;
};

} // namespace Send::Places
