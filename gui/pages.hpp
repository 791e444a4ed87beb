#pragma once
// Pages: logical groups of child controls shown one at a time above the status line. With two or
// more pages a tab control shows one tab per page. The current page is laid out on every resize,
// when it is shown and when a control is added to it. A page owns the records of its controls.
// Pages and controls outlive the window, so that the application's handles to them stay harmless;
// they are freed when the process ends (Release_Pages).

#include "gui/callbacks.hpp"
#include "gui/child.hpp"
#include "gui/kinds.hpp"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace Gui {

struct Layout_Option {
    bool Button_Sizing = false; // the page's buttons share the row width equally
    bool Tall_Rows = false;     // the button row takes the height the other controls leave
};

struct Page_Record {
    Page_Record(std::string name, Layout_Option option, Action_Routine show_action);

    const std::string Name;
    const Layout_Option Option;
    const Action_Routine Show_Action;

    // Window thread only (the creation protocol and the layout): the page's controls in
    // Kind_Order, companions included, and the sums the layout needs.
    std::vector<Child_Record*> Controls;
    Kind_Counts Count_Per_Kind{};
    std::int32_t Total_Button_Width = 0;
    std::int32_t Last_Button_Width = 0;
    std::int32_t Control_Count() const noexcept { return static_cast<std::int32_t>(Controls.size()); }

    // Takes over a control's record, from whichever thread makes the control, before its window
    // exists (or when it never will).
    Child_Record& Keep(std::unique_ptr<Child_Record> record);

private:
    std::mutex owned_lock_;
    std::vector<std::unique_ptr<Child_Record>> owned_; // guarded by owned_lock_
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

// ACCESS_ERROR for a page that refers to nothing: a constructor checks this before it creates
// anything.
void Require(const Page& page);

// Pages are to be created from one thread, before controls are added to them.
Page Create_Page(const std::string& name, Layout_Option option, Action_Routine show_action);

// Shows Page in place of the current one (on the window thread) and posts its show action.
void Show_Page(const Page& page);
Page Current_Page();
std::int32_t Page_Count();

// Frees every page and control record; for the framework's core, at the process's end and only
// once its threads have ended.
void Release_Pages();

// --- Window thread only --------------------------------------------------------------------------
Page_Record* Current_Page_Record();
// Adds a control whose window was just made to its page's order and sums.
void Add_Control(Page_Record& page, Child_Record& control);
Child_Record* Find_Control(const Page_Record& page, std::int32_t identifier);
void Lay_Out_Current_Page();
void Show_Page_On_Window_Thread(Page_Record& page);
// Gives the keyboard focus to the current page's main view (its first list, tree or rich edit;
// else its first control). Nothing without a control.
void Focus_Current_Page();
// TCN_SELCHANGE from the tab control: shows the page of the selected tab.
void Handle_Tab_Change();

} // namespace Gui
