// follow_watch: what following the user's edits costs the viewer.
//     follow_watch VIEWER FOLDER [ROUNDS]
// Writes into FOLDER a file of about 10 MB (100,000 lines, each of its own text) with 1,000
// places, and 2,000 folders of one small file with one place each, so that the viewer watches
// 2,001 folders. Starts VIEWER (lumen_roll.exe), plays its host, and measures:
// - the viewer's processor time over 5 s while nothing changes (the watch of 2,001 folders idle);
// - ROUNDS times (default 5): a line put in at the top of the big file (or taken out again), and
//   the time from the end of that write until the status line tells the places moved (or back),
//   while a thread probes the window with WM_NULL every 5 ms, and the viewer's processor time
//   over those rounds;
// - in this process: reading and decoding the big file and finding its 1,000 places again (the
//   viewer's own code), from a line away and from a hundred lines away (through the index), and one
//   check of a file's time and size (GetFileAttributesExW), the cost of checking a file on every
//   use instead of watching its folder.
// Figures go to standard output as name=value pairs.

#include "viewer/place_finder.hpp"
#include "test_tools/harness/answer_probe.hpp"
#include "test_tools/harness/viewer_harness.hpp"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace Viewer_Harness;
using Clock = std::chrono::steady_clock;

constexpr int Big_Lines = 100'000;
constexpr int Places = 1'000;
constexpr int Folders = 2'000;
constexpr DWORD Idle_Ms = 5000;

double Milliseconds_Since(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::string Line_Text(int number)
{
    std::string line = "    big line " + std::to_string(number) + " ";
    line.resize(98, 'x');
    return line;
}

std::string Big_File(bool with_top_line)
{
    std::string text = with_top_line ? "// a line put in at the top\r\n" : "";
    text.reserve(Big_Lines * 100 + 64);
    for (int number = 1; number <= Big_Lines; ++number) text += Line_Text(number) + "\r\n";
    return text;
}

void Write(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out) throw std::runtime_error("cannot write " + path);
}

double Processor_Ms(HANDLE process)
{
    FILETIME created{}, ended{}, kernel{}, user{};
    GetProcessTimes(process, &created, &ended, &kernel, &user);
    auto ms = [](FILETIME time) { return ((std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime) / 10000.0; };
    return ms(kernel) + ms(user);
}

bool Status_Becomes(const Viewer_Process& viewer, const std::string& status)
{
    const auto start = Clock::now();
    while (viewer.Status_Text() != status)
        if (Clock::now() - start > std::chrono::seconds(30)) return false;
    return true;
}

void Send_Places(Host& host, const std::string& folder)
{
    host.Text("Follow bench");
    std::vector<Host::Entry> big;
    for (int place = 0; place < Places; ++place) {
        const int line = 1 + place * (Big_Lines / Places);
        big.push_back({Line_Text(line), line, 5});
    }
    host.Group(folder + "\\big.txt", 0, big);
    for (int number = 0; number < Folders; ++number)
        host.Group(folder + "\\f" + std::to_string(number) + "\\x.txt", 0, {{"one line", 1, 1}});
    host.Send_Text("");
}

// The viewer's own finding, here: read, decode, find every place Off lines from where it was (more
// than Near_Lines: through the index).
double Refind_In_Process_Ms(const std::string& path, std::uint32_t off)
{
    const auto start = Clock::now();
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    const Control::Place_Finder::Line_Index lines(Control::Place_Finder::Decoded_Text(bytes.str()));
    int found = 0;
    for (int place = 0; place < Places; ++place) {
        const auto line = static_cast<std::uint32_t>(1 + place * (Big_Lines / Places));
        found += lines.Find(Line_Text(static_cast<int>(line)), {line + off, 5}, true).Found ? 1 : 0;
    }
    if (found != Places) throw std::runtime_error("the finder missed places");
    return Milliseconds_Since(start);
}

double Stamp_Check_Us(const std::string& path)
{
    constexpr int Checks = 10'000;
    const std::wstring wide(path.begin(), path.end());
    const auto start = Clock::now();
    WIN32_FILE_ATTRIBUTE_DATA data{};
    for (int check = 0; check < Checks; ++check) GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data);
    return Milliseconds_Since(start) * 1000.0 / Checks;
}

int Run(const std::string& viewer_program, const std::string& folder, int rounds)
{
    const std::string big = folder + "\\big.txt";
    Write(big, Big_File(false));
    for (int number = 0; number < Folders; ++number) {
        const std::string sub = folder + "\\f" + std::to_string(number);
        CreateDirectoryA(sub.c_str(), nullptr);
        Write(sub + "\\x.txt", "one line\r\n");
    }
    Use_Viewer_Program(viewer_program);
    Viewer_Settings settings(folder + "\\viewer.log");
    Viewer_Process viewer({"Lumen_Roll_V1.1"});
    Host host(viewer);
    if (!host.Is_Connected()) throw std::runtime_error("the viewer did not open its pipe");
    Send_Places(host, folder);
    const std::string complete = std::to_string(Places + Folders) + " entries in " + std::to_string(Folders + 1) + " files";
    if (!Status_Becomes(viewer, complete)) throw std::runtime_error("the transfer did not complete: " + viewer.Status_Text());
    Sleep(2000); // the files' times and sizes noted, the folders watched
    const double idle_before = Processor_Ms(viewer.Handle());
    Sleep(Idle_Ms);
    const double idle_ms = Processor_Ms(viewer.Handle()) - idle_before;

    std::vector<double> follow_ms;
    double worst_answer = 0;
    const double busy_before = Processor_Ms(viewer.Handle());
    {
        Answer_Probe probe(viewer.Main_Window());
        for (int round = 0; round < rounds; ++round) {
            const bool inserted = round % 2 == 0;
            const std::string bytes = Big_File(inserted);
            Write(big, bytes);
            const auto written = Clock::now();
            const std::string expected = inserted ? complete + "; " + std::to_string(Places) + " places moved, 0 gone" : complete;
            if (!Status_Becomes(viewer, expected)) throw std::runtime_error("not followed: " + viewer.Status_Text());
            follow_ms.push_back(Milliseconds_Since(written));
            Sleep(500);
        }
        worst_answer = probe.Worst_Ms();
    }
    const double busy_ms = Processor_Ms(viewer.Handle()) - busy_before;
    viewer.Close_Window();
    std::sort(follow_ms.begin(), follow_ms.end());
    std::printf("idle_processor_ms_in_%lu_ms_watching_%d_folders=%.1f\n", Idle_Ms, Folders + 1, idle_ms);
    std::printf("edit_to_status_median_ms=%.1f\nedit_to_status_worst_ms=%.1f\n", follow_ms[follow_ms.size() / 2],
                follow_ms.back());
    std::printf("answer_worst_ms=%.1f\n", worst_answer);
    std::printf("processor_ms_in_%d_edits=%.1f\n", rounds, busy_ms);
    std::printf("refind_%d_places_1_line_off_in_process_ms=%.1f\n", Places, Refind_In_Process_Ms(big, 1));
    std::printf("refind_%d_places_100_lines_off_in_process_ms=%.1f\n", Places, Refind_In_Process_Ms(big, 100));
    std::printf("stamp_check_per_use_us=%.1f\n", Stamp_Check_Us(big));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: follow_watch VIEWER FOLDER [ROUNDS]\n");
        return 2;
    }
    try {
        return Run(argv[1], argv[2], argc == 4 ? std::max(1, std::atoi(argv[3])) : 5);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "follow_watch: %s\n", failure.what());
        return 1;
    }
}
