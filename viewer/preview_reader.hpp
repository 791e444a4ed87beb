#pragma once
// Reads previews on a thread of its own, so that the window never waits for a file. Requests
// come from the window thread at every change of selection and never wait: each one replaces the
// one before it in a one-place slot, and the reader takes only the newest. A read that a newer
// request overtakes is given up between blocks.
//
// A selection that moves on its own is read almost at once; a run of selections (a key held
// down, a burst) is read once, when it pauses: Grace_Ms after a selection the reader reads it
// unless another has come, and once another has come within that time, it waits until none has
// come for Settle_Ms. Holding Down through a thousand entries thus reads the first and the last.

#include "viewer/preview_text.hpp"
#include "windows/unique_handle.hpp"

#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

namespace Control {

class Preview_Reader {
public:
    static constexpr unsigned Grace_Ms = 20;
    // Longer than a held key's repeat (at most 30 a second), with room for a busy window thread.
    static constexpr unsigned Settle_Ms = 100;

    struct Request {
        Preview_Text::Place Place;
        int Fitting_Lines = 0;
    };
    // Gets each finished text on the reading thread, to hand it to the window thread.
    using Show_Routine = std::function<void(const Gui::Pane_Text& text)>;

    Preview_Reader() = default;
    ~Preview_Reader();
    Preview_Reader(const Preview_Reader&) = delete;
    Preview_Reader& operator=(const Preview_Reader&) = delete;

    // Starts the reading thread; it ends with Stop, or when Stop_Event (which outlives the reader)
    // is set.
    void Start(Show_Routine show, HANDLE stop_event);
    // Any thread; returns at once.
    void Ask(Request request);
    // Ends the reading thread, a read in progress given up; waits for it.
    void Stop();

    // Any thread: requests taken, and files read (a read given up counts).
    std::uint64_t Requests() const { return requests_; }
    std::uint64_t Reads() const { return reads_; }

private:
    using Clock = std::chrono::steady_clock;
    struct Slot {
        std::optional<Request> Newest;
        std::uint64_t Generation = 0;
        Clock::time_point Asked{};
        bool In_Run = false; // the newest came soon after the one before it
    };

    void Run() noexcept;
    bool Wait_For_Quiet();
    // The newest request and its generation; nothing when the slot is empty.
    std::optional<Request> Take(std::uint64_t& generation);
    void Read_And_Show(const Request& request, std::uint64_t generation);
    bool Superseded(std::uint64_t generation);
    bool Stopping() const;

    Show_Routine show_;
    HANDLE stop_event_ = nullptr;
    Windows::Unique_Handle stop_{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    Windows::Unique_Handle asked_{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    std::mutex lock_;
    Slot slot_; // guarded by lock_
    std::thread thread_;
    std::atomic<std::uint64_t> requests_{0};
    std::atomic<std::uint64_t> reads_{0};
};

} // namespace Control
