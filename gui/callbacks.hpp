#pragma once
// The callback types of the window framework. The argument of an action is pointer-sized: tree
// and list items carry the address of the application's own record as their data.

#include <windows.h>

#include <cstdint>
#include <functional>

namespace Gui {

using Action_Routine = std::function<void()>;
using Action_Routine_With_Argument = std::function<void(std::uintptr_t argument)>;
using Termination_Routine = std::function<void()>;
// Runs on the window thread while painting: it must be quick and must not call the framework.
using Colour_Callback = std::function<COLORREF(std::uintptr_t data)>;

} // namespace Gui
