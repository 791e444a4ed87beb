// The tree view on a real main window: order of items, the having-children marks, navigation,
// activation by a real double-click (xdotool) and custom-drawn colours.

#include "gui/gui.hpp"
#include "gui/pages.hpp"
#include "gui/tree_view.hpp"
#include "tests/gui/gui_test_support.hpp"
#include "tests/test_support.hpp"

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <set>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Gui::Insert_Position;
using Gui::Root_Item;
using Gui::Tree_Item;
using Gui_Test::Wait_Until;

const std::string Title = "Tree View Tests";

// What the activation routine saw, and a gate that can hold it.
struct Activations {
    std::mutex lock;
    std::condition_variable changed;
    std::vector<std::uintptr_t> data;
    std::set<DWORD> threads;
    bool hold = false;

    void Record(std::uintptr_t value)
    {
        std::unique_lock guard(lock);
        data.push_back(value);
        threads.insert(GetCurrentThreadId());
        changed.notify_all();
        changed.wait(guard, [this] { return !hold; });
    }
    void Hold(bool on)
    {
        {
            std::lock_guard guard(lock);
            hold = on;
        }
        changed.notify_all();
    }
    std::size_t Count()
    {
        std::lock_guard guard(lock);
        return data.size();
    }
};

Activations activations;

// The colour callback colours items whose data is odd; it records what it was asked for and can
// be told to fail.
std::atomic<bool> colour_fails{false};
std::mutex colour_lock;
std::set<std::uintptr_t> coloured_data;

COLORREF Colour_Of(std::uintptr_t data)
{
    {
        std::lock_guard guard(colour_lock);
        coloured_data.insert(data);
    }
    if (colour_fails) throw Failures::INDEX_ERROR("colour of a missing entry");
    return data % 2 ? Gui::Red : Gui::Blue;
}

Gui::Tree_View plain_tree;    // with an activation routine, no colours
Gui::Tree_View coloured_tree; // colours, no activation

class Tree_Environment : public ::testing::Environment {
public:
    void SetUp() override
    {
        Gui::Open_Main_Window({.Name = Title, .Width = 700, .Height = 560, .X = 60, .Y = 40});
        const Gui::Page page = Gui::Create_Page("Display", {}, nullptr);
        plain_tree = Gui::Create_Tree_View(page, [](std::uintptr_t data) { activations.Record(data); }, nullptr);
        coloured_tree = Gui::Create_Tree_View(page, nullptr, Colour_Of);
    }
    void TearDown() override
    {
        activations.Hold(false);
        Gui::Close_Main_Window();
        Gui::Wait_For_End();
    }
};

[[maybe_unused]] const auto* const environment = ::testing::AddGlobalTestEnvironment(new Tree_Environment);

HWND Window_Of(const Gui::Tree_View& tree) { return tree.Window(); }

Tree_Item Next_Item(HWND tree, UINT relation, Tree_Item item)
{
    return reinterpret_cast<Tree_Item>(SendMessageA(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
}

std::wstring Item_Wide_Text(HWND tree, Tree_Item item)
{
    wchar_t text[256] = {};
    TVITEMW query{};
    query.mask = TVIF_TEXT;
    query.hItem = item;
    query.pszText = text;
    query.cchTextMax = 256;
    SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&query));
    return text;
}

int Children_Mark(HWND tree, Tree_Item item)
{
    TVITEMA query{};
    query.mask = TVIF_CHILDREN;
    query.hItem = item;
    SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&query));
    return query.cChildren;
}

// Texts of the children of Parent (0 for the top level), in the control's order.
std::vector<std::string> Child_Texts(HWND tree, Tree_Item parent)
{
    std::vector<std::string> texts;
    Tree_Item item = parent ? Next_Item(tree, TVGN_CHILD, parent) : Next_Item(tree, TVGN_ROOT, nullptr);
    for (; item; item = Next_Item(tree, TVGN_NEXT, item)) texts.push_back(Gui_Test::Tree_Item_Text(tree, item));
    return texts;
}

class Tree : public ::testing::Test {
protected:
    void SetUp() override
    {
        Gui::Delete_All(plain_tree);
        Gui::Delete_All(coloured_tree);
    }
    HWND window = Window_Of(plain_tree);
};

// --- Order and structure -----------------------------------------------------------------------------

TEST_F(Tree, Sorted_Files_Come_In_Name_Order_And_Entries_In_Arrival_Order)
{
    ASSERT_TRUE(IsWindow(window));
    Tree_Item b = Gui::Insert(plain_tree, "b.txt", Root_Item, Insert_Position::Sorted, 0);
    Gui::Insert(plain_tree, "a.txt", Root_Item, Insert_Position::Sorted, 0);
    Gui::Insert(plain_tree, "c.txt", Root_Item, Insert_Position::Sorted, 0);
    for (const char* entry : {"third", "first", "second"}) Gui::Insert(plain_tree, entry, b, Insert_Position::Last, 1);
    Gui::Insert(plain_tree, "zeroth", b, Insert_Position::First, 1);
    EXPECT_EQ(Child_Texts(window, nullptr), (std::vector<std::string>{"a.txt", "b.txt", "c.txt"}));
    EXPECT_EQ(Child_Texts(window, b), (std::vector<std::string>{"zeroth", "third", "first", "second"}));
}

TEST_F(Tree, The_Same_File_Twice_Gives_Two_Items)
{
    Tree_Item first = Gui::Insert(plain_tree, "same.txt", Root_Item, Insert_Position::Sorted, 0);
    Tree_Item second = Gui::Insert(plain_tree, "same.txt", Root_Item, Insert_Position::Sorted, 0);
    EXPECT_NE(first, second);
    EXPECT_EQ(Child_Texts(window, nullptr).size(), 2u);
}

TEST_F(Tree, A_Parent_Shows_Its_Expand_Button_Exactly_While_It_Has_Children)
{
    Tree_Item file = Gui::Insert(plain_tree, "file.txt", Root_Item, Insert_Position::Sorted, 0);
    EXPECT_EQ(Children_Mark(window, file), 0);
    Tree_Item first = Gui::Insert(plain_tree, "one", file, Insert_Position::Last, 11);
    EXPECT_EQ(Children_Mark(window, file), 1);
    Tree_Item second = Gui::Insert(plain_tree, L"two", file, Insert_Position::Last, 12); // wide form marks too
    EXPECT_EQ(Children_Mark(window, first), 0);
    EXPECT_EQ(Children_Mark(window, second), 0);
    Gui::Delete(plain_tree, first);
    EXPECT_EQ(Children_Mark(window, file), 1); // one child left
    Gui::Delete(plain_tree, second);
    EXPECT_EQ(Children_Mark(window, file), 0);
    Gui::Mark_Having_Children(plain_tree, file);
    EXPECT_EQ(Children_Mark(window, file), 1);
    Gui::Mark_Having_No_Children(plain_tree, file);
    EXPECT_EQ(Children_Mark(window, file), 0);
}

TEST_F(Tree, Parents_And_Children_Answer_With_The_Root_For_None)
{
    Tree_Item file = Gui::Insert(plain_tree, "file.txt", Root_Item, Insert_Position::Sorted, 0);
    Tree_Item entry = Gui::Insert(plain_tree, "entry", file, Insert_Position::Last, 5);
    EXPECT_EQ(Gui::Parent(plain_tree, entry), file);
    EXPECT_EQ(Gui::Parent(plain_tree, file), Root_Item);
    EXPECT_FAILURE(Gui::Parent(plain_tree, Root_Item), Gui::TREE_ITEM_IS_ROOT);
    EXPECT_EQ(Gui::First_Child(plain_tree, file), entry);
    EXPECT_EQ(Gui::First_Child(plain_tree, entry), Root_Item); // a leaf
    EXPECT_EQ(Gui::First_Child(plain_tree, Root_Item), file);
}

// Stepping goes from child to child across the top-level items, skips one without children and
// goes round the end; from a top-level item forward its own children come first. After a removal
// the selection goes to the next item at the same level or above, else the one before.
TEST_F(Tree, Stepping_Goes_Round_The_End_Among_Children_And_A_Removal_Leaves_The_Neighbour)
{
    const Tree_Item a = Gui::Insert(plain_tree, "a", Root_Item, Insert_Position::Last, 0);
    const Tree_Item a1 = Gui::Insert(plain_tree, "a1", a, Insert_Position::Last, 1);
    const Tree_Item a2 = Gui::Insert(plain_tree, "a2", a, Insert_Position::Last, 2);
    const Tree_Item b = Gui::Insert(plain_tree, "b", Root_Item, Insert_Position::Last, 0);
    const Tree_Item c = Gui::Insert(plain_tree, "c", Root_Item, Insert_Position::Last, 0);
    const Tree_Item c1 = Gui::Insert(plain_tree, "c1", c, Insert_Position::Last, 3);
    struct Case {
        Tree_Item From; // the root: nothing selected
        bool Forward;
        Tree_Item To;
    };
    const Case cases[] = {{Root_Item, true, a1}, {Root_Item, false, c1}, {a1, true, a2}, {a2, true, c1},
                          {c1, true, a1},        {a1, false, c1},        {b, true, c1},  {b, false, a2},
                          {a, true, a1},         {c, false, a2}};
    for (const Case& step : cases) {
        Gui::Run_On_Window_Thread([&]() -> LRESULT {
            Gui::Select(plain_tree, step.From);
            if (Gui::Is_Root(step.From)) SendMessageA(window, TVM_SELECTITEM, TVGN_CARET, 0);
            EXPECT_EQ(Gui::Select_Adjacent_Child(plain_tree, step.Forward), step.To);
            EXPECT_EQ(Gui::Selected_Item(plain_tree), step.To);
            return 0;
        });
    }
    EXPECT_TRUE(Gui::Is_Expanded(plain_tree, a)) << "the parent of the child stepped to opens";
    EXPECT_EQ(Gui::Item_After_Removal(plain_tree, a1), a2);
    EXPECT_EQ(Gui::Item_After_Removal(plain_tree, a2), b) << "after the last child: the parent's next";
    EXPECT_EQ(Gui::Item_After_Removal(plain_tree, c1), c) << "the last of all: its parent";
    EXPECT_EQ(Gui::Item_After_Removal(plain_tree, c), b) << "the last top-level item: the one before";
}

TEST_F(Tree, Deleting_The_Root_Empties_The_Tree)
{
    Tree_Item file = Gui::Insert(plain_tree, "file.txt", Root_Item, Insert_Position::Sorted, 0);
    Gui::Insert(plain_tree, "entry", file, Insert_Position::Last, 5);
    Gui::Insert(plain_tree, "other.txt", Root_Item, Insert_Position::Sorted, 0);
    Gui::Delete_All(plain_tree);
    EXPECT_EQ(SendMessageA(window, TVM_GETCOUNT, 0, 0), 0);
    EXPECT_EQ(Gui::First_Child(plain_tree, Root_Item), Root_Item);
}

// The framework's narrow texts are UTF-8: every character shows, also those of no ANSI code page.
TEST_F(Tree, Texts_Are_Stored_And_Replaced_In_Both_Forms)
{
    Tree_Item item = Gui::Insert(plain_tree, "foo(\u2022bar) \u65E5\U0001F600", Root_Item, Insert_Position::Last, 0);
    EXPECT_EQ(Item_Wide_Text(window, item), L"foo(\u2022bar) \u65E5\U0001F600");
    Gui::Set_Text(plain_tree, item, "renamed");
    EXPECT_EQ(Gui_Test::Tree_Item_Text(window, item), "renamed");
    Gui::Set_Text(plain_tree, item, L"\u0394 wide");
    EXPECT_EQ(Item_Wide_Text(window, item), L"\u0394 wide");
    Tree_Item wide = Gui::Insert(plain_tree, L"\u00e9t\u00e9", Root_Item, Insert_Position::Last, 0);
    EXPECT_EQ(Item_Wide_Text(window, wide), L"\u00e9t\u00e9");
}

TEST_F(Tree, Expanding_Opens_A_File_And_Ensure_Visible_Scrolls_To_An_Entry)
{
    Tree_Item file = Gui::Insert(plain_tree, "long.txt", Root_Item, Insert_Position::Sorted, 0);
    Tree_Item last = nullptr;
    for (int entry = 0; entry < 80; ++entry)
        last = Gui::Insert(plain_tree, "entry " + std::to_string(entry), file, Insert_Position::Last, 100);
    EXPECT_EQ(SendMessageA(window, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(file), TVIS_EXPANDED) & TVIS_EXPANDED,
              0);
    Gui::Expand(plain_tree, file);
    EXPECT_NE(SendMessageA(window, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(file), TVIS_EXPANDED) & TVIS_EXPANDED,
              0);
    // The tree is far shorter than 80 lines: the last entry starts out of sight.
    EXPECT_NE(Next_Item(window, TVGN_LASTVISIBLE, nullptr), Next_Item(window, TVGN_FIRSTVISIBLE, nullptr));
    Gui::Ensure_Visible(plain_tree, last);
    RECT client{}, item{};
    GetClientRect(window, &client);
    std::memcpy(&item, &last, sizeof last);
    ASSERT_TRUE(SendMessageA(window, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&item)));
    EXPECT_GE(item.top, 0);
    EXPECT_LE(item.bottom, client.bottom);
}

// --- Activation --------------------------------------------------------------------------------------

struct Entry_Record {
    int line;
};

TEST_F(Tree, A_Real_Double_Click_Hands_The_Entry_Data_To_The_Action_Thread)
{
    static Entry_Record entry{12};
    Tree_Item file = Gui::Insert(plain_tree, "a.txt", Root_Item, Insert_Position::Sorted, 0);
    Tree_Item item = Gui::Insert(plain_tree, "entry", file, Insert_Position::Last, reinterpret_cast<std::uintptr_t>(&entry));
    Gui::Expand(plain_tree, file);
    const std::size_t before = activations.Count();
    const POINT centre = Gui_Test::Tree_Item_Centre(window, item);
    ASSERT_TRUE(Test_Support::Double_Click(centre.x, centre.y));
    ASSERT_TRUE(Wait_Until([&] { return activations.Count() == before + 1; }));
    std::lock_guard guard(activations.lock);
    EXPECT_EQ(activations.data.back(), reinterpret_cast<std::uintptr_t>(&entry));
    EXPECT_EQ(reinterpret_cast<Entry_Record*>(activations.data.back())->line, 12);
    EXPECT_EQ(activations.threads.count(GetCurrentThreadId()), 0u);
    EXPECT_EQ(activations.threads.count(GetWindowThreadProcessId(window, nullptr)), 0u);
}

TEST_F(Tree, Double_Clicks_While_The_Action_Runs_Are_Dropped)
{
    Tree_Item first = Gui::Insert(plain_tree, "first entry", Root_Item, Insert_Position::Last, 1);
    // The control toggles an item with children after it has notified a double-click: the
    // expansion tells the test that the second double-click has been handled.
    Tree_Item second = Gui::Insert(plain_tree, "second file", Root_Item, Insert_Position::Last, 2);
    Gui::Insert(plain_tree, "its entry", second, Insert_Position::Last, 3);
    const std::size_t before = activations.Count();
    activations.Hold(true);
    const POINT first_centre = Gui_Test::Tree_Item_Centre(window, first);
    const POINT second_centre = Gui_Test::Tree_Item_Centre(window, second);
    ASSERT_TRUE(Test_Support::Double_Click(first_centre.x, first_centre.y));
    ASSERT_TRUE(Wait_Until([&] { return activations.Count() == before + 1; }));
    ASSERT_TRUE(Test_Support::Double_Click(second_centre.x, second_centre.y)); // while the first one runs
    EXPECT_TRUE(Wait_Until([&] {
        return (SendMessageA(window, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(second), TVIS_EXPANDED) &
                TVIS_EXPANDED) != 0;
    }));
    activations.Hold(false);
    std::this_thread::sleep_for(300ms); // a queued activation would have run by now
    EXPECT_EQ(activations.Count(), before + 1);
    {
        std::lock_guard guard(activations.lock);
        EXPECT_EQ(activations.data.back(), 1u);
    }
    ASSERT_TRUE(Test_Support::Double_Click(second_centre.x, second_centre.y)); // idle again
    EXPECT_TRUE(Wait_Until([&] { return activations.Count() == before + 2; }));
    std::lock_guard guard(activations.lock);
    EXPECT_EQ(activations.data.back(), 2u);
}

TEST_F(Tree, Selecting_Without_A_Double_Click_Activates_Nothing)
{
    Tree_Item item = Gui::Insert(plain_tree, "entry", Root_Item, Insert_Position::Last, 3);
    const std::size_t before = activations.Count();
    const POINT centre = Gui_Test::Tree_Item_Centre(window, item);
    ASSERT_TRUE(Gui_Test::Click(centre.x, centre.y));
    EXPECT_TRUE(Wait_Until([&] { return Next_Item(window, TVGN_CARET, nullptr) == item; }));
    SendMessageA(window, WM_KEYDOWN, VK_RETURN, 0);
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(activations.Count(), before);
}

// --- Colours -----------------------------------------------------------------------------------------

// The pixels of an item's row on the screen, as the X server shows them.
std::set<COLORREF> Row_Colours(HWND tree, Tree_Item item)
{
    RECT row{};
    std::memcpy(&row, &item, sizeof item);
    SendMessageA(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&row));
    HDC screen = GetDC(nullptr);
    std::set<COLORREF> colours;
    POINT origin{0, 0};
    ClientToScreen(tree, &origin);
    for (int y = row.top; y < row.bottom; ++y)
        for (int x = row.left; x < row.right; ++x) colours.insert(GetPixel(screen, origin.x + x, origin.y + y));
    ReleaseDC(nullptr, screen);
    return colours;
}

TEST_F(Tree, The_Colour_Callback_Colours_Each_Item_On_White)
{
    {
        std::lock_guard guard(colour_lock);
        coloured_data.clear();
    }
    HWND coloured = Window_Of(coloured_tree);
    Tree_Item odd = Gui::Insert(coloured_tree, "WWWW odd", Root_Item, Insert_Position::Last, 7);
    Tree_Item even = Gui::Insert(coloured_tree, "WWWW even", Root_Item, Insert_Position::Last, 8);
    Tree_Item plain = Gui::Insert(plain_tree, "WWWW plain", Root_Item, Insert_Position::Last, 7);
    UpdateWindow(coloured);
    UpdateWindow(window);
    EXPECT_TRUE(Wait_Until([] {
        std::lock_guard guard(colour_lock);
        return coloured_data.count(7) && coloured_data.count(8);
    }));
    std::set<COLORREF> odd_colours, even_colours, plain_colours;
    EXPECT_TRUE(Wait_Until([&] {
        odd_colours = Row_Colours(coloured, odd);
        even_colours = Row_Colours(coloured, even);
        plain_colours = Row_Colours(window, plain);
        return odd_colours.count(Gui::Red) && even_colours.count(Gui::Blue);
    }));
    EXPECT_TRUE(odd_colours.count(Gui::White));
    EXPECT_FALSE(odd_colours.count(Gui::Blue));
    EXPECT_FALSE(even_colours.count(Gui::Red));
    EXPECT_FALSE(plain_colours.count(Gui::Red)); // system colours without a callback
    EXPECT_TRUE(plain_colours.count(GetSysColor(COLOR_WINDOWTEXT)));
}

// A callback that fails at every paint shows one box, not one per paint (closing a box repaints),
// and the items are drawn in the default colour meanwhile.
TEST_F(Tree, A_Failing_Colour_Callback_Is_Shown_Once_And_Drawing_Goes_On)
{
    Gui_Test::Message_Box_Closer closer(Title);
    HWND coloured = Window_Of(coloured_tree);
    colour_fails = true;
    Tree_Item item = Gui::Insert(coloured_tree, "WWWW again", Root_Item, Insert_Position::Last, 9);
    InvalidateRect(coloured, nullptr, TRUE);
    EXPECT_TRUE(Wait_Until([&] { return closer.Closed() >= 1; }));
    EXPECT_EQ(closer.Last_Text(), "INDEX_ERROR: colour of a missing entry");
    for (int paint = 0; paint < 3; ++paint) {
        InvalidateRect(coloured, nullptr, TRUE);
        UpdateWindow(coloured);
    }
    EXPECT_TRUE(Wait_Until([&] { return Row_Colours(coloured, item).count(GetSysColor(COLOR_WINDOWTEXT)) > 0; }));
    EXPECT_FALSE(Wait_Until([&] { return closer.Closed() > 1; }, 1s)) << closer.Closed() << " boxes";

    colour_fails = false;
    InvalidateRect(coloured, nullptr, TRUE);
    EXPECT_TRUE(Wait_Until([&] { return Row_Colours(coloured, item).count(Gui::Red) > 0; }));
}

} // namespace
