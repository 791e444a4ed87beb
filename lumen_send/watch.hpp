#pragma once
// Notices a peer that has gone silent. The client end of the pipe reads without a time-out, so
// a viewer that keeps the pipe open but stops answering would hold the sender for ever; this
// watch runs beside the transfer and calls its routine once when no message has been started
// for the given time. The transfer only stamps the clock (one atomic store per message).

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace Send::Watch {

class Silence_Watch {
public:
    using Clock = std::chrono::steady_clock;

    // Starts watching at once, as if Stamp had just been called. On_Silence runs on the watch's
    // own thread; whatever it throws is swallowed there.
    Silence_Watch(Clock::duration limit, std::function<void()> on_silence);
    // Stops the watch; On_Silence is not called any more afterwards.
    ~Silence_Watch();
    Silence_Watch(const Silence_Watch&) = delete;
    Silence_Watch& operator=(const Silence_Watch&) = delete;

    // Something happened: the silence starts again from now.
    void Stamp() noexcept { last_stamp_.store(Clock::now().time_since_epoch().count(), std::memory_order_relaxed); }

    bool Has_Fired() const noexcept { return fired_.load(); }

private:
    void Watch() noexcept;
    Clock::time_point Deadline() const noexcept;

    const Clock::duration limit_;
    const std::function<void()> on_silence_;
    std::atomic<Clock::rep> last_stamp_;
    std::atomic<bool> fired_{false};
    std::mutex lock_;
    std::condition_variable stop_signal_;
    bool stopping_ = false; // guarded by lock_
    std::thread thread_;    // last, so that it starts after everything above exists
};

} // namespace Send::Watch
