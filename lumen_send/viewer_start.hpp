#pragma once
// Reaching the viewer: starting it with the pipe name (and an editor) and opening the client end
// of its pipe.

#include "viewer/protocol.hpp"
#include "support/failure.hpp"
#include "lumen_send/client_pipe.hpp"
#include "windows/unique_handle.hpp"

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

namespace Send::Viewer {

using START_FAILURE = Failures::Failure<"SEND.VIEWER.START_FAILURE">;
// The viewer's pipe did not appear in time.
using NOT_REACHED = Failures::Failure<"SEND.VIEWER.NOT_REACHED">;
// The started viewer ended before its pipe appeared.
using ENDED = Failures::Failure<"SEND.VIEWER.ENDED">;
// Another transfer held the pipe's name for longer than the run would wait.
using STILL_BUSY = Failures::Failure<"SEND.VIEWER.STILL_BUSY">;
// The runs' turn mutex cannot be had: its name is another object's, or closed to this user.
using NO_TURN = Failures::Failure<"SEND.VIEWER.NO_TURN">;

// The pipe's name is also the protocol version the viewer checks.
inline constexpr std::string_view Pipe_Name = Protocol::Pipe_Name;

// One argument quoted so that the standard command-line splitting gives it back unchanged.
std::string Quote_Argument(std::string_view argument);

// The viewer's command line: the program, the pipe name and, when not empty, the editor.
std::string Command_Line(std::string_view viewer, std::string_view editor, std::string_view pipe_name = Pipe_Name);

// The full path of the file Name in the folder of this program's executable.
std::string Beside_This_Program(std::string_view name);

// Starts the viewer and returns at once. Its standard handles are the null device, and it
// inherits no other handle. A bare Viewer or Editor is looked for beside this program, then in
// PATH's folders, never in the current folder; the viewer gets the editor's full path then.
// Pipe_Name selects the protocol: a batch protocol name is the run's own.
Windows::Unique_Process_Information Start(std::string_view viewer, std::string_view editor,
                                          std::string_view pipe_name = Pipe_Name);

// The pipe has one name for every viewer and one instance, so one transfer runs at a time. A
// run that starts its own viewer first takes its turn: it waits until no other run of lumen_send
// is in its turn and no pipe of that name is left (another host's viewer, or one that is still
// closing it), calling On_Waiting once if it has to wait. STILL_BUSY after Limit; NO_TURN when
// the turns' mutex cannot be made or opened. The turn lasts as long as the object: until the
// transfer's end.
class Turn {
public:
    Turn(std::chrono::milliseconds limit, const std::function<void()>& on_waiting);
    ~Turn();
    Turn(const Turn&) = delete;
    Turn& operator=(const Turn&) = delete;

private:
    Windows::Unique_Handle lock_; // a mutex that the runs of one session share
    bool owned_ = false;
};

// Opens the client end of the viewer's pipe. With the process of a viewer just started, a pipe
// that does not exist yet, or is served by another process, is tried again until Limit has
// passed (NOT_REACHED) or the viewer has ended (ENDED): a run talks only to the viewer it
// started. Without one, the viewer must be waiting already (Windows::Pipe::NO_SERVER).
void Connect(Client_Pipe::Pipe& pipe, std::chrono::milliseconds limit, HANDLE viewer_process,
             std::string_view pipe_name = Pipe_Name);

} // namespace Send::Viewer
