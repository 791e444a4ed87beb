#include "viewer/results.hpp"

#include "viewer/entry_text.hpp"
#include "windows/unicode.hpp"

#include <windows.h>

#include <algorithm>
#include <stdexcept>

namespace Control {

namespace {

// A file node's data has the top bit set; an entry's is its number + 1, so that 0 names no node.
constexpr std::uintptr_t File_Flag = std::uintptr_t{1} << (sizeof(std::uintptr_t) * 8 - 1);

// The ANSI form compares as the wide one does (it widens both names first), and ASCII names are
// the same in both: only other names need widening here.
int Compare_Names(const std::string& left, const std::string& right)
{
    if (Windows::Unicode::Is_Ascii(left) && Windows::Unicode::Is_Ascii(right))
        return lstrcmpA(left.c_str(), right.c_str());
    return lstrcmpW(Windows::Unicode::Wide(left).c_str(), Windows::Unicode::Wide(right).c_str());
}

} // namespace

Results::File_Index Results::Add_File(std::string_view name)
{
    std::lock_guard guard(lock_);
    files_.push_back({.Name = std::string(name), .First = static_cast<Entry_Index>(entries_.size()), .Count = 0});
    const auto file = static_cast<File_Index>(files_.size() - 1);
    Insert_In_Order(file);
    return file;
}

// The names before the new one are sorted, so the place is found by halving.
void Results::Insert_In_Order(File_Index file)
{
    const std::string& name = files_[file].Name;
    auto place = std::lower_bound(order_.begin(), order_.end(), name, [this](File_Index other, const std::string& key) {
        return Compare_Names(files_[other].Name, key) < 0;
    });
    if (place != order_.end() && Compare_Names(files_[*place].Name, name) == 0) ++place;
    order_.insert(place, file);
}

void Results::Append(std::uint32_t line, std::uint32_t column, std::string_view text)
{
    const std::size_t length = std::min<std::size_t>(text.size(), 0xFFFF);
    std::lock_guard guard(lock_);
    if (files_.empty()) throw std::logic_error("an entry before any file");
    Entry_Record record{.Line = line, .Column = column, .Chunk = 0, .Offset = 0, .Length = static_cast<std::uint16_t>(length)};
    if (length != 0) {
        if (chunks_.empty() || used_in_last_chunk_ + length > Chunk_Size) {
            chunks_.push_back(std::make_unique_for_overwrite<char[]>(Chunk_Size));
            used_in_last_chunk_ = 0;
        }
        text.copy(chunks_.back().get() + used_in_last_chunk_, length);
        record.Chunk = static_cast<std::uint32_t>(chunks_.size() - 1);
        record.Offset = static_cast<std::uint16_t>(used_in_last_chunk_);
        used_in_last_chunk_ += length;
    }
    entries_.push_back(record);
    ++files_.back().Count;
}

Results::Node Results::Last() const
{
    std::lock_guard guard(lock_);
    if (entries_.empty()) throw Index_List::NO_ELEMENTS("the index is empty");
    const auto entry = static_cast<Entry_Index>(entries_.size() - 1);
    return {File_Of_Locked(entry), entry};
}

Index_List::Index_Entry Results::Element_Of(Node entry) const
{
    std::lock_guard guard(lock_);
    if (!entry.Is_Entry() || entry.Entry >= entries_.size() || File_Of_Locked(entry.Entry) != entry.File)
        throw Index_List::NOT_IN_LIST("no entry " + std::to_string(entry.Entry) + " of file " + std::to_string(entry.File));
    const Entry_View view = View_Of(entry.Entry);
    const auto followed = followed_.find(entry.Entry);
    return {.File = files_[entry.File].Name,
            .Line = view.Line,
            .Column = view.Column,
            .Text = std::string(view.Text),
            .Moved_Characters = followed == followed_.end() ? 0 : followed->second.Characters};
}

std::string Results::File_Name(File_Index file) const
{
    std::lock_guard guard(lock_);
    return files_.at(file).Name;
}

Results::Entry_Index Results::First_Entry(File_Index file) const
{
    std::lock_guard guard(lock_);
    return files_.at(file).First;
}

Results::Entry_Index Results::Entry_Count(File_Index file) const
{
    std::lock_guard guard(lock_);
    return files_.at(file).Count;
}

Results::File_Index Results::File_Of(Entry_Index entry) const
{
    std::lock_guard guard(lock_);
    return File_Of_Locked(entry);
}

// Empty groups share their First with the group after them: the entry is in the last one.
Results::File_Index Results::File_Of_Locked(Entry_Index entry) const
{
    if (entry >= entries_.size()) throw std::out_of_range("no such entry");
    const auto after = std::upper_bound(files_.begin(), files_.end(), entry,
                                        [](Entry_Index key, const File_Record& file) { return key < file.First; });
    return static_cast<File_Index>(after - files_.begin() - 1);
}

void Results::Node_Text(Node node, std::string& text) const
{
    std::lock_guard guard(lock_);
    if (node.Is_File()) {
        text = files_.at(node.File).Name;
        return;
    }
    const Entry_Record& record = entries_.at(node.Entry);
    Shown_Text(View_Of(node.Entry).Text, record.Column, text); // the marker stays on the character sent
    const auto followed = followed_.find(node.Entry);
    if (followed == followed_.end()) return;
    text += followed->second.Gone ? "  (gone)" : "  (now line " + std::to_string(followed->second.Line) + ")";
}

void Results::Follow(Entry_Index entry, Followed_Place place)
{
    std::lock_guard guard(lock_);
    const Entry_Record& record = entries_.at(entry);
    auto count = [this](const Followed_Place& followed, int change) {
        std::uint64_t& counter = followed.Gone ? follow_counts_.Gone : follow_counts_.Moved;
        counter += static_cast<std::uint64_t>(change);
    };
    const auto before = followed_.find(entry);
    if (before != followed_.end()) {
        count(before->second, -1);
        followed_.erase(before);
    }
    if (!place.Gone && place.Line == record.Line && place.Column == record.Column) return;
    followed_.emplace(entry, place);
    count(place, +1);
}

Results::Follow_Counts Results::Followed() const
{
    std::lock_guard guard(lock_);
    return follow_counts_;
}

bool Results::Is_Gone(Entry_Index entry) const
{
    std::lock_guard guard(lock_);
    const auto followed = followed_.find(entry);
    return followed != followed_.end() && followed->second.Gone;
}

void Results::Node_Text(Node node, std::wstring& text) const
{
    thread_local std::string utf8;
    Node_Text(node, utf8);
    Windows::Unicode::Wide_Into(utf8, text);
}

std::vector<Results::File_Index> Results::File_Order() const
{
    std::lock_guard guard(lock_);
    return order_;
}

Results::File_Index Results::Previous_File(File_Index file, const std::function<bool(File_Index)>& wanted) const
{
    std::lock_guard guard(lock_);
    auto place = std::find(order_.begin(), order_.end(), file);
    while (place != order_.begin())
        if (wanted(*--place)) return *place;
    return None;
}

Results::Entry_View Results::View_Of(Entry_Index entry) const
{
    const Entry_Record& record = entries_.at(entry);
    const std::string_view text =
        record.Length == 0 ? std::string_view() : std::string_view(chunks_[record.Chunk].get() + record.Offset, record.Length);
    const auto followed = followed_.empty() ? followed_.end() : followed_.find(entry);
    if (followed != followed_.end()) return {.Line = followed->second.Line, .Column = followed->second.Column, .Text = text};
    return {.Line = record.Line, .Column = record.Column, .Text = text};
}

std::uintptr_t Results::Item_Data(Node node) noexcept
{
    if (node.Is_Entry()) return std::uintptr_t{node.Entry} + 1;
    return node.Is_File() ? File_Flag | node.File : 0;
}

Results::Node Results::Node_Of(std::uintptr_t data) const
{
    std::lock_guard guard(lock_);
    if (data & File_Flag) {
        const std::uintptr_t file = data & ~File_Flag;
        return file < files_.size() ? Node{static_cast<File_Index>(file), None} : Node{};
    }
    if (data == 0 || data - 1 >= entries_.size()) return {};
    const auto entry = static_cast<Entry_Index>(data - 1);
    return {File_Of_Locked(entry), entry};
}

} // namespace Control
