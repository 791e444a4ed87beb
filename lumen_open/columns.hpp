#pragma once
// The viewer gives a place's column as the character's place in its line (code points, from 1).
// Editors count columns in units of their own: characters, UTF-16 code units, or bytes of the
// UTF-8 that they hold the text in. A column in another unit than characters is worked out from
// the line itself, read from the file.

#include <cstdint>
#include <string>
#include <string_view>

namespace Open::Columns {

enum class Unit {
    Characters,  // code points: the viewer's own count
    Utf16_Units, // a character beyond U+FFFF counts 2
    Utf8_Bytes,  // a character counts its UTF-8 length, 1 to 4
};

// "characters", "UTF-16 code units", "UTF-8 bytes": the README's words.
std::string_view Unit_Name(Unit unit) noexcept;

// Column (characters) of Line_Text (UTF-8) in Unit. A column beyond the end of the line counts one
// unit for each character it lies beyond.
std::int32_t Column_In(Unit unit, std::string_view line_text, std::int32_t column);

// Line Line (from 1) of the file at Path, as UTF-8: the file is UTF-8 when it is valid UTF-8 or
// starts with UTF-8's byte-order mark, UTF-16 when it starts with that one's, else text in the
// ANSI code page. False when the file or the line cannot be read.
bool Read_Line(const std::string& path, std::int32_t line, std::string& text);

// Column (characters) of the place Path/Line in Unit; the column as it came when the line cannot
// be read.
std::int32_t File_Column(Unit unit, const std::string& path, std::int32_t line, std::int32_t column);

} // namespace Open::Columns
