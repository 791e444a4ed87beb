#pragma once
// What the results window shows, kept beside the tree: every file and entry received, with the
// entries' node texts, the filter the user typed and what the user dismissed. The window's trees
// are drawn from it; copying and saving read it. Window thread only (the tree feed tells it each
// item as the item goes into the tree).
//
// The texts are kept compactly, since a run may hold hundreds of thousands of entries: the
// characters one after the other in large chunks, a length and the tree data per entry.

#include "viewer/status_text.hpp"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace Control {

// The filter as typed: blank-separated words, each of which must occur in an entry's text or its
// file name, ignoring letter case; a word that starts with "-" hides the entries in which the rest
// of it occurs. A lone "-" means nothing.
struct Filter {
    std::vector<std::string> Required; // lower case
    std::vector<std::string> Excluded; // lower case, without the "-"
    bool Is_Empty() const noexcept { return Required.empty() && Excluded.empty(); }
};
Filter Parse_Filter(std::string_view text);

// The ANSI code page's lower case of a character.
char Lower_Case(char character) noexcept;

class Results {
public:
    using Entry_Index = std::uint32_t;
    using File_Index = std::uint32_t;
    static constexpr std::uint32_t None = 0xFFFFFFFF;

    using Counts = Control::Counts;
    // An entry or a file, as a tree node stands for one.
    struct Node {
        File_Index File = None;
        Entry_Index Entry = None; // None for the file node itself
        bool Is_File() const noexcept { return Entry == None; }
        friend bool operator==(const Node&, const Node&) = default;
    };

    // A new group: the entries that follow belong to it. Its place among the files is the one the
    // tree gives a sorted insert: after every name that compares lower or equal by the system's
    // word sort (lstrcmp), ahead of the first greater one; a name equal to one already there comes
    // right after the first of its equals, as the tree puts it.
    void Add_File(const std::string& name);
    // An entry of the latest file, with its node text (marker included) and the tree data.
    void Add_Entry(std::string_view node_text, std::uintptr_t data);

    Counts Received() const noexcept { return {entry_data_.size(), files_.size()}; }
    // The files in the order the tree shows them.
    const std::vector<File_Index>& File_Order() const noexcept { return order_; }
    const std::string& File_Name(File_Index file) const { return files_.at(file).Name; }
    Entry_Index First_Entry(File_Index file) const { return files_.at(file).First; }
    Entry_Index Entry_Count(File_Index file) const { return files_.at(file).Count; }
    File_Index File_Of(Entry_Index entry) const;
    std::uintptr_t Data_Of(Entry_Index entry) const { return entry_data_.at(entry); }
    // The entry whose tree data is Data; None when there is none.
    Entry_Index Entry_With_Data(std::uintptr_t data) const;
    std::string Node_Text(Entry_Index entry) const;

    // The view: the filter and what is dismissed. While it is plain the tree shows everything.
    void Set_Filter(std::string_view text);
    bool Is_Plain() const noexcept { return filter_.Is_Empty() && undo_.empty(); }
    bool Is_Shown(Entry_Index entry) const;
    // A file is shown when one of its entries is.
    bool Is_Shown_File(File_Index file) const;
    Counts Shown() const;

    // Dismissing hides the node (a file with all its entries, also those still to come); undoing
    // brings back the latest dismissed, again and again in reverse order. Returns what came back,
    // or nothing when nothing is dismissed.
    void Dismiss(Node node);
    bool Undo_Dismiss(Node& restored);
    bool Has_Dismissed() const noexcept { return !undo_.empty(); }

    // Every shown entry in the tree's order as "file:line:column:text" (the text without its
    // marker, with the blanks in front that the node lost), each line ended by CR LF.
    std::string Place_Lines() const;

    // Calls Visit(entry, node text) for each entry of File in arrival order.
    template <typename Visit>
    void For_Each_Entry(File_Index file, Visit&& visit) const
    {
        const File_Record& record = files_.at(file);
        Visit_Entries(record.First, record.First + record.Count, record.Text_Offset, visit);
    }
    // The same for the entries First up to End (excluded), across files, in arrival order.
    template <typename Visit>
    void For_Each_Entry_From(Entry_Index first, Entry_Index end, Visit&& visit) const
    {
        if (first >= end) return;
        Visit_Entries(first, end, Text_Offset_Of(first), visit);
    }

private:
    struct File_Record {
        std::string Name;
        Entry_Index First = 0;
        Entry_Index Count = 0;
        std::uint64_t Text_Offset = 0;
        bool Dismissed = false;
        std::vector<bool> Name_Has; // per filter word: whether the name holds it
    };
    // Texts never straddle two chunks: one that does not fit at Offset starts the next chunk.
    static constexpr std::uint64_t Chunk_Size = 1 << 16;
    static std::uint64_t Fitted(std::uint64_t offset, std::uint16_t length) noexcept
    {
        return offset % Chunk_Size + length > Chunk_Size ? (offset / Chunk_Size + 1) * Chunk_Size : offset;
    }
    template <typename Visit>
    void Visit_Entries(Entry_Index first, Entry_Index end, std::uint64_t offset, Visit& visit) const
    {
        for (Entry_Index entry = first; entry < end; ++entry) {
            const std::uint16_t length = lengths_[entry];
            if (length == 0) {
                visit(entry, std::string_view());
                continue;
            }
            offset = Fitted(offset, length);
            visit(entry, std::string_view(chunks_[offset / Chunk_Size].get() + offset % Chunk_Size, length));
            offset += length;
        }
    }
    std::uint64_t Text_End() const noexcept;
    std::uint64_t Text_Offset_Of(Entry_Index entry) const;
    bool Matches(const File_Record& file, std::string_view node_text) const;
    void Match_Name(File_Record& file) const;
    void Insert_In_Order(File_Index file);

    std::vector<File_Record> files_;
    std::vector<File_Index> order_;
    std::vector<std::unique_ptr<char[]>> chunks_;
    std::uint64_t used_in_last_chunk_ = 0;
    // Per entry. A deque grows without moving or doubling what it holds.
    std::deque<std::uint16_t> lengths_;
    std::deque<std::uintptr_t> entry_data_;
    std::vector<bool> matched_;   // per entry, under the current filter
    std::vector<bool> dismissed_; // per entry
    Filter filter_;
    std::vector<Node> undo_;
};

} // namespace Control
