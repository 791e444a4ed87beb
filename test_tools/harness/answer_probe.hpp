#pragma once
// How long a window keeps its user waiting: a thread sends it WM_NULL through its queue every
// Interval_Ms until stopped, and keeps the worst time it took to answer.

#include <windows.h>

#include <atomic>
#include <thread>

namespace Viewer_Harness {

class Answer_Probe {
public:
    static constexpr DWORD Interval_Ms = 5;

    explicit Answer_Probe(HWND window);
    ~Answer_Probe();
    Answer_Probe(const Answer_Probe&) = delete;
    Answer_Probe& operator=(const Answer_Probe&) = delete;

    double Worst_Ms() const { return worst_us_ / 1000.0; }

private:
    void Run(HWND window);

    std::atomic<bool> stop_{false};
    std::atomic<long long> worst_us_{0};
    std::thread thread_;
};

} // namespace Viewer_Harness
