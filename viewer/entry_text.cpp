#include "viewer/entry_text.hpp"

#include "support/failure.hpp"
#include "support/text.hpp"

namespace Control {

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

void Shown_Text(std::string_view text, std::uint32_t column, std::string& shown)
{
    Check_Column(text, column);
    shown.clear();
    std::size_t width = 0; // of what is shown before the next character, the marker left out
    for (std::size_t index = 0; index <= text.size(); ++index) {
        if (index == column - 1) shown += Marker;
        if (index == text.size()) break;
        if (text[index] == '\t') {
            const std::size_t blanks = Tab_Width - width % Tab_Width;
            shown.append(blanks, ' ');
            width += blanks;
        } else {
            shown += text[index];
            ++width;
        }
    }
    Text::Trim_In_Place(shown);
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
