#pragma once
// The one-slot mailbox between the window thread and the action thread. A request posted while
// an action still runs is dropped, not queued: a second double-click during a slow action does
// nothing. Once stopped, the mailbox accepts nothing more and hands out only the stop.

#include "gui/callbacks.hpp"

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace Gui {

class Action_Mailbox {
public:
    // Both routines empty: the stop request.
    struct Request {
        Action_Routine Routine;
        Action_Routine_With_Argument Routine_With_Argument;
        std::uintptr_t Argument = 0;
        bool Is_Stop() const noexcept { return !Routine && !Routine_With_Argument; }
    };

    Action_Mailbox() = default;
    Action_Mailbox(const Action_Mailbox&) = delete;
    Action_Mailbox& operator=(const Action_Mailbox&) = delete;

    // Each returns whether the request was taken; an empty routine is never taken (it would
    // read as a stop).
    bool Post(const Action_Routine& routine);
    bool Post(const Action_Routine_With_Argument& routine, std::uintptr_t argument);
    void Stop();
    // Blocks until a request is pending.
    Request Take();
    // The action taken last has ended.
    void Done();
    bool Is_Idle() const;

private:
    bool Accept(Request request);

    mutable std::mutex lock_;
    std::condition_variable pending_changed_;
    Request request_;
    bool idle_ = true;
    bool pending_ = false;
    bool stopped_ = false;
};

} // namespace Gui
