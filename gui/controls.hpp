#pragma once
// The child controls of the main window. Each control is described by a record that the calling
// thread fills in; its window is always created on the window thread, inside the page the caller
// names, and the constructor returns once it exists. The page owns the record (pages.hpp).

#include "gui/callbacks.hpp"
#include "gui/child.hpp"
#include "gui/kinds.hpp"
#include "gui/pages.hpp"

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace Gui {

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

// The creation protocol: Page takes the record over, the window thread creates the window in
// Page, and this returns the record when the window exists. Without a main window (before
// opening, after a failed creation, during shutdown) it returns at once and the record's window
// stays 0.
Child_Record& Create_Control(const Page& page, std::unique_ptr<Child_Record> record);

// --- Constructors ----------------------------------------------------------------------------------
// Width adds to the page's total button width and becomes its last button width.
Button Create_Button(const Page& page, const std::string& caption, Action_Routine action, std::int32_t width);
Progress_Bar Create_Progress_Bar(const Page& page);
// The caption is a label companion sized to its text.
Track_Bar Create_Track_Bar(const Page& page, const std::string& caption);
Check_Box Create_Check_Box(const Page& page, const std::string& caption, Action_Routine action);
struct Edit_Box_Options {
    Action_Routine Action; // fires when the box loses the focus
    bool Password = false;
    std::int32_t Width = 0;
    std::int32_t Caption_Width = 0; // 0: as wide as the caption's text
};
// The caption is a label (plain) or check-box (checked) companion at the left.
Plain_Edit_Box Create_Plain_Edit_Box(const Page& page, const std::string& caption, const std::string& text,
                                     Edit_Box_Options options);
Plain_Edit_Box Create_Plain_Edit_Box(const Page& page, const std::wstring& caption, const std::wstring& text,
                                     Edit_Box_Options options);
Checked_Edit_Box Create_Checked_Edit_Box(const Page& page, const std::string& caption, const std::string& text,
                                         Edit_Box_Options options);

struct Bare_Edit_Box_Options {
    std::string Cue;        // shown grey while the box is empty
    Action_Routine Changed; // on the window thread at every change of the text; quick, no waiting
};
// An edit box without a caption.
Plain_Edit_Box Create_Edit_Box(const Page& page, Bare_Edit_Box_Options options);

struct Combo_Box_Options {
    Action_Routine Action; // fires on a change of selection and when the box loses the focus
    bool Sorted = false;
    bool Editable = false;
    std::int32_t Width = 0;
    std::int32_t Caption_Width = 0; // 0: as wide as the caption's text
};
Plain_Combo_Box Create_Plain_Combo_Box(const Page& page, const std::string& caption, Combo_Box_Options options);
Checked_Combo_Box Create_Checked_Combo_Box(const Page& page, const std::string& caption, Combo_Box_Options options);
Rich_Edit Create_Rich_Edit(const Page& page, bool word_wrap);

// --- Operations ------------------------------------------------------------------------------------
// Any control: its window text.
void Set_Text(const Child& control, const std::string& text);
// Shows or hides the control; a hidden one takes no room in its page, and the keys it had go to the
// page's main view.
void Set_Shown(const Child& control, bool shown);
// Swaps two controls of a page in one layout: Hidden goes out of view and Shown comes in. A control
// that Give_Place has put where Hidden is keeps its size then, and a tree view, which recomputes all
// its rows when sized, does no such work.
void Show_Instead(const Child& shown, const Child& hidden);
// Moves To (shown or hidden) to where From is, with From's size.
void Give_Place(const Child& from, const Child& to);
// Gives Control Anchor's place in the order in which their page lays out controls of the same kind:
// it comes right after Anchor, wherever it was created.
void Place_After(const Child& control, const Child& anchor);
// Gives Control the font that Model uses, so that the two read alike.
void Use_Font_Of(const Child& control, const Child& model);
// Gives the control the keyboard focus.
void Focus(const Child& control);
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
void Dispatch_Command(WORD identifier, WORD notification_code);
LRESULT Dispatch_Notification(NMHDR& header);
// WM_CONTEXTMENU for the control whose window is Window (lParam as the message has it).
void Dispatch_Context_Menu(HWND window, LPARAM screen_point);

} // namespace Gui
