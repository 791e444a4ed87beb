#include "gui/window_thread.hpp"

#include "support/failure.hpp"
#include "windows/unicode.hpp"

#include <commctrl.h>

namespace Gui {

Window_Thread_State& Window_Thread()
{
    static Window_Thread_State* const state = new Window_Thread_State;
    return *state;
}

LRESULT Send_Message(HWND window, UINT message, WPARAM w_parameter, LPARAM l_parameter)
{
    if (!Window_Thread().Alive) return 0;
    return SendMessageA(window, message, w_parameter, l_parameter);
}

LRESULT Send_Message_W(HWND window, UINT message, WPARAM w_parameter, LPARAM l_parameter)
{
    if (!Window_Thread().Alive) return 0;
    return SendMessageW(window, message, w_parameter, l_parameter);
}

LRESULT Run_On_Window_Thread(const std::function<LRESULT()>& work)
{
    if (!Window_Alive()) return 0;
    if (On_Window_Thread()) return work ? work() : 0;
    return Send_Message(Main_Window(), Call_Message, 0, reinterpret_cast<LPARAM>(&work));
}

bool Window_Alive() { return Window_Thread().Alive; }
bool On_Window_Thread() { return GetCurrentThreadId() == Window_Thread().Display_Thread_Id; }
HWND Main_Window() { return Window_Thread().Main; }
HWND Status_Line() { return Window_Thread().Status; }
HWND Tab_Control() { return Window_Thread().Tabs; }
HINSTANCE Instance() { return Window_Thread().Instance; }
std::int32_t Take_Control_Identifier() { return Window_Thread().Next_Control_Id++; }

void Set_Title(const std::string& text)
{
    Window_Thread_State& state = Window_Thread();
    HWND main = state.Main;
    if (!main) return;
    {
        std::lock_guard guard(state.Name_Lock);
        state.Window_Name = text;
    }
    // Outside the lock: the window thread may need it for a message box while this waits.
    SetWindowTextW(main, Windows::Unicode::Wide(text).c_str());
}

std::string Title()
{
    Window_Thread_State& state = Window_Thread();
    std::lock_guard guard(state.Name_Lock);
    std::string title = state.Window_Name;
    while (!title.empty() && title.back() == '\0') title.pop_back();
    return title;
}

void Set_Status_Text(const std::string& text)
{
    Send_Message_W(Status_Line(), SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(Windows::Unicode::Wide(text).c_str()));
}

void Show_Message(const std::string& text, bool is_error)
{
    Window_Thread_State& state = Window_Thread();
    std::string caption;
    {
        std::lock_guard guard(state.Name_Lock);
        caption = state.Window_Name;
    }
    MessageBoxW(state.Main, Windows::Unicode::Wide(text).c_str(), Windows::Unicode::Wide(caption).c_str(), MB_OK | (is_error ? MB_ICONHAND : MB_ICONINFORMATION));
}

void Show_Current_Failure() noexcept
{
    try {
        Show_Message(Failures::Current_Description(), true);
    } catch (...) {
        MessageBoxA(nullptr, "Unexpected failure", "", MB_OK | MB_ICONHAND);
    }
}

void Post_Action(const Action_Routine& routine) { Window_Thread().Mailbox.Post(routine); }

void Post_Action(const Action_Routine_With_Argument& routine, std::uintptr_t argument)
{
    Window_Thread().Mailbox.Post(routine, argument);
}

HANDLE Closing_Event() { return Window_Thread().Closing.get(); }

// The rich-edit class lives in riched20.dll; "RichEd32.DLL" loads it on Windows. Where that
// library is missing, riched20.dll is loaded directly.
void Load_Rich_Edit_Library()
{
    Window_Thread_State& state = Window_Thread();
    if (state.Rich_Edit_Library) return;
    state.Rich_Edit_Library.reset(LoadLibraryW(L"RichEd32.DLL"));
    if (!state.Rich_Edit_Library) state.Rich_Edit_Library.reset(LoadLibraryW(L"riched20.dll"));
}

} // namespace Gui
