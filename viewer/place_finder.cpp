#include "viewer/place_finder.hpp"

#include "windows/unicode.hpp"

#include <algorithm>
#include <functional>

namespace Control::Place_Finder {

namespace {

constexpr std::string_view Blanks = " \t\r\f\v";
// lumen_send's compiler-message entries: the source line, then this, then the message.
constexpr std::string_view Message_Separator = "  <- ";
// lumen_send's mark where it cut a long line.
constexpr std::string_view Cut_Mark = "...";

std::string_view Trimmed(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(Blanks);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(Blanks) - first + 1);
}

std::size_t Start_Of(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(Blanks);
    return first == std::string_view::npos ? text.size() : first;
}

} // namespace

std::string Decoded_Text(std::string bytes) { return Windows::Unicode::Utf8_Of_File_Text(std::move(bytes)); }

// How a line may hold an entry's text: the whole of it, or for lumen_send's shortened forms its
// start or a part of it. Key is the text looked for; Text_Offset where it starts in the entry's
// text, so that the column follows where it starts in the line.
struct Line_Index::Shape {
    enum class Kind { Whole, Prefix, Part };
    struct Form {
        Kind How;
        std::string_view Key;
        std::size_t Text_Offset;
    };
    std::vector<Form> Forms;

    explicit Shape(std::string_view text)
    {
        Add(Kind::Whole, text, text);
        const std::size_t separator = text.find(Message_Separator);
        if (separator != std::string_view::npos) {
            Add(Kind::Whole, text, text.substr(0, separator));
            Add(Kind::Prefix, text, text.substr(0, separator)); // a long source line is cut short
        }
        const bool cut_before = text.starts_with(Cut_Mark);
        const bool cut_after = text.size() > Cut_Mark.size() && text.ends_with(Cut_Mark);
        if (cut_before || cut_after) {
            std::string_view part = text.substr(cut_before ? Cut_Mark.size() : 0);
            if (cut_after) part.remove_suffix(Cut_Mark.size());
            Add(cut_before ? Kind::Part : Kind::Prefix, text, part);
        }
    }

    void Add(Kind how, std::string_view text, std::string_view piece)
    {
        const std::string_view key = how == Kind::Part ? piece : Trimmed(piece);
        if (key.empty()) return;
        Forms.push_back({how, key, static_cast<std::size_t>(key.data() - text.data())});
    }

    // Where the form's key starts in Line when Line holds it; npos when it does not.
    static std::size_t Held_At(const Form& form, std::string_view line)
    {
        const std::string_view trimmed = Trimmed(line);
        switch (form.How) {
        case Kind::Whole:
            return trimmed == form.Key ? Start_Of(line) : std::string_view::npos;
        case Kind::Prefix:
            return trimmed.starts_with(form.Key) ? Start_Of(line) : std::string_view::npos;
        case Kind::Part:
            return line.find(form.Key);
        }
        return std::string_view::npos;
    }
};

namespace {

Place Moved_To(std::uint32_t line, Place last, std::size_t text_offset, std::size_t line_offset)
{
    const std::int64_t column = std::int64_t{last.Column} - std::int64_t(text_offset) + std::int64_t(line_offset);
    return {.Line = line, .Column = static_cast<std::uint32_t>(std::max<std::int64_t>(column, 1))};
}

} // namespace

Line_Index::Line_Index(std::string text) : text_(std::move(text))
{
    const std::string_view all = text_;
    for (std::size_t start = 0; start < all.size();) {
        std::size_t end = all.find('\n', start);
        if (end == std::string_view::npos) end = all.size();
        const std::size_t length = end > start && all[end - 1] == '\r' ? end - start - 1 : end - start;
        lines_.push_back(all.substr(start, length));
        start = end + 1;
    }
}

Finding Line_Index::Find(std::string_view text, Place last, bool later_on_ties) const
{
    const Shape shape(text);
    if (shape.Forms.empty()) return {.Where = last, .Found = false};
    const Finding near = Scan(shape, last, later_on_ties, Near_Lines, true);
    if (near.Found) return near;
    const Finding whole = Find_Whole(shape, last, later_on_ties);
    return whole.Found ? whole : Scan(shape, last, later_on_ties, static_cast<std::int64_t>(lines_.size()), false);
}

void Line_Index::Build_Index() const
{
    if (indexed_) return;
    by_hash_.reserve(lines_.size());
    const std::hash<std::string_view> hash;
    for (std::uint32_t index = 0; index < lines_.size(); ++index)
        by_hash_.push_back({hash(Trimmed(lines_[index])), index + 1});
    std::sort(by_hash_.begin(), by_hash_.end());
    indexed_ = true;
}

// The lines whose text has the key's hash are in rising order: the nearest holding lines on
// either side are the first ones, from where the place was, that hold the key.
Finding Line_Index::Find_Whole(const Shape& shape, Place last, bool later_on_ties) const
{
    const std::hash<std::string_view> hash;
    for (const Shape::Form& form : shape.Forms) {
        if (form.How != Shape::Kind::Whole) continue;
        Build_Index();
        const std::size_t key = hash(form.Key);
        const auto first = std::lower_bound(by_hash_.begin(), by_hash_.end(), Keyed_Line{key, 0});
        const auto end = std::upper_bound(first, by_hash_.end(), Keyed_Line{key, 0xFFFFFFFF});
        const auto holds = [&](const Keyed_Line& keyed) { return Trimmed(lines_[keyed.Line - 1]) == form.Key; };
        const auto from = std::lower_bound(first, end, Keyed_Line{key, last.Line});
        const auto later = std::find_if(from, end, holds);
        auto earlier = end;
        for (auto candidate = from; candidate != first;) {
            if (holds(*--candidate)) {
                earlier = candidate;
                break;
            }
        }
        if (later == end && earlier == end) continue;
        std::uint32_t best = 0;
        if (later == end) best = earlier->Line;
        else if (earlier == end) best = later->Line;
        else {
            const std::uint32_t down = later->Line - last.Line;
            const std::uint32_t up = last.Line - earlier->Line;
            best = down < up || (down == up && later_on_ties) ? later->Line : earlier->Line;
        }
        return {.Where = Moved_To(best, last, form.Text_Offset, Start_Of(lines_[best - 1])), .Found = true};
    }
    return {.Where = last, .Found = false};
}

// Lines tried outwards from the last place, up to Reach away; with Whole the whole-line forms
// too, else only the shortened ones, which no index can look up.
Finding Line_Index::Scan(const Shape& shape, Place last, bool later_on_ties, std::int64_t reach, bool whole) const
{
    const std::int64_t count = static_cast<std::int64_t>(lines_.size());
    const std::int64_t origin = std::clamp<std::int64_t>(last.Line, 1, std::max<std::int64_t>(count, 1));
    auto try_line = [&](std::int64_t line, Finding& found) {
        if (line < 1 || line > count) return false;
        for (const Shape::Form& form : shape.Forms) {
            if (form.How == Shape::Kind::Whole && !whole) continue;
            const std::size_t at = Shape::Held_At(form, lines_[static_cast<std::size_t>(line - 1)]);
            if (at == std::string_view::npos) continue;
            found = {.Where = Moved_To(static_cast<std::uint32_t>(line), last, form.Text_Offset, at), .Found = true};
            return true;
        }
        return false;
    };
    Finding found{.Where = last, .Found = false};
    for (std::int64_t distance = 0; distance <= std::min(reach, count); ++distance) {
        const std::int64_t first = later_on_ties ? origin + distance : origin - distance;
        const std::int64_t second = later_on_ties ? origin - distance : origin + distance;
        if (try_line(first, found) || try_line(second, found)) return found;
    }
    return found;
}

} // namespace Control::Place_Finder
