// The control classes on a real main window: the order of a page's controls, the styles and
// companions of each kind, visibility per page, the operations, and which commands fire actions.

#include "gui/controls.hpp"
#include "gui/gui.hpp"
#include "gui/pages.hpp"
#include "gui/text_pane.hpp"
#include "gui/tree_view.hpp"
#include "tests/gui/gui_test_support.hpp"
#include "tests/test_support.hpp"

#include <richedit.h>

#include <atomic>
#include <memory>

namespace {

using namespace std::chrono_literals;
using Gui::Control_Kind;
using Gui_Test::Wait_Until;

Gui::Page main_page;

class Controls_Environment : public ::testing::Environment {
public:
    void SetUp() override
    {
        Gui::Open_Main_Window({.Name = "Controls Tests", .Width = 800, .Height = 600, .X = 20, .Y = 20});
        main_page = Gui::Create_Page("Main", {}, nullptr);
    }
    void TearDown() override
    {
        Gui::Close_Main_Window();
        Gui::Wait_For_End();
    }
};

[[maybe_unused]] const auto* const environment = ::testing::AddGlobalTestEnvironment(new Controls_Environment);

// A page of its own per test, so each sees only its own controls in order. These pages are never
// current: their controls stay hidden.
Gui::Page New_Page(const std::string& name) { return Gui::Create_Page(name, {}, nullptr); }

std::vector<Control_Kind> Kinds_Of(const Gui::Page& page)
{
    std::vector<Control_Kind> kinds;
    for (const Gui::Child& control : Gui::Controls_Of(page)) kinds.push_back(control.Record().Kind);
    return kinds;
}

DWORD Style_Of(const Gui::Child& control) { return static_cast<DWORD>(GetWindowLongPtrW(control.Window(), GWL_STYLE)); }

std::wstring Class_Of(HWND window)
{
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

std::string Text_Of(HWND window)
{
    char text[256] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

// What the control's window would send its parent.
void Send_Command(const Gui::Child& control, WORD code)
{
    SendMessageA(Gui::Main_Window(), WM_COMMAND, MAKEWPARAM(control.Record().Identifier, code),
                 reinterpret_cast<LPARAM>(control.Window()));
}

// --- Kind order --------------------------------------------------------------------------------------

TEST(Kind_Order, Buttons_Go_Before_Views_Whatever_The_Creation_Order)
{
    const Gui::Page page = New_Page("Order 1");
    Gui::Create_Tree_View(page, nullptr, nullptr);
    Gui::Create_Button(page, "OK", nullptr, 80);
    Gui::Create_Progress_Bar(page);
    EXPECT_EQ(Kinds_Of(page),
              (std::vector<Control_Kind>{Control_Kind::Button, Control_Kind::Progress_Bar, Control_Kind::Tree_View}));
}

TEST(Kind_Order, Equal_Ranks_Keep_Their_Creation_Order)
{
    const Gui::Page page = New_Page("Order 2");
    Gui::Create_Check_Box(page, "Check", nullptr);
    const Gui::Plain_Edit_Box first = Gui::Create_Plain_Edit_Box(page, "A", "", {});
    const Gui::Plain_Combo_Box combo = Gui::Create_Plain_Combo_Box(page, "B", {});
    const Gui::Plain_Edit_Box second = Gui::Create_Plain_Edit_Box(page, "C", "", {});
    // Edit and combo boxes (40) before the check box (50) before the three caption labels (60).
    EXPECT_EQ(Kinds_Of(page), (std::vector<Control_Kind>{Control_Kind::Edit_Box, Control_Kind::Combo_Box,
                                                         Control_Kind::Edit_Box, Control_Kind::Check_Box,
                                                         Control_Kind::Label, Control_Kind::Label,
                                                         Control_Kind::Label}));
    const std::vector<Gui::Child> controls = Gui::Controls_Of(page);
    EXPECT_EQ(controls[0], first);
    EXPECT_EQ(controls[1], combo);
    EXPECT_EQ(controls[2], second);
    EXPECT_EQ(Gui::Kind_Order(Control_Kind::Rich_Edit), Gui::Kind_Order(Control_Kind::List_View));
}

// --- Creation ----------------------------------------------------------------------------------------

TEST(Creation, Each_Kind_Gets_Its_Class_And_Style)
{
    const Gui::Page page = New_Page("Styles");
    const Gui::Plain_Combo_Box editable = Gui::Create_Plain_Combo_Box(page, "E", {.Sorted = true, .Editable = true});
    const Gui::Plain_Combo_Box listed = Gui::Create_Plain_Combo_Box(page, "L", {});
    const Gui::Plain_Edit_Box password = Gui::Create_Plain_Edit_Box(page, "P", "secret", {.Password = true});
    const Gui::Track_Bar track = Gui::Create_Track_Bar(page, "T");
    const Gui::Check_Box check = Gui::Create_Check_Box(page, "C", nullptr);
    const Gui::Tree_View tree = Gui::Create_Tree_View(page, nullptr, nullptr);
    const Gui::Rich_Edit rich = Gui::Create_Rich_Edit(page, false);

    EXPECT_EQ(Style_Of(editable) & 3u, static_cast<DWORD>(CBS_DROPDOWN));
    EXPECT_TRUE(Style_Of(editable) & CBS_SORT);
    EXPECT_EQ(Style_Of(listed) & 3u, static_cast<DWORD>(CBS_DROPDOWNLIST));
    EXPECT_FALSE(Style_Of(listed) & CBS_SORT);
    EXPECT_TRUE(Style_Of(password) & ES_PASSWORD);
    EXPECT_TRUE(Style_Of(password) & ES_AUTOHSCROLL);
    // The edit and combo controls take these bits off their window once created.
    EXPECT_TRUE(listed.Record().Kind_Style() & WS_VSCROLL);
    EXPECT_TRUE(listed.Record().Kind_Style() & CBS_AUTOHSCROLL);
    EXPECT_TRUE(password.Record().Kind_Style() & WS_BORDER);
    EXPECT_TRUE(Style_Of(track) & TBS_AUTOTICKS);
    EXPECT_TRUE(Style_Of(track) & TBS_TOOLTIPS);
    EXPECT_EQ(Style_Of(check) & 0xFu, static_cast<DWORD>(BS_AUTOCHECKBOX));
    EXPECT_EQ(Style_Of(tree) & (TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT),
              static_cast<DWORD>(TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT));
    EXPECT_TRUE(Style_Of(rich) & ES_READONLY);
    EXPECT_TRUE(Style_Of(rich) & ES_MULTILINE);
    for (const Gui::Child& control : Gui::Controls_Of(page)) {
        EXPECT_TRUE(Style_Of(control) & WS_CHILD);
        EXPECT_EQ(GetParent(control.Window()), Gui::Main_Window()); // the page is not a window
    }
    EXPECT_EQ(Class_Of(editable.Window()), L"ComboBox");
    EXPECT_EQ(Class_Of(password.Window()), L"Edit");
    EXPECT_EQ(Class_Of(track.Window()), L"msctls_trackbar32");
    EXPECT_EQ(Class_Of(tree.Window()), L"SysTreeView32");
    EXPECT_EQ(Class_Of(rich.Window()), L"RichEdit20W"); // the library was found and loaded
    EXPECT_EQ(Text_Of(password.Window()), "secret");
}

TEST(Creation, Companions_Carry_The_Caption_And_Come_First)
{
    const Gui::Page page = New_Page("Companions");
    const Gui::Plain_Edit_Box plain = Gui::Create_Plain_Edit_Box(page, "Pattern", "x", {.Width = 200});
    const Gui::Checked_Edit_Box checked = Gui::Create_Checked_Edit_Box(page, "Case", "y", {.Caption_Width = 70});
    const Gui::Track_Bar track = Gui::Create_Track_Bar(page, "Depth");

    const Gui::Child_Record* label = plain.Record().Companion;
    ASSERT_NE(label, nullptr);
    EXPECT_TRUE(label->Is_Companion);
    EXPECT_EQ(label->Kind, Control_Kind::Label);
    EXPECT_EQ(Class_Of(label->Window), L"Static");
    EXPECT_EQ(Text_Of(label->Window), "Pattern");
    EXPECT_EQ(label->Width, -7); // as wide as its seven characters
    EXPECT_EQ(label->Identifier + 1, plain.Record().Identifier); // created just before its owner
    EXPECT_EQ(plain.Record().Width, 200);

    const Gui::Child_Record* box = checked.Record().Companion;
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->Kind, Control_Kind::Check_Box);
    EXPECT_EQ(Text_Of(box->Window), "Case");
    EXPECT_EQ(box->Width, 70);
    ASSERT_NE(track.Record().Companion, nullptr);
    EXPECT_EQ(Text_Of(track.Record().Companion->Window), "Depth");
    EXPECT_FALSE(plain.Record().Is_Companion);
}

TEST(Creation, Controls_Of_A_Page_Not_Shown_Stay_Hidden_Until_It_Is)
{
    const Gui::Page page = New_Page("Hidden");
    const Gui::Button button = Gui::Create_Button(page, "Hidden", nullptr, 80);
    const Gui::Button visible = Gui::Create_Button(main_page, "Visible", nullptr, 80);
    EXPECT_FALSE(IsWindowVisible(button.Window()));
    EXPECT_FALSE(Style_Of(button) & WS_VISIBLE);
    EXPECT_TRUE(IsWindowVisible(visible.Window()));
    Gui::Show_Page(page);
    EXPECT_TRUE(IsWindowVisible(button.Window()));
    EXPECT_FALSE(IsWindowVisible(visible.Window()));
    EXPECT_EQ(Gui::Current_Page(), page);
    Gui::Show_Page(main_page);
    EXPECT_TRUE(IsWindowVisible(visible.Window()));
    EXPECT_FALSE(IsWindowVisible(button.Window()));
}

TEST(Creation, A_Null_Page_Or_Control_Is_The_Callers_Error)
{
    EXPECT_THROW(Gui::Create_Button(Gui::Page(), "x", nullptr, 10), Failures::ACCESS_ERROR);
    EXPECT_THROW(Gui::Check(Gui::Check_Box()), Failures::ACCESS_ERROR);
}

// --- Operations --------------------------------------------------------------------------------------

TEST(Operations, Progress_Bars_Take_Range_Step_And_Position)
{
    const Gui::Progress_Bar bar = Gui::Create_Progress_Bar(New_Page("Progress"));
    Gui::Set_Range_And_Step(bar, 10, 50, 5);
    EXPECT_EQ(SendMessageA(bar.Window(), PBM_GETRANGE, TRUE, 0), 10);
    EXPECT_EQ(SendMessageA(bar.Window(), PBM_GETRANGE, FALSE, 0), 50);
    Gui::Set_Position(bar, 20);
    Gui::Step(bar);
    EXPECT_EQ(SendMessageA(bar.Window(), PBM_GETPOS, 0, 0), 25);
    Gui::Set_Bar_Colour(bar, Gui::Green);
    EXPECT_EQ(SendMessageA(bar.Window(), PBM_GETBARCOLOR, 0, 0), static_cast<LRESULT>(Gui::Green));
}

TEST(Operations, Track_Bars_Take_Range_Ticks_And_Position)
{
    const Gui::Track_Bar bar = Gui::Create_Track_Bar(New_Page("Track"), "Depth");
    Gui::Set_Range(bar, 0, 20);
    Gui::Set_Tick_Frequency(bar, 5);
    Gui::Set_Position(bar, 15);
    EXPECT_EQ(Gui::Position(bar), 15);
    Gui::Set_Position(bar, 99); // beyond the range
    EXPECT_EQ(Gui::Position(bar), 20);
    EXPECT_EQ(SendMessageA(bar.Window(), TBM_GETRANGEMAX, 0, 0), 20);
}

TEST(Operations, Check_Boxes_Are_Checked_Directly_Or_Through_Their_Owner)
{
    const Gui::Page page = New_Page("Checks");
    const Gui::Check_Box box = Gui::Create_Check_Box(page, "Alone", nullptr);
    const Gui::Checked_Edit_Box edit = Gui::Create_Checked_Edit_Box(page, "Edit", "", {});
    const Gui::Checked_Combo_Box combo = Gui::Create_Checked_Combo_Box(page, "Combo", {});
    EXPECT_FALSE(Gui::Is_Checked(box));
    Gui::Check(box);
    EXPECT_TRUE(Gui::Is_Checked(box));
    Gui::Uncheck(box);
    EXPECT_FALSE(Gui::Is_Checked(box));
    // A third state is not "checked".
    SendMessageA(box.Window(), BM_SETSTYLE, BS_AUTO3STATE, FALSE);
    SendMessageA(box.Window(), BM_SETCHECK, BST_INDETERMINATE, 0);
    EXPECT_FALSE(Gui::Is_Checked(box));

    Gui::Check(edit);
    EXPECT_TRUE(Gui::Is_Checked(edit));
    EXPECT_EQ(SendMessageA(edit.Record().Companion->Window, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_FALSE(Gui::Is_Checked(combo));
    Gui::Check(combo);
    Gui::Uncheck(edit);
    EXPECT_TRUE(Gui::Is_Checked(combo));
    EXPECT_FALSE(Gui::Is_Checked(edit));
}

TEST(Operations, Edit_And_Combo_Boxes_Give_Their_Contents)
{
    const Gui::Page page = New_Page("Contents");
    const Gui::Plain_Edit_Box edit = Gui::Create_Plain_Edit_Box(page, L"Wide", L"caf\u00e9", {});
    EXPECT_EQ(Gui::Edit_Text(edit), "caf\xC3\xA9"); // in UTF-8
    Gui::Set_Text(edit, "changed");
    EXPECT_EQ(Gui::Edit_Text(edit), "changed");
    const Gui::Plain_Combo_Box combo = Gui::Create_Plain_Combo_Box(page, "Sorted", {.Sorted = true});
    Gui::Add_Item(combo, "pear");
    Gui::Add_Item(combo, "apple");
    EXPECT_EQ(Gui::Selected_Item(combo), -1);
    SendMessageA(combo.Window(), CB_SETCURSEL, 1, 0);
    EXPECT_EQ(Gui::Selected_Item(combo), 1);
    char text[32] = {};
    SendMessageA(combo.Window(), CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(text));
    EXPECT_STREQ(text, "apple");
}

// The character format at Position of a rich edit (its selection moves there).
CHARFORMAT2W Format_At(HWND edit, LONG position)
{
    CHARRANGE range{position, position + 1};
    SendMessageW(edit, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
    CHARFORMAT2W format{};
    format.cbSize = sizeof format;
    SendMessageW(edit, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
    return format;
}

COLORREF Colour_At(HWND edit, LONG position) { return Format_At(edit, position).crTextColor; }

TEST(Operations, Rich_Edits_Append_At_The_End_In_Colour)
{
    const Gui::Rich_Edit edit = Gui::Create_Rich_Edit(New_Page("Rich"), false);
    ASSERT_TRUE(IsWindow(edit.Window()));
    EXPECT_EQ(SendMessageA(edit.Window(), EM_GETLIMITTEXT, 0, 0), 10'000'000);
    Gui::Append(edit, "red ", Gui::Red);
    Gui::Append(edit, L"blue \u0394 ", Gui::Blue);
    Gui::Append(edit, "plain");
    wchar_t text[64] = {};
    GetWindowTextW(edit.Window(), text, 64);
    EXPECT_STREQ(text, L"red blue \u0394 plain");
    EXPECT_EQ(Colour_At(edit.Window(), 0), Gui::Red);
    EXPECT_EQ(Colour_At(edit.Window(), 5), Gui::Blue);
    EXPECT_EQ(Colour_At(edit.Window(), 12), Gui::Blue); // plain text takes the colour at the end
    EXPECT_EQ(SendMessageA(edit.Window(), EM_CANUNDO, 0, 0), 0);
}

// Whether the character at Position has a background colour of its own.
bool Has_Background(HWND edit, LONG position)
{
    const CHARFORMAT2W format = Format_At(edit, position);
    return (format.dwMask & CFM_BACKCOLOR) && !(format.dwEffects & CFE_AUTOBACKCOLOR);
}

TEST(Operations, A_Text_Pane_Shows_Wide_Lines_With_One_Highlighted_And_A_Character_Selected)
{
    const Gui::Text_Pane pane = Gui::Create_Text_Pane(main_page, {.Height = 200});
    ASSERT_TRUE(IsWindow(pane.Window()));
    RECT placed{};
    GetWindowRect(pane.Window(), &placed);
    EXPECT_EQ(placed.bottom - placed.top, 200) << "its own height";
    EXPECT_GT(Gui::Fitting_Lines(pane), 5);
    EXPECT_LT(Gui::Fitting_Lines(pane), 20);

    Gui::Show_Text(pane, {.Lines = {L"1  first", L"2  \u0141ukasz \u041f\U0001F600", L"3  last"},
                          .Highlighted_Line = 1,
                          .Selection_Start = 10,
                          .Selection_Length = 1});
    wchar_t text[64] = {};
    GetWindowTextW(pane.Window(), text, 64);
    std::wstring shown = text;
    std::erase(shown, L'\n');
    EXPECT_EQ(shown, L"1  first\r2  \u0141ukasz \u041f\U0001F600\r3  last");
    CHARRANGE selected{};
    SendMessageW(pane.Window(), EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selected));
    EXPECT_EQ(selected.cpMin, 9 + 10);
    EXPECT_EQ(selected.cpMax, 9 + 11);
    EXPECT_FALSE(Has_Background(pane.Window(), 3));
    EXPECT_TRUE(Has_Background(pane.Window(), 9 + 4));
    EXPECT_FALSE(Has_Background(pane.Window(), 9 + 18));

    Gui::Show_Text(pane, {.Lines = {L"only"}});
    EXPECT_FALSE(Has_Background(pane.Window(), 1)) << "a new text starts without highlight";
}

TEST(Operations, Dragging_A_Text_Panes_Top_Edge_Gives_It_Another_Height)
{
    std::atomic<std::int32_t> resized{0};
    const Gui::Text_Pane pane =
        Gui::Create_Text_Pane(main_page, {.Height = 100, .Resized = [&resized](std::int32_t height) { resized = height; }});
    RECT placed{};
    GetWindowRect(pane.Window(), &placed);
    ASSERT_EQ(placed.bottom - placed.top, 100);
    ASSERT_TRUE(Test_Support::Drag(placed.left + 50, placed.top + 1, placed.left + 50, placed.top - 39));
    EXPECT_TRUE(Wait_Until([&] { return resized != 0; }, 5s));
    EXPECT_EQ(resized, 140);
    GetWindowRect(pane.Window(), &placed);
    EXPECT_EQ(placed.bottom - placed.top, 140);
}

// --- Commands ----------------------------------------------------------------------------------------

// The controls outlive the test that made them, so their actions count into a counter that they
// share ownership of: a late command to an old control cannot touch a later test's counter.
class Commands : public ::testing::Test {
protected:
    std::shared_ptr<std::atomic<int>> runs = std::make_shared<std::atomic<int>>(0);
    Gui::Action_Routine count = [runs = runs] { ++*runs; };

    bool Runs_Become(int expected)
    {
        const bool reached = Wait_Until([&] { return *runs == expected; }, 5s);
        std::this_thread::sleep_for(100ms); // and no more
        return reached && *runs == expected;
    }
};

TEST_F(Commands, An_Edit_Box_Fires_When_It_Loses_The_Focus_Only)
{
    const Gui::Plain_Edit_Box edit = Gui::Create_Plain_Edit_Box(main_page, "Fires", "", {.Action = count});
    Send_Command(edit, EN_CHANGE);
    Send_Command(edit, EN_SETFOCUS);
    Send_Command(edit, EN_KILLFOCUS);
    EXPECT_TRUE(Runs_Become(1));
}

TEST_F(Commands, A_Combo_Box_Fires_On_A_New_Selection_And_On_Losing_The_Focus)
{
    const Gui::Plain_Combo_Box combo = Gui::Create_Plain_Combo_Box(main_page, "Fires", {.Action = count});
    Send_Command(combo, CBN_DROPDOWN);
    Send_Command(combo, CBN_SELCHANGE);
    EXPECT_TRUE(Runs_Become(1));
    Send_Command(combo, CBN_EDITCHANGE);
    Send_Command(combo, CBN_KILLFOCUS);
    EXPECT_TRUE(Runs_Become(2));
}

TEST_F(Commands, A_Real_Button_Click_Fires_And_An_Argument_Replaces_The_Plain_Action)
{
    const Gui::Button button = Gui::Create_Button(main_page, "Fire", count, 80);
    RECT outer{};
    GetWindowRect(button.Window(), &outer);
    ASSERT_TRUE(Gui_Test::Click((outer.left + outer.right) / 2, (outer.top + outer.bottom) / 2));
    EXPECT_TRUE(Runs_Become(1));
    static int target = 0;
    static std::atomic<std::uintptr_t> argument{0};
    Gui::Set_Action_With_Argument(button, [](std::uintptr_t value) { argument = value; },
                                  reinterpret_cast<std::uintptr_t>(&target));
    SendMessageA(button.Window(), BM_CLICK, 0, 0);
    EXPECT_TRUE(Wait_Until([&] { return argument == reinterpret_cast<std::uintptr_t>(&target); }));
    EXPECT_EQ(*runs, 1);
}

TEST_F(Commands, Menu_Identifiers_And_Controls_Of_Other_Pages_Fire_Nothing)
{
    const Gui::Button hidden = Gui::Create_Button(New_Page("Other"), "Hidden", count, 80);
    Send_Command(hidden, BN_CLICKED); // not on the current page
    SendMessageA(Gui::Main_Window(), WM_COMMAND, MAKEWPARAM(1000, 0), 0);
    EXPECT_TRUE(Runs_Become(0));
}

} // namespace
