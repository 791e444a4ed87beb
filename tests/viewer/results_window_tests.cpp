// Working the results in the real viewer with real keys: the filter box, the counts, stepping
// round the end, dismissing and undoing, copying all, and a saved file read back by lumen_send
// into a second viewer. Each viewer start costs time, so each test is one scenario.

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
using Test_Support::Type_Text;

[[maybe_unused]] const bool viewer_chosen = (Use_Viewer_Program(LUMEN_ROLL_EXE), true);

constexpr const char* Pipe_Name = "Lumen_Roll_V1.1";

class Results_Window_Test : public ::testing::Test {
protected:
    Test_Support::Temporary_Folder folder_;
    Viewer_Settings settings_{folder_.File("viewer.log")};
};

// The tree in view: "file +" (expanded) or "file -", then "file/text" (without the marker).
std::vector<std::string> Shown_Paths(const Viewer_Process& viewer)
{
    std::vector<std::string> paths;
    Remote_Tree tree(viewer, viewer.Tree_Window());
    for (const Tree_Node& file : tree.Read()) {
        paths.push_back(file.Text + (file.Expanded ? " +" : " -"));
        for (const Tree_Node& entry : file.Children) {
            std::string text = entry.Text;
            std::erase(text, '\x95');
            paths.push_back(file.Text + "/" + text);
        }
    }
    return paths;
}

std::string Selected_Text(const Viewer_Process& viewer)
{
    Remote_Tree tree(viewer, viewer.Tree_Window());
    const HTREEITEM selected = tree.Item(TVGN_CARET);
    for (const Tree_Node& file : tree.Read()) {
        if (file.Item == selected) return file.Text;
        for (const Tree_Node& entry : file.Children)
            if (entry.Item == selected) return file.Text + "/" + entry.Text.substr(entry.Text.find('\x95') + 1);
    }
    return "<none>";
}

std::size_t Line_Count(const std::string& text)
{
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

bool Status_Becomes(const Viewer_Process& viewer, const std::string& status)
{
    return Wait_Until([&] { return viewer.Status_Text() == status; }, 10s);
}

void Send_Sample(Host& host)
{
    host.Text("Results", "title");
    host.Group("src/b.adb", 1, {{"Put (X);", 1, 1}, {"Get (Y);", 2, 1}, {"Put_Line (Z);", 3, 1}});
    host.Group("src/a.adb", 0, {{"put (A);", 5, 1}, {"null;", 6, 1}});
    host.Group("docs/put.txt", 1, {{"nothing here", 1, 1}});
    EXPECT_EQ(host.Send_Text(""), Answer::Closed);
}

TEST_F(Results_Window_Test, Filter_Steps_Round_The_End_Dismisses_Undoes_And_Copies_What_Is_Shown)
{
    const Viewer_Clicks::Editor_Stub editor(folder_, EDITOR_STUB_EXE);
    const std::string& editor_output = editor.Output();
    Viewer_Process viewer({Pipe_Name, editor.Program()});
    Host host(viewer);
    ASSERT_TRUE(host.Is_Connected());
    Send_Sample(host);
    ASSERT_TRUE(Status_Becomes(viewer, "6 entries in 3 files")) << viewer.Status_Text();
    HWND full_tree = viewer.Tree_Window();
    const std::vector<std::string> everything = Shown_Paths(viewer);
    {
        Remote_Tree tree(viewer, full_tree);
        ASSERT_TRUE(Viewer_Clicks::Item_Point(viewer, tree, tree.Read().at(0).Item)); // the window on top
    }

    // A filter that hides the selected entry, emptied at once by Esc: the selection is back on it.
    {
        Remote_Tree tree(viewer, full_tree);
        ASSERT_TRUE(Viewer_Clicks::Click_Item(viewer, tree, tree.Read().at(2).Children.at(1).Item, 1));
    }
    ASSERT_TRUE(Wait_Until([&] { return Selected_Text(viewer) == "src/b.adb/Get (Y);"; }, 5s));
    ASSERT_TRUE(Press_Keys("ctrl+f"));
    ASSERT_TRUE(Type_Text("PUT"));
    ASSERT_TRUE(Status_Becomes(viewer, "4 of 6 entries in 3 of 3 files")) << viewer.Status_Text();
    ASSERT_TRUE(Press_Keys("Escape"));
    ASSERT_TRUE(Status_Becomes(viewer, "6 entries in 3 files")) << viewer.Status_Text();
    EXPECT_EQ(Selected_Text(viewer), "src/b.adb/Get (Y);");

    // Every word in the text or the file name, the "-" word in neither, letter case aside.
    ASSERT_TRUE(Press_Keys("ctrl+f"));
    ASSERT_TRUE(Type_Text("PUT -line"));
    ASSERT_TRUE(Status_Becomes(viewer, "3 of 6 entries in 3 of 3 files")) << viewer.Status_Text();
    EXPECT_EQ(Shown_Paths(viewer),
              (std::vector<std::string>{"docs/put.txt +", "docs/put.txt/nothing here", "src/a.adb +",
                                        "src/a.adb/put (A);", "src/b.adb +", "src/b.adb/Put (X);"}));
    ASSERT_TRUE(Press_Keys("ctrl+shift+c"));
    const std::string shown_lines =
        "docs/put.txt:1:1:nothing here\r\nsrc/a.adb:5:1:put (A);\r\nsrc/b.adb:1:1:Put (X);\r\n";
    EXPECT_TRUE(Wait_Until([&] { return Viewer_Clicks::Clipboard_Text() == shown_lines; }, 5s))
        << Viewer_Clicks::Clipboard_Text();
    EXPECT_EQ(Viewer_Clicks::Clipboard_Wide_Text(), std::wstring(shown_lines.begin(), shown_lines.end()));

    // Down goes to the tree; F8 opens entry after entry, round the end, Shift+F8 goes back.
    ASSERT_TRUE(Press_Keys("Down"));
    ASSERT_TRUE(Wait_Until([&] { return viewer.Focus() == viewer.Tree_Window(); }, 5s));
    EXPECT_NE(viewer.Tree_Window(), full_tree);
    ASSERT_TRUE(Press_Keys("F8 F8 F4 F8 shift+F8"));
    const std::string opened = "docs/put.txt/1/1\nsrc/a.adb/5/1\nsrc/b.adb/1/1\ndocs/put.txt/1/1\nsrc/b.adb/1/1\n";
    EXPECT_TRUE(Wait_Until([&] { return Test_Support::Read_File(editor_output) == opened; }, 10s))
        << Test_Support::Read_File(editor_output);
    EXPECT_EQ(Selected_Text(viewer), "src/b.adb/Put (X);");
    // The narrowed tree takes the full one's place above the preview, which follows its selection.
    const HWND preview = Find_Rich_Edit(viewer.Main_Window());
    RECT tree_place{};
    RECT preview_place{};
    GetWindowRect(viewer.Tree_Window(), &tree_place);
    GetWindowRect(preview, &preview_place);
    EXPECT_LE(tree_place.bottom, preview_place.top);
    EXPECT_TRUE(Wait_Until([&] { return Wide_Text(preview) == L"File not found: src/b.adb"; }, 5s));

    // Delete takes the last entry of src/b.adb and its node; Ctrl+Z brings them back.
    ASSERT_TRUE(Press_Keys("Delete"));
    ASSERT_TRUE(Status_Becomes(viewer, "2 of 6 entries in 2 of 3 files")) << viewer.Status_Text();
    EXPECT_EQ(Shown_Paths(viewer).size(), 4u);
    EXPECT_EQ(Selected_Text(viewer), "src/a.adb");
    ASSERT_TRUE(Press_Keys("ctrl+z"));
    ASSERT_TRUE(Status_Becomes(viewer, "3 of 6 entries in 3 of 3 files")) << viewer.Status_Text();
    EXPECT_TRUE(Wait_Until([&] { return Selected_Text(viewer) == "src/b.adb/Put (X);"; }, 5s));

    // Dismissed again, then the filter emptied by Esc: the dismissed entry stays away.
    ASSERT_TRUE(Press_Keys("Delete ctrl+f Escape"));
    ASSERT_TRUE(Status_Becomes(viewer, "5 of 6 entries in 3 of 3 files")) << viewer.Status_Text();
    ASSERT_TRUE(Press_Keys("Escape"));
    ASSERT_TRUE(Wait_Until([&] { return viewer.Focus() == viewer.Tree_Window(); }, 5s));
    ASSERT_TRUE(Press_Keys("ctrl+shift+c"));
    EXPECT_TRUE(Wait_Until([&] { return Line_Count(Viewer_Clicks::Clipboard_Text()) == 5; }, 5s))
        << Viewer_Clicks::Clipboard_Text();
    EXPECT_EQ(Viewer_Clicks::Clipboard_Text().find("Put (X)"), std::string::npos);

    // Undone, nothing narrows the view: the full tree is back as it was, file states and all.
    ASSERT_TRUE(Press_Keys("ctrl+z"));
    ASSERT_TRUE(Status_Becomes(viewer, "6 entries in 3 files")) << viewer.Status_Text();
    EXPECT_EQ(viewer.Tree_Window(), full_tree);
    EXPECT_EQ(Shown_Paths(viewer), everything);

    // The item menu dismisses a whole file and undoes it.
    {
        Remote_Tree tree(viewer, full_tree);
        ASSERT_TRUE(Viewer_Clicks::Click_Item(viewer, tree, tree.Read().at(1).Item, 3)); // src/a.adb
    }
    ASSERT_TRUE(Wait_Until([&] { return Viewer_Clicks::Menu_Of(viewer) != nullptr; }, 5s)) << "no item menu";
    ASSERT_TRUE(Press_Keys("d"));
    ASSERT_TRUE(Status_Becomes(viewer, "4 of 6 entries in 2 of 3 files")) << viewer.Status_Text();
    ASSERT_TRUE(Press_Keys("shift+F10"));
    ASSERT_TRUE(Wait_Until([&] { return Viewer_Clicks::Menu_Of(viewer) != nullptr; }, 5s)) << "no item menu";
    ASSERT_TRUE(Press_Keys("u"));
    ASSERT_TRUE(Status_Becomes(viewer, "6 entries in 3 files")) << viewer.Status_Text();
    ASSERT_TRUE(Press_Keys("ctrl+shift+c"));
    EXPECT_TRUE(Wait_Until([&] { return Line_Count(Viewer_Clicks::Clipboard_Text()) == 6; }, 5s))
        << Viewer_Clicks::Clipboard_Text();
}

bool Send_File(const std::string& path)
{
    return Test_Support::Run_Program(Windows_Path(LUMEN_SEND_EXE), "\"" + path + "\"") == 0u;
}

// Ctrl+S saves the lines of Copy all, and Ctrl+C copies the same line for an entry: the texts come
// as they were sent, blanks and tabs included, so that each column still names the same character
// (a tab shows as blanks in the node). The saved lines name the files by full paths against the
// viewer's folder, so that lumen_send reads them back from another folder into a second viewer,
// which shows the same tree under those names.
TEST_F(Results_Window_Test, A_Saved_File_Read_Back_By_Lumen_Send_Elsewhere_Shows_The_Same_Tree)
{
    const std::string saved = folder_.File("saved.txt");
    std::vector<std::string> first_paths;
    {
        const Test_Support::Scoped_Folder viewer_folder(folder_.Path()); // the viewer takes it for its own
        Viewer_Process viewer({Pipe_Name});
        Host host(viewer);
        ASSERT_TRUE(host.Is_Connected());
        host.Text("Saved: one", "title");
        host.Group("src/x.c", 1, {{"    int x = 1;", 1, 9}, {"return x;\t// a:b", 9, 11}});
        host.Group("inc/y.h", 1, {{"#define Y 2   ", 1, 9}});
        EXPECT_EQ(host.Send_Text(""), Answer::Closed);
        ASSERT_TRUE(Status_Becomes(viewer, "3 entries in 2 files")) << viewer.Status_Text();
        first_paths = Shown_Paths(viewer);
        EXPECT_EQ(first_paths.back(), "src/x.c/return x;       // a:b");
        Remote_Tree tree(viewer, viewer.Tree_Window());
        ASSERT_TRUE(Viewer_Clicks::Click_Item(viewer, tree, tree.Read().at(1).Children.at(1).Item, 1));
        ASSERT_TRUE(Press_Keys("ctrl+c"));
        const std::string copied = "src/x.c:9:11:return x;\t// a:b";
        EXPECT_TRUE(Wait_Until([&] { return Viewer_Clicks::Clipboard_Text() == copied; }, 5s))
            << Viewer_Clicks::Clipboard_Text();
        ASSERT_TRUE(Press_Keys("ctrl+s"));
        ASSERT_TRUE(Wait_Until([&] { return Viewer_Clicks::Dialog_Of(viewer) != nullptr; }, 10s)) << "no Save dialog";
        ASSERT_TRUE(Press_Keys("ctrl+a BackSpace"));
        ASSERT_TRUE(Type_Text(saved));
        ASSERT_TRUE(Press_Keys("Return"));
        ASSERT_TRUE(Wait_Until([&] { return Viewer_Clicks::Dialog_Of(viewer) == nullptr; }, 10s));
        const std::string y = folder_.File("inc\\y.h");
        const std::string x = folder_.File("src\\x.c");
        EXPECT_EQ(Test_Support::Read_File(saved), "\xEF\xBB\xBF" + y + ":1:9:#define Y 2   \r\n" + x + ":1:9:    int x = 1;\r\n" + x +
                                                      ":9:11:return x;\t// a:b\r\n");
    }
    Viewer_Process second({Pipe_Name});
    ASSERT_TRUE(second.Main_Window());
    EXPECT_TRUE(Wait_Until([&] { return Send_File(saved); }, 10s)) << "lumen_send found no viewer";
    ASSERT_TRUE(Status_Becomes(second, "3 entries in 2 files")) << second.Status_Text();
    std::vector<std::string> full_paths;
    for (std::string path : first_paths) full_paths.push_back(folder_.File(path.replace(3, 1, "\\")));
    EXPECT_EQ(Shown_Paths(second), full_paths);
}

} // namespace
