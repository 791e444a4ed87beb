#pragma once
// The main window's timers, named in one place. Each runs the routine its owner gave when it
// started it, on the window thread; a failure that the routine lets out is shown, since nothing may
// leave the system's timer callback.

#include <functional>

namespace Control {

enum class Timer : unsigned {
    Tree_Feed_Round = 1,  // the tree feed's rounds during the transfer
    Filter_Delay,         // the filter follows the box this long after the last key
    Narrowed_Trees_Work,  // the slices of building and emptying narrowed trees
};

// Window thread. Starting a running timer again gives it the new period and routine.
void Start_Timer(Timer timer, unsigned period_ms, std::function<void()> routine);
void Stop_Timer(Timer timer);

} // namespace Control
