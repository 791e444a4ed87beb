#include "gui/registered/list_view_data.hpp"

#include "gui/registered/registered.hpp"

namespace Gui::Registered::List_View_Data {

Item& Registered_Columns()
{
    // Cleared when the program ends; the records it refers to are left alone.
    static Item columns;
    return columns;
}

std::string Value_Name(std::int32_t key_number, const std::string& key_text)
{
    if (key_number < 1) throw Failures::RANGE_ERROR("list-view key number " + std::to_string(key_number));
    return "LV " + std::to_string(key_number) + ": " + key_text;
}

void Save(const Registered_Column* column)
{
    if (!column) throw Failures::ACCESS_ERROR("a null registered list-view column");
    const std::string name = Value_Name(column->Key_Number, column->Key_Text);
    if (column->Column_Index < 1)
        throw Failures::RANGE_ERROR("list-view column index " + std::to_string(column->Column_Index));
    const std::int32_t width = Column_Width(column->List, column->Column_Index - 1);
    Write_Setting(name, width);
}

} // namespace Gui::Registered::List_View_Data
