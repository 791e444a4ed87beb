// preview_watch: how fast the viewer's preview follows the selection.
//     preview_watch VIEWER FOLDER [ROUNDS]
// Writes two files into FOLDER (kept for the next run): small.txt, 200 lines, and big.txt, about
// 100 MB in 1,000,010 lines. Starts VIEWER (lumen_roll.exe), plays its host with entries in both,
// and then, ROUNDS times (default 5), selects one entry after the other as a user's click would
// (TVM_SELECTITEM from this process) and waits until the preview shows the entry's line: an entry
// of the small file, the entry at line 1,000,000 of the big file, another of the small file, the
// big file's line 10. Meanwhile a thread probes the window with WM_NULL every 5 ms.
// Figures go to standard output as name=value pairs, in milliseconds: for each kind of entry the
// median and the worst time from the selection to the preview, and the worst WM_NULL answer.

#include "test_tools/harness/answer_probe.hpp"
#include "test_tools/harness/viewer_harness.hpp"
#include "test_tools/harness/viewer_window.hpp"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace Viewer_Harness;
using Clock = std::chrono::steady_clock;

constexpr int Small_Lines = 200;
constexpr int Big_Lines = 1'000'010;
constexpr auto Preview_Limit = std::chrono::seconds{20};
// More than the reader's pause that ends a run of selections: each selection comes alone.
constexpr DWORD Pause_Between_Ms = 250;

// A line that names its number, as the preview shows it after its number.
std::string Line_Text(const char* file, int line) { return std::string(file) + " line " + std::to_string(line) + " "; }

void Write_Lines(const std::string& path, const char* file, int count, std::size_t width)
{
    if (std::ifstream(path).good()) return;
    std::ofstream out(path, std::ios::binary);
    std::string line;
    for (int number = 1; number <= count; ++number) {
        line = Line_Text(file, number);
        line.resize(std::max(width, line.size()), 'x');
        out << line << "\r\n";
    }
    if (!out) throw std::runtime_error("cannot write " + path);
}

double Milliseconds_Since(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Entry_Kind {
    std::string Name;
    HTREEITEM Item;
    std::wstring Expected; // the entry's line as the preview shows it
    std::vector<double> Times;
};

double Selection_To_Preview_Ms(HWND tree, HWND pane, const Entry_Kind& kind)
{
    const auto start = Clock::now();
    SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(kind.Item));
    while (Wide_Text(pane).find(kind.Expected) == std::wstring::npos) {
        if (Clock::now() - start > Preview_Limit) throw std::runtime_error("no preview of " + kind.Name);
    }
    return Milliseconds_Since(start);
}

std::wstring Shown_Line(int number, const char* file, std::size_t width)
{
    std::string line = Line_Text(file, number);
    line.resize(std::max(width, line.size()), 'x');
    const std::string shown = std::to_string(number) + "  " + line;
    return std::wstring(shown.begin(), shown.end());
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

int Run(const std::string& viewer_program, const std::string& folder, int rounds)
{
    const std::string small = folder + "\\small.txt";
    const std::string big = folder + "\\big.txt";
    Write_Lines(small, "small", Small_Lines, 60);
    Write_Lines(big, "big", Big_Lines, 98);
    Use_Viewer_Program(viewer_program);
    Viewer_Settings settings(folder + "\\viewer.log");
    Viewer_Process viewer({"Lumen_Roll_V1.1"});
    Host host(viewer);
    if (!host.Is_Connected()) throw std::runtime_error("the viewer did not open its pipe");
    host.Text("Preview bench");
    host.Group(big, 1, {{"big line 10", 10, 5}, {"big line 1000000", 1'000'000, 5}});
    host.Group(small, 1, {{"small line 100", 100, 3}, {"small line 150", 150, 3}});
    host.Send_Text("");
    const HWND tree_window = viewer.Tree_Window();
    const HWND pane = tree_window ? Find_Rich_Edit(viewer.Main_Window()) : nullptr;
    if (!pane) throw std::runtime_error("no tree or no preview in the viewer's window");
    Remote_Tree tree(viewer, tree_window);
    if (!tree.Wait_For_Count(6)) throw std::runtime_error("the tree did not fill");
    const std::vector<Tree_Node> files = tree.Read(); // sorted: big before small
    std::vector<Entry_Kind> kinds = {
        {"small", files.at(1).Children.at(0).Item, Shown_Line(100, "small", 60), {}},
        {"big_line_1000000", files.at(0).Children.at(1).Item, Shown_Line(1'000'000, "big", 98), {}},
        {"small_other", files.at(1).Children.at(1).Item, Shown_Line(150, "small", 60), {}},
        {"big_line_10", files.at(0).Children.at(0).Item, Shown_Line(10, "big", 98), {}},
    };
    double worst_answer = 0;
    {
        Answer_Probe probe(viewer.Main_Window());
        for (int round = 0; round < rounds; ++round) {
            for (Entry_Kind& kind : kinds) {
                Sleep(Pause_Between_Ms);
                kind.Times.push_back(Selection_To_Preview_Ms(tree_window, pane, kind));
            }
        }
        worst_answer = probe.Worst_Ms();
    }
    for (const Entry_Kind& kind : kinds)
        std::printf("preview_%s_median_ms=%.1f\npreview_%s_worst_ms=%.1f\n", kind.Name.c_str(), Median(kind.Times),
                    kind.Name.c_str(), *std::max_element(kind.Times.begin(), kind.Times.end()));
    std::printf("answer_worst_ms=%.1f\n", worst_answer);
    viewer.Close_Window();
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: preview_watch VIEWER FOLDER [ROUNDS]\n");
        return 2;
    }
    try {
        return Run(argv[1], argv[2], argc == 4 ? std::max(1, std::atoi(argv[3])) : 5);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "preview_watch: %s\n", failure.what());
        return 1;
    }
}
