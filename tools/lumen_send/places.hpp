#pragma once
// Places in files as search tools and compilers print them, one a line:
//     file:line:column:text        (grep -n --column, ripgrep --vimgrep, compilers)
//     file:line:text               (grep -n; the column is then 1)
//     file(line,column): text      (Microsoft's compiler, MSBuild and many Windows tools)
//     file(line): text
// and their grouping by file for the viewer. The viewer shows 8-bit ANSI text and counts
// positions in bytes. A line in UTF-8 (with a byte above 0x7F) is converted to the ANSI code
// page, its column moved to the same character; other bytes pass unchanged.
//
// Which lines are refused, and why:
// - no file name, no line number, a line number that is not decimal digits, is 0, negative or
//   beyond 2^31 - 1 (the viewer reads signed 32-bit values and takes only 0 and up; a line 0
//   names no place);
// - a column of 0 or beyond 2^31 - 1;
// - an empty text: the protocol has no way to carry one, an empty message ends the group;
// - a text or file name longer than 1024 bytes: the viewer's message limit;
// - a column beyond the text's length + 1: the viewer would stop on it. With Clamp_Columns such a
//   column is sent as the text's length + 1 instead (compiler messages put the column of the
//   source line in front of the message text, which is usually shorter);
// - with Encoding::Utf_8, a line that is not valid UTF-8.
// Lengths and columns are checked after the conversion from UTF-8.
// A leading drive letter ("C:\x.c", "C:/x.c", "C:x.c") is part of the file name. Apart from that,
// the first colon ends the file name: Windows file names cannot contain colons. So the two kinds
// of form never both fit a line: the compiler form's "(line):" must come before that colon, and a
// digit may not follow it.

#include "support/failure.hpp"

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
    Ansi,  // bytes pass unchanged
};

struct Parse_Options {
    bool Clamp_Columns = false;
    // The input has no column field: everything after the line number is the text
    // (for "grep -n" output whose texts may start with digits and a colon).
    bool No_Columns = false;
    Encoding Input_Encoding = Encoding::Auto;
    unsigned Code_Page = 0; // what UTF-8 becomes; 0 is the ANSI code page
};

// One parsed line, in the viewer's code page.
struct Place {
    std::string File;
    std::string Text;
    std::int32_t Line = 1;
    std::int32_t Column = 1;
};

// Splits one input line (its line end already removed). A refused line raises BAD_LINE whose
// message is the reason.
Place Parse_Line(std::string_view line, const Parse_Options& options);

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

private:
    std::vector<Group> groups_;
    std::unordered_map<std::string, std::size_t> group_of_file_;
    std::size_t entry_count_ = 0;
};

struct Skipped_Line {
    std::size_t Number = 0; // 1 for the first input line
    std::string Reason;
};

struct Reading {
    Index Places;
    std::vector<Skipped_Line> Skipped;
};

// Reads every line of Input. Lines end with LF; a CR in front of the LF (or at the very end) is
// removed. Empty lines are passed over without a word; refused lines are listed in Skipped. A
// UTF-8 signature at the start is dropped (it is no part of the first file name); input that
// starts with a UTF-16 byte-order mark raises UNSUPPORTED_ENCODING.
Reading Read_Places(std::string_view input, const Parse_Options& options);

} // namespace Send::Places
