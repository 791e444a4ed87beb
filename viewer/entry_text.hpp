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

// The node text of an entry: the marker before the character at Column (1 .. length + 1, else
// INDEX_ERROR), then blanks removed at both ends.
std::string Shown_Text(std::string_view text, std::uint32_t column);

// An entry as a place for other programs, "a.txt:12:5:x := y;": the node's text without its marker.
std::string Place_Text(const Index_List::Index_Entry& entry, std::string_view node_text);

} // namespace Control
