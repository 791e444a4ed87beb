#include "gui/pages.hpp"

#include "gui/layout.hpp"
#include "gui/owners.hpp"
#include "gui/window_thread.hpp"
#include "support/failure.hpp"
#include "windows/unicode.hpp"

#include <commctrl.h>

#include <algorithm>
#include <vector>

namespace Gui {

namespace {

// Written by Create_Page on the caller's thread and by a tab change on the window thread.
std::atomic<Page_Record*> current_page{nullptr};
std::atomic<std::int32_t> page_count{0};

// Every page made, until the window has ended. Never destroyed itself: the framework's threads
// may outlive the main procedure.
struct Page_Store {
    std::mutex Lock;
    std::vector<std::unique_ptr<Page_Record>> Pages;
};

Page_Store& Store()
{
    static Page_Store* const store = new Page_Store;
    return *store;
}

int Window_Height(HWND window)
{
    RECT rectangle;
    if (!window || !GetWindowRect(window, &rectangle)) return 0;
    return rectangle.bottom - rectangle.top;
}

int Text_Width(HDC context, const std::wstring& text, std::size_t characters)
{
    SIZE extent{};
    GetTextExtentPoint32W(context, text.c_str(), static_cast<int>(std::min(characters, text.size())), &extent);
    return extent.cx;
}

// A companion is Width wide, or as wide as its text when Width is negative; a check box also
// needs room for its box.
int Companion_Width(HDC context, const Child_Record& companion)
{
    int width = companion.Width >= 0
                    ? companion.Width
                    : Text_Width(context, companion.Text, static_cast<std::size_t>(-companion.Width)) + 3;
    if (companion.Kind == Control_Kind::Check_Box) width += 20;
    return width;
}

Layout::Box Box_Of(const RECT& rectangle)
{
    return {rectangle.left, rectangle.top, rectangle.right - rectangle.left, rectangle.bottom - rectangle.top};
}

void Move(Deferred_Positions& batch, HWND window, const Layout::Box& box)
{
    batch.Move(window, box.X, box.Y, box.Width, box.Height, 0);
}

// With two or more pages the controls go into the tab control's display area.
void Show_Tabs(Deferred_Positions& batch, RECT& area)
{
    HWND tabs = Tab_Control();
    if (!tabs) return;
    Send_Message(tabs, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
    batch.Move(tabs, 0, 0, std::max<LONG>(area.right, 0), std::max<LONG>(area.bottom, 0),
               SWP_NOMOVE | SWP_NOZORDER | SWP_SHOWWINDOW);
}

Layout::Input Layout_Input(const Page_Record& page, HDC context, const RECT& area, int client_height_less_status)
{
    Layout::Input input;
    input.Area = Box_Of(area);
    SIZE extent{};
    GetTextExtentPoint32W(context, L"X", 1, &extent);
    input.Line_Height = extent.cy + 8;
    input.Client_Height_Less_Status = client_height_less_status;
    input.Button_Sizing = page.Option.Button_Sizing;
    input.Tall_Rows = page.Option.Tall_Rows;
    input.Total_Button_Width = page.Total_Button_Width;
    input.Last_Button_Width = page.Last_Button_Width;
    input.Count_Per_Kind = page.Count_Per_Kind;
    return input;
}

void Place_Controls(Deferred_Positions& batch, const Page_Record& page, const RECT& area,
                    int client_height_less_status)
{
    HWND main = Main_Window();
    Window_Device_Context context(main);
    Layout::Input input = Layout_Input(page, context.get(), area, client_height_less_status);
    std::vector<const Child_Record*> owners;
    for (const Child_Record* control : page.Controls) {
        if (control->Hidden) input.Count_Per_Kind[Index_Of(control->Kind)] -= 1; // takes no room
        if (control->Is_Companion || control->Hidden) continue; // placed with its owner, or not at all
        owners.push_back(control);
        const Child_Record* companion = control->Companion;
        input.Items.push_back({control->Kind, control->Width, companion != nullptr,
                               companion ? Companion_Width(context.get(), *companion) : 0, control->Height});
    }
    const std::vector<Layout::Placement> placements = Layout::Compute(input);
    for (std::size_t index = 0; index < owners.size(); ++index) {
        Move(batch, owners[index]->Window, placements[index].Control);
        if (owners[index]->Companion) Move(batch, owners[index]->Companion->Window, placements[index].Companion);
    }
}

void Show_Controls(const Page_Record& page, int command)
{
    for (const Child_Record* control : page.Controls)
        if (control->Window && !control->Hidden) ShowWindow(control->Window, command);
}

// After the last control whose rank is not greater: equal ranks keep their creation order.
void Insert_In_Kind_Order(Page_Record& page, Child_Record& control)
{
    const int rank = Kind_Order(control.Kind);
    auto after = page.Controls.begin();
    while (after != page.Controls.end() && Kind_Order((*after)->Kind) <= rank) ++after;
    page.Controls.insert(after, &control);
}

void Count_In_Page(Page_Record& page, const Child_Record& control)
{
    page.Count_Per_Kind[Index_Of(control.Kind)] += 1;
    if (control.Kind == Control_Kind::Button) {
        page.Total_Button_Width += control.Width;
        page.Last_Button_Width = control.Width;
    }
}

void Select_Tab_Of(const Page_Record& page)
{
    HWND tabs = Tab_Control();
    const auto tab_count = Send_Message(tabs, TCM_GETITEMCOUNT, 0, 0);
    for (LRESULT index = 0; index < tab_count; ++index) {
        TCITEMA item{};
        item.mask = TCIF_PARAM;
        if (Send_Message(tabs, TCM_GETITEMA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item)) &&
            reinterpret_cast<const Page_Record*>(item.lParam) == &page) {
            Send_Message(tabs, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
            return;
        }
    }
}

} // namespace

Page_Record::Page_Record(std::string name, Layout_Option option, Action_Routine show_action)
    : Name(std::move(name)), Option(option), Show_Action(std::move(show_action))
{
}

Child_Record& Page_Record::Keep(std::unique_ptr<Child_Record> record)
{
    Child_Record& kept = *record;
    std::lock_guard guard(owned_lock_);
    owned_.push_back(std::move(record));
    return kept;
}

Page_Record& Page::Record() const
{
    if (!record_) throw Failures::ACCESS_ERROR("a page handle that refers to no page");
    return *record_;
}

void Require(const Page& page) { page.Record(); }

Page Create_Page(const std::string& name, Layout_Option option, Action_Routine show_action)
{
    Page_Record* record = nullptr;
    {
        Page_Store& store = Store();
        std::lock_guard guard(store.Lock);
        store.Pages.push_back(std::make_unique<Page_Record>(name, option, std::move(show_action)));
        record = store.Pages.back().get();
    }
    const std::int32_t count = ++page_count;
    if (count == 1) current_page = record;
    if (count == 2) {
        // The tab control is about to become visible and takes room from the current page.
        Run_On_Window_Thread([] {
            Lay_Out_Current_Page();
            return LRESULT{0};
        });
    }
    TCITEMW item{};
    item.mask = TCIF_TEXT | TCIF_PARAM;
    std::wstring tab_text = Windows::Unicode::Wide(record->Name);
    item.pszText = tab_text.data();
    item.lParam = reinterpret_cast<LPARAM>(record);
    Send_Message_W(Tab_Control(), TCM_INSERTITEMW, static_cast<WPARAM>(count), reinterpret_cast<LPARAM>(&item));
    return Page(record);
}

void Show_Page(const Page& page)
{
    Page_Record& record = page.Record();
    Run_On_Window_Thread([&record] {
        Select_Tab_Of(record);
        Show_Page_On_Window_Thread(record);
        return LRESULT{0};
    });
}

Page Current_Page() { return Page(current_page); }
std::int32_t Page_Count() { return page_count; }

void Release_Pages()
{
    current_page = nullptr;
    Page_Store& store = Store();
    std::lock_guard guard(store.Lock);
    store.Pages.clear();
}

Page_Record* Current_Page_Record() { return current_page; }

void Add_Control(Page_Record& page, Child_Record& control)
{
    Insert_In_Kind_Order(page, control);
    Count_In_Page(page, control);
}

Child_Record* Find_Control(const Page_Record& page, std::int32_t identifier)
{
    for (Child_Record* control : page.Controls)
        if (control->Identifier == identifier) return control;
    return nullptr;
}

void Lay_Out_Current_Page()
{
    HWND main = Main_Window();
    if (!Window_Alive() || !main) return;
    RECT client{};
    GetClientRect(main, &client);
    const int client_height_less_status = client.bottom - Window_Height(Status_Line());
    RECT area{0, 0, client.right, client_height_less_status};
    const Page_Record* page = current_page;
    Deferred_Positions batch(1 + (page ? page->Control_Count() : 0));
    if (page_count >= 2) Show_Tabs(batch, area);
    if (page) Place_Controls(batch, *page, area, client_height_less_status);
    // A zero rectangle: the status bar then places itself along the bottom of the main window.
    batch.Move(Status_Line(), 0, 0, 0, 0, 0);
}

void Focus_Current_Page()
{
    const Page_Record* page = current_page;
    if (!page || page->Controls.empty()) return;
    const auto view =
        std::find_if(page->Controls.begin(), page->Controls.end(),
                     [](const Child_Record* control) { return Is_Big_View(control->Kind) && !control->Hidden; });
    const Child_Record* target = view != page->Controls.end() ? *view : page->Controls.front();
    if (target->Window) SetFocus(target->Window);
}

void Show_Page_On_Window_Thread(Page_Record& page)
{
    if (const Page_Record* shown = current_page) Show_Controls(*shown, SW_HIDE);
    current_page = &page;
    Show_Controls(page, SW_SHOW);
    Lay_Out_Current_Page();
    if (page.Show_Action) Post_Action(page.Show_Action);
}

void Handle_Tab_Change()
{
    HWND tabs = Tab_Control();
    const auto index = Send_Message(tabs, TCM_GETCURSEL, 0, 0);
    if (index < 0) return;
    TCITEMA item{};
    item.mask = TCIF_PARAM;
    if (!Send_Message(tabs, TCM_GETITEMA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item))) return;
    if (auto* page = reinterpret_cast<Page_Record*>(item.lParam)) Show_Page_On_Window_Thread(*page);
}

} // namespace Gui
