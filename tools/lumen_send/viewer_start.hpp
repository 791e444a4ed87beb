#pragma once
// Reaching the viewer: starting it with the pipe name (and an editor) and opening the client end
// of its pipe.

#include "control/protocol.hpp"
#include "support/failure.hpp"
#include "windows/pipe.hpp"
#include "windows/unique_handle.hpp"

#include <chrono>
#include <string>
#include <string_view>

namespace Send::Viewer {

using START_FAILURE = Failures::Failure<"SEND.VIEWER.START_FAILURE">;
// The viewer's pipe did not appear in time.
using NOT_REACHED = Failures::Failure<"SEND.VIEWER.NOT_REACHED">;
// The started viewer ended before its pipe appeared.
using ENDED = Failures::Failure<"SEND.VIEWER.ENDED">;

// The pipe's name is also the protocol version the viewer checks.
inline constexpr std::string_view Pipe_Name = Protocol::Pipe_Name;

// One argument quoted so that the standard command-line splitting gives it back unchanged.
std::string Quote_Argument(std::string_view argument);

// The viewer's command line: the program, the pipe name and, when not empty, the editor.
std::string Command_Line(std::string_view viewer, std::string_view editor);

// The full path of the file Name in the folder of this program's executable.
std::string Beside_This_Program(std::string_view name);

// Starts the viewer and returns at once. Its standard handles are the null device, and it
// inherits no other handle. A bare Viewer or Editor is looked for beside this program, then in
// PATH's folders, never in the current folder; the viewer gets the editor's full path then.
Windows::Unique_Process_Information Start(std::string_view viewer, std::string_view editor);

// Opens the client end of the viewer's pipe. With the process of a viewer just started, a pipe
// that does not exist yet is tried again until Limit has passed (NOT_REACHED) or the viewer has
// ended (ENDED). Without one, the viewer must be waiting already (Windows::Pipe::NO_SERVER).
void Connect(Windows::Pipe::Pipe_Handle& pipe, std::chrono::milliseconds limit, HANDLE viewer_process);

} // namespace Send::Viewer
