#pragma once
// Pages: logical groups of child controls shown one at a time above the status line. With two or
// more pages a tab control shows one tab per page. The current page is laid out on every resize,
// when it is shown and when a control is added to it.

#include "gui/callbacks.hpp"
#include "gui/kinds.hpp"

#include <atomic>
#include <cstdint>
#include <string>

namespace Gui {

class Child_Record;

struct Layout_Option {
    bool Button_Sizing = false; // the page's buttons share the row width equally
    bool Tall_Rows = false;     // the button row takes the height the other controls leave
};

// Allocated by Create_Page and never freed. The control fields are touched on the window thread
// only (by the creation protocol and the layout).
struct Page_Record {
    std::string Name;
    Layout_Option Option;
    Action_Routine Show_Action;
    std::int32_t Control_Count = 0; // companions included
    Kind_Counts Count_Per_Kind{};
    Child_Record* First_Control = nullptr; // in Kind_Order, linked through Next
    std::int32_t Total_Button_Width = 0;
    std::int32_t Last_Button_Width = 0;
};

// The application's value for a page: a reference to its record.
class Page {
public:
    Page() = default;
    explicit Page(Page_Record* record) noexcept : record_(record) {}
    // ACCESS_ERROR for a page that refers to nothing.
    Page_Record& Record() const;
    bool Is_Null() const noexcept { return record_ == nullptr; }
    friend bool operator==(const Page&, const Page&) = default;

private:
    Page_Record* record_ = nullptr;
};

// Pages are to be created from one thread, before controls are added to them.
Page Create_Page(const std::string& name, Layout_Option option, Action_Routine show_action);

// Shows Page in place of the current one (on the window thread) and posts its show action.
void Show_Page(const Page& page);
Page Current_Page();
std::int32_t Page_Count();

// --- Window thread only --------------------------------------------------------------------------
Page_Record* Current_Page_Record();
void Lay_Out_Current_Page();
void Show_Page_On_Window_Thread(Page_Record& page);
// TCN_SELCHANGE from the tab control: shows the page of the selected tab.
void Handle_Tab_Change();

} // namespace Gui
