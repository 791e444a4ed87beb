#include "viewer/place_tracker.hpp"

#include "viewer/entry_text.hpp"
#include "support/log.hpp"
#include "windows/local_files.hpp"
#include "windows/unicode.hpp"
#include "windows/unique_handle.hpp"

#include <map>
#include <optional>

namespace Control {

namespace {

// The whole file, or nothing when it cannot be read now (an editor holding it while it saves):
// the next change or use tries again.
std::optional<std::string> Contents_Of(const std::string& path)
{
    Windows::Unique_File file{CreateFileW(Windows::Unicode::Wide(path).c_str(), GENERIC_READ,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr)};
    LARGE_INTEGER size{};
    if (!file || !GetFileSizeEx(file.get(), &size)) return std::nullopt;
    if (static_cast<std::uint64_t>(size.QuadPart) > Place_Tracker::Largest_File) return std::nullopt;
    std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
    std::size_t taken = 0;
    while (taken < bytes.size()) {
        DWORD read = 0;
        if (!ReadFile(file.get(), bytes.data() + taken, static_cast<DWORD>(bytes.size() - taken), &read, nullptr))
            return std::nullopt;
        if (read == 0) break; // shorter than it was a moment ago
        taken += read;
    }
    bytes.resize(taken);
    return bytes;
}

std::string Folder_Of(const std::string& path) { return path.substr(0, path.find_last_of('\\') + 1); }

// A drive letter may stand for a share: no file of one is looked at unasked. Canonical paths start
// with the drive, "C:\".
bool On_Network_Drive(const std::string& path)
{
    const std::wstring root = Windows::Unicode::Wide(path.substr(0, 3));
    return GetDriveTypeW(root.c_str()) == DRIVE_REMOTE;
}

// Whether some part of Path, from the drive down, is a link or junction: looking at what lies
// behind one might reach another computer, and nobody asked for that. Each part is looked at
// before the parts below it, so no link is ever followed here; Known keeps the answers for the
// folders that many files share.
bool Crosses_A_Link(const std::string& path, std::map<std::string, bool>& known)
{
    for (std::size_t end = path.find('\\', 3); ; end = path.find('\\', end + 1)) {
        const std::string part = path.substr(0, end);
        auto [answer, added] = known.try_emplace(part, false);
        if (added) {
            const DWORD attributes = GetFileAttributesW(Windows::Unicode::Wide(part).c_str());
            answer->second = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
        }
        if (answer->second) return true;
        if (end == std::string::npos) return false;
    }
}

} // namespace

bool Place_Tracker::Stamp::operator==(const Stamp& other) const noexcept
{
    return Exists == other.Exists && Size == other.Size && Written.dwLowDateTime == other.Written.dwLowDateTime &&
           Written.dwHighDateTime == other.Written.dwHighDateTime;
}

Place_Tracker::~Place_Tracker() { Stop(); }

Place_Tracker::Stamp Place_Tracker::Stamp_Of(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(Windows::Unicode::Wide(path).c_str(), GetFileExInfoStandard, &data)) return {};
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return {};
    return {.Exists = true,
            .Written = data.ftLastWriteTime,
            .Size = (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow};
}

void Place_Tracker::Start(Changed_Routine changed)
{
    std::lock_guard guard(lock_);
    if (started_) return;
    changed_ = std::move(changed);
    const std::size_t count = results_.File_Order().size();
    files_.resize(count);
    std::map<std::string, bool> links;
    for (Results::File_Index file = 0; file < count; ++file) {
        const Windows::Local_Files::Decision local = Windows::Local_Files::Canonical(results_.File_Name(file));
        if (!local.Accepted() || On_Network_Drive(local.Path) || Crosses_A_Link(local.Path, links)) continue;
        files_[file] = {.Path = local.Path, .Seen = Stamp_Of(local.Path)};
    }
    started_ = true;
    Watch_Folders();
}

// A folder that cannot be watched leaves its files to the check when a place is opened.
void Place_Tracker::Watch_Folders()
{
    std::map<std::string, std::vector<Results::File_Index>> folders;
    for (Results::File_Index file = 0; file < files_.size(); ++file)
        if (!files_[file].Path.empty()) folders[Folder_Of(files_[file].Path)].push_back(file);
    try {
        watch_ = std::make_unique<Windows::Directory_Watch>([this](std::size_t folder) {
            for (const Results::File_Index file : in_folder_[folder]) Bring_Up_To_Date(file);
        });
        for (auto& [folder, files] : folders) {
            try {
                watch_->Add(folder);
                in_folder_.push_back(std::move(files));
            } catch (const Windows::Directory_Watch::NOT_WATCHED&) {
            }
        }
        watch_->Start();
    } catch (const Failures::Named_Failure& failure) {
        Log::Put("Places are followed only when opened: " + failure.Information());
    }
}

void Place_Tracker::Bring_Up_To_Date(Results::File_Index file)
{
    bool found_again = false;
    {
        std::lock_guard guard(lock_);
        if (!started_ || file >= files_.size() || files_[file].Path.empty()) return;
        found_again = Find_Again(file);
    }
    if (found_again && changed_) changed_(file);
}

// The newest state of the file wins: it is read as it is now, and a change during the read comes
// as another change.
bool Place_Tracker::Find_Again(Results::File_Index file)
{
    Tracked& tracked = files_[file];
    const Stamp now = Stamp_Of(tracked.Path);
    if (now == tracked.Seen) return false;
    const bool grew = now.Size >= tracked.Seen.Size;
    if (!now.Exists) {
        tracked.Seen = now;
        Mark_All_Gone(file);
        return true;
    }
    std::optional<std::string> contents = Contents_Of(tracked.Path);
    if (!contents) return false;
    tracked.Seen = now;
    const Place_Finder::Line_Index lines(Place_Finder::Decoded_Text(std::move(*contents)));
    Place_Entries(file, lines, grew);
    return true;
}

void Place_Tracker::Mark_All_Gone(Results::File_Index file)
{
    const Results::Entry_Index first = results_.First_Entry(file);
    std::vector<std::pair<Results::Entry_Index, Results::Followed_Place>> places;
    results_.For_Each_Entry(first, first + results_.Entry_Count(file),
                            [&](Results::Entry_Index entry, const Results::Entry_View& view) {
                                places.push_back({entry, {.Line = view.Line, .Column = view.Column, .Gone = true}});
                            });
    for (const auto& [entry, place] : places) results_.Follow(entry, place);
}

// Each entry is looked for from where it was last seen.
void Place_Tracker::Place_Entries(Results::File_Index file, const Place_Finder::Line_Index& lines, bool grew)
{
    struct Last_Seen {
        Results::Entry_Index Entry;
        Place_Finder::Place Where;
        std::string Text;
    };
    std::vector<Last_Seen> entries;
    const Results::Entry_Index first = results_.First_Entry(file);
    results_.For_Each_Entry(first, first + results_.Entry_Count(file),
                            [&](Results::Entry_Index entry, const Results::Entry_View& view) {
                                entries.push_back({entry, {view.Line, view.Column}, std::string(view.Text)});
                            });
    for (const Last_Seen& entry : entries) {
        const Place_Finder::Finding found = lines.Find(entry.Text, entry.Where, grew);
        const std::uint32_t characters =
            found.Found ? Character_Column(lines.Line(found.Where.Line), found.Where.Column) : 0;
        results_.Follow(entry.Entry, {.Line = found.Where.Line,
                                      .Column = found.Where.Column,
                                      .Characters = characters,
                                      .Gone = !found.Found});
    }
}

void Place_Tracker::Stop()
{
    std::unique_ptr<Windows::Directory_Watch> watch;
    {
        std::lock_guard guard(lock_);
        watch = std::move(watch_);
    }
    if (watch) watch->Stop();
}

std::string Follow_Status(const Results::Follow_Counts& counts)
{
    if (counts.Moved == 0 && counts.Gone == 0) return {};
    return std::to_string(counts.Moved) + (counts.Moved == 1 ? " place moved, " : " places moved, ") +
           std::to_string(counts.Gone) + " gone";
}

void Refresh_Entry_Texts(const Results& results, const Gui::Tree_View& tree, Results::File_Index file,
                         Gui::Tree_Item known)
{
    Gui::Tree_Item item = known;
    for (item = Gui::Is_Root(item) ? Gui::First_Child(tree, Gui::Root_Item) : item; !Gui::Is_Root(item);
         item = Gui::Next_Sibling(tree, item))
        if (results.Node_Of(Gui::Item_Data(tree, item)).File == file) break;
    if (Gui::Is_Root(item)) return;
    std::string text;
    for (Gui::Tree_Item entry = Gui::First_Child(tree, item); !Gui::Is_Root(entry); entry = Gui::Next_Sibling(tree, entry)) {
        results.Node_Text(results.Node_Of(Gui::Item_Data(tree, entry)), text);
        Gui::Set_Text(tree, entry, text);
    }
}

} // namespace Control
