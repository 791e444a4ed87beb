// The tree feed on a real main window: what the tree refuses is tried again, in order, so that no
// entry is lost and none lands under another file.

#include "control/tree_feed.hpp"
#include "gui/gui.hpp"
#include "gui/pages.hpp"
#include "gui/tree_view.hpp"
#include "support/log.hpp"
#include "tests/gui/gui_test_support.hpp"
#include "tests/test_support.hpp"

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <string>
#include <vector>

namespace {

// Refuses the first inserts of the item named Refused_Text, as a tree out of memory would.
std::atomic<int> refusals_left{0};
const char* const Refused_Text = "b.txt";
WNDPROC tree_procedure = nullptr;

LRESULT CALLBACK Refusing_Tree(HWND window, UINT message, WPARAM w_parameter, LPARAM l_parameter)
{
    if (message == TVM_INSERTITEMA && refusals_left > 0) {
        const auto& insert = *reinterpret_cast<const TVINSERTSTRUCTA*>(l_parameter);
        if (std::string(insert.item.pszText) == Refused_Text) {
            --refusals_left;
            return 0;
        }
    }
    return CallWindowProcA(tree_procedure, window, message, w_parameter, l_parameter);
}

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

TEST(Tree_Feed, What_The_Tree_Refuses_Is_Inserted_Later_In_Order_And_Logged_Once)
{
    const std::string product = "Tree_Feed_Tests_" + std::to_string(GetCurrentProcessId());
    char folder[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, folder);
    const std::string log_file = std::string(folder) + "\\tree_feed_tests.log"; // open until the process ends
    {
        Test_Support::Temporary_Key key(product);
        key.Set_String("Log", log_file);
        ASSERT_TRUE(Log::Process_Log().Start_Log(product, true));
    }

    Gui::Open_Main_Window({.Name = "Tree Feed Tests", .Width = 600, .Height = 400, .X = 40, .Y = 40});
    const Gui::Page page = Gui::Create_Page("Display", {}, nullptr);
    const Gui::Tree_View tree = Gui::Create_Tree_View(page, nullptr, nullptr);
    Gui::Run_On_Window_Thread([&]() -> LRESULT {
        tree_procedure = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(tree.Window(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Refusing_Tree)));
        return 0;
    });
    refusals_left = 2; // in two batches, the second one the timer's

    Control::Tree_Feed feed;
    feed.Start(tree, nullptr);
    feed.Add_File("a.txt");
    feed.Add_Entry("a one", 1, true);
    feed.Add_File(Refused_Text);
    feed.Add_Entry("b one", 2, true);
    feed.Add_Entry("b two", 3, true);
    feed.Add_File("c.txt");
    feed.Add_Entry("c one", 4, false);
    feed.Finish();

    const std::vector<std::string> expected{"a.txt",   "a.txt/a one", "b.txt",      "b.txt/b one",
                                            "b.txt/b two", "c.txt",   "c.txt/c one"};
    EXPECT_TRUE(Gui_Test::Wait_Until([&] { return Paths(tree.Window()) == expected; }));
    EXPECT_EQ(refusals_left, 0);
    const std::string log = Test_Support::Read_File(log_file);
    const std::string refused = "Tree view refused an entry; it is tried again with the next batch";
    EXPECT_NE(log.find(refused), std::string::npos) << log;
    EXPECT_EQ(log.find(refused), log.rfind(refused)) << log;

    Gui::Close_Main_Window();
    Gui::Wait_For_End();
}

} // namespace
