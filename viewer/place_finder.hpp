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
#include <vector>

namespace Control::Place_Finder {

// A file's bytes as UTF-8 text: UTF-8 as it is (its byte-order mark dropped), UTF-16 by its
// byte-order mark, anything else taken for ANSI text.
std::string Decoded_Text(std::string bytes);

struct Place {
    std::uint32_t Line = 1;   // 1-based
    std::uint32_t Column = 1; // 1-based
};

struct Finding {
    Place Where;        // the place now; the place searched from when Found is false
    bool Found = false; // false: the text is nowhere in the file
};

// A file's lines (its text split at LF, a CR before it dropped), for finding every place of the
// file after a change. Most places are found within a few lines of where they were: those lines are
// tried first. For the others the lines are indexed by their text without blanks at either end, once,
// when the first such place is asked for, and each is then one look-up however large the file.
// One thread at a time.
class Line_Index {
public:
    explicit Line_Index(std::string text);
    Line_Index(const Line_Index&) = delete;
    Line_Index& operator=(const Line_Index&) = delete;

    // Tried one by one before the index is built.
    static constexpr std::uint32_t Near_Lines = 32;

    std::uint32_t Line_Count() const noexcept { return static_cast<std::uint32_t>(lines_.size()); }
    std::string_view Line(std::uint32_t number) const { return lines_.at(number - 1); } // 1-based

    // Where the entry with Text, last seen at Last, is now: its line when that still holds the
    // text, else the nearest line that does, in both directions up to the whole file; of two
    // equally near, the later one when Later_On_Ties (the file grew: lines came in above). The
    // column moves by as much as the text's start moved in its line. Not found: Last.
    Finding Find(std::string_view text, Place last, bool later_on_ties) const;

private:
    struct Shape;
    struct Keyed_Line {
        std::size_t Hash; // of the trimmed text
        std::uint32_t Line;
        auto operator<=>(const Keyed_Line&) const = default;
    };
    Finding Find_Whole(const Shape& shape, Place last, bool later_on_ties) const;
    Finding Scan(const Shape& shape, Place last, bool later_on_ties, std::int64_t reach, bool whole) const;
    void Build_Index() const;

    std::string text_;
    std::vector<std::string_view> lines_;
    mutable std::vector<Keyed_Line> by_hash_; // rising; empty until a place is not found near
    mutable bool indexed_ = false;
};

} // namespace Control::Place_Finder
