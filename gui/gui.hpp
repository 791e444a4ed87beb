#pragma once
// The window framework: one main window per process, created and run by a thread of its own
// ("Gui.Display") so that the application's main thread never pumps messages. Application actions
// run on a second thread ("Gui.Action_Handler"), reached through a one-slot mailbox; a third
// thread ("Gui.Termination_Handler") orders the shutdown when the window is closed. Every
// operation may be called from any thread; the window is only touched on its own thread, reached
// by synchronous messages.
//
// This is the framework's top floor: the threads and the window procedure, which hands messages
// to the pages and controls below. What every floor uses (sends, titles, message boxes, actions)
// is in window_thread.hpp, which comes with this header.

#include "gui/callbacks.hpp"
#include "gui/window_thread.hpp"
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

struct Main_Window_Options {
    std::string Name; // the class name and the first title
    Termination_Routine Termination; // may be empty
    std::int32_t Width = 0; // 0: the system's default size
    std::int32_t Height = 0;
    std::int32_t X = CW_USEDEFAULT;
    std::int32_t Y = CW_USEDEFAULT;
    std::string Icon; // an icon resource of the program; "" for none
    bool Topmost = false;
};

// Starts the action and display threads and creates the main window; returns when the main
// window, the status line and the tab control exist, or when their creation failed (the failure is
// then shown in a message box and the window shuts down). Once per process: a second call raises
// SEQUENCE_ERROR.
void Open_Main_Window(Main_Window_Options options);

// Starts the same shutdown as the user's close box; nothing once the window is gone.
void Close_Main_Window();

// Blocks until the framework's threads have ended (the window was closed and shut down); the pages
// and controls are then freed when the process ends. Returns at once when the window was never
// opened. Call it at the end of the main procedure, never on a framework thread (SEQUENCE_ERROR).
void Wait_For_End();

// Sees every key press of the window thread (WM_KEYDOWN and WM_SYSKEYDOWN) before the control with
// the focus does; a press for which it returns true goes no further. It runs on the window thread
// and may call the framework. Presses inside menus and dialogs do not reach it.
using Key_Hook = std::function<bool(const MSG& press)>;
void Set_Key_Hook(Key_Hook hook);

// Opens File with its default action; Parameters "" passes none. The result is not examined.
// With a Verb ("edit") and the Class of File's type, the shell takes that class's verb. The
// calling thread is in a COM apartment from the first call on, as the shell asks of its callers.
void Shell_Execute(const std::string& file, const std::string& parameters, const std::string& verb = {},
                   const std::string& file_class = {});

// The main window's outer rectangle as last moved or sized; RANGE_ERROR for a negative size.
void Window_Metrics(std::int32_t& x, std::int32_t& y, std::int32_t& width, std::int32_t& height);
// Whether a main window existed, so that Window_Metrics tells where it was; false after a start
// whose window could not be created.
bool Has_Window_Metrics();
bool Is_Minimized();
bool Is_Maximized();

} // namespace Gui
