#pragma once
// What of the results is in view: the filter the user typed and what the user dismissed, over
// the nodes that the full tree holds (the tree feed tells of each as it goes in). Window thread
// only; the entries' texts and names are the results model's.

#include "viewer/results.hpp"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace Control {

// The filter as typed: blank-separated words, each of which must occur in an entry's text or its
// file name, ignoring letter case in every script as the system compares ("ł" finds "Ł", "straße"
// finds "STRASSE"); a word that starts with "-" hides the entries in which the rest of it occurs.
// A lone "-" means nothing.
struct Filter {
    std::vector<std::string> Required; // UTF-8, ASCII letters in lower case
    std::vector<std::string> Excluded; // the same, without the "-"
    bool Is_Empty() const noexcept { return Required.empty() && Excluded.empty(); }
};
Filter Parse_Filter(std::string_view text);

// Whether Word (as Parse_Filter keeps it) occurs in UTF-8 Text, ignoring letter case. Most texts
// and words are ASCII and are compared byte by byte; the others by the system's comparison.
bool Holds_Word(std::string_view text, std::string_view word);

class Narrowing {
public:
    using Node = Results::Node;
    using Entry_Index = Results::Entry_Index;
    using File_Index = Results::File_Index;

    explicit Narrowing(const Results& results) : results_(results) {}
    Narrowing(const Narrowing&) = delete;
    Narrowing& operator=(const Narrowing&) = delete;

    // A node that went into the full tree, in arrival order: from now on the view covers it.
    void Take(Node node);
    Counts Received() const noexcept { return {matched_.size(), files_.size()}; }

    // While the view is plain the tree shows everything.
    void Set_Filter(std::string_view text);
    bool Is_Plain() const noexcept { return filter_.Is_Empty() && undo_.empty(); }
    bool Is_Shown(Node entry) const;
    // A file is shown when one of its entries is.
    bool Is_Shown_File(File_Index file) const;
    Counts Shown() const;

    // Dismissing hides the node (a file with all its entries, also those still to come); undoing
    // brings back the latest dismissed, again and again in reverse order. Returns what came back,
    // or nothing when nothing is dismissed.
    void Dismiss(Node node);
    bool Undo_Dismiss(Node& restored);
    bool Has_Dismissed() const noexcept { return !undo_.empty(); }

    // Every shown entry in the tree's order as its place line, each ended by CR LF; the file's
    // name as Written_Name gives it, without one as it came.
    std::string Place_Lines(const std::function<std::string(const std::string& name)>& written_name = {}) const;

private:
    struct File_State {
        bool Dismissed = false;
        std::vector<bool> Name_Has; // per filter word: whether the file's name holds it
    };
    // The entries of File that the view covers.
    std::pair<Entry_Index, Entry_Index> Covered_Entries(File_Index file) const;
    bool Matches(const File_State& file, std::string_view text) const;
    void Match_Name(File_Index file);

    const Results& results_;
    std::vector<File_State> files_;
    std::vector<bool> matched_;   // per entry, under the current filter
    std::vector<bool> dismissed_; // per entry
    Filter filter_;
    std::vector<Node> undo_;
};

} // namespace Control
