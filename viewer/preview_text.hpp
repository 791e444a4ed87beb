#pragma once
// The preview of a place: the lines around it, read from the file in its own encoding and made
// into the text of a pane, each line with its number, the place's line highlighted and its
// character selected. No window is needed; the reading thread of the preview calls it.
//
// Encodings: a file that starts with the UTF-16 byte-order mark is UTF-16 (either byte order);
// otherwise it is UTF-8 (with or without its mark) when the bytes read for the preview are valid
// UTF-8, else text in the ANSI code page. Only the lines shown are decoded, and the file is read
// no further than the end of the last of them (a block at most beyond it).

#include "gui/text_pane.hpp"
#include "support/failure.hpp"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace Control::Preview_Text {

// A read given up because its result is no longer wanted.
using SUPERSEDED = Failures::Failure<"CONTROL.PREVIEW_TEXT.SUPERSEDED">;

// At least this many lines before and after the place's line are shown, where the file has them.
inline constexpr std::uint64_t Least_Context = 3;
// Longer lines are cut there and end in "...".
inline constexpr std::size_t Longest_Line = 4000;
// A file with a NUL byte this near its start is taken for a binary file and not shown.
inline constexpr std::size_t Binary_Probe = 8192;

struct Place {
    std::string File;         // as the host sent it; a relative name is taken from the current folder
    std::uint32_t Line = 0;   // 1-based; 0 for the file itself: its first lines
    std::uint32_t Column = 0; // 1-based, counted in characters (code points)
};

// Asked between the blocks of a long read; true gives the read up (SUPERSEDED).
using Superseded_Test = std::function<bool()>;

// The pane's text for Place when Fitting_Lines lines fit (never fewer than the place's line and
// its least context): the place's line among the middle ones, or the file's first lines. A file
// that cannot be shown gives one line that says why: "File not found: NAME", "Binary file: NAME",
// "Line N is past the end of NAME (M lines)", or the system's message. Only a file on this
// computer's drives is read, by the full path that the name makes: a share in any spelling gives
// "Not read, the file is on another computer: NAME", a device, pipe or other name space "Not a
// file: NAME" (before anything is opened), a name with a control character "Not read, the name
// holds a control character: NAME", and a name the system would read as another file, or one
// that no file on a drive has, "Not read: NAME" and why.
Gui::Pane_Text Read(const Place& place, int fitting_lines, const Superseded_Test& superseded = {});

// The offset in Line (UTF-16) of the character at Column, counted in code points (a pair of
// surrogates is one); Line's length when Column lies beyond it.
std::size_t Offset_Of_Column(std::wstring_view line, std::uint32_t column);

} // namespace Control::Preview_Text
