#include "viewer/entry_text.hpp"

#include "support/failure.hpp"
#include "support/text.hpp"
#include "support/utf8.hpp"

#include <windows.h>

#include <algorithm>

namespace Control {

bool Joins_The_One_Before(char32_t code_point) noexcept
{
    if (code_point < 0x300) return false;
    if (code_point == 0x200D || (code_point >= 0xFE00 && code_point <= 0xFE0F)) return true;
    if ((code_point >= 0x1F3FB && code_point <= 0x1F3FF) || (code_point >= 0xE0100 && code_point <= 0xE01EF))
        return true;
    if (code_point > 0xFFFF) return false;
    const auto unit = static_cast<wchar_t>(code_point);
    WORD type = 0;
    return GetStringTypeW(CT_CTYPE3, &unit, 1, &type) && (type & C3_NONSPACING);
}

void Check_Column(std::string_view text, std::uint32_t column)
{
    if (column < 1 || column > text.size() + 1)
        throw Failures::INDEX_ERROR("column " + std::to_string(column) + " outside 1 .. " +
                                    std::to_string(text.size() + 1));
}

std::string Shown_Text(std::string_view text, std::uint32_t column)
{
    std::string shown;
    Shown_Text(text, column, shown);
    return shown;
}

// A character that joins the one before moves the marker back to before that one: the marker
// goes where the last character that stands on its own started in Shown.
void Shown_Text(std::string_view text, std::uint32_t column, std::string& shown)
{
    Check_Column(text, column);
    shown.clear();
    std::size_t width = 0;      // of what is shown before the next character, the marker left out
    std::size_t base_start = 0; // in Shown: where the latest character that stands on its own begins
    for (std::size_t index = 0; index <= text.size();) {
        if (index == text.size()) {
            if (index == column - 1) shown += Marker;
            break;
        }
        const auto [length, code_point] = Utf8::Character_At(text, index);
        const bool joins = index != 0 && Joins_The_One_Before(code_point);
        if (index == column - 1) shown.insert(joins ? base_start : shown.size(), Marker);
        if (!joins) base_start = shown.size();
        if (code_point == '\t') {
            const std::size_t blanks = Tab_Width - width % Tab_Width;
            shown.append(blanks, ' ');
            width += blanks;
        } else {
            shown.append(text.substr(index, length));
            if (!joins) ++width;
        }
        index += length;
    }
    Text::Trim_In_Place(shown);
}

std::uint32_t Character_Column(std::string_view text, std::uint32_t column)
{
    return static_cast<std::uint32_t>(Utf8::Code_Point_Column(text, column));
}

std::uint32_t Character_Column(const Index_List::Index_Entry& entry)
{
    return entry.Moved_Characters != 0 ? entry.Moved_Characters : Character_Column(entry.Text, entry.Column);
}


std::string Place_Line(const Index_List::Index_Entry& entry)
{
    std::string line;
    Append_Place_Line(line, entry.File, entry.Line, entry.Column, entry.Text);
    return line;
}

void Append_Place_Line(std::string& lines, std::string_view file, std::uint32_t line, std::uint32_t column,
                       std::string_view text)
{
    lines.append(file);
    lines += ':';
    lines += std::to_string(line);
    lines += ':';
    lines += std::to_string(column);
    lines += ':';
    lines.append(text);
}

} // namespace Control
