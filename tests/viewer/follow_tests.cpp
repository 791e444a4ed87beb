// Places that follow the user's edits, in the real viewer with real files: lines put in above a
// place, a place's line deleted, its text moved with other text in its old line, a file that did
// not change, a file deleted and brought back, and the preview of a file edited while it shows.

#include "tests/viewer/viewer_clicks.hpp"
#include "test_tools/harness/viewer_harness.hpp"
#include "test_tools/harness/viewer_window.hpp"
#include "tests/test_support.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using namespace Viewer_Harness;
using namespace std::chrono_literals;
using Test_Support::Press_Keys;

[[maybe_unused]] const bool viewer_chosen = (Use_Viewer_Program(LUMEN_ROLL_EXE), true);

constexpr const char* Pipe_Name = "Lumen_Roll_V1.1";
constexpr char Marker = '\x95';

class Follow_Test : public ::testing::Test {
protected:
    Test_Support::Temporary_Folder folder_;
    Viewer_Settings settings_{folder_.File("viewer.log")};

    // The viewer takes the test's folder for its own, where the host's relative names lie.
    void SetUp() override { ASSERT_TRUE(SetCurrentDirectoryA(folder_.Path().c_str())); }
    void TearDown() override { SetCurrentDirectoryA("C:\\"); }

    void Write(const std::string& name, const std::string& text) { Test_Support::Write_File(folder_.File(name), text); }
};

std::vector<std::string> Entry_Texts(const Viewer_Process& viewer)
{
    std::vector<std::string> texts;
    Remote_Tree tree(viewer, viewer.Tree_Window());
    for (const Tree_Node& file : tree.Read())
        for (const Tree_Node& entry : file.Children) texts.push_back(file.Text + ": " + entry.Text);
    return texts;
}

// The pane's line that holds the selected character: the place's line.
std::wstring Selected_Line(HWND pane)
{
    DWORD_PTR range = 0;
    SendMessageTimeoutW(pane, EM_GETSEL, 0, 0, SMTO_NORMAL, 5000, &range);
    std::wstring text = Wide_Text(pane);
    std::erase(text, L'\n');
    const std::size_t at = std::min<std::size_t>(LOWORD(range), text.size());
    const std::size_t start = text.rfind(L'\r', at == 0 ? 0 : at - 1);
    const std::size_t first = at == 0 || start == std::wstring::npos ? 0 : start + 1;
    return text.substr(first, text.find(L'\r', at) - first);
}

TEST_F(Follow_Test, Places_Follow_Inserted_Deleted_And_Moved_Lines_And_Unchanged_Files_Open_As_Sent)
{
    Write("a.c", "int a;\nvoid f()\n{\n    call(1);\n}\n");
    Write("b.c", "one\ntwo\ntarget();\nthree\n");
    Write("c.c", "alpha\n\xC3\xA9 = move_me();\nbeta\ngamma\n"); // UTF-8
    Write("d.c", "first\n  stay();\n");
    const Viewer_Clicks::Editor_Stub editor(folder_, EDITOR_STUB_EXE);
    Viewer_Process viewer({Pipe_Name, editor.Program()});
    Host host(viewer);
    ASSERT_TRUE(host.Is_Connected());
    host.Text("Follow", "title");
    host.Group("a.c", 1, {{"    call(1);", 4, 5}});
    host.Group("b.c", 1, {{"target();", 3, 1}});
    host.Group("c.c", 1, {{"\xE9 = move_me();", 2, 1}}); // the same line in ANSI
    host.Group("d.c", 1, {{"  stay();", 2, 3}});
    EXPECT_EQ(host.Send_Text(""), Answer::Closed);
    ASSERT_TRUE(Wait_Until([&] { return viewer.Status_Text() == "4 entries in 4 files"; }, 10s)) << viewer.Status_Text();
    const std::vector<std::string> unchanged = Entry_Texts(viewer);

    Write("a.c", "// one\n// two\n// three\nint a;\nvoid f()\n{\n    call(1);\n}\n");
    Write("b.c", "one\ntwo\nthree\n");
    Write("c.c", "alpha\nother();\nbeta\n    \xC3\xA9 = move_me();\ngamma\n");

    // F4 opens each re-found place, the column in characters of the line it is on now; the unchanged
    // file's exactly as before.
    {
        Remote_Tree tree(viewer, viewer.Tree_Window());
        ASSERT_TRUE(Viewer_Clicks::Click_Item(viewer, tree, tree.Read().at(0).Item, 1));
    }
    const char* const opened[] = {"a.c/7/5\n", "b.c/3/1\n", "c.c/4/5\n", "d.c/2/3\n"};
    std::string expected;
    for (const char* place : opened) {
        ASSERT_TRUE(Press_Keys("F4"));
        expected += place;
        EXPECT_TRUE(Wait_Until([&] { return Test_Support::Read_File(editor.Output()) == expected; }, 10s))
            << Test_Support::Read_File(editor.Output());
    }
    EXPECT_EQ(viewer.Focus(), viewer.Tree_Window()) << "stepping leaves the keyboard in the tree";

    EXPECT_TRUE(Wait_Until([&] { return viewer.Status_Text() == "4 entries in 4 files; 2 places moved, 1 gone"; }, 10s))
        << viewer.Status_Text();
    EXPECT_EQ(Entry_Texts(viewer),
              (std::vector<std::string>{"a.c: " + std::string(1, Marker) + "call(1);  (now line 7)",
                                        "b.c: " + std::string(1, Marker) + "target();  (gone)",
                                        "c.c: " + std::string(1, Marker) + "\xE9 = move_me();  (now line 4)", unchanged[3]}));
    ASSERT_TRUE(Press_Keys("ctrl+shift+c"));
    const std::string copied =
        "a.c:7:5:    call(1);\r\nb.c:3:1:target();\r\nc.c:4:5:\xE9 = move_me();\r\nd.c:2:3:  stay();\r\n";
    EXPECT_TRUE(Wait_Until([&] { return Viewer_Clicks::Clipboard_Text() == copied; }, 5s)) << Viewer_Clicks::Clipboard_Text();

    // A file deleted: its places are gone until it comes back.
    ASSERT_TRUE(DeleteFileA(folder_.File("d.c").c_str()));
    EXPECT_TRUE(Wait_Until([&] { return viewer.Status_Text() == "4 entries in 4 files; 2 places moved, 2 gone"; }, 10s))
        << viewer.Status_Text();
    Write("d.c", "first\n  stay();\n");
    EXPECT_TRUE(Wait_Until([&] { return viewer.Status_Text() == "4 entries in 4 files; 2 places moved, 1 gone"; }, 10s))
        << viewer.Status_Text();

    // The preview of a file edited while it shows follows the place, with no key pressed.
    const HWND pane = Find_Rich_Edit(viewer.Main_Window());
    ASSERT_NE(pane, nullptr);
    {
        Remote_Tree tree(viewer, viewer.Tree_Window());
        SendMessageW(viewer.Tree_Window(), TVM_SELECTITEM, TVGN_CARET,
                     reinterpret_cast<LPARAM>(tree.Read().at(0).Children.at(0).Item));
    }
    EXPECT_TRUE(Wait_Until([&] { return Selected_Line(pane).ends_with(L"7      call(1);"); }, 10s));
    Write("a.c", "// zero\n// one\n// two\n// three\nint a;\nvoid f()\n{\n    call(1);\n}\n");
    EXPECT_TRUE(Wait_Until([&] { return Selected_Line(pane).ends_with(L"8      call(1);"); }, 10s));
    EXPECT_EQ(Entry_Texts(viewer).at(0), "a.c: " + std::string(1, Marker) + "call(1);  (now line 8)");
    EXPECT_TRUE(viewer.Close_Window());
}

} // namespace
