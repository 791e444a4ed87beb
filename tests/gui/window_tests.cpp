// The main window, its threads and the mailbox, with one real main window for the whole program
// (Open_Main_Window may be called once per process).

#include "gui/controls.hpp"
#include "gui/gui.hpp"
#include "gui/mailbox.hpp"
#include "gui/pages.hpp"
#include "tests/gui/gui_test_support.hpp"
#include "tests/test_support.hpp"

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <mutex>

namespace {

using namespace std::chrono_literals;
using Gui_Test::Wait_Until;

const std::string Initial_Title = "Window Tests";
constexpr int Opened_X = 40;
constexpr int Opened_Y = 30;

std::atomic<int> termination_runs{0};

class Window_Environment : public ::testing::Environment {
public:
    void SetUp() override
    {
        Gui::Open_Main_Window(
            {.Name = Initial_Title, .Termination = [] { ++termination_runs; }, .X = Opened_X, .Y = Opened_Y});
    }
    void TearDown() override
    {
        Gui::Close_Main_Window();
        Gui::Wait_For_End();
        EXPECT_EQ(termination_runs, 1);
    }
};

[[maybe_unused]] const auto* const environment = ::testing::AddGlobalTestEnvironment(new Window_Environment);

using Gui_Test::Gate;

Gui::Page Action_Page()
{
    static const Gui::Page page = Gui::Create_Page("Actions", {}, nullptr);
    return page;
}

std::string Window_Text(HWND window)
{
    char text[256] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

// --- The mailbox alone -------------------------------------------------------------------------------

TEST(Action_Mailbox, Drops_Posts_While_An_Action_Runs_And_Accepts_After_Done)
{
    Gui::Action_Mailbox mailbox;
    int first = 0, second = 0;
    EXPECT_TRUE(mailbox.Post([&] { ++first; }));
    EXPECT_FALSE(mailbox.Post([&] { ++second; })); // busy: dropped, not queued
    auto request = mailbox.Take();
    request.Routine();
    EXPECT_FALSE(mailbox.Post([&] { ++second; })); // still running until Done
    mailbox.Done();
    EXPECT_TRUE(mailbox.Post([&](std::uintptr_t argument) { second = static_cast<int>(argument); }, 42));
    request = mailbox.Take();
    EXPECT_FALSE(request.Routine);
    request.Routine_With_Argument(request.Argument);
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 42);
}

TEST(Action_Mailbox, Empty_Routines_Are_Never_Taken_For_A_Stop)
{
    Gui::Action_Mailbox mailbox;
    EXPECT_FALSE(mailbox.Post(Gui::Action_Routine{}));
    EXPECT_FALSE(mailbox.Post(Gui::Action_Routine_With_Argument{}, 1));
    EXPECT_TRUE(mailbox.Is_Idle());
}

// A post between the running action's Done and the handler's next Take must not replace the stop.
TEST(Action_Mailbox, A_Stop_Outlives_Later_Posts)
{
    Gui::Action_Mailbox mailbox;
    ASSERT_TRUE(mailbox.Post([] {}));
    mailbox.Take();
    mailbox.Stop();
    mailbox.Done();
    EXPECT_FALSE(mailbox.Post([] {}));
    EXPECT_TRUE(mailbox.Take().Is_Stop());
    EXPECT_TRUE(mailbox.Take().Is_Stop());
}

TEST(Action_Mailbox, Take_Waits_For_A_Post_From_Another_Thread)
{
    Gui::Action_Mailbox mailbox;
    std::thread poster([&] {
        std::this_thread::sleep_for(50ms);
        mailbox.Post([](std::uintptr_t) {}, 7);
    });
    EXPECT_EQ(mailbox.Take().Argument, 7u);
    poster.join();
}

// --- Opening -----------------------------------------------------------------------------------------

TEST(Main_Window, Opens_At_The_Given_Place_With_The_Default_Size_For_Zero)
{
    HWND main = Gui::Main_Window();
    ASSERT_TRUE(IsWindow(main));
    EXPECT_TRUE(IsWindowVisible(main));
    RECT outer{};
    GetWindowRect(main, &outer);
    EXPECT_EQ(outer.left, Opened_X);
    EXPECT_EQ(outer.top, Opened_Y);
    EXPECT_GT(outer.right - outer.left, 100); // CW_USEDEFAULT, not 0
    EXPECT_GT(outer.bottom - outer.top, 100);
    EXPECT_EQ(Window_Text(main), Initial_Title);
    EXPECT_TRUE(IsWindow(Gui::Status_Line()));
    EXPECT_TRUE(IsWindow(Gui::Tab_Control()));
    EXPECT_EQ(GetParent(Gui::Status_Line()), main);
    EXPECT_EQ(GetDlgCtrlID(Gui::Status_Line()), Gui::Status_Line_Identifier);
    EXPECT_EQ(GetDlgCtrlID(Gui::Tab_Control()), Gui::Tab_Control_Identifier);
    EXPECT_FALSE(IsWindowVisible(Gui::Tab_Control())); // one page at most: no tabs
    // The window belongs to a thread of its own.
    EXPECT_NE(GetWindowThreadProcessId(main, nullptr), GetCurrentThreadId());
}

TEST(Main_Window, A_Second_Opening_Is_A_Sequence_Error_And_Leaves_The_First)
{
    HWND main = Gui::Main_Window();
    EXPECT_FAILURE(Gui::Open_Main_Window({.Name = "Another", .Width = 300, .Height = 200, .X = 0, .Y = 0}),
                   Gui::SEQUENCE_ERROR);
    EXPECT_EQ(Gui::Main_Window(), main);
    EXPECT_TRUE(IsWindowVisible(main));
    EXPECT_EQ(Gui::Title(), Initial_Title);
    EXPECT_EQ(termination_runs, 0);
}

TEST(Main_Window, Waiting_For_The_End_On_A_Framework_Thread_Is_A_Sequence_Error)
{
    std::atomic<int> outcome{0};
    Gui::Post_Action([&] {
        try {
            Gui::Wait_For_End();
            outcome = 1;
        } catch (const Gui::SEQUENCE_ERROR&) {
            outcome = 2;
        }
    });
    EXPECT_TRUE(Wait_Until([&] { return outcome != 0; }));
    EXPECT_EQ(outcome, 2);
}

// --- Title and message boxes -------------------------------------------------------------------------

TEST(Main_Window, The_Title_Is_The_Window_Text_And_The_Caption_Of_Message_Boxes)
{
    Gui::Set_Title("Index for tests");
    EXPECT_EQ(Gui::Title(), "Index for tests");
    EXPECT_EQ(Window_Text(Gui::Main_Window()), "Index for tests");

    std::thread shower([] { Gui::Show_Message("Hello from the test", false); });
    HWND box = nullptr;
    EXPECT_TRUE(Wait_Until([&] { return (box = Gui_Test::Find_Message_Box("Index for tests")) != nullptr; }));
    if (box) {
        EXPECT_EQ(Gui_Test::Message_Box_Text(box), "Hello from the test");
        EXPECT_EQ(GetWindow(box, GW_OWNER), Gui::Main_Window());
        Gui_Test::Close_Message_Box(box);
    }
    shower.join();
    Gui::Set_Title(Initial_Title);
}

// A failure while a message is handled is shown on the window thread and the message yields 0.
TEST(Main_Window, A_Failure_On_The_Window_Thread_Is_Shown_With_Its_Name)
{
    Gui_Test::Message_Box_Closer closer(Initial_Title);
    std::atomic<DWORD> thread{0};
    const LRESULT result = Gui::Run_On_Window_Thread([&]() -> LRESULT {
        thread = GetCurrentThreadId();
        throw Gui::TAB_CREATION_FAILURE("for the test");
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(thread, GetWindowThreadProcessId(Gui::Main_Window(), nullptr));
    EXPECT_TRUE(Wait_Until([&] { return closer.Closed() == 1; }));
    EXPECT_EQ(closer.Last_Text(), "GUI.TAB_CREATION_FAILURE: for the test");
    // The window goes on working.
    EXPECT_EQ(Gui::Run_On_Window_Thread([] { return LRESULT{5}; }), 5);
}

// --- Geometry ----------------------------------------------------------------------------------------

TEST(Main_Window, Metrics_Follow_Moves_And_Sizes)
{
    HWND main = Gui::Main_Window();
    SetWindowPos(main, nullptr, -8, 100, 640, 480, SWP_NOZORDER | SWP_NOACTIVATE);
    std::int32_t x = 0, y = 0, width = 0, height = 0;
    EXPECT_TRUE(Wait_Until([&] {
        Gui::Window_Metrics(x, y, width, height);
        return width == 640 && height == 480;
    }));
    EXPECT_EQ(x, -8);
    EXPECT_EQ(y, 100);
    EXPECT_EQ(width, 640);
    EXPECT_EQ(height, 480);
}

TEST(Main_Window, Minimized_And_Maximized_Are_Told_Apart)
{
    HWND main = Gui::Main_Window();
    EXPECT_FALSE(Gui::Is_Minimized());
    EXPECT_FALSE(Gui::Is_Maximized());
    ShowWindow(main, SW_MINIMIZE);
    EXPECT_TRUE(Wait_Until([] { return Gui::Is_Minimized(); }));
    EXPECT_FALSE(Gui::Is_Maximized());
    ShowWindow(main, SW_RESTORE);
    ShowWindow(main, SW_MAXIMIZE);
    EXPECT_TRUE(Wait_Until([] { return Gui::Is_Maximized(); }));
    EXPECT_FALSE(Gui::Is_Minimized());
    ShowWindow(main, SW_RESTORE);
    EXPECT_TRUE(Wait_Until([] { return !Gui::Is_Maximized() && !Gui::Is_Minimized(); }));
}

// --- Actions -----------------------------------------------------------------------------------------

TEST(Actions, A_Click_Runs_The_Action_On_The_Action_Thread_And_Drops_Clicks_Meanwhile)
{
    Gate gate;
    std::atomic<int> runs{0};
    std::atomic<DWORD> thread{0};
    Gui::Button button = Gui::Create_Button(Action_Page(), "Run", [&] {
        thread = GetCurrentThreadId();
        ++runs;
        gate.Pass();
    }, 80);
    ASSERT_TRUE(IsWindow(button.Window()));

    SendMessageA(button.Window(), BM_CLICK, 0, 0);
    EXPECT_TRUE(Wait_Until([&] { return runs == 1; }));
    SendMessageA(button.Window(), BM_CLICK, 0, 0); // while the first one runs
    SendMessageA(button.Window(), BM_CLICK, 0, 0);
    gate.Open();
    std::this_thread::sleep_for(200ms); // a queued click would have run by now
    EXPECT_EQ(runs, 1);
    EXPECT_NE(thread, GetCurrentThreadId());
    EXPECT_NE(thread, GetWindowThreadProcessId(Gui::Main_Window(), nullptr));

    SendMessageA(button.Window(), BM_CLICK, 0, 0); // idle again: runs
    EXPECT_TRUE(Wait_Until([&] { return runs == 2; }));
}

// --- Shell -------------------------------------------------------------------------------------------

// The program opened through the shell is this test program itself, which reports how it was
// started into the file named by the environment.
TEST(Shell, DISABLED_Report_Start)
{
    const char* report = std::getenv("GUI_TEST_SHELL_REPORT");
    ASSERT_NE(report, nullptr);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    const bool shown_given = (startup.dwFlags & STARTF_USESHOWWINDOW) != 0;
    Test_Support::Write_File(report, std::to_string(shown_given ? startup.wShowWindow : -1) + " " +
                                         GetCommandLineA());
}

TEST(Shell, Opens_The_File_Normally_Shown_With_The_Parameters)
{
    Test_Support::Temporary_Folder folder;
    const std::string report = folder.File("report.txt");
    SetEnvironmentVariableA("GUI_TEST_SHELL_REPORT", report.c_str());
    char program[MAX_PATH];
    GetModuleFileNameA(nullptr, program, MAX_PATH);
    Gui::Shell_Execute(program, "--gtest_also_run_disabled_tests --gtest_filter=Shell.DISABLED_Report_Start");
    ASSERT_TRUE(Wait_Until([&] { return Test_Support::File_Exists(report) && !Test_Support::Read_File(report).empty(); },
                           30s));
    const std::string text = Test_Support::Read_File(report);
    EXPECT_EQ(text.substr(0, 2), "1 ") << text; // SW_SHOWNORMAL
    EXPECT_NE(text.find("--gtest_filter=Shell.DISABLED_Report_Start"), std::string::npos) << text;
    SetEnvironmentVariableA("GUI_TEST_SHELL_REPORT", nullptr);
}

} // namespace
