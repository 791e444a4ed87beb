#pragma once
// The results model: every file and entry received, each kept once. The transfer appends to it
// on the main thread, a group and then the group's entries, as the index list of the protocol
// has them; the trees on the window thread show it, and the activation on the action thread
// reads an entry back. The model hands out the identities that the trees' items carry, and it
// decides the order of the files, which the trees follow.
//
// The texts are kept compactly, since a run may hold hundreds of thousands of entries: the
// characters one after the other in large chunks, the place and the text's position per entry.
// Every call holds the model's lock while it reads or writes the model, and only then.
//
// Once a file changes after the transfer, the place tracker finds its entries again: an entry
// whose place moved, or whose text is gone from the file, is noted in a small map beside the
// records (most entries never move), and every reading gives the current place.

#include "viewer/index_list.hpp"
#include "viewer/status_text.hpp"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace Control {

class Results {
public:
    using Entry_Index = std::uint32_t; // in arrival order, from 0
    using File_Index = std::uint32_t;  // in arrival order, from 0
    static constexpr std::uint32_t None = 0xFFFFFFFF;

    // What a tree node stands for: a file, or an entry of it.
    struct Node {
        File_Index File = None;
        Entry_Index Entry = None; // None for the file node itself
        bool Is_File() const noexcept { return File != None && Entry == None; }
        bool Is_Entry() const noexcept { return Entry != None; }
        friend bool operator==(const Node&, const Node&) = default;
    };

    // An entry as it was received, at its current place.
    struct Entry_View {
        std::uint32_t Line = 0;
        std::uint32_t Column = 0;
        std::string_view Text;
    };

    // An entry's place in its changed file: where its text is now, or where it was when Gone.
    struct Followed_Place {
        std::uint32_t Line = 0;
        std::uint32_t Column = 0;     // bytes of the line, from 1
        std::uint32_t Characters = 0; // the same column in characters, for editors; 0 when Gone
        bool Gone = false;
        friend bool operator==(const Followed_Place&, const Followed_Place&) = default;
    };
    struct Follow_Counts {
        std::uint64_t Moved = 0;
        std::uint64_t Gone = 0;
    };

    Results() = default;
    Results(const Results&) = delete;
    Results& operator=(const Results&) = delete;

    // --- The transfer's side (main thread) -----------------------------------------------------------
    // A new group: the entries appended next belong to it. Its place among the files is the one
    // the tree's own sorted insert gave it: after every name that compares lower or equal by the
    // system's word sort (lstrcmp), ahead of the first greater one; a name equal to one already
    // there comes right after the first of its equals.
    File_Index Add_File(std::string_view name);
    // An entry of the latest group, with its text as received (longer texts are cut at 65535 bytes).
    void Append(std::uint32_t line, std::uint32_t column, std::string_view text);
    // The latest entry; NO_ELEMENTS when there is none.
    Node Last() const;

    // --- Reading (any thread) -----------------------------------------------------------------------
    // NOT_IN_LIST unless Entry is an entry of the model.
    Index_List::Index_Entry Element_Of(Node entry) const;
    std::string File_Name(File_Index file) const;
    // The file's entries are First_Entry .. First_Entry + Entry_Count - 1.
    Entry_Index First_Entry(File_Index file) const;
    Entry_Index Entry_Count(File_Index file) const;
    File_Index File_Of(Entry_Index entry) const;
    // What the node shows, into Text: a file's name; an entry's text with the marker at its column
    // and blanks removed at both ends, and for an entry that moved "  (now line N)", for one whose
    // text left its file "  (gone)".
    void Node_Text(Node node, std::string& text) const;
    // The same in UTF-16, as the trees take it.
    void Node_Text(Node node, std::wstring& text) const;
    // The files in the order the trees show them.
    std::vector<File_Index> File_Order() const;
    // The nearest file before File in that order for which Wanted holds (quick: it runs under the
    // lock and must not call the model); None when there is none.
    File_Index Previous_File(File_Index file, const std::function<bool(File_Index)>& wanted) const;
    // Calls Visit(entry, view) for the entries First up to End (excluded, and at most those
    // stored), in arrival order, under the lock: Visit must be quick and must not call the model.
    template <typename Visit>
    void For_Each_Entry(Entry_Index first, Entry_Index end, Visit&& visit) const
    {
        std::lock_guard guard(lock_);
        const auto stored = static_cast<Entry_Index>(entries_.size());
        for (Entry_Index entry = first; entry < end && entry < stored; ++entry) visit(entry, View_Of(entry));
    }

    // --- Places in changed files (the place tracker writes, anyone reads) ---------------------------
    // The entry's place from now on; its place as received forgets that it ever moved.
    void Follow(Entry_Index entry, Followed_Place place);
    Follow_Counts Followed() const;
    bool Is_Gone(Entry_Index entry) const;

    // --- The trees' item data: the one place where a node becomes a number and back ---------------------
    static std::uintptr_t Item_Data(Node node) noexcept;
    // The node whose item data Data is; no node (both None) for data that names none.
    Node Node_Of(std::uintptr_t data) const;

private:
    struct File_Record {
        std::string Name;
        Entry_Index First = 0;
        Entry_Index Count = 0;
    };
    struct Entry_Record {
        std::uint32_t Line;
        std::uint32_t Column;
        std::uint32_t Chunk; // where the text lies
        std::uint16_t Offset;
        std::uint16_t Length;
    };
    // Texts never straddle two chunks: one that does not fit starts the next chunk.
    static constexpr std::size_t Chunk_Size = 1 << 16;

    Entry_View View_Of(Entry_Index entry) const; // at the current place
    File_Index File_Of_Locked(Entry_Index entry) const;
    void Insert_In_Order(File_Index file);

    mutable std::mutex lock_;
    std::vector<File_Record> files_;
    std::vector<File_Index> order_;
    std::vector<std::unique_ptr<char[]>> chunks_;
    std::size_t used_in_last_chunk_ = 0;
    std::deque<Entry_Record> entries_; // grows without moving or doubling what it holds
    std::unordered_map<Entry_Index, Followed_Place> followed_; // only those not at their place as received
    Follow_Counts follow_counts_;
};

} // namespace Control
