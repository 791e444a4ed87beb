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
    shown.assign(text.substr(0, column - 1));
    shown += Marker;
    shown.append(text.substr(column - 1));
    Text::Trim_In_Place(shown);
}

std::string Place_Text(const Index_List::Index_Entry& entry, std::string_view node_text)
{
    std::string text(node_text);
    if (const std::size_t marker = text.find(Marker); marker != std::string::npos) text.erase(marker, 1);
    return entry.File + ":" + std::to_string(entry.Line) + ":" + std::to_string(entry.Column) + ":" + text;
}

} // namespace Control
