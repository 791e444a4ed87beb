#include "viewer/results.hpp"

#include "viewer/entry_text.hpp"

#include <windows.h>

#include <algorithm>
#include <array>
#include <stdexcept>

namespace Control {

namespace {

// The code page's own lower case, one byte at a time, as the user's letters compare.
const std::array<char, 256>& Lower_Table()
{
    static const std::array<char, 256> table = [] {
        std::array<char, 256> lower{};
        for (std::size_t code = 0; code < lower.size(); ++code) {
            lower[code] = static_cast<char>(code);
            if (code != 0) CharLowerBuffA(&lower[code], 1);
        }
        return lower;
    }();
    return table;
}

std::string Lowered(std::string_view text)
{
    std::string lower(text);
    for (char& character : lower) character = Lower_Case(character);
    return lower;
}

// The node text as the user reads it: lower case and without the marker. Into a buffer that is
// used again for every entry: the filter goes through all of them at each change.
std::string_view Searchable(std::string_view node_text, std::string& buffer)
{
    buffer.resize(node_text.size());
    for (std::size_t index = 0; index < node_text.size(); ++index) buffer[index] = Lower_Case(node_text[index]);
    if (const std::size_t marker = node_text.find(Marker); marker != std::string_view::npos) buffer.erase(marker, 1);
    return buffer;
}

// The entry's text as it came, so that the line read back shows the same node: the marker goes,
// and the blanks the node lost before the marker's place come back in front, so that the column
// still names the same character. (Blanks after the column at the line's end stay off.)
std::string Place_Line(const Index_List::Index_Entry& entry, std::string_view node_text)
{
    std::string text(node_text);
    const std::size_t marker = text.find(Marker);
    if (marker != std::string::npos) {
        text.erase(marker, 1);
        if (entry.Column - 1 > marker) text.insert(0, entry.Column - 1 - marker, ' ');
    }
    return entry.File.Text() + ":" + std::to_string(entry.Line) + ":" + std::to_string(entry.Column) + ":" + text;
}

int Compare_Names(const std::string& left, const std::string& right) { return lstrcmpA(left.c_str(), right.c_str()); }

} // namespace

char Lower_Case(char character) noexcept { return Lower_Table()[static_cast<unsigned char>(character)]; }

Filter Parse_Filter(std::string_view text)
{
    Filter filter;
    std::size_t start = 0;
    while (start < text.size()) {
        if (text[start] == ' ' || text[start] == '\t') {
            ++start;
            continue;
        }
        std::size_t end = text.find_first_of(" \t", start);
        if (end == std::string_view::npos) end = text.size();
        const std::string word = Lowered(text.substr(start, end - start));
        if (word[0] != '-') filter.Required.push_back(word);
        else if (word.size() > 1) filter.Excluded.push_back(word.substr(1));
        start = end;
    }
    return filter;
}

void Results::Add_File(const std::string& name)
{
    File_Record file;
    file.Name = name;
    file.First = static_cast<Entry_Index>(entry_data_.size());
    file.Text_Offset = Text_End();
    Match_Name(file);
    files_.push_back(std::move(file));
    Insert_In_Order(static_cast<File_Index>(files_.size() - 1));
}

// The names before the new one are sorted, so the place is found by halving; equal names stay in
// the order the tree gives them.
void Results::Insert_In_Order(File_Index file)
{
    const std::string& name = files_[file].Name;
    auto place = std::lower_bound(order_.begin(), order_.end(), name, [this](File_Index other, const std::string& key) {
        return Compare_Names(files_[other].Name, key) < 0;
    });
    if (place != order_.end() && Compare_Names(files_[*place].Name, name) == 0) ++place;
    order_.insert(place, file);
}

void Results::Add_Entry(std::string_view node_text, std::uintptr_t data)
{
    if (files_.empty()) throw std::logic_error("an entry before any file");
    const std::size_t length = std::min<std::size_t>(node_text.size(), 0xFFFF);
    File_Record& file = files_.back();
    if (length != 0 && (chunks_.empty() || used_in_last_chunk_ + length > Chunk_Size)) {
        chunks_.push_back(std::make_unique_for_overwrite<char[]>(Chunk_Size));
        used_in_last_chunk_ = 0;
    }
    node_text.copy(chunks_.back().get() + used_in_last_chunk_, length);
    used_in_last_chunk_ += length;
    lengths_.push_back(static_cast<std::uint16_t>(length));
    entry_data_.push_back(data);
    ++file.Count;
    matched_.push_back(filter_.Is_Empty() || Matches(file, node_text.substr(0, length)));
    dismissed_.push_back(false);
}

Results::File_Index Results::File_Of(Entry_Index entry) const
{
    if (entry >= entry_data_.size()) throw std::out_of_range("no such entry");
    const auto after = std::upper_bound(files_.begin(), files_.end(), entry,
                                        [](Entry_Index key, const File_Record& file) { return key < file.First; });
    // Empty groups share their First with the group after them: the entry is in the last one.
    return static_cast<File_Index>(after - files_.begin() - 1);
}

Results::Entry_Index Results::Entry_With_Data(std::uintptr_t data) const
{
    const auto found = std::find(entry_data_.begin(), entry_data_.end(), data);
    return found == entry_data_.end() ? None : static_cast<Entry_Index>(found - entry_data_.begin());
}

std::uint64_t Results::Text_End() const noexcept
{
    return chunks_.empty() ? 0 : (chunks_.size() - 1) * Chunk_Size + used_in_last_chunk_;
}

std::uint64_t Results::Text_Offset_Of(Entry_Index entry) const
{
    const File_Record& file = files_[File_Of(entry)];
    std::uint64_t offset = file.Text_Offset;
    for (Entry_Index before = file.First; before < entry; ++before)
        if (lengths_[before] != 0) offset = Fitted(offset, lengths_[before]) + lengths_[before];
    return offset;
}

std::string Results::Node_Text(Entry_Index entry) const
{
    std::string found;
    For_Each_Entry_From(entry, entry + 1, [&](Entry_Index, std::string_view text) { found = text; });
    return found;
}

void Results::Match_Name(File_Record& file) const
{
    const std::string name = Lowered(file.Name);
    file.Name_Has.clear();
    for (const std::string& word : filter_.Required) file.Name_Has.push_back(name.find(word) != std::string::npos);
    for (const std::string& word : filter_.Excluded) file.Name_Has.push_back(name.find(word) != std::string::npos);
}

bool Results::Matches(const File_Record& file, std::string_view node_text) const
{
    thread_local std::string buffer;
    const std::string_view text = Searchable(node_text, buffer);
    std::size_t word = 0;
    for (const std::string& required : filter_.Required)
        if (!file.Name_Has[word++] && text.find(required) == std::string_view::npos) return false;
    for (const std::string& excluded : filter_.Excluded)
        if (file.Name_Has[word++] || text.find(excluded) != std::string_view::npos) return false;
    return true;
}

void Results::Set_Filter(std::string_view text)
{
    filter_ = Parse_Filter(text);
    if (filter_.Is_Empty()) {
        for (File_Record& file : files_) file.Name_Has.clear();
        matched_.assign(matched_.size(), true);
        return;
    }
    for (File_Index file = 0; file < files_.size(); ++file) {
        File_Record& record = files_[file];
        Match_Name(record);
        For_Each_Entry(file, [&](Entry_Index entry, std::string_view node_text) {
            matched_[entry] = filter_.Is_Empty() || Matches(record, node_text);
        });
    }
}

bool Results::Is_Shown(Entry_Index entry) const
{
    return matched_.at(entry) && !dismissed_[entry] && !files_[File_Of(entry)].Dismissed;
}

bool Results::Is_Shown_File(File_Index file) const
{
    const File_Record& record = files_.at(file);
    if (record.Dismissed) return false;
    for (Entry_Index entry = record.First; entry < record.First + record.Count; ++entry)
        if (matched_[entry] && !dismissed_[entry]) return true;
    return false;
}

Results::Counts Results::Shown() const
{
    Counts shown;
    for (File_Index file = 0; file < files_.size(); ++file) {
        const File_Record& record = files_[file];
        if (record.Dismissed) continue;
        std::uint64_t entries = 0;
        for (Entry_Index entry = record.First; entry < record.First + record.Count; ++entry)
            entries += matched_[entry] && !dismissed_[entry];
        shown.Entries += entries;
        shown.Files += entries != 0;
    }
    return shown;
}

void Results::Dismiss(Node node)
{
    if (node.Is_File()) files_.at(node.File).Dismissed = true;
    else dismissed_.at(node.Entry) = true;
    undo_.push_back(node);
}

bool Results::Undo_Dismiss(Node& restored)
{
    if (undo_.empty()) return false;
    restored = undo_.back();
    undo_.pop_back();
    if (restored.Is_File()) files_[restored.File].Dismissed = false;
    else dismissed_[restored.Entry] = false;
    return true;
}

std::string Results::Place_Lines() const
{
    std::string lines;
    for (const File_Index file : order_) {
        if (files_[file].Dismissed) continue;
        For_Each_Entry(file, [&](Entry_Index entry, std::string_view text) {
            if (!matched_[entry] || dismissed_[entry]) return;
            const auto position = reinterpret_cast<Index_List::Position>(entry_data_[entry]);
            lines += Place_Line(Index_List::Item::Element_Of(position), text);
            lines += "\r\n";
        });
    }
    return lines;
}

} // namespace Control
