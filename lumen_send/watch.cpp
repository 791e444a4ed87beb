#include "lumen_send/watch.hpp"

#include <utility>

namespace Send::Watch {

Silence_Watch::Silence_Watch(Clock::duration limit, std::function<void()> on_silence)
    : limit_(limit), on_silence_(std::move(on_silence)),
      last_stamp_(Clock::now().time_since_epoch().count()), thread_([this] { Watch(); })
{
}

Silence_Watch::~Silence_Watch()
{
    {
        std::lock_guard guard(lock_);
        stopping_ = true;
    }
    stop_signal_.notify_one();
    thread_.join();
}

Silence_Watch::Clock::time_point Silence_Watch::Deadline() const noexcept
{
    return Clock::time_point(Clock::duration(last_stamp_.load(std::memory_order_relaxed))) + limit_;
}

// Sleeps until the latest deadline; a stamp that came meanwhile moves the deadline on.
void Silence_Watch::Watch() noexcept
{
    std::unique_lock guard(lock_);
    while (!stopping_) {
        const Clock::time_point deadline = Deadline();
        if (Clock::now() >= deadline) {
            fired_ = true;
            guard.unlock();
            try {
                on_silence_();
            } catch (...) {
                // The routine's own business; nothing may leave a thread's entry.
            }
            return;
        }
        stop_signal_.wait_until(guard, deadline, [this] { return stopping_; });
    }
}

} // namespace Send::Watch
