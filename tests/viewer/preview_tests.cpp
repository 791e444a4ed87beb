// The preview in the running viewer: files written here in three encodings, entries selected in
// the viewer's tree from this process, and the preview's text read back through the wide-character
// interface, exactly as the pane holds it; the registry values it keeps; a burst of selections.

#include "test_tools/harness/viewer_harness.hpp"
#include "test_tools/harness/viewer_window.hpp"
#include "tests/test_support.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

namespace {

using namespace Viewer_Harness;
using namespace std::chrono_literals;

[[maybe_unused]] const bool viewer_chosen = (Use_Viewer_Program(LUMEN_ROLL_EXE), true);

constexpr const char* Pipe_Name = "Lumen_Roll_V1.1";
constexpr const char* Metrics_Key = "Software\\Quillmark\\Lumen_Roll\\Metrics";

std::string Utf8(const std::wstring& text)
{
    std::string bytes(text.size() * 4, '\0');
    bytes.resize(static_cast<std::size_t>(WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                                              bytes.data(), static_cast<int>(bytes.size()), nullptr,
                                                              nullptr)));
    return bytes;
}

std::string Utf16_With_Mark(const std::wstring& text)
{
    std::string bytes = "\xFF\xFE";
    for (const wchar_t unit : text) bytes += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    return bytes;
}

std::optional<DWORD> Stored_Dword(const char* name)
{
    DWORD value = 0;
    DWORD size = sizeof value;
    if (RegGetValueA(HKEY_CURRENT_USER, Metrics_Key, name, RRF_RT_REG_DWORD, nullptr, &value, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

// The pane's text as the control counts its characters: one for each line break.
std::wstring Pane_Text(HWND pane)
{
    std::wstring text = Wide_Text(pane);
    std::erase(text, L'\n');
    return text;
}

std::wstring Selected_Text(HWND pane)
{
    DWORD_PTR range = 0;
    SendMessageTimeoutW(pane, EM_GETSEL, 0, 0, SMTO_NORMAL, 5000, &range);
    const std::wstring text = Pane_Text(pane);
    const std::size_t start = LOWORD(range);
    return start <= text.size() ? text.substr(start, HIWORD(range) - start) : L"<selection beyond the text>";
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

class Preview_Test : public ::testing::Test {
protected:
    Test_Support::Temporary_Folder folder_;
    std::string log_path_ = folder_.File("viewer.log");
    Viewer_Settings settings_{log_path_};

    // The viewer is started in the folder of the files, which the host names relatively.
    void SetUp() override { ASSERT_TRUE(SetCurrentDirectoryA(folder_.Path().c_str())); }
    void TearDown() override { SetCurrentDirectoryA("C:\\"); }

    void Write(const std::string& name, const std::string& bytes) { Test_Support::Write_File(folder_.File(name), bytes); }
};

struct Check {
    const char* Name;
    std::size_t File;  // of the tree's file nodes, in their sorted order
    std::size_t Entry; // of that file's entries
    std::wstring Line; // the entry's line as the preview shows it, or the preview's whole text
    std::wstring Selected;
};

TEST_F(Preview_Test, Each_Encoding_Shows_As_Written_And_A_Burst_Of_Selections_Is_Read_Once)
{
    Write("utf8.txt", Utf8(L"first line\r\n  \u0141ukasz: \u041f\u0440\u0438\u0432\u0435\u0442, \U0001F600 end\r\nthird\r\n"));
    Write("utf16.txt", Utf16_With_Mark(L"alpha\r\n\u03b2eta \u2603 gamma\r\nlast\r\n"));
    Write("ansi.txt", "caf\xE9\r\nna\xEFve \x80 price\r\n");
    Write("binary.dat", std::string("MZ\0\0\x90\0", 6));
    std::string many;
    for (int line = 1; line <= 300; ++line) many += "entry " + std::to_string(line) + "\n";
    Write("many.txt", many);

    Viewer_Process viewer({Pipe_Name});
    Host host(viewer);
    ASSERT_TRUE(host.Is_Connected());
    host.Text("Preview", "title");
    host.Group("utf8.txt", 1, {{"  ?ukasz: ??????, ? end", 2, 11}, {"first line", 7, 1}});
    host.Group("utf16.txt", 1, {{"?eta ? gamma", 2, 6}});
    host.Group("ansi.txt", 1, {{"na\xEFve \x80 price", 2, 7}});
    host.Group("binary.dat", 1, {{"MZ", 1, 1}});
    host.Group("missing.txt", 1, {{"gone", 1, 1}});
    std::vector<Host::Entry> entries;
    for (int line = 1; line <= 300; ++line) entries.push_back({"entry " + std::to_string(line), line, 1});
    host.Group("many.txt", 1, entries);
    EXPECT_EQ(host.Send_Text(""), Answer::Closed);

    const HWND tree_window = viewer.Tree_Window();
    ASSERT_NE(tree_window, nullptr);
    const HWND pane = Find_Rich_Edit(viewer.Main_Window());
    ASSERT_NE(pane, nullptr) << "no preview";
    Remote_Tree tree(viewer, tree_window);
    ASSERT_TRUE(tree.Wait_For_Count(6 + 6 + 300));
    const std::vector<Tree_Node> files = tree.Read(); // ansi, binary, many, missing, utf16, utf8
    EXPECT_EQ(Stored_Dword("Preview Height"), 180u) << "created with its default on the first run";
    EXPECT_EQ(Stored_Dword("Preview Shown"), 1u);

    const Check checks[] = {
        {"UTF-8", 5, 0, L"2    \u0141ukasz: \u041f\u0440\u0438\u0432\u0435\u0442, \U0001F600 end", L"\u041f"},
        {"UTF-16", 4, 0, L"2  \u03b2eta \u2603 gamma", L"\u2603"},
        {"ANSI", 0, 0, L"2  na\u00efve \u20ac price", L"\u20ac"},
        {"past the end", 5, 1, L"Line 7 is past the end of utf8.txt (3 lines)", L""},
        {"binary", 1, 0, L"Binary file: binary.dat", L""},
        {"missing", 3, 0, L"File not found: missing.txt", L""},
    };
    for (const Check& check : checks) {
        SCOPED_TRACE(check.Name);
        SendMessageW(tree_window, TVM_SELECTITEM, TVGN_CARET,
                     reinterpret_cast<LPARAM>(files.at(check.File).Children.at(check.Entry).Item));
        EXPECT_TRUE(Wait_Until([&] { return Pane_Text(pane).find(check.Line) != std::wstring::npos; }, 10s))
            << Narrow(Pane_Text(pane));
        EXPECT_EQ(Selected_Text(pane), check.Selected);
    }
    EXPECT_EQ(Pane_Text(pane), L"File not found: missing.txt") << "a message is the pane's only line";

    const std::vector<Tree_Node>& burst = files.at(2).Children;
    for (const Tree_Node& entry : burst) SendMessageW(tree_window, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(entry.Item));
    EXPECT_TRUE(Wait_Until([&] { return Pane_Text(pane).find(L"300  entry 300") != std::wstring::npos; }, 10s))
        << Narrow(Pane_Text(pane));

    // Besides the checks and the burst, the tree's own selection of its first node while it filled.
    const auto selections = reinterpret_cast<std::uintptr_t>(GetPropW(pane, L"Lumen_Roll.Preview_Selections"));
    const auto reads = reinterpret_cast<std::uintptr_t>(GetPropW(pane, L"Lumen_Roll.Preview_Reads"));
    EXPECT_GE(selections, 6u + 300u);
    EXPECT_LE(reads, selections - 300 + 2) << reads << " reads of " << selections
                                           << " selections: a burst is read when it pauses, not selection by selection";
    EXPECT_TRUE(viewer.Close_Window());
    EXPECT_EQ(Stored_Dword("Preview Height"), 180u);
    EXPECT_EQ(Stored_Dword("Preview Shown"), 1u);
}

// The viewer's open popup menu, or 0.
HWND Open_Menu(const Viewer_Process& viewer)
{
    for (HWND menu = FindWindowExA(nullptr, nullptr, "#32768", nullptr); menu;
         menu = FindWindowExA(nullptr, menu, "#32768", nullptr)) {
        DWORD process = 0;
        GetWindowThreadProcessId(menu, &process);
        if (process == viewer.Id() && IsWindowVisible(menu)) return menu;
    }
    return nullptr;
}

int Height_Of(HWND window)
{
    RECT placed{};
    GetWindowRect(window, &placed);
    return placed.bottom - placed.top;
}

// A hidden preview reads nothing; Ctrl+P shows it with the selection, a drag of its top edge makes
// it taller, the menu item hides it, and the close keeps both.
TEST_F(Preview_Test, The_Stored_Height_And_State_Come_Back_And_The_Key_Menu_And_Drag_Change_Them)
{
    Write("a.txt", "one\ntwo\nthree\n");
    const auto put = [](const char* name, DWORD value) {
        RegSetKeyValueA(HKEY_CURRENT_USER, Metrics_Key, name, REG_DWORD, &value, sizeof value);
    };
    put("Preview Height", 100);
    put("Preview Shown", 0);
    Viewer_Process viewer({Pipe_Name});
    Host host(viewer);
    ASSERT_TRUE(host.Is_Connected());
    host.Text("Toggled", "title");
    host.Group("a.txt", 1, {{"two", 2, 2}});
    EXPECT_EQ(host.Send_Text(""), Answer::Closed);
    const HWND tree_window = viewer.Tree_Window();
    ASSERT_NE(tree_window, nullptr);
    const HWND pane = Find_Rich_Edit(viewer.Main_Window());
    ASSERT_NE(pane, nullptr);
    Remote_Tree tree(viewer, tree_window);
    ASSERT_TRUE(tree.Wait_For_Count(2));
    EXPECT_FALSE(IsWindowVisible(pane)) << "stored as hidden";
    SendMessageW(tree_window, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(tree.Read()[0].Children.at(0).Item));
    EXPECT_EQ(Pane_Text(pane), L"") << "a hidden preview reads nothing";

    SetForegroundWindow(viewer.Main_Window());
    ASSERT_TRUE(Wait_Until([&] { return viewer.Focus() == tree_window; }, 5s));
    ASSERT_TRUE(Test_Support::Press_Keys("ctrl+p"));
    EXPECT_TRUE(Wait_Until([&] { return IsWindowVisible(pane) && Pane_Text(pane).find(L"2  two") != std::wstring::npos; }, 5s))
        << Narrow(Pane_Text(pane));
    EXPECT_EQ(Height_Of(pane), 100);
    EXPECT_EQ(Selected_Text(pane), L"w");

    RECT placed{};
    GetWindowRect(pane, &placed);
    ASSERT_TRUE(Test_Support::Drag(placed.left + 80, placed.top + 1, placed.left + 80, placed.top - 29));
    EXPECT_TRUE(Wait_Until([&] { return Height_Of(pane) == 130; }, 5s)) << Height_Of(pane);

    ASSERT_TRUE(Wait_Until([&] { return viewer.Focus() == tree_window; }, 5s));
    ASSERT_TRUE(Test_Support::Press_Keys("shift+F10"));
    ASSERT_TRUE(Wait_Until([&] { return Open_Menu(viewer) != nullptr; }, 5s)) << "no item menu";
    ASSERT_TRUE(Test_Support::Press_Keys("p"));
    EXPECT_TRUE(Wait_Until([&] { return !IsWindowVisible(pane); }, 5s)) << "the menu item Preview hides it";

    EXPECT_TRUE(viewer.Close_Window());
    EXPECT_EQ(Stored_Dword("Preview Height"), 130u);
    EXPECT_EQ(Stored_Dword("Preview Shown"), 0u);
}

} // namespace
