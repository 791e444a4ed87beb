#pragma once
// The small synchronisation objects by which the framework's threads meet: a one-shot latch that
// may carry an exception to the waiter (the two hand-overs of Open_Main_Window, the close request,
// the end of the action handler) and the auto-reset creation event of each control.

#include <condition_variable>
#include <exception>
#include <mutex>

namespace Gui {

// Opens once and stays open. Release is idempotent: only the first call's exception counts.
class Latch {
public:
    Latch() = default;
    Latch(const Latch&) = delete;
    Latch& operator=(const Latch&) = delete;

    // Returns true for the call that opened the latch.
    bool Release(std::exception_ptr failure = nullptr);
    // Blocks until released; re-raises the exception handed over with the release.
    void Wait();
    bool Is_Released() const;

private:
    mutable std::mutex lock_;
    std::condition_variable opened_;
    bool released_ = false;
    std::exception_ptr failure_;
};

// Becomes true with Set; a successful wait makes it false again.
class Creation_Event {
public:
    Creation_Event() = default;
    Creation_Event(const Creation_Event&) = delete;
    Creation_Event& operator=(const Creation_Event&) = delete;

    void Set();
    void Wait();
    // Consumes the signal when it is there; never blocks.
    bool Try_Wait();

private:
    std::mutex lock_;
    std::condition_variable signalled_;
    bool set_ = false;
};

} // namespace Gui
