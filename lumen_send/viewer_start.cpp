#include "lumen_send/viewer_start.hpp"

#include "windows/program_search.hpp"
#include "windows/unicode.hpp"

#include <algorithm>
#include <utility>
#include <vector>

namespace Send::Viewer {

namespace {

// Between two attempts to open a pipe that is not there yet; the wait also ends when the viewer
// does.
constexpr DWORD Retry_Interval_Ms = 20;

bool Needs_Quotes(std::string_view argument) noexcept
{
    return argument.empty() || argument.find_first_of(" \t\n\v\"") != std::string_view::npos;
}

// The runs of lumen_send in this session wait for each other on this mutex.
constexpr const char* Turn_Lock_Name = "Local\\Lumen_Roll_V1.1 lumen_send turn";

// Whether any pipe of the viewer's name exists: a viewer waiting for its host, or one in a
// transfer, or one that has not closed it yet.
bool Is_Pipe_Name_Held()
{
    const std::string full_name = "\\\\.\\pipe\\" + std::string(Pipe_Name);
    if (WaitNamedPipeA(full_name.c_str(), Retry_Interval_Ms)) return true;
    return GetLastError() != ERROR_FILE_NOT_FOUND;
}

// Opens the pipe if the viewer's process serves it; otherwise leaves it closed.
void Open_Own_Viewer(Client_Pipe::Pipe& pipe, HANDLE viewer_process, std::string_view pipe_name)
{
    pipe.Open(pipe_name);
    if (!viewer_process || pipe.Server_Process_Id() == GetProcessId(viewer_process)) return;
    pipe.Close(); // another host's viewer: its transfer is not ours to take
}

// Waits up to Milliseconds for the viewer to end; raises ENDED when it has.
void Wait_Unless_Ended(HANDLE viewer_process, DWORD milliseconds)
{
    if (WaitForSingleObject(viewer_process, milliseconds) != WAIT_OBJECT_0) return;
    DWORD code = 0;
    GetExitCodeProcess(viewer_process, &code);
    throw ENDED("the viewer ended (exit code " + std::to_string(code) + ") before its pipe was there");
}

// The viewer outlives lumen_send. Left to itself, it would get lumen_send's standard handles,
// and a pipe that captures lumen_send's output ("lumen_send ... | tail") would stay open until
// the viewer's window is closed. So the viewer's standard handles are the null device, and no
// other handle of ours is inherited.
Windows::Unique_File Open_Null_Device()
{
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    Windows::Unique_File device{CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                            &inheritable, OPEN_EXISTING, 0, nullptr)};
    if (!device) {
        const DWORD error = GetLastError();
        throw START_FAILURE("cannot open the null device (system error " + std::to_string(error) + ")");
    }
    return device;
}

// A process attribute list naming the one handle that a new process may inherit.
class Inherit_Only {
public:
    explicit Inherit_Only(HANDLE handle) : handle_(handle)
    {
        SIZE_T size = 0;
        InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        storage_.resize(size);
        if (!InitializeProcThreadAttributeList(List(), 1, 0, &size)) Raise("prepare", GetLastError());
        if (!UpdateProcThreadAttribute(List(), 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, &handle_, sizeof handle_,
                                       nullptr, nullptr)) {
            const DWORD error = GetLastError();
            DeleteProcThreadAttributeList(List()); // no destructor runs for a constructor that throws
            Raise("restrict", error);
        }
    }
    ~Inherit_Only() { DeleteProcThreadAttributeList(List()); }
    Inherit_Only(const Inherit_Only&) = delete;
    Inherit_Only& operator=(const Inherit_Only&) = delete;

    LPPROC_THREAD_ATTRIBUTE_LIST List() noexcept { return reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.data()); }

private:
    [[noreturn]] static void Raise(const char* what, DWORD error)
    {
        throw START_FAILURE(std::string("cannot ") + what + " the inherited handles (system error " +
                            std::to_string(error) + ")");
    }

    HANDLE handle_; // its address goes into the list, so it lives as long as the list
    std::vector<char> storage_;
};

} // namespace

// Backslashes are literal except in front of a quote, where each one needs a partner; so do
// those in front of the closing quote.
std::string Quote_Argument(std::string_view argument)
{
    if (!Needs_Quotes(argument)) return std::string(argument);
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (char character : argument) {
        if (character == '\\') {
            ++backslashes;
            continue;
        }
        quoted.append(character == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        quoted += character;
        backslashes = 0;
    }
    quoted.append(2 * backslashes, '\\');
    return quoted + '"';
}

// The program name is split by other rules (no backslash escapes), but a path cannot contain
// quotes, so plain quoting suits it.
std::string Command_Line(std::string_view viewer, std::string_view editor, std::string_view pipe_name)
{
    const bool quoted = Needs_Quotes(viewer);
    std::string line;
    if (quoted) line += '"';
    line += viewer;
    if (quoted) line += '"';
    line += ' ';
    line += pipe_name;
    if (!editor.empty()) line += ' ' + Quote_Argument(editor);
    return line;
}

std::string Beside_This_Program(std::string_view name)
{
    try {
        return Windows::Program_Search::Own_Folder() + "\\" + std::string(name);
    } catch (const Windows::Program_Search::BAD_PATH& failure) {
        throw START_FAILURE(failure.Message());
    }
}

namespace {

struct Programs {
    std::string Viewer; // full path, for the system
    std::string Editor; // as the viewer gets it
};

// A bare name is looked for beside lumen_send, then in PATH's folders, never in the current
// folder (the searched one, as a rule): the viewer gets the editor's full path, and the system
// the viewer's, so neither searches on its own. An editor path is passed as given.
Programs Located(std::string_view viewer, std::string_view editor)
{
    namespace Search = Windows::Program_Search;
    try {
        const bool bare_editor = !editor.empty() && Search::Is_Bare_Name(editor);
        return {Search::Locate(viewer), bare_editor ? Search::Locate(editor) : std::string(editor)};
    } catch (const Failures::Named_Failure& failure) {
        throw START_FAILURE(failure.Message());
    }
}

} // namespace

Windows::Unique_Process_Information Start(std::string_view viewer, std::string_view editor, std::string_view pipe_name)
{
    const Programs programs = Located(viewer, editor);
    std::wstring writable = Windows::Unicode::Wide(Command_Line(viewer, programs.Editor, pipe_name));
    writable.push_back(L'\0'); // CreateProcessW may write into its command line
    Windows::Unique_File null_device = Open_Null_Device();
    Inherit_Only inherit_only(null_device.get());
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = null_device.get();
    startup.StartupInfo.hStdOutput = null_device.get();
    startup.StartupInfo.hStdError = null_device.get();
    startup.lpAttributeList = inherit_only.List();
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(Windows::Unicode::Wide(programs.Viewer).c_str(), writable.data(), nullptr, nullptr, TRUE,
                        EXTENDED_STARTUPINFO_PRESENT, nullptr, nullptr, &startup.StartupInfo, &started)) {
        const DWORD error = GetLastError();
        throw START_FAILURE("cannot start " + programs.Viewer + " (system error " + std::to_string(error) + ")");
    }
    return Windows::Unique_Process_Information(started);
}

namespace {

// Another kind of object under the mutex's name (ERROR_INVALID_HANDLE), or one this user may not
// use, leaves no way to take turns: going on without would let two runs start their viewers at
// once, and one of them talk to the other's.
Windows::Unique_Handle Turn_Lock()
{
    Windows::Unique_Handle lock{CreateMutexA(nullptr, FALSE, Turn_Lock_Name)};
    if (lock) return lock;
    const DWORD error = GetLastError();
    throw NO_TURN("cannot take turns with other runs: the name \"" + std::string(Turn_Lock_Name) + "\" is " +
                  (error == ERROR_INVALID_HANDLE ? "held by an object that is not a mutex" : "not open to this user") +
                  " (system error " + std::to_string(error) + ")");
}

} // namespace

Turn::Turn(std::chrono::milliseconds limit, const std::function<void()>& on_waiting) : lock_(Turn_Lock())
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    const auto left = [&] {
        const auto rest = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        return static_cast<DWORD>(std::max<long long>(rest.count(), 0));
    };
    bool said = false;
    const auto waiting = [&] {
        if (!std::exchange(said, true)) on_waiting();
    };
    if (WaitForSingleObject(lock_.get(), 0) == WAIT_TIMEOUT) {
        waiting();
        if (WaitForSingleObject(lock_.get(), left()) == WAIT_TIMEOUT) throw STILL_BUSY("another run of lumen_send");
    }
    owned_ = true;
    while (Is_Pipe_Name_Held()) {
        waiting();
        if (left() == 0) {
            if (std::exchange(owned_, false)) ReleaseMutex(lock_.get()); // no destructor runs for a constructor that throws
            throw STILL_BUSY("another host's transfer");
        }
        Sleep(Retry_Interval_Ms);
    }
}

Turn::~Turn()
{
    if (std::exchange(owned_, false)) ReleaseMutex(lock_.get());
}

void Connect(Client_Pipe::Pipe& pipe, std::chrono::milliseconds limit, HANDLE viewer_process,
             std::string_view pipe_name)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        try {
            Open_Own_Viewer(pipe, viewer_process, pipe_name);
            if (pipe.Is_Open()) return;
        } catch (const Windows::Pipe::NO_SERVER&) {
            if (!viewer_process) throw;
        } catch (const Windows::Pipe::NAME_IN_USE&) {
            if (!viewer_process) throw;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            throw NOT_REACHED("no pipe " + std::string(pipe_name) + " of the viewer started after " +
                              std::to_string(limit.count()) + " ms");
        Wait_Unless_Ended(viewer_process, static_cast<DWORD>(std::min<long long>(left.count(), Retry_Interval_Ms)));
    }
}

} // namespace Send::Viewer
