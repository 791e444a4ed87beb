// The layout: first the placement arithmetic alone, table by table; then a real main window with
// one page, then two pages with tabs, switched by a real click on a tab.

#include "gui/controls.hpp"
#include "gui/gui.hpp"
#include "gui/layout.hpp"
#include "gui/pages.hpp"
#include "gui/tree_view.hpp"
#include "tests/gui/gui_test_support.hpp"
#include "tests/test_support.hpp"

#include <atomic>

namespace {

using namespace std::chrono_literals;
using Gui::Control_Kind;
using Gui::Layout::Box;
using Gui::Layout::Input;
using Gui::Layout::Item;
using Gui::Layout::Placement;
using Gui_Test::Wait_Until;

// --- The arithmetic ----------------------------------------------------------------------------------

Input Page_Of(std::vector<Item> items, Box area = {0, 0, 800, 500}, int line_height = 24)
{
    Input input;
    input.Area = area;
    input.Line_Height = line_height;
    input.Client_Height_Less_Status = area.Height;
    input.Items = std::move(items);
    for (const Item& item : input.Items) {
        input.Count_Per_Kind[Gui::Index_Of(item.Kind)] += 1;
        if (item.Kind == Control_Kind::Button) {
            input.Total_Button_Width += item.Width_Field;
            input.Last_Button_Width = item.Width_Field;
        }
    }
    return input;
}

Item Of(Control_Kind kind, std::int32_t width = 0) { return {kind, width, false, 0}; }
Item With_Caption(Control_Kind kind, int caption_width, std::int32_t width = 0) { return {kind, width, true, caption_width}; }

std::vector<Box> Controls(const std::vector<Placement>& placements)
{
    std::vector<Box> boxes;
    for (const Placement& placement : placements) boxes.push_back(placement.Control);
    return boxes;
}

TEST(Layout, Big_Views_Share_The_Height_Left_Below_The_Other_Controls)
{
    EXPECT_EQ(Controls(Gui::Layout::Compute(Page_Of({Of(Control_Kind::Tree_View)}))),
              (std::vector<Box>{{0, 0, 800, 500}}));
    EXPECT_EQ(Controls(Gui::Layout::Compute(Page_Of({Of(Control_Kind::Tree_View), Of(Control_Kind::List_View)}))),
              (std::vector<Box>{{0, 0, 800, 250}, {0, 250, 800, 250}}));
    // A check box (30 high, 2 narrower) takes its row first; the three views split the other 470.
    EXPECT_EQ(Controls(Gui::Layout::Compute(Page_Of({Of(Control_Kind::Check_Box), Of(Control_Kind::Tree_View),
                                                     Of(Control_Kind::Rich_Edit), Of(Control_Kind::List_View)}))),
              (std::vector<Box>{{0, 0, 798, 30}, {0, 30, 800, 156}, {0, 186, 800, 156}, {0, 342, 800, 156}}));
}

// A pane below a tree keeps its own height while it leaves the tree half of the room; beyond that
// it shrinks (and alone it takes at most the room there is).
TEST(Layout, A_View_Of_Its_Own_Height_Keeps_It_Within_Half_Of_The_Room)
{
    auto pane = [](std::int32_t height) { return Item{Control_Kind::Rich_Edit, 0, false, 0, height}; };
    const std::pair<std::vector<Item>, std::vector<Box>> cases[] = {
        {{Of(Control_Kind::Tree_View), pane(120)}, {{0, 0, 800, 380}, {0, 380, 800, 120}}},
        {{Of(Control_Kind::Tree_View), pane(400)}, {{0, 0, 800, 250}, {0, 250, 800, 250}}},
        {{Of(Control_Kind::Tree_View), pane(100), Of(Control_Kind::List_View)},
         {{0, 0, 800, 200}, {0, 200, 800, 100}, {0, 300, 800, 200}}},
        {{pane(900)}, {{0, 0, 800, 500}}},
        {{pane(2147483647), Of(Control_Kind::Tree_View)}, {{0, 0, 800, 250}, {0, 250, 800, 250}}},
    };
    for (const auto& [items, boxes] : cases) EXPECT_EQ(Controls(Gui::Layout::Compute(Page_Of(items))), boxes);
}

TEST(Layout, Buttons_Share_The_First_Row_With_The_Last_One_Flush_Right)
{
    const auto row = Gui::Layout::Compute(Page_Of({Of(Control_Kind::Button, 80), Of(Control_Kind::Button, 60),
                                                   Of(Control_Kind::Button, 100), Of(Control_Kind::Tree_View)}));
    EXPECT_EQ(Controls(row), (std::vector<Box>{{0, 0, 80, 30}, {80, 0, 60, 30}, {700, 0, 100, 30}, {0, 30, 800, 470}}));
    // A taller line makes a taller row.
    const auto tall = Gui::Layout::Compute(Page_Of({Of(Control_Kind::Button, 80), Of(Control_Kind::Tree_View)},
                                                   {0, 0, 800, 500}, 40));
    EXPECT_EQ(Controls(tall), (std::vector<Box>{{720, 0, 80, 40}, {0, 40, 800, 460}}));
}

TEST(Layout, A_Button_That_Would_Reach_The_Last_One_Gets_No_Width)
{
    const auto row = Gui::Layout::Compute(Page_Of(
        {Of(Control_Kind::Button, 120), Of(Control_Kind::Button, 100), Of(Control_Kind::Button, 50)}, {0, 0, 200, 100}));
    EXPECT_EQ(Controls(row), (std::vector<Box>{{0, 0, 120, 30}, {120, 0, 0, 30}, {150, 0, 50, 30}}));
}

TEST(Layout, Sized_Buttons_Split_The_Row_Equally)
{
    Input page = Page_Of({Of(Control_Kind::Button, 10), Of(Control_Kind::Button, 10), Of(Control_Kind::Button, 10),
                          Of(Control_Kind::Button, 10)});
    page.Button_Sizing = true;
    EXPECT_EQ(Controls(Gui::Layout::Compute(page)),
              (std::vector<Box>{{0, 0, 200, 30}, {200, 0, 200, 30}, {400, 0, 200, 30}, {600, 0, 200, 30}}));
}

TEST(Layout, The_First_Progress_Bar_Sits_In_The_Button_Row_Between_The_Buttons)
{
    const auto shared = Gui::Layout::Compute(Page_Of({Of(Control_Kind::Button, 80), Of(Control_Kind::Button, 100),
                                                      Of(Control_Kind::Progress_Bar), Of(Control_Kind::Progress_Bar),
                                                      Of(Control_Kind::Tree_View)}));
    EXPECT_EQ(Controls(shared), (std::vector<Box>{{0, 0, 80, 30},
                                                  {700, 0, 100, 30},
                                                  {80, 10, 620, 10},  // between the buttons
                                                  {0, 40, 800, 10},   // a row of its own, 20 used
                                                  {0, 50, 800, 450}}));
    const auto alone = Gui::Layout::Compute(Page_Of({Of(Control_Kind::Progress_Bar), Of(Control_Kind::Tree_View)}));
    EXPECT_EQ(Controls(alone), (std::vector<Box>{{0, 10, 800, 10}, {0, 20, 800, 480}}));
}

TEST(Layout, Captions_Take_The_Left_Of_Their_Row_And_Lines_Are_Centred)
{
    const auto rows = Gui::Layout::Compute(Page_Of({With_Caption(Control_Kind::Edit_Box, 50),
                                                    With_Caption(Control_Kind::Combo_Box, 70),
                                                    With_Caption(Control_Kind::Track_Bar, 40)}));
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].Companion, (Box{0, 3, 50, 24}));
    EXPECT_EQ(rows[0].Control, (Box{50, 3, 750, 24}));
    EXPECT_EQ(rows[1].Companion, (Box{0, 33, 70, 24}));
    EXPECT_EQ(rows[1].Control, (Box{70, 33, 724, 200})); // 6 narrower, room for its list
    EXPECT_EQ(rows[2].Companion, (Box{0, 60, 40, 30}));
    EXPECT_EQ(rows[2].Control, (Box{40, 60, 760, 30}));
}

TEST(Layout, A_Given_Width_Applies_Only_When_It_Is_Smaller)
{
    const auto rows = Gui::Layout::Compute(
        Page_Of({With_Caption(Control_Kind::Edit_Box, 50, 300), With_Caption(Control_Kind::Edit_Box, 50, 900),
                 With_Caption(Control_Kind::Edit_Box, 50, 60), With_Caption(Control_Kind::Edit_Box, 50, -8)}));
    EXPECT_EQ(rows[0].Control.Width, 300);
    EXPECT_EQ(rows[1].Control.Width, 750);
    EXPECT_EQ(rows[2].Control.Width, 60); // given, so kept under 100
    EXPECT_EQ(rows[3].Control.Width, 750); // sized to text: no limit
}

// Narrow windows: nothing gets a negative size; what does not fit gets 0.
TEST(Layout, What_Does_Not_Fit_Gets_Zero_Width_Or_Height)
{
    const auto narrow = Gui::Layout::Compute(Page_Of(
        {With_Caption(Control_Kind::Edit_Box, 50), Of(Control_Kind::Check_Box), Of(Control_Kind::Tree_View)},
        {0, 0, 120, 500}));
    EXPECT_EQ(narrow[0].Control.Width, 0); // 70 left after its caption
    EXPECT_EQ(narrow[0].Companion.Width, 0);
    EXPECT_EQ(narrow[1].Control.Width, 118);
    EXPECT_EQ(narrow[2].Control.Width, 120);
    const auto tiny = Gui::Layout::Compute(Page_Of(
        {With_Caption(Control_Kind::Combo_Box, 200), Of(Control_Kind::Tree_View), Of(Control_Kind::Button, 50)},
        {0, 0, 40, -12}));
    for (const Placement& placement : tiny) {
        EXPECT_GE(placement.Control.Width, 0);
        EXPECT_GE(placement.Control.Height, 0);
        EXPECT_GE(placement.Companion.Width, 0);
        EXPECT_GE(placement.Companion.Height, 0);
    }
    EXPECT_EQ(tiny[0].Control.Height, 0); // below the area: not even a drop-down list
    // A combo box below the bottom gets no height either.
    const auto low = Gui::Layout::Compute(
        Page_Of({Of(Control_Kind::Check_Box), Of(Control_Kind::Combo_Box)}, {0, 0, 800, 40}));
    EXPECT_EQ(low[1].Control.Height, 0);
}

TEST(Layout, Tall_Rows_Take_What_The_Other_Controls_Leave)
{
    Input page = Page_Of({Of(Control_Kind::Button, 80), With_Caption(Control_Kind::Edit_Box, 40),
                          Of(Control_Kind::Tree_View)});
    page.Tall_Rows = true;
    // Half of 500 (there is a tree), less one line row of 30.
    EXPECT_EQ(Gui::Layout::Row_Height(page), 220);
    EXPECT_EQ(Gui::Layout::Compute(page)[2].Control, (Box{0, 250, 800, 250}));
    page.Client_Height_Less_Status = 100; // 50 < 30 + 30
    EXPECT_EQ(Gui::Layout::Row_Height(page), 30);
    EXPECT_EQ(Gui::Layout::Row_Height(Page_Of({Of(Control_Kind::Tree_View)})), 0);
}

// --- A real window -----------------------------------------------------------------------------------

std::atomic<int> display_shown{0};
std::atomic<int> controls_shown{0};
Gui::Page display_page;
Gui::Tree_View first_tree;

class Layout_Environment : public ::testing::Environment {
public:
    void SetUp() override
    {
        Gui::Open_Main_Window({.Name = "Layout Tests", .Width = 800, .Height = 600, .X = 0, .Y = 0});
        display_page = Gui::Create_Page("Display", {}, [] { ++display_shown; });
        first_tree = Gui::Create_Tree_View(display_page, nullptr, nullptr);
    }
    void TearDown() override
    {
        Gui::Close_Main_Window();
        Gui::Wait_For_End();
    }
};

[[maybe_unused]] const auto* const environment = ::testing::AddGlobalTestEnvironment(new Layout_Environment);

RECT Client_Of(HWND window)
{
    RECT client{};
    GetClientRect(window, &client);
    return client;
}

int Height_Of(const RECT& rectangle) { return rectangle.bottom - rectangle.top; }
int Width_Of(const RECT& rectangle) { return rectangle.right - rectangle.left; }

// The area above the status line, as the layout should see it.
RECT Area_Above_Status()
{
    RECT area = Client_Of(Gui::Main_Window());
    area.bottom -= Height_Of(Gui_Test::Rectangle_In_Parent(Gui::Status_Line()));
    return area;
}

void Resize_Main_Window(int width, int height)
{
    SetWindowPos(Gui::Main_Window(), nullptr, 0, 0, width, height, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
}

std::string Screenshot_Path(const std::string& name)
{
    char program[MAX_PATH];
    GetModuleFileNameA(nullptr, program, MAX_PATH);
    std::string path = program;
    return path.substr(0, path.find_last_of('\\') + 1) + name;
}

// The steps of the window's one test below: they build on each other (one page, then two), so
// they run in this order, whatever order the test runner picks for tests.
void One_Page_Has_No_Tabs_And_Its_Tree_Fills_The_Area_Above_The_Status_Line()
{
    const RECT client = Client_Of(Gui::Main_Window());
    const RECT status = Gui_Test::Rectangle_In_Parent(Gui::Status_Line());
    EXPECT_GT(Height_Of(status), 0);
    EXPECT_EQ(status.bottom, client.bottom); // along the bottom, full width
    EXPECT_EQ(status.left, 0);
    EXPECT_EQ(status.right, client.right);
    EXPECT_FALSE(IsWindowVisible(Gui::Tab_Control()));
    const RECT tree = Gui_Test::Rectangle_In_Parent(first_tree.Window());
    const RECT area = Area_Above_Status();
    EXPECT_EQ(tree.left, 0);
    EXPECT_EQ(tree.top, 0);
    EXPECT_EQ(tree.right, area.right);
    EXPECT_EQ(tree.bottom, area.bottom);
    EXPECT_TRUE(IsWindowVisible(first_tree.Window()));
}

// The window cannot be made narrower than its minimum tracking size (about 110 pixels), but it
// can be lower than the status line.
void A_Window_Lower_Than_The_Status_Line_Gives_The_Tree_No_Height()
{
    Resize_Main_Window(300, 10);
    EXPECT_TRUE(Wait_Until([] { return Height_Of(Gui_Test::Rectangle_In_Parent(first_tree.Window())) == 0; }));
    EXPECT_LT(Height_Of(Area_Above_Status()), 0);
    Resize_Main_Window(800, 600);
    EXPECT_TRUE(Wait_Until([] {
        return Height_Of(Gui_Test::Rectangle_In_Parent(first_tree.Window())) == Height_Of(Area_Above_Status());
    }));
}

void Two_Trees_Split_The_Height_Equally()
{
    static Gui::Tree_View second_tree = Gui::Create_Tree_View(display_page, nullptr, nullptr);
    const RECT first = Gui_Test::Rectangle_In_Parent(first_tree.Window());
    const RECT second = Gui_Test::Rectangle_In_Parent(second_tree.Window());
    const RECT area = Area_Above_Status();
    EXPECT_EQ(Height_Of(first), Height_Of(area) / 2);
    EXPECT_EQ(Height_Of(second), Height_Of(area) / 2);
    EXPECT_EQ(second.top, first.bottom);
    for (const char* file : {"layout.cpp", "pages.cpp", "gui.cpp"}) {
        Gui::Tree_Item item = Gui::Insert(first_tree, file, Gui::Root_Item, Gui::Insert_Position::Sorted, 0);
        Gui::Insert(first_tree, std::string("first entry of ") + file, item, Gui::Insert_Position::Last, 1);
        Gui::Insert(first_tree, std::string("second entry of ") + file, item, Gui::Insert_Position::Last, 2);
        Gui::Expand(first_tree, item);
    }
    Gui::Insert(second_tree, "a second tree on the same page", Gui::Root_Item, Gui::Insert_Position::Last, 0);
}

Gui::Page controls_page;
Gui::Button first_button, last_button;
Gui::Progress_Bar progress;
Gui::Plain_Edit_Box edit;
Gui::Checked_Combo_Box combo;

void A_Second_Page_Shows_The_Tabs_And_Keeps_Its_Controls_Hidden()
{
    controls_page = Gui::Create_Page("Controls", {}, [] { ++controls_shown; });
    first_button = Gui::Create_Button(controls_page, "Start", nullptr, 90);
    last_button = Gui::Create_Button(controls_page, "Stop", nullptr, 90);
    progress = Gui::Create_Progress_Bar(controls_page);
    edit = Gui::Create_Plain_Edit_Box(controls_page, "Pattern", "foo(bar)", {});
    combo = Gui::Create_Checked_Combo_Box(controls_page, "Editor", {.Sorted = true});
    Gui::Create_Track_Bar(controls_page, "Depth");
    Gui::Rich_Edit log = Gui::Create_Rich_Edit(controls_page, true);
    Gui::Append(log, "Complete\r\n", Gui::Green);
    Gui::Set_Range_And_Step(progress, 0, 10, 1);
    Gui::Set_Position(progress, 6);
    Gui::Add_Item(combo, "notepad");
    EXPECT_EQ(Gui::Page_Count(), 2);

    EXPECT_TRUE(IsWindowVisible(Gui::Tab_Control()));
    EXPECT_EQ(SendMessageA(Gui::Tab_Control(), TCM_GETITEMCOUNT, 0, 0), 2);
    EXPECT_EQ(Gui::Current_Page(), display_page);
    for (const Gui::Child& control : Gui::Controls_Of(controls_page)) EXPECT_FALSE(IsWindowVisible(control.Window()));
    // The trees moved into the tab's display area.
    RECT display = Area_Above_Status();
    SendMessageA(Gui::Tab_Control(), TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
    const RECT tree = Gui_Test::Rectangle_In_Parent(first_tree.Window());
    EXPECT_GT(display.top, 0);
    EXPECT_EQ(tree.top, display.top);
    EXPECT_EQ(tree.left, display.left);
    EXPECT_EQ(tree.right, display.right);
    SendMessageA(Gui::Status_Line(), SB_SETTEXTA, 0, reinterpret_cast<LPARAM>("Complete"));
    UpdateWindow(Gui::Main_Window());
    std::this_thread::sleep_for(300ms); // let the X server show the last paint
    EXPECT_TRUE(Gui_Test::Save_Screenshot(Screenshot_Path("gui_screenshot_display.png")));
}

POINT Tab_Centre(int index)
{
    RECT tab{};
    SendMessageA(Gui::Tab_Control(), TCM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&tab));
    POINT centre{(tab.left + tab.right) / 2, (tab.top + tab.bottom) / 2};
    ClientToScreen(Gui::Tab_Control(), &centre);
    return centre;
}

void Clicking_A_Tab_Shows_Its_Page_Laid_Out_And_Posts_Its_Show_Action_Once()
{
    const POINT tab = Tab_Centre(1);
    ASSERT_TRUE(Gui_Test::Click(tab.x, tab.y));
    ASSERT_TRUE(Wait_Until([] { return Gui::Current_Page() == controls_page; }));
    EXPECT_TRUE(Wait_Until([] { return controls_shown == 1; }));
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(controls_shown, 1);
    EXPECT_EQ(display_shown, 0);
    EXPECT_FALSE(IsWindowVisible(first_tree.Window()));
    for (const Gui::Child& control : Gui::Controls_Of(controls_page)) EXPECT_TRUE(IsWindowVisible(control.Window()));

    RECT display = Area_Above_Status();
    SendMessageA(Gui::Tab_Control(), TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
    const RECT first = Gui_Test::Rectangle_In_Parent(first_button.Window());
    const RECT last = Gui_Test::Rectangle_In_Parent(last_button.Window());
    const RECT bar = Gui_Test::Rectangle_In_Parent(progress.Window());
    EXPECT_EQ(first.left, display.left);
    EXPECT_EQ(first.top, display.top);
    EXPECT_EQ(last.right, display.right); // flush right
    EXPECT_EQ(bar.left, first.right);     // between the buttons
    EXPECT_EQ(bar.right, last.left);
    EXPECT_EQ(bar.top, display.top + 10);
    const RECT label = Gui_Test::Rectangle_In_Parent(edit.Record().Companion->Window);
    const RECT box = Gui_Test::Rectangle_In_Parent(edit.Window());
    EXPECT_EQ(label.left, display.left);
    EXPECT_EQ(box.left, label.right);
    EXPECT_EQ(box.right, display.right);
    EXPECT_GE(box.top, first.bottom);
    const RECT combo_box = Gui_Test::Rectangle_In_Parent(combo.Window());
    EXPECT_EQ(combo_box.right, display.right - 6);
    EXPECT_GT(combo_box.top, box.top);
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(Gui_Test::Save_Screenshot(Screenshot_Path("gui_screenshot_controls.png")));

    // As narrow as the window goes: what has less than 100 pixels left gets no width at all.
    Resize_Main_Window(90, 600);
    EXPECT_TRUE(Wait_Until([] { return Width_Of(Gui_Test::Rectangle_In_Parent(edit.Window())) == 0; }));
    EXPECT_EQ(Width_Of(Gui_Test::Rectangle_In_Parent(edit.Record().Companion->Window)), 0);
    EXPECT_EQ(Width_Of(Gui_Test::Rectangle_In_Parent(combo.Window())), 0);
    EXPECT_EQ(Width_Of(Gui_Test::Rectangle_In_Parent(progress.Window())), 0);
    EXPECT_EQ(Width_Of(Gui_Test::Rectangle_In_Parent(first_button.Window())), 0); // would reach the last one
    EXPECT_EQ(Width_Of(Gui_Test::Rectangle_In_Parent(last_button.Window())), 90);
    Resize_Main_Window(800, 600);
    EXPECT_TRUE(Wait_Until([] { return Width_Of(Gui_Test::Rectangle_In_Parent(edit.Window())) > 100; }));

    const POINT back = Tab_Centre(0);
    ASSERT_TRUE(Gui_Test::Click(back.x, back.y));
    EXPECT_TRUE(Wait_Until([] { return display_shown == 1; }));
    EXPECT_TRUE(IsWindowVisible(first_tree.Window()));
    EXPECT_FALSE(IsWindowVisible(first_button.Window()));
    EXPECT_EQ(controls_shown, 1);
}

TEST(Window_Layout, From_One_Page_To_Two_Pages_Switched_By_A_Click)
{
    const std::pair<const char*, void (*)()> steps[] = {
        {"one page", One_Page_Has_No_Tabs_And_Its_Tree_Fills_The_Area_Above_The_Status_Line},
        {"a low window", A_Window_Lower_Than_The_Status_Line_Gives_The_Tree_No_Height},
        {"two trees", Two_Trees_Split_The_Height_Equally},
        {"a second page", A_Second_Page_Shows_The_Tabs_And_Keeps_Its_Controls_Hidden},
        {"a click on a tab", Clicking_A_Tab_Shows_Its_Page_Laid_Out_And_Posts_Its_Show_Action_Once},
    };
    for (const auto& [name, step] : steps) {
        SCOPED_TRACE(name);
        step();
        if (HasFatalFailure()) return;
    }
}

} // namespace
