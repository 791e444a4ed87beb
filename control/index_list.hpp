#pragma once
// Every entry received from the host, in arrival order. The tree keeps the address of an
// entry's node as the item's data, so nodes are never moved and only appended during a run.

#include "support/linked_list.hpp"

#include <cstdint>
#include <string>

namespace Control::Index_List {

struct Index_Entry {
    std::string File;
    std::uint32_t Line = 0;
    std::uint32_t Column = 0;
    bool operator==(const Index_Entry&) const = default;
};

using Item = Linked_List::List<Index_Entry, "CONTROL.INDEX_LIST">;
using Position = Item::Position;
using NO_ELEMENTS = Item::NO_ELEMENTS;
using NOT_IN_LIST = Item::NOT_IN_LIST;
using NOT_FOUND = Item::NOT_FOUND;
using NOT_UPDATED = Item::NOT_UPDATED;

} // namespace Control::Index_List
