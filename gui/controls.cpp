#include "gui/controls.hpp"

#include "gui/window_thread.hpp"
#include "support/failure.hpp"
#include "windows/unicode.hpp"

#include <commctrl.h>
#include <richedit.h>

#include <algorithm>
#include <exception>

namespace Gui {

namespace {

// --- Records of the smaller classes -----------------------------------------------------------------

class Edit_Box_Record final : public Child_Record {
public:
    explicit Edit_Box_Record(bool password) : Child_Record(Control_Kind::Edit_Box), password_(password) {}
    Edit_Box_Record(std::wstring cue, Action_Routine changed)
        : Child_Record(Control_Kind::Edit_Box), password_(false), cue_(std::move(cue)), changed_(std::move(changed))
    {
    }
    DWORD Kind_Style() const override { return WS_BORDER | ES_AUTOHSCROLL | (password_ ? ES_PASSWORD : 0); }

    void After_Creation() override
    {
        if (!Window || cue_.empty()) return;
        Send_Message_W(Window, EM_SETCUEBANNER, FALSE, reinterpret_cast<LPARAM>(cue_.c_str()));
    }

    void Handle_Command(WORD notification_code) override
    {
        if (notification_code == EN_CHANGE && changed_) changed_();
    }

private:
    const bool password_;
    const std::wstring cue_;
    const Action_Routine changed_; // window thread
};

class Combo_Box_Record final : public Child_Record {
public:
    Combo_Box_Record(bool sorted, bool editable)
        : Child_Record(Control_Kind::Combo_Box), sorted_(sorted), editable_(editable)
    {
    }
    DWORD Kind_Style() const override
    {
        return WS_VSCROLL | CBS_AUTOHSCROLL | (editable_ ? CBS_DROPDOWN : CBS_DROPDOWNLIST) | (sorted_ ? CBS_SORT : 0);
    }

private:
    const bool sorted_;
    const bool editable_;
};

class Rich_Edit_Record final : public Child_Record {
public:
    static constexpr LPARAM Text_Limit = 10'000'000; // characters; the control's default is 32K
    explicit Rich_Edit_Record(bool word_wrap) : Child_Record(Control_Kind::Rich_Edit), word_wrap_(word_wrap) {}

    void After_Creation() override
    {
        Send_Message(Window, EM_EXLIMITTEXT, 0, Text_Limit);
        // No target device and a line width of 1 turn word wrap off.
        if (!word_wrap_) Send_Message(Window, EM_SETTARGETDEVICE, 0, 1);
    }

private:
    const bool word_wrap_;
};

// Signals the creation event however the creation on the window thread ends.
class Signal_On_Exit {
public:
    explicit Signal_On_Exit(Creation_Event& event) noexcept : event_(event) {}
    ~Signal_On_Exit() { event_.Set(); }
    Signal_On_Exit(const Signal_On_Exit&) = delete;
    Signal_On_Exit& operator=(const Signal_On_Exit&) = delete;

private:
    Creation_Event& event_;
};

HWND Create_Window(const Child_Record& control, DWORD style)
{
    return CreateWindowExW(0, control.Window_Class(), control.Has_Text ? control.Text.c_str() : nullptr, style, 0, 0,
                           0, 0, Main_Window(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.Identifier)),
                           Instance(), nullptr);
}

template <typename Record, typename... Arguments>
std::unique_ptr<Record> New_Record(const std::wstring& text, std::int32_t width, Arguments&&... arguments)
{
    auto record = std::make_unique<Record>(std::forward<Arguments>(arguments)...);
    record->Text = text;
    record->Has_Text = true;
    record->Width = width;
    return record;
}

// The caption companion, created before its owner on the same page: a label or a check box,
// Width wide, or as wide as its text when Width is 0.
Child_Record& Create_Companion(const Page& page, Control_Kind kind, const std::wstring& caption, std::int32_t width)
{
    auto companion =
        New_Record<Child_Record>(caption, width != 0 ? width : -static_cast<std::int32_t>(caption.size()), kind);
    companion->Is_Companion = true;
    return Create_Control(page, std::move(companion));
}

// The companion comes first, identifier and window, then its owner as Make_Owner builds it.
template <typename Handle, typename Make_Owner>
Handle Create_With_Companion(const Page& page, Control_Kind companion_kind, const std::wstring& caption,
                             std::int32_t caption_width, Make_Owner make_owner)
{
    Require(page);
    Child_Record& companion = Create_Companion(page, companion_kind, caption, caption_width);
    std::unique_ptr<Child_Record> owner = make_owner();
    owner->Companion = &companion;
    return Handle(&Create_Control(page, std::move(owner)));
}

auto Edit_Box_Of(const std::wstring& text, Edit_Box_Options options)
{
    return [text, options = std::move(options)]() mutable -> std::unique_ptr<Child_Record> {
        auto box = New_Record<Edit_Box_Record>(text, options.Width, options.Password);
        box->Action = std::move(options.Action);
        return box;
    };
}

auto Combo_Box_Of(Combo_Box_Options options)
{
    return [options = std::move(options)]() mutable -> std::unique_ptr<Child_Record> {
        auto box = std::make_unique<Combo_Box_Record>(options.Sorted, options.Editable);
        box->Width = options.Width;
        box->Action = std::move(options.Action);
        return box;
    };
}

// A control without a companion.
template <typename Handle>
Handle Create_Alone(const Page& page, std::unique_ptr<Child_Record> record)
{
    Require(page);
    return Handle(&Create_Control(page, std::move(record)));
}

Check_Box Companion_Check_Box(const Child& owner)
{
    return Check_Box(owner.Record().Companion);
}

void Replace_Selection_At_End(const Rich_Edit& edit, bool wide, LPARAM text)
{
    CHARRANGE end{-1, -1};
    Send_Message(edit.Window(), EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&end));
    if (wide) Send_Message_W(edit.Window(), EM_REPLACESEL, FALSE, text); // not undoable
    else Send_Message(edit.Window(), EM_REPLACESEL, FALSE, text);
}

void Set_Selection_Colour(const Rich_Edit& edit, COLORREF colour)
{
    CHARFORMATA format{};
    format.cbSize = sizeof format; // 60 bytes
    format.dwMask = CFM_COLOR;
    format.crTextColor = colour;
    Send_Message(edit.Window(), EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
}

void Scroll_To_Bottom(const Rich_Edit& edit) { Send_Message(edit.Window(), WM_VSCROLL, SB_BOTTOM, 0); }

} // namespace

// --- Creation protocol -------------------------------------------------------------------------------

std::wstring Widened(std::string_view text) { return Windows::Unicode::Wide(text); }

// The send is synchronous, so when it returns the window thread has either created the window and
// set the event, or never got the message (no window, shutdown): then there is nothing to wait for.
Child_Record& Create_Control(const Page& page, std::unique_ptr<Child_Record> record)
{
    Page_Record& page_record = page.Record();
    Child_Record& kept = page_record.Keep(std::move(record));
    Send_Message(Main_Window(), Create_Control_Message, reinterpret_cast<WPARAM>(&page_record),
                 reinterpret_cast<LPARAM>(&kept));
    kept.Creation.Try_Wait();
    return kept;
}

void Create_Control_On_Window_Thread(Page_Record* page, Child_Record* control)
{
    if (!page || !control) return;
    Signal_On_Exit signal(control->Creation);
    DWORD style = WS_CHILD | control->Kind_Style();
    if (control->Kind == Control_Kind::Rich_Edit) Load_Rich_Edit_Library();
    const bool on_current_page = page == Current_Page_Record();
    if (on_current_page && !control->Hidden) style |= WS_VISIBLE;
    if (!control->Window) control->Window = Create_Window(*control, style);
    control->Page = page;
    control->After_Creation();
    Add_Control(*page, *control);
    if (!on_current_page) return;
    Lay_Out_Current_Page();
    // A main view that comes after the window was activated takes the keys from the window.
    if (GetFocus() == Main_Window() && Is_Big_View(control->Kind)) Focus_Current_Page();
}

void Dispatch_Command(WORD identifier, WORD notification_code)
{
    if (identifier >= First_Menu_Command) return; // none are defined
    Page_Record* page = Current_Page_Record();
    Child_Record* control = page ? Find_Control(*page, identifier) : nullptr;
    if (!control) return;
    control->Handle_Command(notification_code);
    if (!control->Fires_On(notification_code)) return;
    if (control->Action_With_Argument) Post_Action(control->Action_With_Argument, control->Argument);
    else if (control->Action) Post_Action(control->Action);
}

LRESULT Dispatch_Notification(NMHDR& header)
{
    Page_Record* page = Current_Page_Record();
    Child_Record* control = page ? Find_Control(*page, static_cast<std::int32_t>(header.idFrom)) : nullptr;
    return control ? control->Handle_Notify(header) : 0;
}

void Dispatch_Context_Menu(HWND window, LPARAM screen_point)
{
    const Page_Record* page = Current_Page_Record();
    if (!page) return;
    const bool from_keyboard = screen_point == -1; // the menu key and Shift+F10 give no point
    const POINT point{static_cast<short>(LOWORD(screen_point)), static_cast<short>(HIWORD(screen_point))};
    for (Child_Record* control : page->Controls)
        if (control->Window == window) control->Handle_Context_Menu(point, from_keyboard);
}

std::vector<Child> Controls_Of(const Page& page)
{
    const Page_Record& record = page.Record();
    std::vector<Child> controls;
    Run_On_Window_Thread([&] {
        for (Child_Record* control : record.Controls) controls.emplace_back(control);
        return LRESULT{0};
    });
    return controls;
}

// --- Constructors ------------------------------------------------------------------------------------

Button Create_Button(const Page& page, const std::string& caption, Action_Routine action, std::int32_t width)
{
    auto button = New_Record<Child_Record>(Widened(caption), width, Control_Kind::Button);
    button->Action = std::move(action);
    return Create_Alone<Button>(page, std::move(button));
}

Progress_Bar Create_Progress_Bar(const Page& page)
{
    return Create_Alone<Progress_Bar>(page, std::make_unique<Child_Record>(Control_Kind::Progress_Bar));
}

Track_Bar Create_Track_Bar(const Page& page, const std::string& caption)
{
    return Create_With_Companion<Track_Bar>(page, Control_Kind::Label, Widened(caption), 0, [] {
        return std::make_unique<Child_Record>(Control_Kind::Track_Bar);
    });
}

Check_Box Create_Check_Box(const Page& page, const std::string& caption, Action_Routine action)
{
    auto box = New_Record<Child_Record>(Widened(caption), 0, Control_Kind::Check_Box);
    box->Action = std::move(action);
    return Create_Alone<Check_Box>(page, std::move(box));
}

Plain_Edit_Box Create_Plain_Edit_Box(const Page& page, const std::wstring& caption, const std::wstring& text,
                                     Edit_Box_Options options)
{
    const std::int32_t caption_width = options.Caption_Width;
    return Create_With_Companion<Plain_Edit_Box>(page, Control_Kind::Label, caption, caption_width,
                                                 Edit_Box_Of(text, std::move(options)));
}

Plain_Edit_Box Create_Plain_Edit_Box(const Page& page, const std::string& caption, const std::string& text,
                                     Edit_Box_Options options)
{
    return Create_Plain_Edit_Box(page, Widened(caption), Widened(text), std::move(options));
}

Checked_Edit_Box Create_Checked_Edit_Box(const Page& page, const std::string& caption, const std::string& text,
                                         Edit_Box_Options options)
{
    const std::int32_t caption_width = options.Caption_Width;
    return Create_With_Companion<Checked_Edit_Box>(page, Control_Kind::Check_Box, Widened(caption), caption_width,
                                                   Edit_Box_Of(Widened(text), std::move(options)));
}

Plain_Combo_Box Create_Plain_Combo_Box(const Page& page, const std::string& caption, Combo_Box_Options options)
{
    const std::int32_t caption_width = options.Caption_Width;
    return Create_With_Companion<Plain_Combo_Box>(page, Control_Kind::Label, Widened(caption), caption_width,
                                                  Combo_Box_Of(std::move(options)));
}

Checked_Combo_Box Create_Checked_Combo_Box(const Page& page, const std::string& caption, Combo_Box_Options options)
{
    const std::int32_t caption_width = options.Caption_Width;
    return Create_With_Companion<Checked_Combo_Box>(page, Control_Kind::Check_Box, Widened(caption), caption_width,
                                                    Combo_Box_Of(std::move(options)));
}

Plain_Edit_Box Create_Edit_Box(const Page& page, Bare_Edit_Box_Options options)
{
    auto box = New_Record<Edit_Box_Record>(L"", 0, Widened(options.Cue), std::move(options.Changed));
    return Create_Alone<Plain_Edit_Box>(page, std::move(box));
}

Rich_Edit Create_Rich_Edit(const Page& page, bool word_wrap)
{
    return Create_Alone<Rich_Edit>(page, std::make_unique<Rich_Edit_Record>(word_wrap));
}

// --- Operations --------------------------------------------------------------------------------------

void Set_Text(const Child& control, const std::string& text)
{
    HWND window = control.Record().Window;
    if (window && Window_Alive()) SetWindowTextW(window, Widened(text).c_str());
}

void Set_Shown(const Child& control, bool shown)
{
    Child_Record& record = control.Record();
    Run_On_Window_Thread([&record, shown] {
        record.Hidden = !shown;
        if (!record.Page || record.Page != Current_Page_Record() || !record.Window) return LRESULT{0};
        const bool had_focus = GetFocus() == record.Window;
        ShowWindow(record.Window, shown ? SW_SHOW : SW_HIDE);
        Lay_Out_Current_Page();
        if (had_focus && !shown) Focus_Current_Page(); // the keys go back to the page's main view
        return LRESULT{0};
    });
}

void Show_Instead(const Child& shown, const Child& hidden)
{
    Child_Record& in = shown.Record();
    Child_Record& out = hidden.Record();
    Run_On_Window_Thread([&] {
        out.Hidden = true;
        in.Hidden = false;
        const bool on_current_page = in.Page && in.Page == Current_Page_Record();
        if (!on_current_page) return LRESULT{0};
        if (out.Window) ShowWindow(out.Window, SW_HIDE);
        if (in.Window) ShowWindow(in.Window, SW_SHOW);
        Lay_Out_Current_Page();
        return LRESULT{0};
    });
}

void Give_Place(const Child& from, const Child& to)
{
    HWND source = from.Record().Window;
    HWND target = to.Record().Window;
    Run_On_Window_Thread([=] {
        RECT place{};
        if (!source || !target || !GetWindowRect(source, &place)) return LRESULT{0};
        MapWindowPoints(nullptr, Main_Window(), reinterpret_cast<POINT*>(&place), 2);
        SetWindowPos(target, nullptr, place.left, place.top, place.right - place.left, place.bottom - place.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        return LRESULT{0};
    });
}

void Place_After(const Child& control, const Child& anchor)
{
    Child_Record& moved = control.Record();
    const Child_Record& fixed = anchor.Record();
    Run_On_Window_Thread([&] {
        if (!moved.Page || moved.Page != fixed.Page || moved.Kind != fixed.Kind) return LRESULT{0};
        std::vector<Child_Record*>& order = moved.Page->Controls;
        const auto place = std::find(order.begin(), order.end(), &moved);
        if (place == order.end() || std::find(order.begin(), order.end(), &fixed) == order.end()) return LRESULT{0};
        order.erase(place);
        order.insert(std::find(order.begin(), order.end(), &fixed) + 1, &moved);
        if (moved.Page == Current_Page_Record()) Lay_Out_Current_Page();
        return LRESULT{0};
    });
}

void Use_Font_Of(const Child& control, const Child& model)
{
    HWND target = control.Record().Window;
    HWND source = model.Record().Window;
    Run_On_Window_Thread([=] {
        if (target && source) SendMessageW(target, WM_SETFONT, SendMessageW(source, WM_GETFONT, 0, 0), TRUE);
        return LRESULT{0};
    });
}

void Focus(const Child& control)
{
    HWND window = control.Record().Window;
    Run_On_Window_Thread([window] {
        if (window) SetFocus(window);
        return LRESULT{0};
    });
}

void Set_Action_With_Argument(const Child& control, Action_Routine_With_Argument routine, std::uintptr_t argument)
{
    Child_Record& record = control.Record();
    // The window thread reads these fields; they change there.
    Run_On_Window_Thread([&] {
        record.Action_With_Argument = std::move(routine);
        record.Argument = argument;
        return LRESULT{0};
    });
}

void Set_Range_And_Step(const Progress_Bar& bar, std::uint16_t low, std::uint16_t high, int step)
{
    Send_Message(bar.Record().Window, PBM_SETRANGE, 0, MAKELPARAM(low, high));
    Send_Message(bar.Record().Window, PBM_SETSTEP, static_cast<WPARAM>(step), 0);
}

void Set_Position(const Progress_Bar& bar, int position)
{
    Send_Message(bar.Record().Window, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void Step(const Progress_Bar& bar) { Send_Message(bar.Record().Window, PBM_STEPIT, 0, 0); }

void Set_Bar_Colour(const Progress_Bar& bar, COLORREF colour)
{
    Send_Message(bar.Record().Window, PBM_SETBARCOLOR, 0, static_cast<LPARAM>(colour));
}

void Set_Range(const Track_Bar& bar, std::uint16_t low, std::uint16_t high)
{
    Send_Message(bar.Record().Window, TBM_SETRANGE, TRUE, MAKELPARAM(low, high));
}

void Set_Tick_Frequency(const Track_Bar& bar, int frequency)
{
    Send_Message(bar.Record().Window, TBM_SETTICFREQ, static_cast<WPARAM>(frequency), 0);
}

void Set_Position(const Track_Bar& bar, int position)
{
    Send_Message(bar.Record().Window, TBM_SETPOS, TRUE, position);
}

int Position(const Track_Bar& bar) { return static_cast<int>(Send_Message(bar.Record().Window, TBM_GETPOS, 0, 0)); }

bool Is_Checked(const Check_Box& box)
{
    return Send_Message(box.Record().Window, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Check(const Check_Box& box) { Send_Message(box.Record().Window, BM_SETCHECK, BST_CHECKED, 0); }
void Uncheck(const Check_Box& box) { Send_Message(box.Record().Window, BM_SETCHECK, BST_UNCHECKED, 0); }

bool Is_Checked(const Checked_Edit_Box& box) { return Is_Checked(Companion_Check_Box(box)); }
void Check(const Checked_Edit_Box& box) { Check(Companion_Check_Box(box)); }
void Uncheck(const Checked_Edit_Box& box) { Uncheck(Companion_Check_Box(box)); }
bool Is_Checked(const Checked_Combo_Box& box) { return Is_Checked(Companion_Check_Box(box)); }
void Check(const Checked_Combo_Box& box) { Check(Companion_Check_Box(box)); }
void Uncheck(const Checked_Combo_Box& box) { Uncheck(Companion_Check_Box(box)); }

std::string Edit_Text(const Edit_Box& box)
{
    HWND window = box.Record().Window;
    const auto length = Send_Message_W(window, WM_GETTEXTLENGTH, 0, 0);
    if (length <= 0) return {};
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const auto copied = Send_Message_W(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return Windows::Unicode::Utf8(text);
}

void Add_Item(const Combo_Box& box, const std::string& item)
{
    Send_Message_W(box.Record().Window, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widened(item).c_str()));
}

int Selected_Item(const Combo_Box& box)
{
    if (!Window_Alive()) return -1;
    return static_cast<int>(Send_Message(box.Record().Window, CB_GETCURSEL, 0, 0));
}

void Append(const Rich_Edit& edit, const std::string& text) { Append(edit, Widened(text)); }

void Append(const Rich_Edit& edit, const std::wstring& text)
{
    Replace_Selection_At_End(edit, true, reinterpret_cast<LPARAM>(text.c_str()));
}

void Append(const Rich_Edit& edit, const std::string& text, COLORREF colour)
{
    Set_Selection_Colour(edit, colour);
    Append(edit, text);
    Scroll_To_Bottom(edit);
}

void Append(const Rich_Edit& edit, const std::wstring& text, COLORREF colour)
{
    Set_Selection_Colour(edit, colour);
    Append(edit, text);
    Scroll_To_Bottom(edit);
}

} // namespace Gui
