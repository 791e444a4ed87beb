#pragma once
// List-view columns whose widths are remembered: each registered column's current width is
// written into the "Metrics" key when the main window closes in its normal placement, as the
// REG_DWORD "LV <Key_Number>: <Key_Text>". The registered list holds references only; whoever
// registers a column owns its record and keeps it alive until the window has closed.

#include "gui/list_view.hpp"
#include "support/linked_list.hpp"

#include <cstdint>
#include <string>

namespace Gui::Registered::List_View_Data {

struct Registered_Column {
    Gui::List_View List;
    std::int32_t Column_Index = 1; // 1-based
    std::int32_t Key_Number = 1;
    std::string Key_Text;
};

using Item = Linked_List::List<Registered_Column*, "GUI.REGISTERED.LIST_VIEW_DATA">;
using Position = Item::Position;
using NO_ELEMENTS = Item::NO_ELEMENTS;
using NOT_IN_LIST = Item::NOT_IN_LIST;
using NOT_FOUND = Item::NOT_FOUND;
using NOT_UPDATED = Item::NOT_UPDATED;

// The process-wide list of registered columns, saved in list order. Empty at start-up; only to
// be changed before the main window closes.
Item& Registered_Columns();

// "LV" + " " + Key_Number + ": " + Key_Text; RANGE_ERROR for a Key_Number below 1.
std::string Value_Name(std::int32_t key_number, const std::string& key_text);

// Writes the column's current width into the current settings key. ACCESS_ERROR for a null
// column, RANGE_ERROR for a Key_Number or Column_Index below 1; a registry failure propagates.
void Save(const Registered_Column* column);

} // namespace Gui::Registered::List_View_Data
