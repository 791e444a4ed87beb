#pragma once
// The viewer's one way of giving up on a reason it has logged itself: the main procedure closes
// the window on Termination without logging anything more. And how the process ends: a host
// that started the viewer learns from the exit code whether it failed, and why, without a dialog
// that nobody may be there to close.

#include "support/failure.hpp"

#include <string_view>

namespace Control {

// The reason is already in the log; the window is to be closed.
using Termination = Failures::Failure<"CONTROL.TERMINATION">;

// Logs "!!! " and Message, then raises Termination.
[[noreturn]] void Terminate(std::string_view message);

// The process's exit code. Success also when the user closed the window, during the transfer too.
enum class Exit_Code : int {
    Success = 0,
    Bad_Command_Line = 1, // no pipe name, too many arguments, or not the pipe name
    Transfer_Failed = 2,  // the pipe failed, the host broke the protocol, or another failure ("!!! Exception")
    No_Host = 3,          // no host connected within the time-out, or it fell silent outside a group
};

} // namespace Control
