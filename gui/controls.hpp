#pragma once
// The child controls of the main window. Each control is described by a record that the calling
// thread fills in; its window is always created on the window thread, inside the page the caller
// names, and the constructor returns once it exists. Records live until the process ends.
//
// A new kind of control derives its record from Child_Record, overrides the hooks it needs
// (style, after-creation set-up, notifications from its window) and is created through
// Create_Control; its handle class derives from Child.

#include "gui/callbacks.hpp"
#include "gui/kinds.hpp"
#include "gui/pages.hpp"
#include "gui/signals.hpp"

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Gui {

class Child_Record {
public:
    // Takes the next control identifier.
    explicit Child_Record(Control_Kind kind);
    virtual ~Child_Record() = default;
    Child_Record(const Child_Record&) = delete;
    Child_Record& operator=(const Child_Record&) = delete;

    // Written by the window thread at creation; 0 when creation failed or never happened.
    HWND Window = nullptr;
    const Control_Kind Kind;
    Page_Record* Page = nullptr;
    std::wstring Text; // initial window text
    bool Has_Text = false;
    // 0 or more: a width in pixels (0: none given); negative: as wide as -Width characters of Text.
    std::int32_t Width = 0;
    const std::int32_t Identifier;
    Child_Record* Next = nullptr;      // next control of the same page
    Child_Record* Companion = nullptr; // caption label or check box, placed at the left
    bool Is_Companion = false;
    Action_Routine Action;
    Action_Routine_With_Argument Action_With_Argument;
    std::uintptr_t Argument = 0;
    Creation_Event Creation;

    // Hooks, all called on the window thread.
    virtual const wchar_t* Window_Class() const;
    // Style bits of this kind, added to WS_CHILD (and WS_VISIBLE on the current page).
    virtual DWORD Kind_Style() const;
    // Right after the window was created (it may be 0).
    virtual void After_Creation() {}
    // WM_NOTIFY from this control's window; the result is the window procedure's.
    virtual LRESULT Handle_Notify(NMHDR& header);

    // Whether a WM_COMMAND notification code fires the control's action.
    bool Fires_On(WORD notification_code) const noexcept;

    // For the application's callbacks that run while the control paints (texts, colours): the
    // result of Callback, or Fallback when it fails. Only the control's first failure is shown:
    // closing its message box repaints, and a callback that fails every time would otherwise
    // open the next box at once. Window thread only.
    template <typename Result, typename Callback>
    Result Painting_Value(Result fallback, Callback&& callback) const
    {
        try {
            return callback();
        } catch (...) {
            Show_First_Painting_Failure();
            return fallback;
        }
    }

private:
    // Inside a catch block.
    void Show_First_Painting_Failure() const noexcept;
    mutable bool painting_failure_shown_ = false;
};

// The application's value for a control: a reference to its record (copies refer to the same one).
class Child {
public:
    Child() = default;
    explicit Child(Child_Record* record) noexcept : record_(record) {}
    // ACCESS_ERROR for a handle that refers to nothing.
    Child_Record& Record() const;
    HWND Window() const noexcept { return record_ ? record_->Window : nullptr; }
    bool Is_Null() const noexcept { return record_ == nullptr; }
    friend bool operator==(const Child&, const Child&) = default;

private:
    Child_Record* record_ = nullptr;
};

class Button : public Child { using Child::Child; };
class Progress_Bar : public Child { using Child::Child; };
class Track_Bar : public Child { using Child::Child; };
class Check_Box : public Child { using Child::Child; };
class Edit_Box : public Child { using Child::Child; };
class Checked_Edit_Box : public Edit_Box { using Edit_Box::Edit_Box; };
class Plain_Edit_Box : public Edit_Box { using Edit_Box::Edit_Box; };
class Combo_Box : public Child { using Child::Child; };
class Checked_Combo_Box : public Combo_Box { using Combo_Box::Combo_Box; };
class Plain_Combo_Box : public Combo_Box { using Combo_Box::Combo_Box; };
class Rich_Edit : public Child { using Child::Child; };

// 8-bit (ANSI code page) text to wide text.
std::wstring Widened(std::string_view text);

// The creation protocol: sends the record to the window thread, which creates the window in
// Page, and returns when it exists. Without a main window (before opening, after a failed
// creation, during shutdown) it returns at once and the record's window stays 0.
void Create_Control(const Page& page, Child_Record& record);

// --- Constructors ----------------------------------------------------------------------------------
// Width adds to the page's total button width and becomes its last button width.
Button Create_Button(const Page& page, const std::string& caption, Action_Routine action, std::int32_t width);
Progress_Bar Create_Progress_Bar(const Page& page);
// The caption is a label companion sized to its text.
Track_Bar Create_Track_Bar(const Page& page, const std::string& caption);
Check_Box Create_Check_Box(const Page& page, const std::string& caption, Action_Routine action);
// The caption is a label (plain) or check-box (checked) companion, Caption_Width wide (0: as wide
// as its text). The action fires when the box loses the focus.
Plain_Edit_Box Create_Plain_Edit_Box(const Page& page, const std::string& caption, const std::string& text,
                                     Action_Routine action, bool password, std::int32_t width,
                                     std::int32_t caption_width);
Plain_Edit_Box Create_Plain_Edit_Box(const Page& page, const std::wstring& caption, const std::wstring& text,
                                     Action_Routine action, bool password, std::int32_t width,
                                     std::int32_t caption_width);
Checked_Edit_Box Create_Checked_Edit_Box(const Page& page, const std::string& caption, const std::string& text,
                                         Action_Routine action, bool password, std::int32_t width,
                                         std::int32_t caption_width);
// The action fires on a change of selection and when the box loses the focus.
Plain_Combo_Box Create_Plain_Combo_Box(const Page& page, const std::string& caption, Action_Routine action,
                                       bool sorted, bool editable, std::int32_t width, std::int32_t caption_width);
Checked_Combo_Box Create_Checked_Combo_Box(const Page& page, const std::string& caption, Action_Routine action,
                                           bool sorted, bool editable, std::int32_t width,
                                           std::int32_t caption_width);
Rich_Edit Create_Rich_Edit(const Page& page, bool word_wrap);

// --- Operations ------------------------------------------------------------------------------------
// Any control: its window text.
void Set_Text(const Child& control, const std::string& text);
// Fires Routine with Argument on WM_COMMAND instead of the parameterless action.
void Set_Action_With_Argument(const Child& control, Action_Routine_With_Argument routine, std::uintptr_t argument);

void Set_Range_And_Step(const Progress_Bar& bar, std::uint16_t low, std::uint16_t high, int step);
void Set_Position(const Progress_Bar& bar, int position);
void Step(const Progress_Bar& bar);
void Set_Bar_Colour(const Progress_Bar& bar, COLORREF colour);

void Set_Range(const Track_Bar& bar, std::uint16_t low, std::uint16_t high);
void Set_Tick_Frequency(const Track_Bar& bar, int frequency);
void Set_Position(const Track_Bar& bar, int position);
int Position(const Track_Bar& bar);

// True only for BST_CHECKED; false without asking once the window is closing.
bool Is_Checked(const Check_Box& box);
void Check(const Check_Box& box);
void Uncheck(const Check_Box& box);
// The same on the companion check box.
bool Is_Checked(const Checked_Edit_Box& box);
void Check(const Checked_Edit_Box& box);
void Uncheck(const Checked_Edit_Box& box);
bool Is_Checked(const Checked_Combo_Box& box);
void Check(const Checked_Combo_Box& box);
void Uncheck(const Checked_Combo_Box& box);

std::string Edit_Text(const Edit_Box& box);
void Add_Item(const Combo_Box& box, const std::string& item);
// 0-based; -1 when nothing is selected.
int Selected_Item(const Combo_Box& box);

void Append(const Rich_Edit& edit, const std::string& text);
void Append(const Rich_Edit& edit, const std::wstring& text);
void Append(const Rich_Edit& edit, const std::string& text, COLORREF colour);
void Append(const Rich_Edit& edit, const std::wstring& text, COLORREF colour);

// The page's controls in their order (companions included), read on the window thread.
std::vector<Child> Controls_Of(const Page& page);

// --- Window thread only ----------------------------------------------------------------------------
void Create_Control_On_Window_Thread(Page_Record* page, Child_Record* control);
Child_Record* Find_Control(const Page_Record& page, std::int32_t identifier);
void Dispatch_Command(WORD identifier, WORD notification_code);
LRESULT Dispatch_Notification(NMHDR& header);

} // namespace Gui
