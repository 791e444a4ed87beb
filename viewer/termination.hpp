#pragma once
// The viewer's one way of giving up on a reason it has logged itself: the main procedure closes
// the window on Termination without logging anything more.

#include "support/failure.hpp"

#include <string_view>

namespace Control {

// The reason is already in the log; the window is to be closed.
using Termination = Failures::Failure<"CONTROL.TERMINATION">;

// Logs "!!! " and Message, then raises Termination.
[[noreturn]] void Terminate(std::string_view message);

} // namespace Control
