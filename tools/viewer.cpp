#include "tools/viewer.hpp"

#include "tools/transfer.hpp"

#include <algorithm>
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

void Open_Client(Windows::Pipe::Pipe_Handle& pipe)
{
    Windows::Pipe::Open(pipe, {.Name = Pipe_Name, .Is_Server = false, .Mode = Windows::Pipe::Pipe_Mode::Duplex,
                               .Buffer_Size = Transfer::Answer_Buffer_Size, .Timeout = Windows::Pipe::Seconds{0}});
}

// Waits up to Milliseconds for the viewer to end; raises ENDED when it has.
void Wait_Unless_Ended(HANDLE viewer_process, DWORD milliseconds)
{
    if (WaitForSingleObject(viewer_process, milliseconds) != WAIT_OBJECT_0) return;
    DWORD code = 0;
    GetExitCodeProcess(viewer_process, &code);
    throw ENDED("the viewer ended (exit code " + std::to_string(code) + ") before its pipe was there");
}

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
std::string Command_Line(std::string_view viewer, std::string_view editor)
{
    const bool quoted = Needs_Quotes(viewer);
    std::string line;
    if (quoted) line += '"';
    line += viewer;
    if (quoted) line += '"';
    line += ' ';
    line += Pipe_Name;
    if (!editor.empty()) line += ' ' + Quote_Argument(editor);
    return line;
}

Windows::Unique_Process_Information Start(std::string_view viewer, std::string_view editor)
{
    std::string line = Command_Line(viewer, editor);
    std::vector<char> writable(line.begin(), line.end());
    writable.push_back('\0'); // CreateProcessA may write into its command line
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!CreateProcessA(nullptr, writable.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started)) {
        const DWORD error = GetLastError();
        throw START_FAILURE("cannot start " + std::string(viewer) + " (system error " + std::to_string(error) + ")");
    }
    return Windows::Unique_Process_Information(started);
}

void Connect(Windows::Pipe::Pipe_Handle& pipe, std::chrono::milliseconds limit, HANDLE viewer_process)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        try {
            Open_Client(pipe);
            return;
        } catch (const Windows::Pipe::NO_SERVER&) {
            if (!viewer_process) throw;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            throw NOT_REACHED("no pipe " + std::string(Pipe_Name) + " after " + std::to_string(limit.count()) + " ms");
        Wait_Unless_Ended(viewer_process, static_cast<DWORD>(std::min<long long>(left.count(), Retry_Interval_Ms)));
    }
}

} // namespace Send::Viewer
