#pragma once
// The window thread's plumbing, which every floor of the framework stands on: the main window and
// the thread that owns it, the sends that stop once the window is closing, work run on that
// thread, actions handed to the action thread, message boxes and control identifiers.
//
// The framework's core (gui.cpp) sets the state up and takes it down; pages, controls and views
// only use it. Every function here may be called from any thread.

#include "gui/callbacks.hpp"
#include "gui/mailbox.hpp"
#include "gui/owners.hpp"
#include "windows/unique_handle.hpp"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

namespace Gui {

// Private messages of the main window.
inline constexpr UINT Create_Control_Message = WM_APP + 1; // wParam: page record, lParam: control record
inline constexpr UINT Call_Message = WM_APP + 2;           // lParam: a std::function<LRESULT()> to run
inline constexpr UINT Final_Close_Message = WM_APP + 3;    // the last step of the shutdown

// Child identifiers of the framework's own windows; controls take theirs from First_Control_Identifier on.
inline constexpr int Status_Line_Identifier = 50;
inline constexpr int Tab_Control_Identifier = 51;
inline constexpr std::int32_t First_Control_Identifier = 100;
// WM_COMMAND identifiers from here on are menu commands (the main window defines none).
inline constexpr WORD First_Menu_Command = 1000;

// The gated sends: while the main window is not alive they neither send nor block and return 0.
LRESULT Send_Message(HWND window, UINT message, WPARAM w_parameter, LPARAM l_parameter);
LRESULT Send_Message_W(HWND window, UINT message, WPARAM w_parameter, LPARAM l_parameter);

// Runs Work on the window thread and returns its result; 0 without running it once the window is
// not alive. From another thread it is one synchronous message to the main window, and a failure
// inside Work is shown in an error message box there; on the window thread itself Work simply
// runs, and its failure goes to the caller.
LRESULT Run_On_Window_Thread(const std::function<LRESULT()>& work);

bool Window_Alive();
bool On_Window_Thread();
HWND Main_Window();
HWND Status_Line();
HWND Tab_Control();
HINSTANCE Instance();
std::int32_t Take_Control_Identifier();

// With a main window: the new name becomes the window text and the message-box caption.
void Set_Title(const std::string& text);
std::string Title();

// The text of the status line along the window's bottom.
void Set_Status_Text(const std::string& text);

// A modal message box owned by the main window, caption = the title. Blocks until dismissed.
void Show_Message(const std::string& text, bool is_error);
// The failure in flight, in an error message box; call it inside a catch block. Never fails.
void Show_Current_Failure() noexcept;

// Hands an action to the action thread; dropped while another action runs.
void Post_Action(const Action_Routine& routine);
void Post_Action(const Action_Routine_With_Argument& routine, std::uintptr_t argument);

// A manual-reset event, set when the window's shutdown begins (the close box, Close_Main_Window,
// the user logging off, a failed start) and never reset. A thread that waits for something else
// watches it too, so that it does not outlive the window. It lives as long as the process.
HANDLE Closing_Event();

// Window thread only: the rich-edit class is registered on first use; the library stays loaded
// until the display thread ends.
void Load_Rich_Edit_Library();

// --- For the framework's core only ---------------------------------------------------------------

struct Window_Thread_State {
    HINSTANCE Instance = GetModuleHandleA(nullptr);
    std::atomic<HWND> Main{nullptr};
    std::atomic<HWND> Status{nullptr};
    std::atomic<HWND> Tabs{nullptr};
    // True from Open_Main_Window until the final close; every send is skipped while it is false.
    std::atomic<bool> Alive{false};
    std::atomic<DWORD> Display_Thread_Id{0};
    std::atomic<std::int32_t> Next_Control_Id{First_Control_Identifier};

    mutable std::mutex Name_Lock;
    std::string Window_Name = std::string(1, '\0'); // the title; one NUL until the first is given

    Action_Mailbox Mailbox;
    Windows::Unique_Handle Closing{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    Unique_Library Rich_Edit_Library; // window thread only
};

// One per process, never destroyed: the framework's threads outlive the main procedure and would
// otherwise meet destroyed state while the runtime ends the process.
Window_Thread_State& Window_Thread();

} // namespace Gui
