#include "viewer/narrowing.hpp"

#include "viewer/entry_text.hpp"
#include "windows/unicode.hpp"

#include <windows.h>

#include <algorithm>

namespace Control {

namespace {

char Ascii_Lower(char character) noexcept
{
    return character >= 'A' && character <= 'Z' ? static_cast<char>(character - 'A' + 'a') : character;
}

std::string Ascii_Lowered(std::string_view text)
{
    std::string lower(text);
    for (char& character : lower) character = Ascii_Lower(character);
    return lower;
}

// A text as the filter searches it, kept for all its words: the ASCII letters lowered, and, for a
// text or a word beyond ASCII, its UTF-16 for the system's comparison. The buffers are used again
// for every entry: the filter goes through all of them at each change.
class Searched_Text {
public:
    void Take(std::string_view text)
    {
        text_ = text;
        ascii_ = Windows::Unicode::Is_Ascii(text);
        lowered_.resize(text.size());
        std::transform(text.begin(), text.end(), lowered_.begin(), Ascii_Lower);
        wide_ready_ = false;
    }

    bool Holds(std::string_view word)
    {
        if (ascii_ && Windows::Unicode::Is_Ascii(word)) return lowered_.find(word) != std::string::npos;
        if (!wide_ready_) Windows::Unicode::Wide_Into(text_, wide_);
        wide_ready_ = true;
        Windows::Unicode::Wide_Into(word, wide_word_);
        return Found_Ignoring_Case(wide_, wide_word_);
    }

private:
    static bool Found_Ignoring_Case(const std::wstring& text, const std::wstring& word)
    {
        if (word.empty()) return true;
        if (text.empty()) return false;
        return FindNLSStringEx(LOCALE_NAME_USER_DEFAULT, FIND_FROMSTART | NORM_IGNORECASE, text.data(),
                               static_cast<int>(text.size()), word.data(), static_cast<int>(word.size()), nullptr,
                               nullptr, nullptr, 0) >= 0;
    }

    std::string_view text_;
    bool ascii_ = true;
    std::string lowered_;
    bool wide_ready_ = false;
    std::wstring wide_;
    std::wstring wide_word_;
};

Searched_Text& Searched(std::string_view text)
{
    thread_local Searched_Text searched;
    searched.Take(text);
    return searched;
}

} // namespace

bool Holds_Word(std::string_view text, std::string_view word) { return Searched(text).Holds(word); }

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
        const std::string word = Ascii_Lowered(text.substr(start, end - start));
        if (word[0] != '-') filter.Required.push_back(word);
        else if (word.size() > 1) filter.Excluded.push_back(word.substr(1));
        start = end;
    }
    return filter;
}

void Narrowing::Take(Node node)
{
    if (node.Is_File()) {
        files_.resize(std::max<std::size_t>(files_.size(), node.File + 1));
        Match_Name(node.File);
        return;
    }
    bool matched = true;
    if (!filter_.Is_Empty()) {
        results_.For_Each_Entry(node.Entry, node.Entry + 1, [&](Entry_Index, const Results::Entry_View& view) {
            matched = Matches(files_.at(node.File), view.Text);
        });
    }
    matched_.push_back(matched);
    dismissed_.push_back(false);
}

std::pair<Narrowing::Entry_Index, Narrowing::Entry_Index> Narrowing::Covered_Entries(File_Index file) const
{
    const Entry_Index first = results_.First_Entry(file);
    const Entry_Index end = first + results_.Entry_Count(file);
    const auto covered = static_cast<Entry_Index>(matched_.size());
    return {std::min(first, covered), std::min(end, covered)};
}

void Narrowing::Match_Name(File_Index file)
{
    File_State& state = files_[file];
    state.Name_Has.clear();
    if (filter_.Is_Empty()) return;
    const std::string name = results_.File_Name(file);
    Searched_Text& searched = Searched(name);
    for (const std::string& word : filter_.Required) state.Name_Has.push_back(searched.Holds(word));
    for (const std::string& word : filter_.Excluded) state.Name_Has.push_back(searched.Holds(word));
}

bool Narrowing::Matches(const File_State& file, std::string_view text) const
{
    Searched_Text& searched = Searched(text);
    std::size_t word = 0;
    for (const std::string& required : filter_.Required)
        if (!file.Name_Has[word++] && !searched.Holds(required)) return false;
    for (const std::string& excluded : filter_.Excluded)
        if (file.Name_Has[word++] || searched.Holds(excluded)) return false;
    return true;
}

void Narrowing::Set_Filter(std::string_view text)
{
    filter_ = Parse_Filter(text);
    for (File_Index file = 0; file < files_.size(); ++file) {
        Match_Name(file);
        const auto [first, end] = Covered_Entries(file);
        results_.For_Each_Entry(first, end, [&](Entry_Index entry, const Results::Entry_View& view) {
            matched_[entry] = filter_.Is_Empty() || Matches(files_[file], view.Text);
        });
    }
}

bool Narrowing::Is_Shown(Node entry) const
{
    return matched_.at(entry.Entry) && !dismissed_[entry.Entry] && !files_.at(entry.File).Dismissed;
}

bool Narrowing::Is_Shown_File(File_Index file) const
{
    if (files_.at(file).Dismissed) return false;
    const auto [first, end] = Covered_Entries(file);
    for (Entry_Index entry = first; entry < end; ++entry)
        if (matched_[entry] && !dismissed_[entry]) return true;
    return false;
}

Counts Narrowing::Shown() const
{
    Counts shown;
    for (File_Index file = 0; file < files_.size(); ++file) {
        if (files_[file].Dismissed) continue;
        const auto [first, end] = Covered_Entries(file);
        std::uint64_t entries = 0;
        for (Entry_Index entry = first; entry < end; ++entry) entries += matched_[entry] && !dismissed_[entry];
        shown.Entries += entries;
        shown.Files += entries != 0;
    }
    return shown;
}

void Narrowing::Dismiss(Node node)
{
    if (node.Is_File()) files_.at(node.File).Dismissed = true;
    else dismissed_.at(node.Entry) = true;
    undo_.push_back(node);
}

bool Narrowing::Undo_Dismiss(Node& restored)
{
    if (undo_.empty()) return false;
    restored = undo_.back();
    undo_.pop_back();
    if (restored.Is_File()) files_[restored.File].Dismissed = false;
    else dismissed_[restored.Entry] = false;
    return true;
}

std::string Narrowing::Place_Lines(const std::function<std::string(const std::string& name)>& written_name) const
{
    std::string lines;
    for (const File_Index file : results_.File_Order()) {
        if (file >= files_.size() || files_[file].Dismissed) continue;
        const std::string name = written_name ? written_name(results_.File_Name(file)) : results_.File_Name(file);
        const auto [first, end] = Covered_Entries(file);
        results_.For_Each_Entry(first, end, [&](Entry_Index entry, const Results::Entry_View& view) {
            if (!matched_[entry] || dismissed_[entry]) return;
            Append_Place_Line(lines, name, view.Line, view.Column, view.Text);
            lines += "\r\n";
        });
    }
    return lines;
}

} // namespace Control
