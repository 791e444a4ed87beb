// The viewer as a whole: the test starts lumen_roll.exe, plays the host over the real pipe,
// reads the window and the tree from outside, double-clicks with the real mouse and reads the
// log the viewer wrote. Each start of the viewer costs about a second, so related checks share
// a run; the two stalls cost the viewer's five-second time-out each. The grammar of the transfer
// is the transfer reader's tests, in the test process.

#include "tests/viewer/registered_type.hpp"
#include "tests/viewer/viewer_clicks.hpp"
#include "test_tools/harness/viewer_harness.hpp"
#include "tests/test_support.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <map>
#include <thread>

namespace {

using namespace Viewer_Harness;
using namespace std::chrono_literals;
using Viewer_Clicks::Click_Item;
using Viewer_Clicks::Double_Click_Item;
using Viewer_Clicks::Item_Point;
using Viewer_Clicks::Clipboard_Text;
using Viewer_Clicks::Menu_Of;

[[maybe_unused]] const bool viewer_chosen = (Use_Viewer_Program(LUMEN_ROLL_EXE), true);

constexpr const char* Pipe_Name = "Lumen_Roll_V1.1";
constexpr char Marker = '\x95';

// Every test gets a log file of its own in a fresh folder, named in the viewer's registry key.
class Viewer_Test : public ::testing::Test {
protected:
    Test_Support::Temporary_Folder folder_;
    std::string log_path_ = folder_.File("viewer.log");
    Viewer_Settings settings_{log_path_};

    Viewer_Log Log() const { return Read_Log(log_path_); }

    // The log once the viewer has closed its window by itself, as it does on every failure.
    Viewer_Log Log_After_Own_End(const Viewer_Process& viewer)
    {
        EXPECT_TRUE(viewer.Wait_For_End(10s)) << "the viewer should have closed its window";
        return Log();
    }

    // The log after the user closed the window.
    Viewer_Log Log_After_Close(const Viewer_Process& viewer)
    {
        EXPECT_TRUE(viewer.Close_Window()) << "the viewer should end when its window is closed";
        return Log();
    }
};

bool Has_Fatal_Line(const Viewer_Log& log) { return log.Contains_Prefix("!!!"); }

std::vector<std::string> Texts(const std::vector<Tree_Node>& nodes)
{
    std::vector<std::string> texts;
    for (const Tree_Node& node : nodes) texts.push_back(node.Text);
    return texts;
}

std::string Joined(const std::vector<std::string>& messages)
{
    std::string text;
    for (const std::string& message : messages) text += "\n    " + message;
    return text;
}

// ---- command line ------------------------------------------------------------------------------

// A failure is not reported as success: 1 for a bad command line, 3 when no host came in time.
TEST_F(Viewer_Test, No_Argument_Logs_Pipe_Name_Missing_And_Ends_With_Exit_Code_1)
{
    Viewer_Process viewer({});
    Viewer_Log log = Log_After_Own_End(viewer);
    EXPECT_EQ(viewer.Exit_Code(), 1u);
    ASSERT_GE(log.Messages.size(), 3u) << Joined(log.Messages);
    EXPECT_EQ(log.Messages[0], "Lumen_Roll version 1.2");
    EXPECT_TRUE(log.Messages[1].starts_with("Log created ")) << log.Messages[1];
    EXPECT_TRUE(log.Contains("!!! Pipe name missing")) << Joined(log.Messages);
    EXPECT_TRUE(log.Unstamped.empty()) << Joined(log.Unstamped);
}

TEST_F(Viewer_Test, Bad_Command_Lines_Close_The_Window_With_Their_Reason)
{
    struct Case {
        std::vector<std::string> Arguments;
        std::string Expected;
    };
    const Case cases[] = {
        {{Pipe_Name, "editor.exe", "third"}, "!!! Too many parameters"},
        {{"lumen_roll_v1.1"}, "!!! Invalid Pipe Name"}, // the other names: the transfer reader's tests
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.Arguments.front() + " (" + std::to_string(test.Arguments.size()) + " arguments)");
        Viewer_Process viewer(test.Arguments);
        Viewer_Log log = Log_After_Own_End(viewer);
        EXPECT_EQ(viewer.Exit_Code(), 1u);
        EXPECT_TRUE(log.Contains(test.Expected)) << Joined(log.Messages);
        EXPECT_FALSE(log.Contains_Prefix("Index for")) << Joined(log.Messages);
    }
}

TEST_F(Viewer_Test, No_Host_Within_The_Time_Out_Is_A_Failure)
{
    Viewer_Process viewer({Pipe_Name});
    EXPECT_TRUE(viewer.Wait_For_End(20s)) << "the viewer should give up waiting and close its window";
    EXPECT_EQ(viewer.Exit_Code(), 3u);
    Viewer_Log log = Log();
    EXPECT_TRUE(log.Contains_Prefix("!!! Exception: Exception = WINDOWS.PIPE.TIMEOUT")) << Joined(log.Messages);
}

// ---- complete transfers --------------------------------------------------------------------------

// A title is the host's text: its line ends must not make records of their own in the log.
TEST_F(Viewer_Test, Title_Then_End_Leaves_A_Titled_Window_With_An_Empty_Tree)
{
    Viewer_Process viewer({Pipe_Name});
    Host host(viewer);
    ASSERT_TRUE(host.Is_Connected());
    EXPECT_EQ(viewer.Caption(), "Lumen_Roll 1.2") << "the first caption is the product name and version";
    host.Text(std::string("two\r\nlines\0end", 14), "title");
    EXPECT_EQ(viewer.Caption(), "two\r\nlines");
    EXPECT_EQ(host.Send_Text(""), Answer::Closed) << "the end message is not acknowledged";

    EXPECT_FALSE(viewer.Wait_For_End(1s)) << "the window stays open after a complete transfer";
    HWND tree = viewer.Tree_Window();
    ASSERT_NE(tree, nullptr);
    EXPECT_EQ(Remote_Tree(viewer, tree).Count(), 0u);
    EXPECT_EQ(viewer.Status_Text(), "0 entries in 0 files");

    Viewer_Log log = Log_After_Close(viewer);
    EXPECT_EQ(viewer.Exit_Code(), 0u);
    const int index_line = log.Position("Index for two\\r\\nlines\\0end");
    EXPECT_GE(index_line, 0) << Joined(log.Messages);
    EXPECT_GT(log.Position("Complete"), index_line) << Joined(log.Messages);
    EXPECT_FALSE(Has_Fatal_Line(log)) << Joined(log.Messages);
    EXPECT_TRUE(log.Unstamped.empty()) << Joined(log.Unstamped);
}

// One transfer checks the tree's shape, the entry texts with their markers and, with the editor
// stub as argument 2, the double-click that opens an entry.
TEST_F(Viewer_Test, Transfer_Fills_The_Tree_And_A_Double_Click_Starts_The_Editor)
{
    // The editor is started unquoted, so it lives in the temporary folder, whose path has no blank.
    const std::string editor = folder_.File("editor_stub.exe");
    ASSERT_TRUE(CopyFileA(Windows_Path(EDITOR_STUB_EXE).c_str(), editor.c_str(), FALSE));
    ASSERT_EQ(editor.find(' '), std::string::npos) << editor;
    const std::string editor_output = folder_.File("editor_output.txt");
    SetEnvironmentVariableA("LUMEN_EDITOR_STUB_OUTPUT", editor_output.c_str());

    const std::string long_text(1024, 'L');
    Viewer_Process viewer({Pipe_Name, editor});
    Host host(viewer);
    ASSERT_TRUE(host.Is_Connected());
    host.Text("Search results", "title");
    host.Group("b.txt", 0, {{"beta one", 1, 1}, {"beta two", 2, 9}, {long_text, 3, 1025}});
    host.Group("a.txt", 1, {{"x := y;", 12, 6}, {"  foo(bar)", 20, 7}, {"  indented", 30, 1}});
    host.Group("c.txt", 1, {});
    host.Group("b.txt", 0, {{"beta again", 4, 11}});
    EXPECT_EQ(host.Send_Text(""), Answer::Closed) << "the end message is not acknowledged";

    HWND tree_window = viewer.Tree_Window();
    ASSERT_NE(tree_window, nullptr);
    Remote_Tree tree(viewer, tree_window);
    ASSERT_TRUE(tree.Wait_For_Count(4 + 3 + 3 + 0 + 1)) << tree.Count() << " items";
    std::vector<Tree_Node> files = tree.Read();

    // Files sorted by name (the same name twice gives two nodes), entries in arrival order.
    ASSERT_EQ(Texts(files), (std::vector<std::string>{"a.txt", "b.txt", "b.txt", "c.txt"}));
    const Tree_Node& a = files[0];
    EXPECT_EQ(Texts(a.Children),
              (std::vector<std::string>{std::string("x := ") + Marker + "y;", std::string("foo(") + Marker + "bar)",
                                        std::string(1, Marker) + "  indented"}));
    const Tree_Node& b_first = files[1].Children.size() == 3 ? files[1] : files[2];
    const Tree_Node& b_second = files[1].Children.size() == 3 ? files[2] : files[1];
    EXPECT_EQ(Texts(b_first.Children),
              (std::vector<std::string>{Marker + std::string("beta one"), "beta two" + std::string(1, Marker),
                                        long_text + Marker}));
    EXPECT_EQ(Texts(b_second.Children), (std::vector<std::string>{"beta again" + std::string(1, Marker)}));
    EXPECT_TRUE(files[3].Children.empty());

    // File nodes carry no data; each entry node carries its own reference into the index.
    std::vector<LPARAM> entry_data;
    for (const Tree_Node& file : files) {
        EXPECT_EQ(file.Data, 0) << file.Text;
        for (const Tree_Node& entry : file.Children) entry_data.push_back(entry.Data);
    }
    std::sort(entry_data.begin(), entry_data.end());
    EXPECT_EQ(std::adjacent_find(entry_data.begin(), entry_data.end()), entry_data.end());
    EXPECT_NE(entry_data.front(), 0);

    // Flag 1 opens the file node as its entries arrive; flag 0 leaves it collapsed.
    EXPECT_TRUE(a.Expanded);
    EXPECT_FALSE(files[1].Expanded);
    EXPECT_FALSE(files[2].Expanded);
    EXPECT_FALSE(files[3].Expanded);

    // A file node carries no entry: double-clicking it starts nothing, so only the entry x := y;
    // reaches the editor.
    ASSERT_TRUE(Double_Click_Item(viewer, tree, files[3].Item));
    ASSERT_TRUE(Double_Click_Item(viewer, tree, a.Children[0].Item));
    EXPECT_TRUE(Wait_Until([&] { return Test_Support::Read_File(editor_output).find('\n') != std::string::npos; },
                           10s))
        << "the editor was not started";
    EXPECT_EQ(Test_Support::Read_File(editor_output), "a.txt/12/6\n");

    Viewer_Log log = Log_After_Close(viewer);
    EXPECT_TRUE(log.Contains("Index for Search results")) << Joined(log.Messages);
    EXPECT_TRUE(log.Contains("Complete")) << Joined(log.Messages);
    EXPECT_FALSE(Has_Fatal_Line(log)) << Joined(log.Messages);
    SetEnvironmentVariableA("LUMEN_EDITOR_STUB_OUTPUT", nullptr);
}

// The editor named on the command line opens every place from the first one on: a double-click
// while the host is still sending starts it, never the shell.
TEST_F(Viewer_Test, A_Double_Click_While_Places_Still_Arrive_Starts_The_Named_Editor)
{
    const Viewer_Clicks::Editor_Stub editor(folder_, EDITOR_STUB_EXE);
    Viewer_Process viewer({Pipe_Name, editor.Program()});
    Host host(viewer);
    ASSERT_TRUE(host.Is_Connected());
    host.Text("Opening", "title");
    host.Group("a.txt", 1, {{"x := y;", 12, 6}});
    HWND tree_window = viewer.Tree_Window();
    ASSERT_NE(tree_window, nullptr);
    Remote_Tree tree(viewer, tree_window);
    ASSERT_TRUE(tree.Wait_For_Count(2));

    // The viewer now waits for the next file name, for five seconds at most.
    ASSERT_TRUE(Double_Click_Item(viewer, tree, tree.Read()[0].Children.at(0).Item));
    EXPECT_TRUE(Wait_Until([&] { return Test_Support::Read_File(editor.Output()) == "a.txt/12/6\n"; }, 4s))
        << Test_Support::Read_File(editor.Output());
    EXPECT_TRUE(viewer.Status_Text().starts_with("Receiving")) << viewer.Status_Text();
    EXPECT_EQ(host.Send_Text(""), Answer::Closed);
}

TEST_F(Viewer_Test, A_Missing_Editor_Is_Logged_And_The_Window_Stays)
{
    Viewer_Process viewer({Pipe_Name, folder_.File("no_such_editor.exe")});
    Host host(viewer);
    ASSERT_TRUE(host.Is_Connected());
    host.Text("Missing editor", "title");
    host.Group("a.txt", 1, {{"only entry", 5, 1}});
    EXPECT_EQ(host.Send_Text(""), Answer::Closed);

    HWND tree_window = viewer.Tree_Window();
    ASSERT_NE(tree_window, nullptr);
    Remote_Tree tree(viewer, tree_window);
    ASSERT_TRUE(tree.Wait_For_Count(2));
    std::vector<Tree_Node> files = tree.Read();
    ASSERT_EQ(files.size(), 1u);
    ASSERT_EQ(files[0].Children.size(), 1u);
    ASSERT_TRUE(Double_Click_Item(viewer, tree, files[0].Children[0].Item));

    // The log may hold its lines in a buffer until the viewer ends, so this wait is also the
    // time the viewer gets to handle the double-click before the window is closed.
    Wait_Until([&] { return Log().Contains("Could not start editor!"); }, 2s);
    EXPECT_FALSE(viewer.Has_Ended());
    EXPECT_EQ(tree.Count(), 2u);
    Viewer_Log log = Log_After_Close(viewer);
    EXPECT_TRUE(log.Contains("Could not start editor!")) << Joined(log.Messages);
    EXPECT_FALSE(Has_Fatal_Line(log)) << Joined(log.Messages);
}

// ---- what opening a place may start -------------------------------------------------------------

// Sends one entry (x := y; at 12,6) for each file and ends the transfer; each entry's item by its
// file node's text (a name read back from the tree ends at a NUL).
std::map<std::string, HTREEITEM> Send_One_Entry_Each(const Viewer_Process& viewer, const Remote_Tree& tree,
                                                     const std::vector<std::string>& files)
{
    Host host(viewer);
    if (!host.Is_Connected()) return {};
    host.Text("Opening", "title");
    for (const std::string& file : files) host.Group(file, 1, {{"x := y;", 12, 6}});
    host.Send_Text("");
    std::map<std::string, HTREEITEM> entries;
    if (!tree.Wait_For_Count(2 * files.size())) return entries;
    for (const Tree_Node& file : tree.Read())
        if (!file.Children.empty()) entries[file.Text] = file.Children.front().Item;
    return entries;
}

// Opens the entry with Enter after a click: the click scrolls a partly hidden item into view,
// where a double-click's second click would hit the row scrolled under the mouse.
bool Open_With_Enter(const Viewer_Process& viewer, const Remote_Tree& tree, HTREEITEM item)
{
    return Click_Item(viewer, tree, item, 1) && Wait_Until([&] { return tree.Item(TVGN_CARET) == item; }, 5s) &&
           Test_Support::Press_Keys("Return");
}

// What a batch file writes when it runs.
std::string Planted_Batch_File(const std::string& path, const std::string& marker)
{
    Test_Support::Write_File(path, "@echo ran>\"" + marker + "\"\r\n");
    return marker;
}

// Without an editor no found file runs, whatever interpreters the machine has registered for its
// type: a script opens in the text editor (the one .txt's "edit" names), a type whose "edit" names
// an .exe with that verb; a name that is not a local file's, or not there, is not opened (for
// "tool" the shell would run tool.exe).
TEST_F(Viewer_Test, Without_An_Editor_No_Found_File_Runs)
{
    const Viewer_Clicks::Editor_Stub text_editor(folder_, EDITOR_STUB_EXE);
    const std::string interpreter = folder_.File("interpreter.exe");
    ASSERT_TRUE(CopyFileA(Windows_Path(PLANTED_EXE).c_str(), interpreter.c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(Windows_Path(PLANTED_EXE).c_str(), folder_.File("tool.exe").c_str(), FALSE));
    const std::string ran_output = folder_.File("ran_output.txt");
    Test_Support::Scoped_Variable ran_variable("LUMEN_OPEN_STUB_OUTPUT", ran_output.c_str());
    const Test_Support::Registered_Type python(".py", "open", interpreter), shell(".sh", "open", interpreter),
        text(".txt", "edit", text_editor.Program()), batch(".bat", "edit", text_editor.Program());
    Test_Support::Write_File(folder_.File("setup.py"), "print(1)\r\n");
    Test_Support::Write_File(folder_.File("build.sh"), "echo 1\n");
    CreateDirectoryA(folder_.File("sub").c_str(), nullptr);
    const std::string marker = folder_.File("ran.txt");
    for (const char* batch_file : {"setup.bat", "tool.cmd", "x.bat", "sub\\x.bat"})
        Planted_Batch_File(folder_.File(batch_file), marker);
    Test_Support::Scoped_Folder in_repository(folder_.Path());

    // Each file with the line the editor stub writes for it, or the log's refusal.
    const std::pair<std::string, std::string> cases[] = {
        {"setup.py", folder_.File("setup.py") + "\n"},
        {"build.sh", folder_.File("build.sh") + "\n"},
        {"tool.cmd", folder_.File("tool.cmd") + "\n"},
        {"setup.bat", folder_.File("setup.bat") + "|-XMovAbs(12,6)\n"},
        {"tool", "Not opened: tool is not there"},
        {"sub\\x.bat\\.", "Not opened: sub\\x.bat\\. is read by the system as " + folder_.File("sub\\x.bat")},
        {std::string("x.bat\0.txt", 10), "Not opened: x.bat?.txt holds a control character"},
    };
    std::vector<std::string> files;
    for (const auto& test : cases) files.push_back(test.first);
    Viewer_Process viewer({Pipe_Name});
    const HWND tree_window = viewer.Tree_Window();
    ASSERT_NE(tree_window, nullptr);
    const Remote_Tree tree(viewer, tree_window);
    const std::map<std::string, HTREEITEM> entries = Send_One_Entry_Each(viewer, tree, files);
    std::string editor_lines;
    for (const auto& [file, opened] : cases) {
        SCOPED_TRACE(file.c_str());
        ASSERT_TRUE(entries.contains(file.c_str()));
        ASSERT_TRUE(Open_With_Enter(viewer, tree, entries.at(file.c_str())));
        if (opened.starts_with("Not opened: ")) {
            EXPECT_TRUE(Wait_Until([&] { return Log().Contains(opened); }, 10s)) << Joined(Log().Messages);
            continue;
        }
        editor_lines += opened;
        EXPECT_TRUE(Wait_Until([&] { return Test_Support::Read_File(text_editor.Output()) == editor_lines; }, 10s))
            << Test_Support::Read_File(text_editor.Output());
    }
    Viewer_Log log = Log_After_Close(viewer);
    EXPECT_FALSE(Test_Support::File_Exists(marker)) << "a batch file ran";
    EXPECT_FALSE(Test_Support::File_Exists(ran_output)) << "an interpreter or tool.exe ran";
    EXPECT_FALSE(Has_Fatal_Line(log)) << Joined(log.Messages);
}

// An .exe editor splits its command line at blanks and takes "-" and "/" for options: a place
// named like one goes by its full path, a place holding a blank in quotes, each as one argument.
TEST_F(Viewer_Test, An_Exe_Editor_Gets_Each_Place_As_One_Name)
{
    const Viewer_Clicks::Editor_Stub editor(folder_, EDITOR_STUB_EXE);
    Test_Support::Scoped_Folder in_repository(folder_.Path());
    const std::pair<std::string, std::string> cases[] = {
        {"--inspect=9229.txt", folder_.File("--inspect=9229.txt") + "/12/6\n"},
        {"dir --extensionDevelopmentPath=evil x\\a.txt", "dir --extensionDevelopmentPath=evil x\\a.txt/12/6\n"},
    };
    Viewer_Process viewer({Pipe_Name, editor.Program()});
    const HWND tree_window = viewer.Tree_Window();
    ASSERT_NE(tree_window, nullptr);
    const Remote_Tree tree(viewer, tree_window);
    const std::map<std::string, HTREEITEM> entries = Send_One_Entry_Each(viewer, tree, {cases[0].first, cases[1].first});
    std::string editor_lines;
    for (const auto& [file, argument] : cases) {
        ASSERT_TRUE(entries.contains(file)) << file;
        ASSERT_TRUE(Double_Click_Item(viewer, tree, entries.at(file)));
        editor_lines += argument;
        EXPECT_TRUE(Wait_Until([&] { return Test_Support::Read_File(editor.Output()) == editor_lines; }, 10s))
            << Test_Support::Read_File(editor.Output());
    }
}

// The viewer's current folder is the searched one. A bare editor name is looked for beside the
// viewer and in PATH's folders ("." there is left out), and its namesake planted in the current
// folder never starts.
TEST_F(Viewer_Test, A_Bare_Editor_Is_Found_On_Path_And_Never_In_The_Current_Folder)
{
    const std::string repository = folder_.File("repository");
    const std::string tools = folder_.File("tools");
    CreateDirectoryA(repository.c_str(), nullptr);
    CreateDirectoryA(tools.c_str(), nullptr);
    ASSERT_TRUE(CopyFileA(Windows_Path(EDITOR_STUB_EXE).c_str(), (tools + "\\lumen_ed.exe").c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(Windows_Path(PLANTED_EXE).c_str(), (repository + "\\lumen_ed.exe").c_str(), FALSE));
    const std::string editor_output = folder_.File("editor_output.txt");
    const std::string planted_output = folder_.File("planted_output.txt");
    Test_Support::Scoped_Variable editor_variable("LUMEN_EDITOR_STUB_OUTPUT", editor_output.c_str());
    Test_Support::Scoped_Variable planted_variable("LUMEN_OPEN_STUB_OUTPUT", planted_output.c_str());
    Test_Support::Scoped_Variable path("PATH", (".;" + tools).c_str());
    Test_Support::Scoped_Folder in_repository(repository);

    Viewer_Process viewer({Pipe_Name, "lumen_ed"});
    const HWND tree_window = viewer.Tree_Window();
    ASSERT_NE(tree_window, nullptr);
    const Remote_Tree tree(viewer, tree_window);
    const std::map<std::string, HTREEITEM> entries = Send_One_Entry_Each(viewer, tree, {"a.txt"});
    ASSERT_TRUE(entries.contains("a.txt"));
    ASSERT_TRUE(Double_Click_Item(viewer, tree, entries.at("a.txt")));
    EXPECT_TRUE(Wait_Until([&] { return Test_Support::Read_File(editor_output).find('\n') != std::string::npos; }, 10s))
        << "the editor on PATH was not started";
    EXPECT_EQ(Test_Support::Read_File(editor_output), "a.txt/12/6\n");
    EXPECT_FALSE(Test_Support::File_Exists(planted_output)) << "the planted program ran";
}

// A .cmd editor runs through cmd.exe with the place in quotes: "&" in a file name stays part of
// the name and starts nothing; a name that cmd.exe would expand even in quotes is refused.
TEST_F(Viewer_Test, A_Batch_File_Editor_Gets_The_Place_Whole_And_Nothing_Else_Runs)
{
    const std::string stub = folder_.File("editor_stub.exe");
    ASSERT_TRUE(CopyFileA(Windows_Path(EDITOR_STUB_EXE).c_str(), stub.c_str(), FALSE));
    const std::string editor = folder_.File("ed.cmd");
    Test_Support::Write_File(editor, "@\"" + stub + "\" %*\r\n");
    const std::string stub_output = folder_.File("stub_output.txt");
    Test_Support::Scoped_Variable output_variable("LUMEN_EDITOR_STUB_OUTPUT", stub_output.c_str());
    const std::string marker = Planted_Batch_File(folder_.File("setup.bat"), folder_.File("ran.txt"));
    Test_Support::Scoped_Folder in_repository(folder_.Path());

    Viewer_Process viewer({Pipe_Name, editor});
    const HWND tree_window = viewer.Tree_Window();
    ASSERT_NE(tree_window, nullptr);
    const Remote_Tree tree(viewer, tree_window);
    const std::map<std::string, HTREEITEM> entries = Send_One_Entry_Each(viewer, tree, {"a&setup&.txt", "b%PATH%.txt"});
    ASSERT_EQ(entries.size(), 2u);
    ASSERT_TRUE(Double_Click_Item(viewer, tree, entries.at("a&setup&.txt")));
    EXPECT_TRUE(Wait_Until([&] { return Test_Support::Read_File(stub_output).find('\n') != std::string::npos; }, 10s))
        << "the editor was not started";
    EXPECT_EQ(Test_Support::Read_File(stub_output), "a&setup&.txt/12/6\n");
    ASSERT_TRUE(Double_Click_Item(viewer, tree, entries.at("b%PATH%.txt")));
    EXPECT_TRUE(Wait_Until([&] { return Log().Contains("Could not start editor!"); }, 10s)) << Joined(Log().Messages);
    Viewer_Log log = Log_After_Close(viewer);
    EXPECT_EQ(Test_Support::Read_File(stub_output), "a&setup&.txt/12/6\n");
    EXPECT_FALSE(Test_Support::File_Exists(marker)) << "setup.bat ran";
    EXPECT_FALSE(Has_Fatal_Line(log)) << Joined(log.Messages);
}

// A tree view follows a pressed mouse button in a message loop of its own. A close that comes
// meanwhile (here the viewer's own, after a bad message) must not destroy the tree under that
// loop: the viewer ends cleanly, without waiting for the button to be let go.
TEST_F(Viewer_Test, A_Close_While_The_Mouse_Button_Is_Held_On_The_Tree_Ends_Cleanly)
{
    Viewer_Process viewer({Pipe_Name});
    Host host(viewer);
    ASSERT_TRUE(host.Is_Connected());
    host.Text("Held button", "title");
    host.Group("a.txt", 1, {{"first entry", 1, 1}, {"second entry", 2, 1}});
    HWND tree_window = viewer.Tree_Window();
    ASSERT_NE(tree_window, nullptr);
    Remote_Tree tree(viewer, tree_window);
    ASSERT_TRUE(tree.Wait_For_Count(3));
    std::optional<POINT> point = Item_Point(viewer, tree, tree.Read()[0].Children.at(1).Item);
    ASSERT_TRUE(point);

    ASSERT_TRUE(Test_Support::Press_Left_Button(point->x, point->y));
    // Let go however the test ends: a button left down would spoil every later click.
    struct Button_Release {
        ~Button_Release() { Test_Support::Release_Left_Button(); }
    } release;
    const DWORD window_thread = GetWindowThreadProcessId(tree_window, nullptr);
    auto tree_follows_button = [&] {
        GUITHREADINFO information{};
        information.cbSize = sizeof information;
        return GetGUIThreadInfo(window_thread, &information) && information.hwndCapture == tree_window;
    };
    EXPECT_TRUE(Wait_Until(tree_follows_button, 10s)) << "the tree did not take the mouse";

    host.Text("b.txt", "file name");
    EXPECT_EQ(host.Send_Bytes("\x01\x02"), Answer::Closed);
    EXPECT_TRUE(viewer.Wait_For_End(10s)) << "the viewer should end while the button is held";
    EXPECT_EQ(viewer.Exit_Code(), 2u) << "a failed transfer, not a crash";
    Viewer_Log log = Log();
    EXPECT_TRUE(log.Contains("!!! Flag expected")) << Joined(log.Messages);
}

// ---- the window: status line, keys, copy and the item menu ----------------------------------------

// A transfer long enough to fill more than the window: the status line counts what is in the
// tree while it arrives and says how the transfer ended; the view stays at the top, the first
// node is selected and the tree has the keys.
TEST_F(Viewer_Test, The_Status_Line_Counts_The_Tree_And_The_View_Stays_At_The_Top)
{
    Viewer_Process viewer({Pipe_Name});
    Host host(viewer);
    ASSERT_TRUE(host.Is_Connected());
    host.Text("Many places", "title");
    EXPECT_TRUE(Wait_Until([&] { return viewer.Status_Text() == "Receiving - 0 entries in 0 files"; }, 5s))
        << viewer.Status_Text();
    host.Text("m.txt", "file name");
    host.Flag(1);
    host.Entry_Message({"one", 1, 1});
    EXPECT_TRUE(Wait_Until([&] { return viewer.Status_Text() == "Receiving - 1 entry in 1 file"; }, 5s))
        << viewer.Status_Text();
    host.Entry_Message({"two", 2, 1});
    EXPECT_TRUE(Wait_Until([&] { return viewer.Status_Text() == "Receiving - 2 entries in 1 file"; }, 5s))
        << viewer.Status_Text();
    host.Text("", "group end");
    for (int group = 0; group < 30; ++group) {
        const std::string file = "f" + std::to_string((group * 7) % 30 + 10) + ".txt"; // not in name order
        host.Group(file, 1, std::vector<Host::Entry>(8, Host::Entry{"entry text", group + 1, 1}));
    }
    EXPECT_EQ(host.Send_Text(""), Answer::Closed);
    EXPECT_TRUE(Wait_Until([&] { return viewer.Status_Text() == "242 entries in 31 files"; }, 5s))
        << viewer.Status_Text();

    HWND tree_window = viewer.Tree_Window();
    ASSERT_NE(tree_window, nullptr);
    Remote_Tree tree(viewer, tree_window);
    ASSERT_EQ(tree.Count(), 242u + 31u);
    const HTREEITEM first = tree.Item(TVGN_ROOT);
    EXPECT_EQ(tree.Item(TVGN_FIRSTVISIBLE), first) << "the view left the top";
    EXPECT_EQ(tree.Item(TVGN_CARET), first) << "the selection stays on the first node";
    SetForegroundWindow(viewer.Main_Window());
    EXPECT_TRUE(Wait_Until([&] { return viewer.Focus() == tree_window; }, 5s)) << "the tree should have the keys";
}

// Enter opens an entry as a double-click does and opens or closes a file node; Ctrl+C and the
// item menu's "Copy" put a place on the clipboard in the common file:line:column:text form; the
// menu's "Collapse all" and "Expand all" act on every file node.
TEST_F(Viewer_Test, Keys_Copy_And_The_Item_Menu_Drive_The_Tree)
{
    const Viewer_Clicks::Editor_Stub editor(folder_, EDITOR_STUB_EXE);
    const std::string& editor_output = editor.Output();
    Viewer_Process viewer({Pipe_Name, editor.Program()});
    Host host(viewer);
    ASSERT_TRUE(host.Is_Connected());
    host.Text("Keys", "title");
    host.Group("b.txt", 1, {{"  second(x)", 7, 5}});
    host.Group("a.txt", 1, {{"first", 3, 1}});
    EXPECT_EQ(host.Send_Text(""), Answer::Closed);
    HWND tree_window = viewer.Tree_Window();
    ASSERT_NE(tree_window, nullptr);
    Remote_Tree tree(viewer, tree_window);
    ASSERT_TRUE(tree.Wait_For_Count(4));
    std::vector<Tree_Node> files = tree.Read();
    auto expanded = [&] {
        std::vector<bool> states;
        for (const Tree_Node& file : tree.Read()) states.push_back(file.Expanded);
        return states;
    };

    // The first node, a.txt, is selected: Enter closes it and opens it again.
    ASSERT_TRUE(Item_Point(viewer, tree, files[0].Item)); // brings the window to the top
    ASSERT_TRUE(Test_Support::Press_Keys("Return"));
    EXPECT_TRUE(Wait_Until([&] { return expanded() == std::vector<bool>{false, true}; }, 5s));
    ASSERT_TRUE(Test_Support::Press_Keys("Return"));
    EXPECT_TRUE(Wait_Until([&] { return expanded() == std::vector<bool>{true, true}; }, 5s));

    // On an entry Enter starts the editor, and Ctrl+C copies the place.
    ASSERT_TRUE(Click_Item(viewer, tree, files[0].Children.at(0).Item, 1));
    ASSERT_TRUE(Wait_Until([&] { return tree.Item(TVGN_CARET) == files[0].Children.at(0).Item; }, 5s));
    ASSERT_TRUE(Test_Support::Press_Keys("Return ctrl+c"));
    EXPECT_TRUE(Wait_Until([&] { return Test_Support::Read_File(editor_output) == "a.txt/3/1\n"; }, 10s))
        << Test_Support::Read_File(editor_output);
    EXPECT_TRUE(Wait_Until([] { return Clipboard_Text() == "a.txt:3:1:first"; }, 5s)) << Clipboard_Text();

    // The menu of b.txt's entry: "Copy" by its key.
    ASSERT_TRUE(Click_Item(viewer, tree, files[1].Children.at(0).Item, 3));
    ASSERT_TRUE(Wait_Until([&] { return Menu_Of(viewer) != nullptr; }, 5s)) << "no item menu";
    ASSERT_TRUE(Test_Support::Press_Keys("c"));
    EXPECT_TRUE(Wait_Until([] { return Clipboard_Text() == "b.txt:7:5:second(x)"; }, 5s)) << Clipboard_Text();

    // The menu from the keyboard: "Collapse all", then "Expand all".
    ASSERT_TRUE(Test_Support::Press_Keys("shift+F10"));
    ASSERT_TRUE(Wait_Until([&] { return Menu_Of(viewer) != nullptr; }, 5s)) << "no item menu from the keyboard";
    ASSERT_TRUE(Test_Support::Press_Keys("l"));
    EXPECT_TRUE(Wait_Until([&] { return expanded() == std::vector<bool>{false, false}; }, 5s));
    ASSERT_TRUE(Test_Support::Press_Keys("Menu"));
    ASSERT_TRUE(Wait_Until([&] { return Menu_Of(viewer) != nullptr; }, 5s)) << "no item menu from the menu key";
    ASSERT_TRUE(Test_Support::Press_Keys("e"));
    EXPECT_TRUE(Wait_Until([&] { return expanded() == std::vector<bool>{true, true}; }, 5s));
    
}

// ---- the window and the transfer end together -----------------------------------------------------

// A host that keeps sending, each message well within the time-out, while the user closes the
// window (or logs off): the viewer must not live on without its window.
TEST_F(Viewer_Test, Closing_The_Window_Or_Logging_Off_Ends_A_Running_Transfer)
{
    struct Case {
        const char* Name;
        std::function<void(HWND)> Close;
    };
    const Case cases[] = {
        {"close box", [](HWND window) { PostMessageA(window, WM_CLOSE, 0, 0); }},
        {"logging off",
         [](HWND window) {
             DWORD_PTR answer = 0;
             SendMessageTimeoutA(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_BLOCK, 2000, &answer);
             SendMessageTimeoutA(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_BLOCK, 2000, &answer);
         }},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.Name);
        Viewer_Process viewer({Pipe_Name});
        Host host(viewer);
        ASSERT_TRUE(host.Is_Connected());
        host.Text("Slow host", "title");
        host.Text("a.txt", "file name");
        host.Flag(1);
        HWND window = viewer.Main_Window();
        ASSERT_NE(window, nullptr);

        std::atomic<bool> host_refused{false};
        std::thread slow_host([&] {
            for (int message = 0; message < 60 && host.Send_Text("entry text") == Answer::Acknowledgement; ++message) {
                const Answer line = host.Send_Value(1);
                if (line != Answer::Acknowledgement || host.Send_Value(1) != Answer::Acknowledgement) break;
                Sleep(100); // a slow host, well within the viewer's time-out
            }
            host_refused = true;
        });
        const auto closed_at = std::chrono::steady_clock::now();
        test.Close(window);
        const bool ended = viewer.Wait_For_End(1s);
        const auto took = std::chrono::steady_clock::now() - closed_at;
        slow_host.join();
        EXPECT_TRUE(ended) << "the viewer lived on without its window";
        EXPECT_TRUE(host_refused);
        EXPECT_LT(took, 1s);
        EXPECT_EQ(viewer.Exit_Code(), 0u);
        Viewer_Log log = Log();
        EXPECT_TRUE(log.Contains("Transfer ended: the window was closed")) << Joined(log.Messages);
        EXPECT_FALSE(log.Contains("Complete")) << Joined(log.Messages);
        EXPECT_FALSE(Has_Fatal_Line(log)) << Joined(log.Messages);
    }
    // The pipe's name is free again at once.
    Viewer_Process next({Pipe_Name});
    Host next_host(next, 3s);
    ASSERT_TRUE(next_host.Is_Connected());
    next_host.Text("Next", "title");
    EXPECT_EQ(next_host.Send_Text(""), Answer::Closed);
}

// The host writes and never reads: its acknowledgements fill the pipe until the viewer's write
// has no room. That write times out like a read, here inside a group, so the transfer ends with
// what has arrived and the window stays.
TEST_F(Viewer_Test, A_Host_That_Never_Reads_Its_Acknowledgements_Times_Out_Inside_A_Group)
{
    Viewer_Process viewer({Pipe_Name});
    Host host(viewer);
    ASSERT_TRUE(host.Is_Connected());
    host.Text("Deaf host", "title");
    host.Text("a.txt", "file name");
    host.Flag(1);
    int entries = 0;
    for (; entries < 1000; ++entries) {
        if (!host.Write_Message("entry text") || !host.Write_Message(Value_Bytes(entries + 1)) ||
            !host.Write_Message(Value_Bytes(1)))
            break;
    }
    EXPECT_LT(entries, 1000) << "the viewer went on without writing its acknowledgements";
    EXPECT_TRUE(Wait_Until([&] { return Log().Contains("Complete"); }, 20s));
    EXPECT_FALSE(viewer.Has_Ended()) << "the window stays after a time-out inside a group";
    HWND tree_window = viewer.Tree_Window();
    ASSERT_NE(tree_window, nullptr);
    const std::size_t items = Remote_Tree(viewer, tree_window).Count();
    EXPECT_GT(items, 300u);
    EXPECT_EQ(viewer.Status_Text(), "Timed out - " + std::to_string(items - 1) + " entries in 1 file");

    Viewer_Log log = Log_After_Close(viewer);
    int timeout = log.Position("Timeout");
    EXPECT_GE(timeout, 0) << Joined(log.Messages);
    EXPECT_GT(log.Position("Complete"), timeout) << Joined(log.Messages);
    EXPECT_FALSE(Has_Fatal_Line(log)) << Joined(log.Messages);
}

// ---- fatal messages ------------------------------------------------------------------------------

// Each case starts a transfer, sends one bad message (or closes early) inside or after a group,
// and expects the viewer to answer as given, log the reason and close its window. (The grammar's
// own refusals are the transfer reader's tests; these need the real pipe or the real index.)
TEST_F(Viewer_Test, Bad_Messages_Close_The_Window_With_Their_Reason)
{
    struct Case {
        std::string Name;
        std::function<Answer(Host&)> Send; // after title, file name "a.txt" and flag 1
        Answer Expected_Answer;
        std::string Expected_Log;          // the start of a logged message
    };
    const Case cases[] = {
        {"column 0",
         [](Host& host) {
             host.Text("foo(bar)", "entry text");
             host.Value(12, "line");
             return host.Send_Value(0); // values are acknowledged before they are used
         },
         Answer::Acknowledgement, "!!! Exception: Exception = INDEX_ERROR"},
        {"entry text of 1025 bytes", [](Host& host) { return host.Send_Text(std::string(1025, 'x')); },
         Answer::Closed, "!!! Exception: Exception = WINDOWS.PIPE.MORE_DATA"},
        {"host closes after the last group",
         [](Host& host) {
             host.Entry_Message({"foo(bar)", 1, 1});
             host.Text("", "group end");
             host.Close();
             return Answer::Closed;
         },
         Answer::Closed, "!!! Exception: Exception = WINDOWS.PIPE.BROKEN"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.Name);
        Viewer_Process viewer({Pipe_Name});
        Host host(viewer);
        ASSERT_TRUE(host.Is_Connected());
        host.Text("Bad message", "title");
        host.Text("a.txt", "file name");
        host.Flag(1);
        const Answer answer = test.Send(host);
        EXPECT_EQ(answer, test.Expected_Answer) << Answer_Name(answer);
        Viewer_Log log = Log_After_Own_End(viewer);
        EXPECT_EQ(viewer.Exit_Code(), 2u);
        EXPECT_TRUE(log.Contains_Prefix(test.Expected_Log)) << Joined(log.Messages);
        EXPECT_FALSE(log.Contains("Complete")) << Joined(log.Messages);
    }
}

} // namespace
