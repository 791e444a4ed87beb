#pragma once
// Keeps the places of the results on their texts while the user edits the files. When the
// transfer is complete, each file's time and size are noted and its folder watched; when a file
// changes, its places are found again on the watch's thread (Place_Finder) and the results model
// notes where each is now, or that its text is gone; the window is then told. Opening a place
// checks its file's time and size first, so that a change the watch has not told yet is followed
// all the same. A file that has not changed is never read.

#include "viewer/place_finder.hpp"
#include "viewer/results.hpp"
#include "gui/tree_view.hpp"
#include "windows/directory_watch.hpp"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace Control {

class Place_Tracker {
public:
    // A larger file is not followed: its places stay as they came.
    static constexpr std::uint64_t Largest_File = 256ull << 20;

    // Told, never on the window thread, of a file whose places were found again.
    using Changed_Routine = std::function<void(Results::File_Index file)>;

    explicit Place_Tracker(Results& results) : results_(results) {}
    ~Place_Tracker();
    Place_Tracker(const Place_Tracker&) = delete;
    Place_Tracker& operator=(const Place_Tracker&) = delete;

    // Once the transfer is over (main thread): notes every file's time and size and starts
    // watching their folders. Only files on this computer's drives are followed.
    void Start(Changed_Routine changed);
    // Not on the window thread: finds the file's places again when it changed since the last
    // look; returns at once for an unchanged file, or before Start.
    void Bring_Up_To_Date(Results::File_Index file);
    // At the window's close.
    void Stop();

private:
    struct Stamp {
        bool Exists = false;
        FILETIME Written{};
        std::uint64_t Size = 0;
        bool operator==(const Stamp& other) const noexcept;
    };
    struct Tracked {
        std::string Path; // full; empty for a file that is not followed
        Stamp Seen;
    };

    static Stamp Stamp_Of(const std::string& path);
    void Watch_Folders();
    bool Find_Again(Results::File_Index file);
    void Mark_All_Gone(Results::File_Index file);
    void Place_Entries(Results::File_Index file, const Place_Finder::Line_Index& lines, bool grew);

    Results& results_;
    Changed_Routine changed_;
    std::mutex lock_; // guards what follows, and one file is found again at a time
    bool started_ = false;
    std::vector<Tracked> files_;
    std::vector<std::vector<Results::File_Index>> in_folder_; // by the watch's folder numbers
    std::unique_ptr<Windows::Directory_Watch> watch_;
};

// "1 place moved, 2 gone" for the status line; "" while every place is as it came.
std::string Follow_Status(const Results::Follow_Counts& counts);

// Window thread: gives the entries of File in Tree the texts the results have for them now. File's
// node is looked for among the top-level items unless Known names it.
void Refresh_Entry_Texts(const Results& results, const Gui::Tree_View& tree, Results::File_Index file,
                         Gui::Tree_Item known = Gui::Root_Item);

} // namespace Control
