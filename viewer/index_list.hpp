#pragma once
// The index's element as the activation and the copies read an entry back, and the index's
// failures. The index itself is the results model (results.hpp): the transfer appends to it and
// the trees show it, each entry kept once.

#include "support/failure.hpp"

#include <cstdint>
#include <string>

namespace Control::Index_List {

struct Index_Entry {
    std::string File; // the name of the entry's group
    std::uint32_t Line = 0;
    std::uint32_t Column = 0;
    std::string Text; // as received: the node shows it trimmed, with the marker
    // For a place that moved in its changed file, its column in characters of the line it is on now;
    // 0 while the column counts in Text.
    std::uint32_t Moved_Characters = 0;
    bool operator==(const Index_Entry&) const = default;
};

using NO_ELEMENTS = Failures::Failure<"CONTROL.INDEX_LIST.NO_ELEMENTS">;
using NOT_IN_LIST = Failures::Failure<"CONTROL.INDEX_LIST.NOT_IN_LIST">;

} // namespace Control::Index_List
