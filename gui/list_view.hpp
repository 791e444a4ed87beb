#pragma once
// A report-style list whose cell texts are never stored in the control: each item holds only a
// pointer-sized data value, and the control asks the application for a cell's text every time it
// draws the cell. A click on a column header sorts the items through the application's comparison
// routine, alternating between ascending and descending; a double-click hands the item's data to
// the activation routine on the action thread; an optional colour callback colours each item.
//
// The text, colour and comparison callbacks run on the window thread while the list paints or
// sorts: they must be quick and must not call framework operations. Every operation may be called
// from any thread and does nothing (returning 0) once the main window is closing.

#include "gui/callbacks.hpp"
#include "gui/controls.hpp"
#include "gui/pages.hpp"
#include "support/failure.hpp"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

namespace Gui {

enum class Comparison { Less, Equal, Greater };
enum class Alignment { Left, Right, Centre };

// Column: 0-based. Data: the item's data value.
using List_Text_Callback = std::function<std::string(int column, std::uintptr_t data)>;
using List_Wide_Text_Callback = std::function<std::wstring(int column, std::uintptr_t data)>;
// Column: 0-based, the column being sorted.
using Comparison_Routine = std::function<Comparison(std::uintptr_t data_1, std::uintptr_t data_2, int column)>;

class List_View : public Child {
public:
    using Child::Child;
    // A cell text has at most Cell_Text_Limit characters; a longer one fails that drawing request.
    static constexpr std::size_t Cell_Text_Limit = 1999;
    using CELL_TEXT_TOO_LONG = Failures::Failure<"GUI.LIST_VIEW.CELL_TEXT_TOO_LONG">;
};

struct List_View_Options {
    Colour_Callback Colour;
    // Without one the headers are not clickable.
    Comparison_Routine Comparison;
    // Without one a double-click does nothing.
    Action_Routine_With_Argument Activation;
    // Otherwise the list gets the fixed-pitch system font.
    bool Keep_Default_Font = false;
    // The colour callback gives the text background instead of the text colour.
    bool Colour_Is_Background = false;
};

List_View Create_List_View(const Page& page, List_Text_Callback text, List_View_Options options = {});
List_View Create_List_View(const Page& page, List_Wide_Text_Callback text, List_View_Options options = {});

void Show_Grid_Lines(const List_View& list);
void Hide_Grid_Lines(const List_View& list);

// Columns are numbered from 0 here. A column that does not exist has width 0.
std::int32_t Column_Width(const List_View& list, int column);
void Set_Column_Width(const List_View& list, int column, std::int32_t width);
void Set_Column_Title(const List_View& list, int column, const std::string& title);
// Appends a column after the last one.
void Insert_Column(const List_View& list, const std::string& title, std::int32_t width, Alignment alignment);
// Removes the last column, if any.
void Delete_Column(const List_View& list);
std::int32_t Column_Count(const List_View& list);

// Items are numbered from 1 here.
// Appends an item after the last one.
void Insert_Item(const List_View& list, std::uintptr_t data);
// Asks for the item's texts again.
void Update_Item(const List_View& list, std::int32_t item);
// Does nothing for an item number outside 1 .. Item_Count.
void Delete_Item(const List_View& list, std::int32_t item);
void Delete_All_Items(const List_View& list);
std::int32_t Item_Count(const List_View& list);
// Column numbered from 1. Only with a comparison routine; the next header click sorts the other way.
void Sort(const List_View& list, int column, bool descending);
// Prepares the control for Count items (RANGE_ERROR below 0); the kept item count is unchanged.
void Set_Item_Count(const List_View& list, std::int32_t count);
std::int32_t Items_Per_Page(const List_View& list);
// Scrolls the last item fully into view.
void Show_Last_Item(const List_View& list);

} // namespace Gui
