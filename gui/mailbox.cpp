#include "gui/mailbox.hpp"

#include <utility>

namespace Gui {

bool Action_Mailbox::Accept(Request request)
{
    {
        std::lock_guard guard(lock_);
        if (!idle_ || stopped_) return false;
        request_ = std::move(request);
        pending_ = true;
        idle_ = false;
    }
    pending_changed_.notify_all();
    return true;
}

bool Action_Mailbox::Post(const Action_Routine& routine)
{
    if (!routine) return false;
    return Accept({routine, nullptr, 0});
}

bool Action_Mailbox::Post(const Action_Routine_With_Argument& routine, std::uintptr_t argument)
{
    if (!routine) return false;
    return Accept({nullptr, routine, argument});
}

// Without the stopped mark a post arriving between the running action's Done and the handler's
// next Take would replace the stop, and shutdown would wait for ever.
void Action_Mailbox::Stop()
{
    {
        std::lock_guard guard(lock_);
        request_ = {};
        pending_ = true;
        idle_ = false;
        stopped_ = true;
    }
    pending_changed_.notify_all();
}

Action_Mailbox::Request Action_Mailbox::Take()
{
    std::unique_lock guard(lock_);
    pending_changed_.wait(guard, [this] { return pending_; });
    pending_ = false;
    if (stopped_) {
        pending_ = true; // every later Take sees the stop too
        return {};
    }
    return std::exchange(request_, {});
}

void Action_Mailbox::Done()
{
    std::lock_guard guard(lock_);
    if (!stopped_) idle_ = true;
}

bool Action_Mailbox::Is_Idle() const
{
    std::lock_guard guard(lock_);
    return idle_;
}

} // namespace Gui
