#pragma once
// A child control of the main window as the framework keeps it: a record that the creating thread
// fills in and the window thread completes, and the application's handle to it. The page that a
// control is made for owns its record until the window has ended.
//
// A new kind of control derives its record from Child_Record, overrides the hooks it needs
// (style, after-creation set-up, notifications from its window) and is created through
// Create_Control (controls.hpp); its handle class derives from Child.

#include "gui/kinds.hpp"
#include "gui/callbacks.hpp"
#include "gui/signals.hpp"

#include <windows.h>

#include <cstdint>
#include <string>

namespace Gui {

struct Page_Record;

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
    // A list, tree or rich-edit view: 0 takes a share of the page's height, more is a height in
    // pixels (within what the layout can give it).
    std::int32_t Height = 0;
    const std::int32_t Identifier;
    Child_Record* Companion = nullptr; // caption label or check box, placed at the left
    bool Is_Companion = false;
    Action_Routine Action;
    Action_Routine_With_Argument Action_With_Argument;
    std::uintptr_t Argument = 0;
    Creation_Event Creation;
    // Set before creation or on the window thread (Show_Instead): a hidden control stays out of
    // view and takes no room in its page's layout.
    bool Hidden = false;

    // Hooks, all called on the window thread.
    virtual const wchar_t* Window_Class() const;
    // Style bits of this kind, added to WS_CHILD (and WS_VISIBLE on the current page).
    virtual DWORD Kind_Style() const;
    // Right after the window was created (it may be 0).
    virtual void After_Creation() {}
    // WM_NOTIFY from this control's window; the result is the window procedure's.
    virtual LRESULT Handle_Notify(NMHDR& header);
    // WM_COMMAND from this control's window, before the action fires.
    virtual void Handle_Command(WORD /*notification_code*/) {}
    // The user asked for this control's context menu: a right-click at Screen_Point, or Shift+F10
    // or the menu key (From_Keyboard, the point then means nothing).
    virtual void Handle_Context_Menu(POINT /*screen_point*/, bool /*from_keyboard*/) {}

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

} // namespace Gui
