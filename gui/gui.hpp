#pragma once
// The window framework: one main window per process, created and run by a thread of its own
// ("Gui.Display") so that the application's main thread never pumps messages. Application actions
// run on a second thread ("Gui.Action_Handler"), reached through a one-slot mailbox; a third
// thread ("Gui.Termination_Handler") orders the shutdown when the window is closed. Every
// operation may be called from any thread; the window is only touched on its own thread, reached
// by synchronous messages.

#include "gui/callbacks.hpp"
#include "support/failure.hpp"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

namespace Gui {

using SEQUENCE_ERROR = Failures::Failure<"GUI.SEQUENCE_ERROR">;
using MAIN_WINDOW_CREATION_FAILURE = Failures::Failure<"GUI.MAIN_WINDOW_CREATION_FAILURE">;
using STATUS_LINE_CREATION_FAILURE = Failures::Failure<"GUI.STATUS_LINE_CREATION_FAILURE">;
using TAB_CREATION_FAILURE = Failures::Failure<"GUI.TAB_CREATION_FAILURE">;

// Private messages of the main window.
inline constexpr UINT Create_Control_Message = 0x853; // wParam: page record, lParam: control record
inline constexpr UINT Call_Message = 0x854;           // lParam: a std::function<LRESULT()> to run
inline constexpr UINT Final_Close_Message = 0x855;    // the last step of the shutdown

// Child identifiers of the framework's own windows.
inline constexpr int Status_Line_Identifier = 50;
inline constexpr int Tab_Control_Identifier = 51;

// Starts the action and display threads and creates the main window; returns when the main
// window, the status line and the tab control exist, or when their creation failed (the failure is
// then shown in a message box and the window shuts down). Width or Height 0 means the system's
// default size. Icon names an icon resource of the program ("" for none). Once per process:
// a second call raises SEQUENCE_ERROR.
void Open_Main_Window(const std::string& name, Termination_Routine termination, std::int32_t width,
                      std::int32_t height, std::int32_t x, std::int32_t y, const std::string& icon, bool topmost);

// Starts the same shutdown as the user's close box; nothing once the window is gone.
void Close_Main_Window();

// A manual-reset event, set when the window's shutdown begins (the close box, Close_Main_Window,
// the user logging off, a failed start) and never reset. A thread that waits for something else
// watches it too, so that it does not outlive the window. It lives as long as the process.
HANDLE Closing_Event();

// Blocks until the framework's threads have ended (the window was closed and shut down). Returns
// at once when the window was never opened. Call it at the end of the main procedure, never on a
// framework thread (SEQUENCE_ERROR).
void Wait_For_End();

// With a main window: the new name becomes the window text and the message-box caption.
void Set_Title(const std::string& text);
std::string Title();

// A modal message box owned by the main window, caption = the title. Blocks until dismissed.
void Show_Message(const std::string& text, bool is_error);

// Opens File with its default action; Parameters "" passes none. The result is not examined.
void Shell_Execute(const std::string& file, const std::string& parameters);

// The main window's outer rectangle as last moved or sized; RANGE_ERROR for a negative size.
void Window_Metrics(std::int32_t& x, std::int32_t& y, std::int32_t& width, std::int32_t& height);
// Whether a main window existed, so that Window_Metrics tells where it was; false after a start
// whose window could not be created.
bool Has_Window_Metrics();
bool Is_Minimized();
bool Is_Maximized();

// --- For the framework's own modules (pages, controls, views) -------------------------------------

// The gated sends: while the main window is not alive they neither send nor block and return 0.
LRESULT Send_Message(HWND window, UINT message, WPARAM w_parameter, LPARAM l_parameter);
LRESULT Send_Message_W(HWND window, UINT message, WPARAM w_parameter, LPARAM l_parameter);

// Runs Work on the window thread (one synchronous message to the main window) and returns its
// result; 0 without running it once the window is not alive. An exception inside Work is shown in
// an error message box on the window thread.
LRESULT Run_On_Window_Thread(const std::function<LRESULT()>& work);

bool Window_Alive();
bool On_Window_Thread();
HWND Main_Window();
HWND Status_Line();
HWND Tab_Control();
HINSTANCE Instance();
std::int32_t Take_Control_Identifier();

// Window thread only: the rich-edit class is registered on first use; the library stays loaded
// until the display thread ends.
void Load_Rich_Edit_Library();

// Hands an action to the action thread; dropped while another action runs.
void Post_Action(const Action_Routine& routine);
void Post_Action(const Action_Routine_With_Argument& routine, std::uintptr_t argument);

} // namespace Gui
