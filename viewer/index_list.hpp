#pragma once
// Every entry received from the host, in arrival order. The tree keeps the address of an
// entry's node as the item's data, so nodes are never moved and only appended during a run.

#include "support/linked_list.hpp"

#include <cstdint>
#include <memory>
#include <string>

namespace Control::Index_List {

// A file's name, shared by every entry of its group: an index has tens of thousands of entries
// but only hundreds of files. Compares and reads as the text it holds.
class File_Name {
public:
    File_Name() = default;
    File_Name(std::string name) : text_(std::make_shared<const std::string>(std::move(name))) {}
    File_Name(const char* name) : File_Name(std::string(name)) {}

    const std::string& Text() const { return text_ ? *text_ : Empty(); }
    operator const std::string&() const { return Text(); }
    bool operator==(const File_Name& other) const { return Text() == other.Text(); }

private:
    static const std::string& Empty()
    {
        static const std::string empty;
        return empty;
    }
    std::shared_ptr<const std::string> text_;
};

struct Index_Entry {
    File_Name File;
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
