#include "gui/signals.hpp"

namespace Gui {

bool Latch::Release(std::exception_ptr failure)
{
    {
        std::lock_guard guard(lock_);
        if (released_) return false;
        released_ = true;
        failure_ = std::move(failure);
    }
    opened_.notify_all();
    return true;
}

void Latch::Wait()
{
    std::unique_lock guard(lock_);
    opened_.wait(guard, [this] { return released_; });
    if (failure_) std::rethrow_exception(failure_);
}

bool Latch::Is_Released() const
{
    std::lock_guard guard(lock_);
    return released_;
}

void Creation_Event::Set()
{
    {
        std::lock_guard guard(lock_);
        set_ = true;
    }
    signalled_.notify_all();
}

void Creation_Event::Wait()
{
    std::unique_lock guard(lock_);
    signalled_.wait(guard, [this] { return set_; });
    set_ = false;
}

bool Creation_Event::Try_Wait()
{
    std::lock_guard guard(lock_);
    if (!set_) return false;
    set_ = false;
    return true;
}

} // namespace Gui
