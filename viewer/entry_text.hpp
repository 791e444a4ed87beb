#pragma once
// How an entry reads: the text its tree node shows, with the marker before the entry's column,
// and the place line that other programs take. The results model, the tree feed and the
// activation routine all use these, so they live below all of them.

#include "viewer/index_list.hpp"

#include <cstdint>
#include <string>
#include <string_view>

namespace Control {

// Shown in front of the character at an entry's column (a bullet in code page 1252).
inline constexpr char Marker = '\x95';

// INDEX_ERROR unless Column lies in 1 .. length of Text + 1.
void Check_Column(std::string_view text, std::uint32_t column);
// The node text of an entry: the marker before the character at Column (Check_Column's range),
// then blanks removed at both ends. The second form writes it into Shown, a buffer used again.
std::string Shown_Text(std::string_view text, std::uint32_t column);
void Shown_Text(std::string_view text, std::uint32_t column, std::string& shown);

// An entry as a place for other programs, "a.txt:12:5:x := y;": the node's text without its marker.
std::string Place_Text(const Index_List::Index_Entry& entry, std::string_view node_text);

} // namespace Control
