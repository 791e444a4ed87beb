#include "gui/gui.hpp"

#include "gui/controls.hpp"
#include "gui/owners.hpp"
#include "gui/pages.hpp"
#include "gui/signals.hpp"
#include "windows/unicode.hpp"

#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace Gui {

namespace {

// A bit the status line has always been created with; no status-bar style claims it.
constexpr DWORD Status_Line_Extra_Style = 0x10;

// The class brush: the handle value 1, which the system reads as the colour COLOR_SCROLLBAR.
const HBRUSH Class_Background = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_SCROLLBAR + 1));

// The core's own state, beside the window thread's (window_thread.hpp). One per process, never
// destroyed: the framework's threads outlive the main procedure and would otherwise meet destroyed
// state while the runtime ends the process.
struct Module_State {
    std::string Class_Name; // display thread only; empty while this module registered none

    mutable std::mutex Rectangle_Lock;
    RECT Rectangle{};
    bool Rectangle_Known = false; // false until a main window existed

    // Window thread only. Above 0, the thread is inside the handling of a message taken from its
    // queue, maybe in a message loop of a control's own (a tree view follows a pressed mouse
    // button in one); destroying the window then would pull the control out from under it.
    int Dispatch_Depth = 0;
    bool Destroy_Deferred = false;
    std::vector<Key_Hook> Key_Hooks; // window thread only

    std::mutex Open_Lock;
    bool Opened = false;
    Main_Window_Options Start; // the window's Termination is run by the termination handler

    Latch Start_Accepted;
    Latch Ready_Accepted;
    Latch Close_Requested;
    Latch Handler_Finished;

    std::atomic<DWORD> Action_Thread_Id{0};
    std::atomic<DWORD> Termination_Thread_Id{0};
    std::mutex Join_Lock;
    std::thread Action_Thread;
    std::thread Display_Thread;
    std::thread Termination_Thread;
};

void Run_Termination_Handler();

// Debuggers and the system's own tools show the name. The call exists from Windows 10 on; older
// systems run the thread unnamed.
void Name_This_Thread(const wchar_t* name) noexcept
{
    using Set_Description = HRESULT(WINAPI*)(HANDLE, PCWSTR);
    static const auto set_description = reinterpret_cast<Set_Description>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetThreadDescription")));
    if (set_description) set_description(GetCurrentThread(), name);
}

Module_State* Start_Module()
{
    auto* state = new Module_State;
    state->Termination_Thread = std::thread(Run_Termination_Handler);
    INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES | ICC_TAB_CLASSES | ICC_BAR_CLASSES |
                                                                    ICC_PROGRESS_CLASS | ICC_TREEVIEW_CLASSES |
                                                                    ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&classes);
    return state;
}

// First use from any static initialiser, or at the latest this module's own, starts the module.
Module_State& Module()
{
    static Module_State* const state = Start_Module();
    return *state;
}

[[maybe_unused]] const bool module_started = (Module(), true);

void Request_Close()
{
    SetEvent(Closing_Event());
    Module().Close_Requested.Release();
}

// --- Gui.Termination_Handler -----------------------------------------------------------------------

void Run_Termination_Routine(Module_State& state)
{
    try {
        if (state.Start.Termination) state.Start.Termination();
    } catch (...) {
        Show_Current_Failure();
    }
}

void Run_Termination_Handler()
{
    Module_State& state = Module();
    state.Termination_Thread_Id = GetCurrentThreadId();
    Name_This_Thread(L"Gui.Termination_Handler");
    try {
        state.Close_Requested.Wait();
        Window_Thread().Mailbox.Stop();
        state.Handler_Finished.Wait(); // a running action ends first
        Run_Termination_Routine(state);
        Send_Message(Main_Window(), Final_Close_Message, 0, 0);
    } catch (...) {
        Show_Current_Failure();
    }
}

// --- Gui.Action_Handler ----------------------------------------------------------------------------

void Run_Actions(Action_Mailbox& mailbox)
{
    for (;;) {
        Action_Mailbox::Request request = mailbox.Take();
        if (request.Is_Stop()) return;
        if (request.Routine_With_Argument) request.Routine_With_Argument(request.Argument);
        else request.Routine();
        mailbox.Done();
    }
}

// After a failed action the thread ends and later posts stay unanswered (the mailbox is never
// idle again), but shutdown still learns that the handler has finished.
void Run_Action_Handler()
{
    Module_State& state = Module();
    state.Action_Thread_Id = GetCurrentThreadId();
    Name_This_Thread(L"Gui.Action_Handler");
    try {
        Run_Actions(Window_Thread().Mailbox);
    } catch (...) {
        Show_Current_Failure();
    }
    state.Handler_Finished.Release();
}

// --- Window procedure ------------------------------------------------------------------------------

void Refresh_Window_Rectangle(HWND window)
{
    RECT rectangle;
    if (!GetWindowRect(window, &rectangle)) return;
    Module_State& state = Module();
    std::lock_guard guard(state.Rectangle_Lock);
    state.Rectangle = rectangle;
    state.Rectangle_Known = true;
}

LRESULT On_Notify(LPARAM l_parameter)
{
    auto* header = reinterpret_cast<NMHDR*>(l_parameter);
    if (!header) return 0;
    if (header->idFrom == Tab_Control_Identifier && header->code == static_cast<UINT>(TCN_SELCHANGE)) {
        Handle_Tab_Change();
        return 0;
    }
    return Dispatch_Notification(*header);
}

LRESULT On_Call(LPARAM l_parameter)
{
    auto* work = reinterpret_cast<const std::function<LRESULT()>*>(l_parameter);
    return work && *work ? (*work)() : 0;
}

// Inside a nested message loop the window is destroyed by the message loop once that loop has
// ended. Taking the mouse away ends the loops that follow a pressed button (a control's, or the
// window's own while it is moved or sized) at once.
LRESULT On_Final_Close(HWND window)
{
    Module_State& state = Module();
    Window_Thread().Alive = false;
    if (state.Dispatch_Depth == 0) return DefWindowProcW(window, WM_CLOSE, 0, 0); // destroys the window
    state.Destroy_Deferred = true;
    ReleaseCapture();
    return 0;
}

// Closing, logging off and the end of the window.
LRESULT Dispatch_Shutdown(HWND window, UINT message, WPARAM w_parameter, LPARAM l_parameter)
{
    switch (message) {
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_CLOSE:
        // Only the first request counts; a later one must not block this thread, which still has
        // to handle the final close.
        Request_Close();
        return 0;
    case WM_ENDSESSION:
        // The user logs off: the system ends the process soon after this returns, with no
        // WM_CLOSE of its own, so the shutdown starts here.
        if (w_parameter) Request_Close();
        return 0;
    case Final_Close_Message:
        return On_Final_Close(window);
    default:
        return DefWindowProcW(window, message, w_parameter, l_parameter);
    }
}

LRESULT Dispatch(HWND window, UINT message, WPARAM w_parameter, LPARAM l_parameter)
{
    switch (message) {
    case WM_NOTIFY:
        return On_Notify(l_parameter);
    case Create_Control_Message:
        Create_Control_On_Window_Thread(reinterpret_cast<Page_Record*>(w_parameter),
                                        reinterpret_cast<Child_Record*>(l_parameter));
        return 0;
    case Call_Message:
        return On_Call(l_parameter);
    case WM_MOVE:
        Refresh_Window_Rectangle(window);
        return 0;
    case WM_SIZE:
        Refresh_Window_Rectangle(window);
        Lay_Out_Current_Page();
        return 0;
    case WM_COMMAND:
        Dispatch_Command(LOWORD(w_parameter), HIWORD(w_parameter));
        return DefWindowProcW(window, message, w_parameter, l_parameter);
    case WM_CONTEXTMENU:
        Dispatch_Context_Menu(reinterpret_cast<HWND>(w_parameter), l_parameter);
        return 0;
    case WM_SETFOCUS:
        // Activating the window gives it the focus; the keys belong to its page's main view.
        Focus_Current_Page();
        return 0;
    default:
        return Dispatch_Shutdown(window, message, w_parameter, l_parameter);
    }
}

LRESULT CALLBACK Window_Procedure(HWND window, UINT message, WPARAM w_parameter, LPARAM l_parameter)
{
    try {
        return Dispatch(window, message, w_parameter, l_parameter);
    } catch (...) {
        Show_Current_Failure();
        return 0;
    }
}

// --- Gui.Display -----------------------------------------------------------------------------------

// The system's error of the call that failed first while the main window was made, read right
// at that call; 0 while nothing failed.
struct Creation_Errors {
    DWORD Class_Registration = ERROR_SUCCESS;
    DWORD Window_Creation = ERROR_SUCCESS;

    std::string Description() const
    {
        if (Class_Registration != ERROR_SUCCESS) return "RegisterClassW: error " + std::to_string(Class_Registration);
        return "CreateWindowExW: error " + std::to_string(Window_Creation);
    }
};

constexpr std::size_t Longest_Class_Name = 256;

// With the class missing, the window creation that follows fails as well; the registration's
// error is the one that tells why.
void Register_Window_Class(const Main_Window_Options& start, Creation_Errors& errors)
{
    const std::wstring class_name = Windows::Unicode::Wide(start.Name);
    // The system refuses a longer class name (ERROR_INVALID_PARAMETER); it is not handed over, since
    // Wine's heap does not survive being asked.
    if (class_name.size() > Longest_Class_Name) {
        errors.Class_Registration = ERROR_INVALID_PARAMETER;
        return;
    }
    WNDCLASSW window_class{};
    window_class.lpfnWndProc = Window_Procedure;
    window_class.hInstance = Instance();
    window_class.hIcon = start.Icon.empty() ? nullptr : LoadIconW(Instance(), Windows::Unicode::Wide(start.Icon).c_str());
    window_class.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    window_class.hbrBackground = Class_Background;
    window_class.lpszClassName = class_name.c_str();
    if (!RegisterClassW(&window_class)) errors.Class_Registration = GetLastError();
}

// The part of the start that Open_Main_Window waits for in its first hand-over.
void Create_Main_Window(Module_State& state, Creation_Errors& errors)
{
    const Main_Window_Options& start = state.Start;
    Window_Thread_State& window_thread = Window_Thread();
    {
        std::lock_guard guard(window_thread.Name_Lock);
        window_thread.Window_Name = start.Name;
    }
    Register_Window_Class(start, errors);
    if (errors.Class_Registration == ERROR_SUCCESS) state.Class_Name = start.Name;
    // A class that could not be registered for another reason than being there already has no
    // window to make; Wine's heap does not survive being asked for one of a name it refused.
    const bool class_there =
        errors.Class_Registration == ERROR_SUCCESS || errors.Class_Registration == ERROR_CLASS_ALREADY_EXISTS;
    Unique_Menu menu{class_there ? CreateMenu() : nullptr}; // an empty one; the window destroys it with itself
    const std::wstring name = Windows::Unicode::Wide(start.Name);
    HWND main = class_there ? CreateWindowExW(start.Topmost ? WS_EX_TOPMOST : 0, name.c_str(), name.c_str(),
                                              WS_OVERLAPPEDWINDOW, start.X, start.Y, start.Width, start.Height,
                                              nullptr, menu.get(), Instance(), nullptr)
                            : nullptr;
    if (!main && class_there) errors.Window_Creation = GetLastError();
    if (main) menu.release();
    window_thread.Main = main;
    if (main) Refresh_Window_Rectangle(main);
}

HWND Create_Framework_Child(const wchar_t* window_class, DWORD style, int identifier)
{
    return CreateWindowExW(0, window_class, L"", WS_CHILD | style, 0, 0, 0, 0, Main_Window(),
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(identifier)), Instance(), nullptr);
}

void Create_Status_Line_And_Tabs(const Creation_Errors& errors)
{
    Window_Thread_State& window_thread = Window_Thread();
    if (!window_thread.Main) throw MAIN_WINDOW_CREATION_FAILURE(errors.Description());
    window_thread.Status = Create_Framework_Child(STATUSCLASSNAMEW, WS_VISIBLE | WS_BORDER | Status_Line_Extra_Style,
                                                  Status_Line_Identifier);
    if (!window_thread.Status) throw STATUS_LINE_CREATION_FAILURE("error " + std::to_string(GetLastError()));
    window_thread.Tabs = Create_Framework_Child(WC_TABCONTROLW, WS_CLIPSIBLINGS, Tab_Control_Identifier);
    if (!window_thread.Tabs) throw TAB_CREATION_FAILURE("error " + std::to_string(GetLastError()));
}

void Dispatch_From_Queue(Module_State& state, const MSG& message)
{
    ++state.Dispatch_Depth;
    DispatchMessageW(&message); // the window procedure lets no exception out
    --state.Dispatch_Depth;
    if (state.Destroy_Deferred && state.Dispatch_Depth == 0) {
        state.Destroy_Deferred = false;
        DestroyWindow(Main_Window());
    }
}

bool Taken_By_Key_Hooks(const Module_State& state, const MSG& message)
{
    if (message.message != WM_KEYDOWN && message.message != WM_SYSKEYDOWN) return false;
    try {
        for (const Key_Hook& hook : state.Key_Hooks)
            if (hook(message)) return true;
        return false;
    } catch (...) {
        Show_Current_Failure();
        return true;
    }
}

void Run_Message_Loop(Module_State& state)
{
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) == 1) {
        if (Taken_By_Key_Hooks(state, message)) continue;
        TranslateMessage(&message);
        Dispatch_From_Queue(state, message);
    }
}

void End_Display(const Module_State& state)
{
    Window_Thread_State& window_thread = Window_Thread();
    window_thread.Alive = false;
    if (HWND main = window_thread.Main.exchange(nullptr)) DestroyWindow(main);
    // Only what was registered: Wine's heap does not survive unregistering a name it refused.
    if (!state.Class_Name.empty()) UnregisterClassW(Windows::Unicode::Wide(state.Class_Name).c_str(), Instance());
    window_thread.Rich_Edit_Library.reset();
}

void Start_Display(Module_State& state)
{
    Creation_Errors errors;
    try {
        Create_Main_Window(state, errors);
    } catch (...) {
        state.Start_Accepted.Release(std::current_exception());
        throw;
    }
    state.Start_Accepted.Release();
    Create_Status_Line_And_Tabs(errors);
    state.Ready_Accepted.Release();
    ShowWindow(Main_Window(), SW_SHOW);
    UpdateWindow(Main_Window());
}

// Also when the loop ended by other means than the final close, the termination handler is asked
// to finish, so that the termination routine runs once and every thread ends.
void Run_Display()
{
    Module_State& state = Module();
    Window_Thread().Display_Thread_Id = GetCurrentThreadId();
    Name_This_Thread(L"Gui.Display");
    try {
        Start_Display(state);
        Run_Message_Loop(state);
    } catch (...) {
        Show_Current_Failure();
        state.Ready_Accepted.Release();
    }
    End_Display(state);
    Request_Close();
}

bool Is_Framework_Thread()
{
    const DWORD self = GetCurrentThreadId();
    const Module_State& state = Module();
    return self == Window_Thread().Display_Thread_Id || self == state.Action_Thread_Id ||
           self == state.Termination_Thread_Id;
}

void Claim_Opening(Module_State& state)
{
    std::lock_guard guard(state.Open_Lock);
    if (state.Opened) throw SEQUENCE_ERROR("the main window was opened before");
    state.Opened = true;
}

void Join(std::thread& thread)
{
    if (thread.joinable()) thread.join();
}

} // namespace

// --- Public operations -----------------------------------------------------------------------------

void Open_Main_Window(Main_Window_Options options)
{
    Module_State& state = Module();
    Claim_Opening(state);
    if (options.Width == 0) options.Width = CW_USEDEFAULT;
    if (options.Height == 0) options.Height = CW_USEDEFAULT;
    state.Start = std::move(options);
    state.Action_Thread = std::thread(Run_Action_Handler);
    Window_Thread().Alive = true;
    try {
        state.Display_Thread = std::thread(Run_Display);
    } catch (...) {
        Window_Thread().Alive = false;
        Request_Close(); // lets the action and termination threads end
        throw;
    }
    state.Start_Accepted.Wait();
    state.Ready_Accepted.Wait();
}

void Add_Key_Hook(Key_Hook hook)
{
    Run_On_Window_Thread([&] {
        Module().Key_Hooks.push_back(std::move(hook));
        return LRESULT{0};
    });
}

void Close_Main_Window() { Send_Message(Main_Window(), WM_CLOSE, 0, 0); }

void Wait_For_End()
{
    Module_State& state = Module();
    {
        std::lock_guard guard(state.Open_Lock);
        if (!state.Opened) return;
    }
    if (Is_Framework_Thread()) throw SEQUENCE_ERROR("Wait_For_End on a thread of the window framework");
    std::lock_guard guard(state.Join_Lock);
    Join(state.Display_Thread);
    Join(state.Action_Thread);
    Join(state.Termination_Thread);
    // Handles to controls stay usable (and harmless) after the end, so their records go only
    // with the process; the threads that used them have ended by now.
    [[maybe_unused]] static const bool release_registered = (std::atexit(Release_Pages), true);
}

// The shell may hand the file to handlers that are COM objects, so its callers must be in an
// apartment. The calling thread (the action thread) enters one at its first call and stays in it
// until it ends: a handler may still be at work after the call returns.
void Shell_Execute(const std::string& file, const std::string& parameters, const std::string& verb,
                   const std::string& file_class)
{
    struct Apartment {
        HRESULT Result = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
        ~Apartment()
        {
            if (SUCCEEDED(Result)) CoUninitialize();
        }
    };
    thread_local const Apartment apartment;
    const std::wstring wide_file = Windows::Unicode::Wide(file), wide_parameters = Windows::Unicode::Wide(parameters),
                       wide_verb = Windows::Unicode::Wide(verb), wide_class = Windows::Unicode::Wide(file_class);
    SHELLEXECUTEINFOW request{};
    request.cbSize = sizeof request;
    request.fMask = file_class.empty() ? 0 : SEE_MASK_CLASSNAME;
    request.hwnd = Main_Window();
    request.lpVerb = verb.empty() ? nullptr : wide_verb.c_str();
    request.lpFile = wide_file.c_str();
    request.lpParameters = parameters.empty() ? nullptr : wide_parameters.c_str();
    request.lpClass = file_class.empty() ? nullptr : wide_class.c_str();
    request.nShow = SW_SHOWNORMAL; // with a show command of 0 the opened program would start hidden
    ShellExecuteExW(&request);
}

void Window_Metrics(std::int32_t& x, std::int32_t& y, std::int32_t& width, std::int32_t& height)
{
    Module_State& state = Module();
    RECT rectangle;
    {
        std::lock_guard guard(state.Rectangle_Lock);
        rectangle = state.Rectangle;
    }
    if (rectangle.right < rectangle.left || rectangle.bottom < rectangle.top)
        throw Failures::RANGE_ERROR("negative window size");
    x = rectangle.left;
    y = rectangle.top;
    width = rectangle.right - rectangle.left;
    height = rectangle.bottom - rectangle.top;
}

bool Has_Window_Metrics()
{
    Module_State& state = Module();
    std::lock_guard guard(state.Rectangle_Lock);
    return state.Rectangle_Known;
}

bool Is_Minimized() { return IsIconic(Main_Window()) != FALSE; }
bool Is_Maximized() { return IsZoomed(Main_Window()) != FALSE; }

} // namespace Gui
