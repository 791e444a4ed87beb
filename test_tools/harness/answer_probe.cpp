#include "test_tools/harness/answer_probe.hpp"

#include <algorithm>
#include <chrono>

namespace Viewer_Harness {

Answer_Probe::Answer_Probe(HWND window) : thread_([this, window] { Run(window); }) {}

Answer_Probe::~Answer_Probe()
{
    stop_ = true;
    thread_.join();
}

void Answer_Probe::Run(HWND window)
{
    using Clock = std::chrono::steady_clock;
    while (!stop_) {
        const auto start = Clock::now();
        DWORD_PTR result = 0;
        SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result);
        const auto took = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count();
        worst_us_ = std::max<long long>(worst_us_, took);
        Sleep(Interval_Ms);
    }
}

} // namespace Viewer_Harness
