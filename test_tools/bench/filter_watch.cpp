// filter_watch: times the results window's filter in a running viewer (lumen_roll.exe) from another
// process.
//     filter_watch FILTER...   for each FILTER in turn ("-" for the empty filter): puts it into
//                              the filter box, as typing does, and waits until the narrowed tree
//                              (or, for the empty filter, the full tree) has taken the place of the
//                              one shown before; prints the seconds from the text's change and the
//                              items in view. Meanwhile a second thread probes the window with
//                              WM_NULL every few milliseconds; the worst answer time comes last.
// The viewer must have received its whole index; exactly one must be running.

#include "test_tools/harness/viewer_window.hpp"
#include "windows/unique_handle.hpp"

#include <windows.h>
#include <commctrl.h>
#include <tlhelp32.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto Step_Limit = std::chrono::seconds{120};
constexpr UINT Probe_Limit_Ms = 10000;
constexpr DWORD Probe_Interval_Ms = 5;

DWORD Viewer_Process_Id()
{
    Windows::Unique_File snapshot{CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0)};
    if (!snapshot) throw std::runtime_error("no process snapshot");
    std::vector<DWORD> found;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot.get(), &entry); more; more = Process32Next(snapshot.get(), &entry))
        if (lstrcmpiA(entry.szExeFile, "lumen_roll.exe") == 0) found.push_back(entry.th32ProcessID);
    if (found.size() != 1) throw std::runtime_error(std::to_string(found.size()) + " viewers run, expected one");
    return found.front();
}

HWND Filter_Box(HWND main)
{
    HWND box = FindWindowExA(main, nullptr, "Edit", nullptr);
    if (!box) throw std::runtime_error("the viewer has no filter box");
    return box;
}

// WM_NULL through the window's queue, again and again until told to stop.
class Prober {
public:
    explicit Prober(HWND window) : window_(window), thread_([this] { Run(); }) {}
    ~Prober()
    {
        stop_ = true;
        thread_.join();
    }
    Prober(const Prober&) = delete;
    Prober& operator=(const Prober&) = delete;

    // The worst answer since the last call, in milliseconds.
    double Take_Worst() { return worst_since_.exchange(0.0); }
    double Worst() const { return worst_; }
    unsigned Probes() const { return probes_; }
    unsigned Over_100_Ms() const { return slow_; }

private:
    void Run()
    {
        while (!stop_) {
            const auto start = Clock::now();
            DWORD_PTR result = 0;
            const bool answered =
                SendMessageTimeoutA(window_, WM_NULL, 0, 0, SMTO_NORMAL, Probe_Limit_Ms, &result) != 0;
            const double ms = answered ? std::chrono::duration<double, std::milli>(Clock::now() - start).count()
                                       : double(Probe_Limit_Ms);
            worst_ = std::max(worst_.load(), ms);
            worst_since_ = std::max(worst_since_.load(), ms);
            slow_ += ms > 100.0;
            ++probes_;
            Sleep(Probe_Interval_Ms);
        }
    }

    HWND window_;
    std::atomic<bool> stop_{false};
    std::atomic<double> worst_{0.0};
    std::atomic<double> worst_since_{0.0};
    std::atomic<unsigned> probes_{0};
    std::atomic<unsigned> slow_{0};
    std::thread thread_;
};

// The filter goes in; the step is over when the tree in view is the full tree (empty filter) or
// another one than before (a narrowed tree is shown only once it is complete).
void Run_Step(HWND main, HWND full_tree, const std::string& filter, Prober& prober)
{
    HWND before = Viewer_Harness::Find_Tree_View(main);
    const auto start = Clock::now();
    DWORD_PTR result = 0;
    SendMessageTimeoutA(Filter_Box(main), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(filter.c_str()), SMTO_NORMAL,
                        Probe_Limit_Ms, &result);
    HWND shown = before;
    for (;;) {
        shown = Viewer_Harness::Find_Tree_View(main);
        if (filter.empty() ? shown == full_tree : (shown != before && shown != nullptr)) break;
        if (Clock::now() - start > Step_Limit)
            throw std::runtime_error("the view did not change for \"" + filter + "\"");
        Sleep(2);
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    DWORD_PTR items = 0;
    SendMessageTimeoutA(shown, TVM_GETCOUNT, 0, 0, SMTO_NORMAL, Probe_Limit_Ms, &items);
    Sleep(1000); // the tree it replaced is emptied meanwhile: its answer times count to this step
    std::printf("filter=\"%s\" seconds=%.3f items=%lu worst_ms=%.1f\n", filter.c_str(), seconds,
                static_cast<unsigned long>(items), prober.Take_Worst());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    try {
        if (argc < 2) {
            std::fputs("usage: filter_watch FILTER... (\"-\" for the empty filter)\n", stderr);
            return 2;
        }
        const HWND main = Viewer_Harness::Find_Viewer_Window(Viewer_Process_Id());
        if (!main) throw std::runtime_error("the viewer has no window");
        const HWND full_tree = Viewer_Harness::Find_Tree_View(main);
        Prober prober(main);
        for (int index = 1; index < argc; ++index)
            Run_Step(main, full_tree, std::string(argv[index]) == "-" ? "" : argv[index], prober);
        std::printf("probes=%u worst_ms=%.1f over_100ms=%u\n", prober.Probes(), prober.Worst(), prober.Over_100_Ms());
        return 0;
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "filter_watch: %s\n", failure.what());
        return 2;
    }
}
