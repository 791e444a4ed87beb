// The window state in the real registry, under test keys of our own (removed afterwards).
// Reading, defaults and the machine-wide fall-back are tested in this process directly; a main
// window may be opened once per process, so each opening and closing runs in a child process (this
// program again, with one of the disabled tests below selected).

#include "gui/controls.hpp"
#include "gui/gui.hpp"
#include "gui/list_view.hpp"
#include "gui/pages.hpp"
#include "gui/registered/list_view_data.hpp"
#include "gui/registered/registered.hpp"
#include "tests/gui/gui_test_support.hpp"
#include "tests/test_support.hpp"
#include "windows/registry.hpp"

#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

namespace {

namespace Registered = Gui::Registered;
namespace Data = Gui::Registered::List_View_Data;
using Registered::Company;
using namespace std::chrono_literals;

const std::string Application = "Lumen_Roll_Registered_Test";
const std::string Quillmark_Path = "Software\\Quillmark\\" + Application;
const std::string Tessaline_Path = "Software\\Tessaline\\" + Application;
const std::string Metrics_Path = Quillmark_Path + "\\Metrics";
constexpr std::uint32_t Default_Position = 0x80000000;

struct Stored {
    DWORD Type = 0;
    std::uint32_t Value = 0;
};

// Read through the system directly, independent of the registry module.
std::optional<Stored> Stored_Value(HKEY root, const std::string& path, const std::string& name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return std::nullopt;
    Stored stored;
    BYTE data[64] = {};
    DWORD size = sizeof data;
    const LONG result = RegQueryValueExA(key, name.c_str(), nullptr, &stored.Type, data, &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS) return std::nullopt;
    std::memcpy(&stored.Value, data, sizeof stored.Value);
    return stored;
}

std::optional<std::uint32_t> Stored_Dword(HKEY root, const std::string& path, const std::string& name)
{
    const auto stored = Stored_Value(root, path, name);
    if (!stored || stored->Type != REG_DWORD) return std::nullopt;
    return stored->Value;
}

bool Key_Exists(HKEY root, const std::string& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

void Put(HKEY root, const std::string& path, const std::string& name, DWORD type, const void* data, DWORD size)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
}

void Put_Dword(HKEY root, const std::string& path, const std::string& name, std::uint32_t value)
{
    Put(root, path, name, REG_DWORD, &value, sizeof value);
}

void Remove_Test_Keys()
{
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        RegDeleteTreeA(root, Quillmark_Path.c_str());
        RegDeleteTreeA(root, Tessaline_Path.c_str());
        RegDeleteKeyA(root, "Software\\Tessaline"); // only when nothing else lives there
    }
}

class Registered_Settings : public ::testing::Test {
protected:
    void SetUp() override { Remove_Test_Keys(); }
    void TearDown() override { Remove_Test_Keys(); }
};

TEST_F(Registered_Settings, Paths_Name_The_Company_And_The_Application)
{
    EXPECT_EQ(Registered::Company_Name(Company::Tessaline), "Tessaline");
    EXPECT_EQ(Registered::Company_Name(Company::Quillmark), "Quillmark");
    EXPECT_FALSE(Registered::Use_Machine_Root()); // an interactive user under Wine

    Registered::Set_Application(Company::Tessaline, Application);
    EXPECT_EQ(Registered::Settings_Path("Metrics"), Tessaline_Path + "\\Metrics");
    EXPECT_EQ(Registered::Settings_Path(""), Tessaline_Path + "\\");
    EXPECT_TRUE(Key_Exists(HKEY_CURRENT_USER, Tessaline_Path)); // created by Set_Application

    Registered::Set_Application(Company::Quillmark, Application);
    EXPECT_EQ(Registered::Settings_Path("Metrics"), Metrics_Path);
}

TEST_F(Registered_Settings, First_Read_Writes_The_Default_And_Later_Reads_Keep_It)
{
    Registered::Set_Application(Company::Quillmark, Application);
    Registered::Select_Settings_Key("Metrics");
    EXPECT_EQ(Registered::Read_Setting("Y-Position", CW_USEDEFAULT), CW_USEDEFAULT);
    EXPECT_EQ(Registered::Read_Setting("Width", 0), 0);
    EXPECT_EQ(Stored_Dword(HKEY_CURRENT_USER, Metrics_Path, "Y-Position"), Default_Position);
    EXPECT_EQ(Stored_Dword(HKEY_CURRENT_USER, Metrics_Path, "Width"), 0u);

    EXPECT_EQ(Registered::Read_Setting("Y-Position", 5), CW_USEDEFAULT); // the stored value wins
    Registered::Write_Setting("X-Position", -8);
    EXPECT_EQ(Stored_Dword(HKEY_CURRENT_USER, Metrics_Path, "X-Position"), 0xFFFFFFF8u);
    EXPECT_EQ(Registered::Read_Setting("X-Position", 0), -8);
}

TEST_F(Registered_Settings, Machine_Values_Serve_As_Defaults_Without_Writing_For_The_User)
{
    Put_Dword(HKEY_LOCAL_MACHINE, Metrics_Path, "Width", 640);
    Put_Dword(HKEY_LOCAL_MACHINE, Metrics_Path, "X-Position", 0xFFFFFFF0);
    Registered::Set_Application(Company::Quillmark, Application);
    Registered::Select_Settings_Key("Metrics");

    EXPECT_EQ(Registered::Read_Setting("Width", 0), 640);
    EXPECT_EQ(Registered::Read_Setting("X-Position", 0), -16);
    EXPECT_TRUE(Key_Exists(HKEY_CURRENT_USER, Metrics_Path));
    EXPECT_FALSE(Stored_Value(HKEY_CURRENT_USER, Metrics_Path, "Width"));
    EXPECT_FALSE(Stored_Value(HKEY_CURRENT_USER, Metrics_Path, "X-Position"));

    // Afterwards the user's own key is current again: defaults and writes land there.
    EXPECT_FALSE(Windows::Registry::Root_Is_Local_Machine());
    EXPECT_EQ(Registered::Read_Setting("Height", 300), 300);
    EXPECT_EQ(Stored_Dword(HKEY_CURRENT_USER, Metrics_Path, "Height"), 300u);
    EXPECT_FALSE(Stored_Value(HKEY_LOCAL_MACHINE, Metrics_Path, "Height"));
    Registered::Write_Setting("Width", 700);
    EXPECT_EQ(Stored_Dword(HKEY_CURRENT_USER, Metrics_Path, "Width"), 700u);
    EXPECT_EQ(Stored_Dword(HKEY_LOCAL_MACHINE, Metrics_Path, "Width"), 640u);
}

TEST_F(Registered_Settings, A_Value_That_Is_Not_A_Number_Is_Replaced_By_The_Default)
{
    const char short_text[] = "12";     // at most 4 bytes: the wrong type
    const char long_text[] = "600 px"; // more than 4 bytes: not readable as a number at all
    Put(HKEY_CURRENT_USER, Metrics_Path, "Height", REG_SZ, short_text, sizeof short_text);
    Put(HKEY_CURRENT_USER, Metrics_Path, "Width", REG_SZ, long_text, sizeof long_text);
    Registered::Set_Application(Company::Quillmark, Application);
    Registered::Select_Settings_Key("Metrics");

    EXPECT_EQ(Registered::Read_Setting("Height", 0), 0);
    EXPECT_EQ(Registered::Read_Setting("Width", 10), 10);
    const auto height = Stored_Value(HKEY_CURRENT_USER, Metrics_Path, "Height");
    ASSERT_TRUE(height);
    EXPECT_EQ(height->Type, DWORD{REG_DWORD});
    EXPECT_EQ(height->Value, 0u);
    EXPECT_EQ(Stored_Dword(HKEY_CURRENT_USER, Metrics_Path, "Width"), 10u);
}

// A key name longer than the system allows can be neither created nor opened: the settings then
// take their defaults and nothing is written into the root key in their place.
TEST_F(Registered_Settings, A_Key_That_Cannot_Be_Made_Leaves_The_Defaults_And_Writes_Nothing)
{
    const std::string probe = "Lumen_Roll_Registered_Probe";
    const std::string too_long = "Software\\Quillmark\\" + std::string(300, 'k');
    Registered::Set_Application(Company::Quillmark, std::string(300, 'k'));
    Registered::Select_Settings_Key("Metrics");
    EXPECT_FALSE(Key_Exists(HKEY_CURRENT_USER, too_long));
    EXPECT_EQ(Registered::Read_Setting(probe, 7), 7);
    Registered::Write_Setting(probe, 8);
    EXPECT_FALSE(Stored_Value(HKEY_CURRENT_USER, "", probe));
    RegDeleteValueA(HKEY_CURRENT_USER, probe.c_str());
    RegDeleteTreeA(HKEY_CURRENT_USER, too_long.c_str());
}

TEST(Registered_List_View_Data, Value_Names_And_Refused_Entries)
{
    EXPECT_EQ(Data::Value_Name(1, "Name"), "LV 1: Name");
    EXPECT_EQ(Data::Value_Name(12, ""), "LV 12: ");
    EXPECT_FAILURE(Data::Value_Name(0, "Name"), Failures::RANGE_ERROR);

    Data::Registered_Column column{Gui::List_View(), 0, 1, "Name"};
    EXPECT_FAILURE(Data::Save(&column), Failures::RANGE_ERROR);
    column.Column_Index = 1;
    column.Key_Number = -1;
    EXPECT_FAILURE(Data::Save(&column), Failures::RANGE_ERROR);
    EXPECT_FAILURE(Data::Save(nullptr), Failures::ACCESS_ERROR);
}

// The instance holds references: equal means the same record, and the records outlive the list.
TEST(Registered_List_View_Data, The_List_Compares_References_And_Names_Its_Failures)
{
    Data::Registered_Column a{Gui::List_View(), 1, 1, "Same"};
    Data::Registered_Column b{Gui::List_View(), 1, 1, "Same"};
    Data::Item left;
    left.Append(&a);
    Data::Item right;
    right.Append(&b);
    right.Append(&a);
    const Data::Item both = Data::Item::Union(left, right);
    ASSERT_EQ(both.Length(), 2u);
    EXPECT_EQ(both.Element_At(2), &b);
    EXPECT_EQ(Data::Item::Difference(both, left).First_Element(), &b);
    EXPECT_FAILURE(both.Element_At(3), Data::NO_ELEMENTS);
    EXPECT_STREQ(Data::NO_ELEMENTS::name, "GUI.REGISTERED.LIST_VIEW_DATA.NO_ELEMENTS");
    EXPECT_STREQ(Data::NOT_IN_LIST::name, "GUI.REGISTERED.LIST_VIEW_DATA.NOT_IN_LIST");
    EXPECT_TRUE(Data::Registered_Columns().Is_Empty());
    left.Clear();
    EXPECT_EQ(a.Key_Text, "Same");
}

// --- Opening and closing, one child process each ---------------------------------------------------

const std::string Version = "1.2";
const std::string Title = Application + " " + Version;
const char* const Scenario_Variable = "LUMEN_REGISTERED_SCENARIO";
constexpr RECT Moved{-8, 100, -8 + 800, 100 + 600};

const char* const Report_Variable = "LUMEN_REGISTERED_REPORT";

// Runs one disabled test of this program in a child process. The child's own word counts, not its
// exit code: a process that the X library ends abruptly may still look as if it ended well.
bool Child_Passed(const std::string& test, const std::string& scenario = "")
{
    const Test_Support::Temporary_Folder folder;
    const std::string report = folder.File("report.txt");
    char program[MAX_PATH];
    GetModuleFileNameA(nullptr, program, MAX_PATH);
    std::string line = "\"" + std::string(program) + "\" --gtest_also_run_disabled_tests --gtest_filter=" + test;
    SetEnvironmentVariableA(Scenario_Variable, scenario.c_str());
    SetEnvironmentVariableA(Report_Variable, report.c_str());
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION information{};
    const BOOL started =
        CreateProcessA(program, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &information);
    SetEnvironmentVariableA(Scenario_Variable, nullptr);
    SetEnvironmentVariableA(Report_Variable, nullptr);
    if (!started) return false;
    DWORD exit_code = 1;
    if (WaitForSingleObject(information.hProcess, 60000) == WAIT_OBJECT_0)
        GetExitCodeProcess(information.hProcess, &exit_code);
    else
        TerminateProcess(information.hProcess, 1);
    CloseHandle(information.hThread);
    CloseHandle(information.hProcess);
    return exit_code == 0 && Test_Support::Read_File(report) == "passed";
}

// The last step of every child test.
void Report_To_Parent()
{
    if (const char* report = std::getenv(Report_Variable))
        Test_Support::Write_File(report, ::testing::Test::HasFailure() ? "failed" : "passed");
}

std::string Scenario()
{
    const char* value = std::getenv(Scenario_Variable);
    return value ? value : "";
}

std::atomic<int> termination_runs{0};

void Open_Test_Window()
{
    Registered::Open_Registered_Main_Window({.Company = Company::Quillmark,
                                             .Application = Application,
                                             .Version = Version,
                                             .Termination = [] { ++termination_runs; },
                                             .Default_Width = 0,
                                             .Default_Height = 0,
                                             .Default_X = CW_USEDEFAULT,
                                             .Default_Y = CW_USEDEFAULT});
}

void Close_And_Wait()
{
    Gui::Close_Main_Window();
    Gui::Wait_For_End();
}

bool Rectangle_Is(HWND window, const RECT& expected)
{
    RECT rectangle{};
    GetWindowRect(window, &rectangle);
    return EqualRect(&rectangle, &expected);
}

Gui::List_View Two_Column_List()
{
    const Gui::Page page = Gui::Create_Page("Columns", Gui::Layout_Option{}, nullptr);
    const Gui::List_View list = Gui::Create_List_View(page, [](int, std::uintptr_t) { return std::string("cell"); });
    Gui::Insert_Column(list, "Name", 120, Gui::Alignment::Left);
    Gui::Insert_Column(list, "Size", 80, Gui::Alignment::Right);
    return list;
}

// The first run: the defaults are stored, the window opens at the system's place. Then it is
// moved and closed. The column entries "LV 2: Twice" are saved in list order, so the later one
// (column 1, 120 pixels) stays; the entry with key number 0 fails after the others were written.
TEST(DISABLED_Registered_Child, First_Run_Then_Move_And_Close)
{
    Open_Test_Window();
    ASSERT_TRUE(Gui::Main_Window());
    EXPECT_EQ(Gui::Title(), Title);
    EXPECT_EQ(Stored_Dword(HKEY_CURRENT_USER, Metrics_Path, "X-Position"), Default_Position);
    EXPECT_EQ(Stored_Dword(HKEY_CURRENT_USER, Metrics_Path, "Y-Position"), Default_Position);
    EXPECT_EQ(Stored_Dword(HKEY_CURRENT_USER, Metrics_Path, "Width"), 0u);
    EXPECT_EQ(Stored_Dword(HKEY_CURRENT_USER, Metrics_Path, "Height"), 0u);
    RECT opened{};
    GetWindowRect(Gui::Main_Window(), &opened);
    EXPECT_GT(opened.right - opened.left, 0);
    EXPECT_EQ(Registered::Read_Window_Setting({"Pane Size", 7, [] { return 42; }}), 7);
    EXPECT_EQ(Stored_Dword(HKEY_CURRENT_USER, Metrics_Path, "Pane Size"), 7u) << "created with its default";

    const Gui::List_View list = Two_Column_List();
    Data::Registered_Column name{list, 1, 1, "Name"};
    Data::Registered_Column size{list, 2, 1, "Size"};
    Data::Registered_Column first_twice{list, 2, 2, "Twice"};
    Data::Registered_Column last_twice{list, 1, 2, "Twice"};
    Data::Registered_Column refused{list, 1, 0, "Refused"};
    for (Data::Registered_Column* column : {&name, &size, &first_twice, &last_twice, &refused})
        Data::Registered_Columns().Append(column);

    SetWindowPos(Gui::Main_Window(), nullptr, Moved.left, Moved.top, 800, 600, SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_TRUE(Gui_Test::Wait_Until([] { return Rectangle_Is(Gui::Main_Window(), Moved); }));
    Gui_Test::Message_Box_Closer closer(Title); // the refused entry's failure
    Close_And_Wait();
    EXPECT_EQ(termination_runs, 1);
    EXPECT_TRUE(Gui_Test::Wait_Until([&] { return closer.Closed() == 1; }));
    EXPECT_NE(closer.Last_Text().find("RANGE_ERROR"), std::string::npos) << closer.Last_Text();
    Data::Registered_Columns().Clear();
    Report_To_Parent();
}

// Scenario "maximize" or "minimize": opens where the last run left the window, then closes in that
// state; a registered column must not be written.
TEST(DISABLED_Registered_Child, Reopen_Then_Close_Out_Of_Normal_Placement)
{
    Open_Test_Window();
    ASSERT_TRUE(Gui::Main_Window());
    EXPECT_TRUE(Rectangle_Is(Gui::Main_Window(), Moved));
    Data::Registered_Column column{Two_Column_List(), 1, 9, "Never"};
    Data::Registered_Columns().Append(&column);
    EXPECT_EQ(Registered::Read_Window_Setting({"Pane Size", 7, [] { return 99; }}), 42);

    const bool maximize = Scenario() == "maximize";
    ShowWindow(Gui::Main_Window(), maximize ? SW_MAXIMIZE : SW_MINIMIZE);
    EXPECT_TRUE(Gui_Test::Wait_Until([maximize] { return maximize ? Gui::Is_Maximized() : Gui::Is_Minimized(); }));
    // The framework has seen the new placement (what the close would write) before it closes.
    EXPECT_TRUE(Gui_Test::Wait_Until([] { return !Rectangle_Is(Gui::Main_Window(), Moved); }));
    Close_And_Wait();
    EXPECT_EQ(termination_runs, 1);
    Data::Registered_Columns().Clear();
    Report_To_Parent();
}

TEST(DISABLED_Registered_Child, Negative_Height_Opens_Nothing)
{
    try {
        Open_Test_Window();
        ADD_FAILURE() << "opened with a negative height";
    } catch (const Failures::RANGE_ERROR& failure) {
        EXPECT_NE(failure.Information().find("\"Height\" is -5"), std::string::npos) << failure.Information();
    }
    EXPECT_FALSE(Gui::Main_Window());
    Gui::Wait_For_End(); // returns at once: nothing was opened
    EXPECT_EQ(termination_runs, 0);
    Report_To_Parent();
}

LRESULT CALLBACK Refuse_Creation(HWND window, UINT message, WPARAM w_parameter, LPARAM l_parameter)
{
    return message == WM_NCCREATE ? FALSE : DefWindowProcA(window, message, w_parameter, l_parameter);
}

// The main window's class name is taken already, by a class whose windows refuse to be created:
// both the registration and the creation fail, and the registration's error is the cause.
TEST(DISABLED_Registered_Child, A_Window_That_Cannot_Be_Created_Stores_Nothing)
{
    WNDCLASSA refusing{};
    refusing.lpfnWndProc = Refuse_Creation;
    refusing.hInstance = GetModuleHandleA(nullptr);
    refusing.lpszClassName = Title.c_str();
    ASSERT_TRUE(RegisterClassA(&refusing));
    Gui_Test::Message_Box_Closer closer(Title);
    Open_Test_Window();
    EXPECT_FALSE(Gui::Main_Window());
    EXPECT_TRUE(Gui_Test::Wait_Until([&] { return closer.Closed() == 1; }));
    EXPECT_NE(closer.Last_Text().find("GUI.MAIN_WINDOW_CREATION_FAILURE: RegisterClassW: error 1410"),
              std::string::npos) << closer.Last_Text();
    Gui::Wait_For_End();
    EXPECT_EQ(termination_runs, 1);
    Report_To_Parent();
}

TEST(DISABLED_Registered_Child, Open_And_Close)
{
    Open_Test_Window();
    ASSERT_TRUE(Gui::Main_Window());
    Close_And_Wait();
    Report_To_Parent();
}

class Registered_Window : public Registered_Settings {};

TEST_F(Registered_Window, Closing_Stores_The_Placement_Only_In_Normal_Placement)
{
    ASSERT_TRUE(Child_Passed("DISABLED_Registered_Child.First_Run_Then_Move_And_Close"));
    EXPECT_EQ(Stored_Dword(HKEY_CURRENT_USER, Metrics_Path, "X-Position"), 0xFFFFFFF8u);
    EXPECT_EQ(Stored_Dword(HKEY_CURRENT_USER, Metrics_Path, "Y-Position"), 100u);
    EXPECT_EQ(Stored_Dword(HKEY_CURRENT_USER, Metrics_Path, "Width"), 800u);
    EXPECT_EQ(Stored_Dword(HKEY_CURRENT_USER, Metrics_Path, "Height"), 600u);
    EXPECT_EQ(Stored_Dword(HKEY_CURRENT_USER, Metrics_Path, "LV 1: Name"), 120u);
    EXPECT_EQ(Stored_Dword(HKEY_CURRENT_USER, Metrics_Path, "LV 1: Size"), 80u);
    EXPECT_EQ(Stored_Dword(HKEY_CURRENT_USER, Metrics_Path, "LV 2: Twice"), 120u);
    EXPECT_EQ(Stored_Dword(HKEY_CURRENT_USER, Metrics_Path, "Pane Size"), 42u) << "written at the close";
    EXPECT_FALSE(Stored_Value(HKEY_CURRENT_USER, Metrics_Path, "LV 0: Refused"));
    EXPECT_FALSE(Stored_Value(HKEY_LOCAL_MACHINE, Metrics_Path, "Width"));

    for (const std::string scenario : {"maximize", "minimize"}) {
        SCOPED_TRACE(scenario);
        ASSERT_TRUE(Child_Passed("DISABLED_Registered_Child.Reopen_Then_Close_Out_Of_Normal_Placement", scenario));
        EXPECT_EQ(Stored_Dword(HKEY_CURRENT_USER, Metrics_Path, "X-Position"), 0xFFFFFFF8u);
        EXPECT_EQ(Stored_Dword(HKEY_CURRENT_USER, Metrics_Path, "Y-Position"), 100u);
        EXPECT_EQ(Stored_Dword(HKEY_CURRENT_USER, Metrics_Path, "Width"), 800u);
        EXPECT_EQ(Stored_Dword(HKEY_CURRENT_USER, Metrics_Path, "Height"), 600u);
        EXPECT_FALSE(Stored_Value(HKEY_CURRENT_USER, Metrics_Path, "LV 9: Never"));
        EXPECT_EQ(Stored_Dword(HKEY_CURRENT_USER, Metrics_Path, "Pane Size"), 42u);
    }
}

TEST_F(Registered_Window, A_Failed_Start_Keeps_The_Stored_Placement)
{
    const std::pair<const char*, std::uint32_t> placement[] = {
        {"X-Position", 10}, {"Y-Position", 20}, {"Width", 640}, {"Height", 480}};
    for (const auto& [name, value] : placement) Put_Dword(HKEY_CURRENT_USER, Metrics_Path, name, value);
    ASSERT_TRUE(Child_Passed("DISABLED_Registered_Child.A_Window_That_Cannot_Be_Created_Stores_Nothing"));
    for (const auto& [name, value] : placement) EXPECT_EQ(Stored_Dword(HKEY_CURRENT_USER, Metrics_Path, name), value) << name;
}

TEST_F(Registered_Window, A_Stored_Negative_Height_Fails_Before_Anything_Opens)
{
    Put_Dword(HKEY_CURRENT_USER, Metrics_Path, "X-Position", 10);
    Put_Dword(HKEY_CURRENT_USER, Metrics_Path, "Y-Position", 10);
    Put_Dword(HKEY_CURRENT_USER, Metrics_Path, "Height", 0xFFFFFFFB);
    EXPECT_TRUE(Child_Passed("DISABLED_Registered_Child.Negative_Height_Opens_Nothing"));
    EXPECT_FALSE(Stored_Value(HKEY_CURRENT_USER, Metrics_Path, "Width"));
    EXPECT_EQ(Stored_Dword(HKEY_CURRENT_USER, Metrics_Path, "Height"), 0xFFFFFFFBu);
}

// Two earlier runs' windows (stand-ins of this process, of the same class) sit at the stored place
// and one step down and right of it: the new one opens a step further still, and keeps that place.
TEST_F(Registered_Window, A_Window_Opens_Cascaded_From_Earlier_Runs_At_The_Stored_Place)
{
    const std::pair<const char*, std::uint32_t> placement[] = {
        {"X-Position", 100}, {"Y-Position", 50}, {"Width", 400}, {"Height", 300}};
    for (const auto& [name, value] : placement) Put_Dword(HKEY_CURRENT_USER, Metrics_Path, name, value);
    WNDCLASSA earlier_run{};
    earlier_run.lpfnWndProc = DefWindowProcA;
    earlier_run.hInstance = GetModuleHandleA(nullptr);
    earlier_run.lpszClassName = Title.c_str();
    ASSERT_TRUE(RegisterClassA(&earlier_run));
    const int step = GetSystemMetrics(SM_CYCAPTION);
    ASSERT_GT(step, 0);
    std::vector<HWND> earlier;
    for (int run = 0; run < 2; ++run)
        earlier.push_back(CreateWindowExA(0, Title.c_str(), "earlier", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                          100 + run * step, 50 + run * step, 400, 300, nullptr, nullptr,
                                          GetModuleHandleA(nullptr), nullptr));
    const bool passed = Child_Passed("DISABLED_Registered_Child.Open_And_Close");
    for (HWND window : earlier) DestroyWindow(window);
    UnregisterClassA(Title.c_str(), GetModuleHandleA(nullptr));
    ASSERT_TRUE(passed);
    EXPECT_EQ(Stored_Dword(HKEY_CURRENT_USER, Metrics_Path, "X-Position"), 100u + 2 * step);
    EXPECT_EQ(Stored_Dword(HKEY_CURRENT_USER, Metrics_Path, "Y-Position"), 50u + 2 * step);
}

} // namespace
