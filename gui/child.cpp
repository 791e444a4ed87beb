#include "gui/child.hpp"

#include "gui/window_thread.hpp"
#include "support/failure.hpp"

#include <commctrl.h>
#include <richedit.h>

namespace Gui {

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

void Child_Record::Show_First_Painting_Failure() const noexcept
{
    if (painting_failure_shown_) return;
    painting_failure_shown_ = true; // before the box: it repaints while it is open
    Show_Current_Failure();
}

Child_Record& Child::Record() const
{
    if (!record_) throw Failures::ACCESS_ERROR("a control handle that refers to no control");
    return *record_;
}

} // namespace Gui
