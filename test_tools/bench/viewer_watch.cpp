// viewer_watch: looks at a running viewer (lumen_roll.exe) from another process.
//     viewer_watch memory           its memory figures, once
//     viewer_watch answers STOP     waits for the viewer and its window, then probes the window
//                                   with WM_NULL every few milliseconds until the file STOP
//                                   exists or the viewer has ended; prints the worst answer time
//     viewer_watch close            asks the window to close, as its close box does, and waits
//                                   for the process to end
// The viewer is found by its program name; exactly one must be running. Figures go to standard
// output as name=value pairs; the exit status is 0 when the mode did its work.

#include "test_tools/harness/viewer_window.hpp"
#include "windows/unique_handle.hpp"

#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::string_view Viewer_Program = "lumen_roll.exe";
constexpr DWORD Probe_Interval_Ms = 5;
// A window that does not answer within this is counted as failed, not waited for further.
constexpr UINT Probe_Limit_Ms = 10000;
constexpr auto Window_Limit = std::chrono::seconds{30};
constexpr DWORD Close_Limit_Ms = 20000;

bool Same_Name(std::string_view left, std::string_view right)
{
    return left.size() == right.size() &&
           CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, left.data(), static_cast<int>(left.size()), right.data(),
                          static_cast<int>(right.size())) == CSTR_EQUAL;
}

std::vector<DWORD> Viewer_Processes()
{
    Windows::Unique_File snapshot{CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0)};
    if (!snapshot) throw std::runtime_error("no process snapshot: error " + std::to_string(GetLastError()));
    std::vector<DWORD> found;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot.get(), &entry); more; more = Process32Next(snapshot.get(), &entry))
        if (Same_Name(entry.szExeFile, Viewer_Program)) found.push_back(entry.th32ProcessID);
    return found;
}

// The one viewer that runs, waiting up to Limit for it to start.
DWORD Find_Viewer_Process(Clock::duration limit)
{
    const auto deadline = Clock::now() + limit;
    for (;;) {
        const std::vector<DWORD> found = Viewer_Processes();
        if (found.size() == 1) return found.front();
        if (found.size() > 1 || Clock::now() >= deadline)
            throw std::runtime_error(std::to_string(found.size()) + " processes " + std::string(Viewer_Program) +
                                     " are running, expected one");
        Sleep(Probe_Interval_Ms);
    }
}

Windows::Unique_Handle Open_Viewer(DWORD access, Clock::duration limit = Clock::duration::zero())
{
    const DWORD id = Find_Viewer_Process(limit);
    Windows::Unique_Handle process{OpenProcess(access, FALSE, id)};
    if (!process) throw std::runtime_error("cannot open the viewer process: error " + std::to_string(GetLastError()));
    return process;
}

bool Has_Ended(HANDLE process) { return WaitForSingleObject(process, 0) == WAIT_OBJECT_0; }

HWND Wait_For_Main_Window(HANDLE process)
{
    const DWORD id = GetProcessId(process);
    const auto deadline = Clock::now() + Window_Limit;
    for (;;) {
        if (HWND window = Viewer_Harness::Find_Viewer_Window(id)) return window;
        if (Has_Ended(process) || Clock::now() >= deadline)
            throw std::runtime_error("the viewer's window did not appear");
        Sleep(Probe_Interval_Ms);
    }
}

// Committed private memory, region by region: the same figure as the private bytes, counted
// independently of the system's bookkeeping.
unsigned long long Private_Committed(HANDLE process)
{
    unsigned long long total = 0;
    MEMORY_BASIC_INFORMATION region{};
    for (auto* address = static_cast<char*>(nullptr);
         VirtualQueryEx(process, address, &region, sizeof region) == sizeof region;
         address = static_cast<char*>(region.BaseAddress) + region.RegionSize) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += region.RegionSize;
        if (region.RegionSize == 0) break;
    }
    return total;
}

int Report_Memory()
{
    Windows::Unique_Handle process = Open_Viewer(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ);
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(process.get(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters))
        throw std::runtime_error("GetProcessMemoryInfo failed: error " + std::to_string(GetLastError()));
    std::printf("peak_working_set=%llu working_set=%llu private_usage=%llu private_committed=%llu\n",
                static_cast<unsigned long long>(counters.PeakWorkingSetSize),
                static_cast<unsigned long long>(counters.WorkingSetSize),
                static_cast<unsigned long long>(counters.PrivateUsage), Private_Committed(process.get()));
    return 0;
}

bool File_Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

struct Probe_Figures {
    std::vector<double> Answers_Ms;
    unsigned Failed = 0;
};

// One WM_NULL through the window's message queue; the time until it was answered.
void Probe_Once(HWND window, Probe_Figures& figures)
{
    const auto start = Clock::now();
    DWORD_PTR result = 0;
    const LRESULT answered = SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, Probe_Limit_Ms, &result);
    const double elapsed = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    if (answered) figures.Answers_Ms.push_back(elapsed);
    else ++figures.Failed;
}

double Percentile(std::vector<double> values, double fraction)
{
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1))];
}

int Report_Answers(const std::string& stop_file)
{
    // Started before the viewer, so that it sees the whole transfer.
    Windows::Unique_Handle process = Open_Viewer(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, Window_Limit);
    const HWND window = Wait_For_Main_Window(process.get());
    Probe_Figures figures;
    while (!File_Exists(stop_file) && !Has_Ended(process.get())) {
        Probe_Once(window, figures);
        Sleep(Probe_Interval_Ms);
    }
    const std::vector<double>& answers = figures.Answers_Ms;
    const auto slow = std::count_if(answers.begin(), answers.end(), [](double ms) { return ms > 100.0; });
    std::printf("probes=%zu worst_ms=%.2f median_ms=%.3f p99_ms=%.2f over_100ms=%lld failed=%u\n",
                answers.size() + figures.Failed, answers.empty() ? 0.0 : *std::max_element(answers.begin(), answers.end()),
                Percentile(answers, 0.5), Percentile(answers, 0.99), static_cast<long long>(slow), figures.Failed);
    return figures.Failed == 0 ? 0 : 1;
}

int Close_Viewer()
{
    Windows::Unique_Handle process = Open_Viewer(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION);
    const HWND window = Viewer_Harness::Find_Viewer_Window(GetProcessId(process.get()));
    if (!window) throw std::runtime_error("the viewer has no window to close");
    PostMessageA(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.get(), Close_Limit_Ms) != WAIT_OBJECT_0)
        throw std::runtime_error("the viewer did not end within " + std::to_string(Close_Limit_Ms) + " ms of WM_CLOSE");
    DWORD code = 0;
    GetExitCodeProcess(process.get(), &code);
    std::printf("exit_code=%lu\n", static_cast<unsigned long>(code));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    try {
        if (arguments.size() == 1 && arguments[0] == "memory") return Report_Memory();
        if (arguments.size() == 2 && arguments[0] == "answers") return Report_Answers(arguments[1]);
        if (arguments.size() == 1 && arguments[0] == "close") return Close_Viewer();
        std::fputs("usage: viewer_watch memory | viewer_watch answers STOP_FILE | viewer_watch close\n", stderr);
        return 2;
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "viewer_watch: %s\n", failure.what());
        return 2;
    }
}
