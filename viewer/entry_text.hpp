#pragma once
// How an entry reads: the text its tree node shows, with the marker before the entry's column,
// and the place line that other programs take. The results model, the tree feed and the
// activation routine all use these, so they live below all of them.

#include "viewer/index_list.hpp"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace Control {

// Shown in front of the character at an entry's column: a bullet (U+2022), in UTF-8.
inline constexpr std::string_view Marker = "\xE2\x80\xA2";

// A tab in an entry's text shows as blanks up to the next multiple of this.
inline constexpr std::size_t Tab_Width = 8;

// An entry's text is UTF-8 and its column counts the text's bytes (from 1), as `git grep --column`
// prints it; the column always names the first byte of a character.

// INDEX_ERROR unless Column lies in 1 .. length of Text + 1.
void Check_Column(std::string_view text, std::uint32_t column);
// The node text of an entry: the marker before the character at Column (Check_Column's range),
// each tab as blanks up to the next tab stop of the text (the marker takes no room there), then
// blanks removed at both ends. A combining mark (an accent, a variation selector, a joiner) stays
// with the character before it: the marker goes before that character. The second form writes it
// into Shown, a buffer used again.
std::string Shown_Text(std::string_view text, std::uint32_t column);
void Shown_Text(std::string_view text, std::uint32_t column, std::string& shown);

// Whether a character joins the one before it on screen: the system's non-spacing marks (accents
// and the like), the joiner, variation selectors, and the skin tones of emoji.
bool Joins_The_One_Before(char32_t code_point) noexcept;

// The column as a count of characters (code points, from 1): what an editor is given.
std::uint32_t Character_Column(std::string_view text, std::uint32_t column);
// An entry's column in characters: in its text, or for a place that moved in its changed file, in
// the line it is on now.
std::uint32_t Character_Column(const Index_List::Index_Entry& entry);

// An entry as a place for other programs, "a.txt:12:5:x := y;": its text as it came, blanks and
// tabs included, so that the column names the same character as in the node. Ctrl+C, Copy all and
// Save all write it so. The second form appends it to Lines.
std::string Place_Line(const Index_List::Index_Entry& entry);
void Append_Place_Line(std::string& lines, std::string_view file, std::uint32_t line, std::uint32_t column,
                       std::string_view text);

} // namespace Control
