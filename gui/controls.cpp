#include "gui/controls.hpp"

#include "gui/gui.hpp"

#include <commctrl.h>
#include <richedit.h>

#include <exception>

namespace Gui {

namespace {

// --- Records of the smaller classes -----------------------------------------------------------------

class Edit_Box_Record final : public Child_Record {
public:
    explicit Edit_Box_Record(bool password) : Child_Record(Control_Kind::Edit_Box), password_(password) {}
    DWORD Kind_Style() const override { return WS_BORDER | ES_AUTOHSCROLL | (password_ ? ES_PASSWORD : 0); }

private:
    const bool password_;
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
    explicit Rich_Edit_Record(bool word_wrap) : Child_Record(Control_Kind::Rich_Edit), word_wrap_(word_wrap) {}

    void After_Creation() override
    {
        Send_Message(Window, EM_EXLIMITTEXT, 0, 10'000'000);
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

void Insert_In_Kind_Order(Page_Record& page, Child_Record& control)
{
    const int rank = Kind_Order(control.Kind);
    if (!page.First_Control || rank < Kind_Order(page.First_Control->Kind)) {
        control.Next = page.First_Control;
        page.First_Control = &control;
        return;
    }
    // After the last control whose rank is not greater: equal ranks keep their creation order.
    Child_Record* after = page.First_Control;
    while (after->Next && Kind_Order(after->Next->Kind) <= rank) after = after->Next;
    control.Next = after->Next;
    after->Next = &control;
}

void Count_In_Page(Page_Record& page, const Child_Record& control)
{
    page.Control_Count += 1;
    page.Count_Per_Kind[Index_Of(control.Kind)] += 1;
    if (control.Kind == Control_Kind::Button) {
        page.Total_Button_Width += control.Width;
        page.Last_Button_Width = control.Width;
    }
}

HWND Create_Window(const Child_Record& control, DWORD style)
{
    return CreateWindowExW(0, control.Window_Class(), control.Has_Text ? control.Text.c_str() : nullptr, style, 0, 0,
                           0, 0, Main_Window(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.Identifier)),
                           Instance(), nullptr);
}

template <typename Record, typename... Arguments>
Record& New_Record(const std::wstring& text, std::int32_t width, Arguments&&... arguments)
{
    auto* record = new Record(std::forward<Arguments>(arguments)...);
    record->Text = text;
    record->Has_Text = true;
    record->Width = width;
    return *record;
}

// The caption companion, created before its owner on the same page: a label or a check box,
// Width wide, or as wide as its text when Width is 0.
Child_Record& Create_Companion(const Page& page, Control_Kind kind, const std::wstring& caption, std::int32_t width)
{
    Child_Record& companion =
        New_Record<Child_Record>(caption, width != 0 ? width : -static_cast<std::int32_t>(caption.size()), kind);
    companion.Is_Companion = true;
    Create_Control(page, companion);
    return companion;
}

// The companion comes first, identifier and window, then its owner as Make_Owner builds it.
template <typename Handle, typename Make_Owner>
Handle Create_With_Companion(const Page& page, Control_Kind companion_kind, const std::wstring& caption,
                             std::int32_t caption_width, Make_Owner make_owner)
{
    page.Record(); // a null page is the caller's error, before anything is created
    Child_Record& companion = Create_Companion(page, companion_kind, caption, caption_width);
    Child_Record& owner = make_owner();
    owner.Companion = &companion;
    Create_Control(page, owner);
    return Handle(&owner);
}

auto Edit_Box_Of(const std::wstring& text, Action_Routine action, bool password, std::int32_t width)
{
    return [=, action = std::move(action)]() mutable -> Child_Record& {
        Child_Record& box = New_Record<Edit_Box_Record>(text, width, password);
        box.Action = std::move(action);
        return box;
    };
}

auto Combo_Box_Of(Action_Routine action, bool sorted, bool editable, std::int32_t width)
{
    return [=, action = std::move(action)]() mutable -> Child_Record& {
        auto& box = *new Combo_Box_Record(sorted, editable);
        box.Width = width;
        box.Action = std::move(action);
        return box;
    };
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

// --- Child_Record ------------------------------------------------------------------------------------

Child_Record::Child_Record(Control_Kind kind) : Kind(kind), Identifier(Take_Control_Identifier()) {}

const wchar_t* Child_Record::Window_Class() const
{
    switch (Kind) {
    case Control_Kind::Button:
        return L"button";
    case Control_Kind::Progress_Bar:
        return L"msctls_progress32";
    case Control_Kind::Track_Bar:
        return L"msctls_trackbar32";
    case Control_Kind::Edit_Box:
        return L"Edit";
    case Control_Kind::Check_Box:
        return L"Button";
    case Control_Kind::Combo_Box:
        return L"Combobox";
    case Control_Kind::Label:
        return L"Static";
    case Control_Kind::List_View:
        return L"SysListView32";
    case Control_Kind::Tree_View:
        return L"SysTreeView32";
    case Control_Kind::Rich_Edit:
        return L"RichEdit20W";
    }
    return L"Static";
}

DWORD Child_Record::Kind_Style() const
{
    switch (Kind) {
    case Control_Kind::Track_Bar:
        return TBS_AUTOTICKS | TBS_TOOLTIPS;
    case Control_Kind::Edit_Box:
        return WS_BORDER | ES_AUTOHSCROLL;
    case Control_Kind::Check_Box:
        return BS_AUTOCHECKBOX;
    case Control_Kind::Combo_Box:
        return WS_VSCROLL | CBS_AUTOHSCROLL | CBS_DROPDOWNLIST;
    case Control_Kind::List_View:
        return WS_BORDER | LVS_REPORT;
    case Control_Kind::Tree_View:
        return WS_BORDER | TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT;
    case Control_Kind::Rich_Edit:
        return ES_MULTILINE | ES_READONLY | ES_SUNKEN | ES_SAVESEL | WS_HSCROLL | WS_VSCROLL;
    case Control_Kind::Button:
    case Control_Kind::Progress_Bar:
    case Control_Kind::Label:
        break;
    }
    return 0;
}

LRESULT Child_Record::Handle_Notify(NMHDR&) { return 0; }

void Child_Record::Show_First_Painting_Failure() const noexcept
{
    if (painting_failure_shown_) return;
    painting_failure_shown_ = true; // before the box: it repaints while it is open
    try {
        Show_Message(Failures::Current_Description(), true);
    } catch (...) {
    }
}

bool Child_Record::Fires_On(WORD notification_code) const noexcept
{
    switch (Kind) {
    case Control_Kind::Combo_Box:
        return notification_code == CBN_SELCHANGE || notification_code == CBN_KILLFOCUS;
    case Control_Kind::Edit_Box:
        return notification_code == EN_KILLFOCUS;
    default:
        return true;
    }
}

Child_Record& Child::Record() const
{
    if (!record_) throw Failures::ACCESS_ERROR("a control handle that refers to no control");
    return *record_;
}

// --- Creation protocol -------------------------------------------------------------------------------

std::wstring Widened(std::string_view text)
{
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), length);
    return wide;
}

// The send is synchronous, so when it returns the window thread has either created the window and
// set the event, or never got the message (no window, shutdown): then there is nothing to wait for.
void Create_Control(const Page& page, Child_Record& record)
{
    Page_Record& page_record = page.Record();
    Send_Message(Main_Window(), Create_Control_Message, reinterpret_cast<WPARAM>(&page_record),
                 reinterpret_cast<LPARAM>(&record));
    record.Creation.Try_Wait();
}

void Create_Control_On_Window_Thread(Page_Record* page, Child_Record* control)
{
    if (!page || !control) return;
    Signal_On_Exit signal(control->Creation);
    DWORD style = WS_CHILD | control->Kind_Style();
    if (control->Kind == Control_Kind::Rich_Edit) Load_Rich_Edit_Library();
    const bool on_current_page = page == Current_Page_Record();
    if (on_current_page) style |= WS_VISIBLE;
    if (!control->Window) control->Window = Create_Window(*control, style);
    control->Page = page;
    control->After_Creation();
    Insert_In_Kind_Order(*page, *control);
    Count_In_Page(*page, *control);
    if (on_current_page) Lay_Out_Current_Page();
}

Child_Record* Find_Control(const Page_Record& page, std::int32_t identifier)
{
    for (Child_Record* control = page.First_Control; control; control = control->Next)
        if (control->Identifier == identifier) return control;
    return nullptr;
}

void Dispatch_Command(WORD identifier, WORD notification_code)
{
    if (identifier >= 1000) return; // menu commands; none are defined
    Page_Record* page = Current_Page_Record();
    Child_Record* control = page ? Find_Control(*page, identifier) : nullptr;
    if (!control || !control->Fires_On(notification_code)) return;
    if (control->Action_With_Argument) Post_Action(control->Action_With_Argument, control->Argument);
    else if (control->Action) Post_Action(control->Action);
}

LRESULT Dispatch_Notification(NMHDR& header)
{
    Page_Record* page = Current_Page_Record();
    Child_Record* control = page ? Find_Control(*page, static_cast<std::int32_t>(header.idFrom)) : nullptr;
    return control ? control->Handle_Notify(header) : 0;
}

std::vector<Child> Controls_Of(const Page& page)
{
    const Page_Record& record = page.Record();
    std::vector<Child> controls;
    Run_On_Window_Thread([&] {
        for (Child_Record* control = record.First_Control; control; control = control->Next)
            controls.emplace_back(control);
        return LRESULT{0};
    });
    return controls;
}

// --- Constructors ------------------------------------------------------------------------------------

Button Create_Button(const Page& page, const std::string& caption, Action_Routine action, std::int32_t width)
{
    page.Record();
    Child_Record& button = New_Record<Child_Record>(Widened(caption), width, Control_Kind::Button);
    button.Action = std::move(action);
    Create_Control(page, button);
    return Button(&button);
}

Progress_Bar Create_Progress_Bar(const Page& page)
{
    page.Record();
    auto& bar = *new Child_Record(Control_Kind::Progress_Bar);
    Create_Control(page, bar);
    return Progress_Bar(&bar);
}

Track_Bar Create_Track_Bar(const Page& page, const std::string& caption)
{
    return Create_With_Companion<Track_Bar>(page, Control_Kind::Label, Widened(caption), 0, []() -> Child_Record& {
        return *new Child_Record(Control_Kind::Track_Bar);
    });
}

Check_Box Create_Check_Box(const Page& page, const std::string& caption, Action_Routine action)
{
    page.Record();
    Child_Record& box = New_Record<Child_Record>(Widened(caption), 0, Control_Kind::Check_Box);
    box.Action = std::move(action);
    Create_Control(page, box);
    return Check_Box(&box);
}

Plain_Edit_Box Create_Plain_Edit_Box(const Page& page, const std::wstring& caption, const std::wstring& text,
                                     Action_Routine action, bool password, std::int32_t width,
                                     std::int32_t caption_width)
{
    return Create_With_Companion<Plain_Edit_Box>(page, Control_Kind::Label, caption, caption_width,
                                                 Edit_Box_Of(text, std::move(action), password, width));
}

Plain_Edit_Box Create_Plain_Edit_Box(const Page& page, const std::string& caption, const std::string& text,
                                     Action_Routine action, bool password, std::int32_t width,
                                     std::int32_t caption_width)
{
    return Create_Plain_Edit_Box(page, Widened(caption), Widened(text), std::move(action), password, width,
                                 caption_width);
}

Checked_Edit_Box Create_Checked_Edit_Box(const Page& page, const std::string& caption, const std::string& text,
                                         Action_Routine action, bool password, std::int32_t width,
                                         std::int32_t caption_width)
{
    return Create_With_Companion<Checked_Edit_Box>(page, Control_Kind::Check_Box, Widened(caption), caption_width,
                                                   Edit_Box_Of(Widened(text), std::move(action), password, width));
}

Plain_Combo_Box Create_Plain_Combo_Box(const Page& page, const std::string& caption, Action_Routine action,
                                       bool sorted, bool editable, std::int32_t width, std::int32_t caption_width)
{
    return Create_With_Companion<Plain_Combo_Box>(page, Control_Kind::Label, Widened(caption), caption_width,
                                                  Combo_Box_Of(std::move(action), sorted, editable, width));
}

Checked_Combo_Box Create_Checked_Combo_Box(const Page& page, const std::string& caption, Action_Routine action,
                                           bool sorted, bool editable, std::int32_t width,
                                           std::int32_t caption_width)
{
    return Create_With_Companion<Checked_Combo_Box>(page, Control_Kind::Check_Box, Widened(caption), caption_width,
                                                    Combo_Box_Of(std::move(action), sorted, editable, width));
}

Rich_Edit Create_Rich_Edit(const Page& page, bool word_wrap)
{
    page.Record();
    auto& edit = *new Rich_Edit_Record(word_wrap);
    Create_Control(page, edit);
    return Rich_Edit(&edit);
}

// --- Operations --------------------------------------------------------------------------------------

void Set_Text(const Child& control, const std::string& text)
{
    HWND window = control.Record().Window;
    if (window && Window_Alive()) SetWindowTextA(window, text.c_str());
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
    const auto length = Send_Message(window, WM_GETTEXTLENGTH, 0, 0);
    if (length <= 0) return {};
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    const auto copied = Send_Message(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return text;
}

void Add_Item(const Combo_Box& box, const std::string& item)
{
    Send_Message(box.Record().Window, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
}

int Selected_Item(const Combo_Box& box)
{
    if (!Window_Alive()) return -1;
    return static_cast<int>(Send_Message(box.Record().Window, CB_GETCURSEL, 0, 0));
}

void Append(const Rich_Edit& edit, const std::string& text)
{
    Replace_Selection_At_End(edit, false, reinterpret_cast<LPARAM>(text.c_str()));
}

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
