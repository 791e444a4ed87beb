#pragma once
// Finding a place again after its file changed. An entry's text is the line it was found on (or,
// from lumen_send, a compiler message's source line with the message after it, or the part of a
// long line around the place between "..." cuts); once lines are added or removed above it, its
// line number points beside it. The finder looks for the text in the file as it is now, nearest
// to where it was first. No window and no thread: the place tracker calls it on a worker thread,
// the tests in the test process.

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace Control::Place_Finder {

// A file's bytes as UTF-8 lines, without their line ends: UTF-8 as it is (its byte-order mark
// dropped), UTF-16 by its byte-order mark, anything else taken for ANSI text.
std::vector<std::string> Decoded_Lines(std::string_view bytes);

struct Place {
    std::uint32_t Line = 1;   // 1-based
    std::uint32_t Column = 1; // 1-based
};

struct Finding {
    Place Where;        // the place now; the place searched from when Found is false
    bool Found = false; // false: the text is nowhere in the file
};

// A file's lines, indexed by their text without blanks at either end, so that finding a whole
// line is one look-up however large the file; built once per change and asked for every place.
class Line_Index {
public:
    explicit Line_Index(std::vector<std::string> lines);
    Line_Index(const Line_Index&) = delete;
    Line_Index& operator=(const Line_Index&) = delete;

    std::uint32_t Line_Count() const noexcept { return static_cast<std::uint32_t>(lines_.size()); }

    // Where the entry with Text, last seen at Last, is now: its line when that still holds the
    // text, else the nearest line that does, in both directions up to the whole file; of two
    // equally near, the later one when Later_On_Ties (the file grew: lines came in above). The
    // column moves by as much as the text's start moved in its line. Not found: Last.
    Finding Find(std::string_view text, Place last, bool later_on_ties) const;

private:
    struct Shape;
    Finding Find_Whole(const Shape& shape, Place last, bool later_on_ties) const;
    Finding Scan(const Shape& shape, Place last, bool later_on_ties) const;

    std::vector<std::string> lines_;
    std::unordered_map<std::string_view, std::vector<std::uint32_t>> by_text_; // trimmed text -> lines, rising
};

} // namespace Control::Place_Finder
