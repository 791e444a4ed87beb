#pragma once
// UTF-8 text (what rg and git grep print) for a viewer that shows 8-bit ANSI text, and 8-bit
// text for a viewer that takes UTF-8: the conversions, and where a column that counts the bytes
// of one lands in the other.

#include "support/utf8.hpp"

#include <cstddef>
#include <string>
#include <string_view>

namespace Send::Utf8 {

enum class Kind {
    Ascii,   // no byte above 0x7F: the same in UTF-8 and in every ANSI code page
    Utf8,    // valid UTF-8 with at least one byte above 0x7F
    Invalid, // not UTF-8 (8-bit text, or damaged)
};

// Overlong forms, surrogates and values above U+10FFFF are invalid.
Kind Kind_Of(std::string_view text) noexcept;

using ::Utf8::Character;
using ::Utf8::Character_At;

// The start of the character that holds byte At of Text, a text in Code_Page (0: the ANSI code
// page); Text's length for an At beyond it. A cut there splits no character: UTF-8 and the
// double-byte code pages have characters of more than one byte, whose later bytes may look like
// characters of their own.
std::size_t Character_Start(std::string_view text, std::size_t at, unsigned code_page = 0);

struct Converted {
    std::string Text;
    std::size_t Column = 1;
    bool Lossless = true; // false when some character became "?"
};

// Text, valid UTF-8, in Code_Page (0: the ANSI code page); a character the code page cannot
// hold becomes one "?". Column (from 1, counting the bytes of Text) moves to the start of the
// same character in the converted text, one inside a character to that character's start; a
// column past the end keeps its distance from the end. Where the code page is UTF-8 itself
// (65001), the text is already what the viewer shows and stays as it is.
Converted To_Code_Page(std::string_view text, std::size_t column, unsigned code_page = 0);

// Text in Code_Page (0: the ANSI code page) as UTF-8, Column (from 1, counting the bytes of Text)
// moved to the start of the same character; a column past the end keeps its distance from the
// end. Where the code page is UTF-8 itself, the text stays as it is.
Converted From_Code_Page(std::string_view text, std::size_t column, unsigned code_page = 0);

// The column as the batch protocol counts it.
using ::Utf8::Code_Point_Column;

} // namespace Send::Utf8
