// The tree feed: when it shows what it inserted with the tree's drawing held (its pacing, followed
// without a clock, and the tree's guess whether held changes land among the rows in view, on a
// real tree), and that each file node goes where the results model puts it and what the tree
// refuses is tried again, in order, so that no entry is lost and none lands under another file.

#include "viewer/tree_feed.hpp"
#include "gui/gui.hpp"
#include "gui/pages.hpp"
#include "gui/tree_view.hpp"
#include "tests/gui/gui_test_support.hpp"
#include "tests/test_support.hpp"

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = Control::Tree_Feed::Clock;
using Gui::Insert_Position;
using Gui::Root_Item;
using Gui::Tree_Item;

// ---- pacing ------------------------------------------------------------------------------------

const Clock::time_point Start = Clock::time_point{} + 1h;

// A pause is the showing's cost over the share (in view 0.10, out of view 0.05), within its
// bounds (200 to 400 ms, 2 to 4 s), counted from the showing's start.
TEST(Tree_Feed_Pacing, The_Pause_Follows_The_Cost_Of_The_Last_Showing_Within_Its_Bounds)
{
    struct Case {
        Clock::duration Cost;
        Clock::duration In_View;
        Clock::duration Out_Of_View;
    };
    const Case cases[] = {
        {0ms, 200ms, 2000ms},   // both at their shortest
        {12ms, 200ms, 2000ms},  // 120 ms and 240 ms: still the shortest
        {30ms, 300ms, 2000ms},  // in proportion in view
        {50ms, 400ms, 2000ms},  // 500 ms: the longest in view
        {150ms, 400ms, 3000ms}, // in proportion out of view
        {250ms, 400ms, 4000ms}, // 5 s: the longest out of view
        {5s, 400ms, 4000ms},    // longer than either pause: the next round shows again
    };
    constexpr auto margin = 1us; // the shares are not exact in binary
    for (const Case& test : cases) {
        SCOPED_TRACE(std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(test.Cost).count()) + " ms");
        Control::Tree_Feed::Pacing pacing;
        pacing.Shown(Start, test.Cost);
        EXPECT_FALSE(pacing.Due(Start + test.In_View - margin, true));
        EXPECT_TRUE(pacing.Due(Start + test.In_View + margin, true));
        EXPECT_FALSE(pacing.Due(Start + test.Out_Of_View - margin, false));
        EXPECT_TRUE(pacing.Due(Start + test.Out_Of_View + margin, false));
    }
}

// Before the first showing everything is due; then the latest showing sets both pauses anew: a
// dear one does not hold back those after a cheap one.
TEST(Tree_Feed_Pacing, Each_Showing_Sets_Both_Pauses_Anew)
{
    Control::Tree_Feed::Pacing pacing;
    EXPECT_TRUE(pacing.Due(Start, true));
    EXPECT_TRUE(pacing.Due(Start, false));
    pacing.Shown(Start, 150ms);
    pacing.Shown(Start + 200ms, 0ms);
    EXPECT_FALSE(pacing.Due(Start + 399ms, true));
    EXPECT_TRUE(pacing.Due(Start + 400ms, true));
    EXPECT_FALSE(pacing.Due(Start + 400ms, false)) << "out of view waits longer at the same moment";
    EXPECT_FALSE(pacing.Due(Start + 2199ms, false));
    EXPECT_TRUE(pacing.Due(Start + 2200ms, false));
}

// ---- a real tree -------------------------------------------------------------------------------

// Refuses the first inserts of the item named Refused_Text, as a tree out of memory would.
std::atomic<int> refusals_left{0};
const char* const Refused_Text = "b.txt";
WNDPROC tree_procedure = nullptr;

LRESULT CALLBACK Refusing_Tree(HWND window, UINT message, WPARAM w_parameter, LPARAM l_parameter)
{
    if (message == TVM_INSERTITEMW && refusals_left > 0) {
        const auto& insert = *reinterpret_cast<const TVINSERTSTRUCTW*>(l_parameter);
        if (std::wstring(insert.item.pszText) == L"b.txt") { // Refused_Text
            --refusals_left;
            return 0;
        }
    }
    return CallWindowProcW(tree_procedure, window, message, w_parameter, l_parameter);
}

Gui::Tree_View the_tree;

std::string Log_File()
{
    char folder[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, folder);
    return std::string(folder) + "\\tree_feed_tests.log"; // open until the process ends
}

// One main window for the process, with the tree on its page and the log in a file.
class Window_Environment : public ::testing::Environment {
public:
    void SetUp() override
    {
        ASSERT_TRUE(Test_Support::Log_Process_To(Log_File()));
        Gui::Open_Main_Window({.Name = "Tree Feed Tests", .Width = 600, .Height = 400, .X = 40, .Y = 40});
        const Gui::Page page = Gui::Create_Page("Display", {}, nullptr);
        the_tree = Gui::Create_Tree_View(page, nullptr, nullptr);
        Gui::Run_On_Window_Thread([]() -> LRESULT {
            tree_procedure = reinterpret_cast<WNDPROC>(
                SetWindowLongPtrW(the_tree.Window(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Refusing_Tree)));
            return 0;
        });
    }
    void TearDown() override
    {
        Gui::Close_Main_Window();
        Gui::Wait_For_End();
    }
};
[[maybe_unused]] auto* const window_environment = ::testing::AddGlobalTestEnvironment(new Window_Environment);

using Files = std::vector<Tree_Item>;

std::string File_Name(int file) { return "f" + std::string(file < 10 ? "0" : "") + std::to_string(file); }

// Window thread: Count files "f00", "f01", ... with two entries each, all closed but Open (-1 for
// none), the view scrolled to the file First.
Files Fill(int count, int open, int first)
{
    Gui::Delete_All(the_tree);
    Files files;
    for (int file = 0; file < count; ++file) {
        const Tree_Item node = Gui::Insert(the_tree, File_Name(file), Root_Item, Insert_Position::Sorted, 0);
        Gui::Insert(the_tree, File_Name(file) + " one", node, Insert_Position::Last, 1);
        Gui::Insert(the_tree, File_Name(file) + " two", node, Insert_Position::Last, 2);
        files.push_back(node);
    }
    if (open >= 0) Gui::Expand(the_tree, files[open]);
    SendMessageA(the_tree.Window(), TVM_SELECTITEM, TVGN_FIRSTVISIBLE, reinterpret_cast<LPARAM>(files[first]));
    return files;
}

struct Held_Case {
    const char* Name;
    int Count;
    int Open; // the file open before the drawing is held, -1 for none
    int First; // the file at the top of the view
    std::function<void(const Files&)> Change; // made while the drawing is held
    bool In_View;
};

// The feed shows changes in view soon and the others rarely, so a guess that says "out of view"
// for a visible change leaves the user looking at an old picture. The view holds some 17 rows.
TEST(Tree_Feed_Held_Changes, A_Change_Counts_As_In_View_When_It_Lands_Among_The_Rows_In_View)
{
    auto add_file = [](std::string name) {
        return [name](const Files&) { Gui::Insert(the_tree, name, Root_Item, Insert_Position::Sorted, 0); };
    };
    auto add_entries = [](int file, int count) {
        return [file, count](const Files& files) {
            for (int entry = 0; entry < count; ++entry)
                Gui::Insert_Unmarked(the_tree, L"new", files[file], Insert_Position::Last, 3);
        };
    };
    auto open = [](int file) { return [file](const Files& files) { Gui::Expand(the_tree, files[file]); }; };
    auto mark = [](int file) {
        return [file](const Files& files) { Gui::Mark_Having_Children(the_tree, files[file]); };
    };
    auto nothing = [](const Files&) {};
    const Held_Case cases[] = {
        {"nothing, in a tree shorter than the view (the scroll bar may come)", 3, -1, 0, nothing, true},
        {"nothing, in a full tree", 60, -1, 0, nothing, false},
        {"a new first file, the view at the top", 60, -1, 0, add_file("a"), true},
        {"a new first file above the view", 60, -1, 20, add_file("a"), false},
        {"a new last file below the view", 60, -1, 0, add_file("z"), false},
        {"a new file among the rows in view", 60, -1, 20, add_file(File_Name(21) + "x"), true},
        {"an entry under a closed file in view", 60, -1, 0, add_entries(1, 1), false},
        {"an entry after the last in view of an open file", 60, 0, 0, add_entries(0, 1), true},
        {"entries under an open file below the view", 60, 50, 0, add_entries(50, 5), false},
        {"a file in view opened", 60, -1, 0, open(2), true},
        {"a file below the view opened", 60, -1, 0, open(50), false},
        {"a file in view marked", 60, -1, 0, mark(3), true},
        {"a file below the view marked", 60, -1, 0, mark(50), false},
        {"an in-view change, then a question about positions, which shows it", 60, -1, 0,
         [](const Files& files) {
             Gui::Expand(the_tree, files[2]);
             SendMessageA(the_tree.Window(), TVM_GETVISIBLECOUNT, 0, 0);
         },
         false},
    };
    for (const Held_Case& test : cases) {
        bool in_view = false;
        Gui::Run_On_Window_Thread([&]() -> LRESULT {
            const Files files = Fill(test.Count, test.Open, test.First);
            Gui::Hold_Drawing(the_tree);
            test.Change(files);
            in_view = Gui::Held_Changes_In_View(the_tree);
            Gui::Show_Held_Changes(the_tree);
            return 0;
        });
        EXPECT_EQ(in_view, test.In_View) << test.Name;
    }
}

// Showing what was held leaves the view where it was: at the top (a new first item included),
// or on the item the user scrolled to.
TEST(Tree_Feed_Held_Changes, Showing_Them_Keeps_The_View_Where_It_Was)
{
    for (const int first : {0, 20}) {
        Tree_Item top = nullptr;
        Tree_Item expected = nullptr;
        Gui::Run_On_Window_Thread([&]() -> LRESULT {
            const Files files = Fill(60, -1, first);
            Gui::Hold_Drawing(the_tree);
            const Tree_Item added = Gui::Insert(the_tree, "a", Root_Item, Insert_Position::Sorted, 0);
            Gui::Expand(the_tree, files[first + 1]);
            Gui::Show_Held_Changes(the_tree);
            expected = first == 0 ? added : files[first];
            top = Gui::First_Visible(the_tree);
            return 0;
        });
        EXPECT_EQ(top, expected) << "view at file " << first;
    }
}

// ---- refusals ----------------------------------------------------------------------------------

// Every item as "file" or "file/entry", in the tree's order.
std::vector<std::string> Paths(HWND tree)
{
    std::vector<std::string> paths;
    auto next = [tree](WPARAM relation, HTREEITEM item) {
        return reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
    };
    for (HTREEITEM file = next(TVGN_ROOT, nullptr); file; file = next(TVGN_NEXT, file)) {
        const std::string name = Gui_Test::Tree_Item_Text(tree, file);
        paths.push_back(name);
        for (HTREEITEM entry = next(TVGN_CHILD, file); entry; entry = next(TVGN_NEXT, entry))
            paths.push_back(name + "/" + Gui_Test::Tree_Item_Text(tree, entry));
    }
    return paths;
}

// Files arrive out of order, one of them refused at first: each node still lands after the file
// before it in the model's order, among those already in the tree.
TEST(Tree_Feed, Files_Go_To_The_Models_Place_And_What_The_Tree_Refuses_Comes_Later_In_Order)
{
    Gui::Delete_All(the_tree);
    refusals_left = 2; // in two batches, the second one the timer's

    Control::Results results;
    Control::Tree_Feed feed;
    feed.Start(the_tree, results, nullptr);
    auto file = [&](const char* name) { feed.Add_File(results.Add_File(name)); };
    auto entry = [&](const std::string& text, bool expand) {
        results.Append(1, static_cast<std::uint32_t>(text.size() + 1), text); // the marker comes last
        feed.Add_Entry(results.Last(), expand);
    };
    file("c.txt");
    entry("c one", false);
    file(Refused_Text);
    entry("b one", true);
    entry("b two", true);
    file("a.txt");
    entry("a one", true);
    feed.Finish();

    const std::vector<std::string> expected{"a.txt", "a.txt/a one\x95", "b.txt",  "b.txt/b one\x95",
                                            "b.txt/b two\x95", "c.txt", "c.txt/c one\x95"};
    EXPECT_TRUE(Gui_Test::Wait_Until([&] { return Paths(the_tree.Window()) == expected; }));
    EXPECT_EQ(refusals_left, 0);
    EXPECT_FALSE(Gui::Run_On_Window_Thread([] { return LRESULT{Gui::Held_Changes_In_View(the_tree)}; }))
        << "at the end everything is shown";
    const std::string log = Test_Support::Read_File(Log_File());
    const std::string refused = "Tree view refused an entry; it is tried again with the next batch";
    EXPECT_NE(log.find(refused), std::string::npos) << log;
    EXPECT_EQ(log.find(refused), log.rfind(refused)) << log;
}

} // namespace
