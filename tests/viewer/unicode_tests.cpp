// Texts and file names beyond the ANSI code page, end to end: batches carry them in UTF-8, and the
// real viewer shows, finds, copies, saves and opens every character, read back here in UTF-16; the
// saved file goes through lumen_send into a second viewer. The message-by-message protocol's 8-bit
// texts still show as they always did.

#include "tests/viewer/viewer_clicks.hpp"
#include "viewer/batch_protocol.hpp"
#include "test_tools/harness/viewer_harness.hpp"
#include "test_tools/harness/viewer_window.hpp"
#include "tests/test_support.hpp"

#include "windows/unicode.hpp"
#include "windows/unique_handle.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace Viewer_Harness;
using namespace std::chrono_literals;
using Test_Support::Press_Keys;
using Windows::Unicode::Utf8;
using Windows::Unicode::Wide;
namespace Batch = Batch_Protocol;

[[maybe_unused]] const bool viewer_chosen = (Use_Viewer_Program(LUMEN_ROLL_EXE), true);

const std::string Marker = "\u2022";

class Unicode_Test : public ::testing::Test {
protected:
    Test_Support::Temporary_Folder folder_;
    Viewer_Settings settings_{folder_.File("viewer.log")};

    // Written by name in UTF-16: the test's own file helpers take ANSI names.
    std::string Write_Wide_Named(const std::string& name, const std::string& bytes) const
    {
        const std::string path = folder_.Path() + "\\" + name;
        Windows::Unique_File file{CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                              FILE_ATTRIBUTE_NORMAL, nullptr)};
        DWORD written = 0;
        EXPECT_TRUE(file && WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
        return path;
    }
};

struct Sent_Entry {
    std::string Text;
    std::uint32_t Line;
    std::uint32_t Column; // in code points
    std::string Shown;
    std::uint32_t Byte_Column; // in the place line
};

struct Sent_File {
    std::string Name;
    std::vector<Sent_Entry> Entries;
};

std::string Batch_Of(const std::string& title, const std::vector<Sent_File>& files)
{
    std::string batch;
    Batch::Append_Title(batch, title);
    for (const Sent_File& file : files) {
        Batch::Append_File(batch, Batch::Expanded_Flag, file.Name);
        for (const Sent_Entry& entry : file.Entries) Batch::Append_Entry(batch, entry.Line, entry.Column, entry.Text);
        Batch::Append_Group_End(batch);
    }
    Batch::Append_End(batch);
    return batch;
}

// "file/shown text" for every node, exactly.
std::vector<std::string> Shown_Paths(const Viewer_Process& viewer)
{
    std::vector<std::string> paths;
    Remote_Tree tree(viewer, viewer.Tree_Window());
    for (const Tree_Node& file : tree.Read()) {
        paths.push_back(file.Utf8);
        for (const Tree_Node& entry : file.Children) paths.push_back(file.Utf8 + "/" + entry.Utf8);
    }
    return paths;
}

bool Status_Becomes(const Viewer_Process& viewer, const std::string& status)
{
    return Wait_Until([&] { return viewer.Status_Text_Utf8() == status; }, 10s);
}

// The filter box gets the text as a paste gives it, whatever the keyboard layout; it follows the
// change as it follows typing.
void Set_Filter(const Viewer_Process& viewer, const std::string& text)
{
    ASSERT_TRUE(Press_Keys("ctrl+f"));
    HWND box = nullptr;
    ASSERT_TRUE(Wait_Until([&] { return (box = viewer.Focus()) != nullptr && box != viewer.Tree_Window(); }, 5s));
    SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Wide(text).c_str()));
}

// The preview's selected characters, as the control counts them (one for each line break).
std::wstring Selected_In_Pane(HWND pane)
{
    DWORD_PTR range = 0;
    SendMessageTimeoutW(pane, EM_GETSEL, 0, 0, SMTO_NORMAL, 5000, &range);
    std::wstring text = Wide_Text(pane);
    std::erase(text, L'\n');
    const std::size_t start = LOWORD(range);
    return start <= text.size() ? text.substr(start, HIWORD(range) - start) : L"<beyond the text>";
}


TEST_F(Unicode_Test, Every_Character_Is_Shown_Found_Copied_Saved_And_Opened)
{
    const Viewer_Clicks::Editor_Stub editor(folder_, EDITOR_STUB_EXE);
    const std::string japanese = Write_Wide_Named("\u65E5\u672C.txt", "first\r\n\u65E5\u672C\u8A9E x\r\n");
    const std::string accented = Write_Wide_Named("\u00DCn\u00EFc\u00F8d\u00E9.txt", "e\u0301 acute\r\n");
    const std::vector<Sent_File> files = {
        {japanese,
         {{"\u0141ukasz Langa", 1, 1, Marker + "\u0141ukasz Langa", 1},
          {"\u65E5\u672C\u8A9E x", 2, 3, "\u65E5\u672C" + Marker + "\u8A9E x", 7},
          {"\u041F\u0440\u0438\u0432\u0435\u0442 \u043C\u0438\u0440", 3, 8,
           "\u041F\u0440\u0438\u0432\u0435\u0442 " + Marker + "\u043C\u0438\u0440", 14}}},
        {accented,
         {{"e\u0301 acute", 1, 2, Marker + "e\u0301 acute", 2}, // on the accent: before its letter
          {"\U0001F600 smile", 2, 2, "\U0001F600" + Marker + " smile", 5},
          {"stra\u00DFe", 3, 1, Marker + "stra\u00DFe", 1}}},
    };
    const std::string title = "\u00DCn\u00EFc\u00F8d\u00E9: \u0141ukasz";
    const std::string pipe_name = std::string(Batch::Pipe_Name_Prefix) + "unicode-" + std::to_string(GetCurrentProcessId());
    Viewer_Process viewer({pipe_name, editor.Program()});
    Host host(viewer, 10s, pipe_name);
    ASSERT_TRUE(host.Is_Connected());
    EXPECT_EQ(host.Send_Bytes(Batch_Of(title, files)), Answer::Closed);
    ASSERT_TRUE(Status_Becomes(viewer, "6 entries in 2 files")) << viewer.Status_Text_Utf8();

    // The files sorted as the system sorts words (Latin before CJK), each entry as sent.
    std::vector<std::string> expected_paths, place_lines;
    for (const Sent_File* file : {&files[1], &files[0]}) {
        expected_paths.push_back(file->Name);
        for (const Sent_Entry& entry : file->Entries) {
            expected_paths.push_back(file->Name + "/" + entry.Shown);
            place_lines.push_back(file->Name + ":" + std::to_string(entry.Line) + ":" +
                                  std::to_string(entry.Byte_Column) + ":" + entry.Text + "\r\n");
        }
    }
    EXPECT_EQ(Shown_Paths(viewer), expected_paths);
    EXPECT_EQ(viewer.Caption_Utf8(), title);

    // Letter case in every script, as the system compares; in file names too.
    for (const auto& [filter, status] : {std::pair{"\u0142ukasz", "1 of 6 entries in 1 of 2 files"},
                                         std::pair{"STRASSE", "1 of 6 entries in 1 of 2 files"},
                                         std::pair{"\u00FCN\u00CF", "3 of 6 entries in 1 of 2 files"}}) {
        Set_Filter(viewer, filter);
        EXPECT_TRUE(Status_Becomes(viewer, status)) << filter << ": " << viewer.Status_Text_Utf8();
    }
    Set_Filter(viewer, "");
    ASSERT_TRUE(Status_Becomes(viewer, "6 entries in 2 files")) << viewer.Status_Text_Utf8();

    // Copy all: the exact text for Unicode readers, "?" for what the code page lacks in the 8-bit form.
    std::string all_lines;
    for (const std::string& line : place_lines) all_lines += line;
    ASSERT_TRUE(Press_Keys("ctrl+shift+c"));
    EXPECT_TRUE(Wait_Until([&] { return Viewer_Clicks::Clipboard_Wide_Text() == Wide(all_lines); }, 5s))
        << Utf8(Viewer_Clicks::Clipboard_Wide_Text());
    EXPECT_EQ(Viewer_Clicks::Clipboard_Text(), Windows::Unicode::Ansi_From_Utf8(all_lines));

    // Save writes UTF-8 with a byte-order mark.
    const std::string saved = folder_.File("saved.txt");
    ASSERT_TRUE(Press_Keys("ctrl+s"));
    ASSERT_TRUE(Wait_Until([&] { return Viewer_Clicks::Dialog_Of(viewer) != nullptr; }, 10s)) << "no Save dialog";
    ASSERT_TRUE(Press_Keys("ctrl+a BackSpace"));
    ASSERT_TRUE(Test_Support::Type_Text(saved));
    ASSERT_TRUE(Press_Keys("Return"));
    ASSERT_TRUE(Wait_Until([&] { return Viewer_Clicks::Dialog_Of(viewer) == nullptr; }, 10s));
    EXPECT_TRUE(Wait_Until([&] { return Test_Support::Read_File(saved) == "\xEF\xBB\xBF" + all_lines; }, 5s))
        << Test_Support::Read_File(saved);

    // A double-click gives the editor the name in UTF-16 and the column in characters; the preview
    // shows the line.
    {
        Remote_Tree tree(viewer, viewer.Tree_Window());
        ASSERT_TRUE(Viewer_Clicks::Double_Click_Item(viewer, tree, tree.Read().at(1).Children.at(1).Item));
    }
    EXPECT_TRUE(Wait_Until([&] { return Test_Support::Read_File(editor.Output()) == japanese + "/2/3\n"; }, 10s))
        << Test_Support::Read_File(editor.Output());
    const HWND pane = Find_Rich_Edit(viewer.Main_Window());
    EXPECT_TRUE(Wait_Until([&] { return Wide_Text(pane).find(L"\u65E5\u672C\u8A9E x") != std::wstring::npos; }, 10s))
        << Utf8(Wide_Text(pane));
    EXPECT_EQ(Selected_In_Pane(pane), L"\u8A9E");
    {
        // The column on an accent: the preview selects the letter with it, where the marker stands.
        Remote_Tree tree(viewer, viewer.Tree_Window());
        SendMessageW(viewer.Tree_Window(), TVM_SELECTITEM, TVGN_CARET,
                     reinterpret_cast<LPARAM>(tree.Read().at(0).Children.at(0).Item));
    }
    EXPECT_TRUE(Wait_Until([&] { return Selected_In_Pane(pane) == L"e\u0301"; }, 10s)) << Utf8(Selected_In_Pane(pane));

    // lumen_send reads the saved file back into a viewer of its own: the same tree.
    ASSERT_EQ(Test_Support::Run_Program(Windows_Path(LUMEN_SEND_EXE), "--viewer \"" + Windows_Path(LUMEN_ROLL_EXE) +
                                                                          "\" --title \"Read back\" \"" + saved + "\""),
              0u);
    HWND second_window = nullptr;
    ASSERT_TRUE(Wait_Until([&] { return (second_window = FindWindowW(nullptr, L"Read back")) != nullptr; }, 10s));
    DWORD second_id = 0;
    GetWindowThreadProcessId(second_window, &second_id);
    const Viewer_Process second(Viewer_Process::Started_Elsewhere{}, second_id);
    ASSERT_TRUE(Status_Becomes(second, "6 entries in 2 files")) << second.Status_Text_Utf8();
    EXPECT_EQ(Shown_Paths(second), expected_paths);
}

// The message-by-message protocol's texts are 8-bit in the ANSI code page (1252 here): they show
// as those characters, the column still on the same one.
TEST_F(Unicode_Test, Ansi_Texts_Of_The_Message_By_Message_Protocol_Show_As_Before)
{
    ASSERT_EQ(GetACP(), 1252u) << "the texts are written for code page 1252";
    Viewer_Process viewer({"Lumen_Roll_V1.1"});
    Host host(viewer);
    ASSERT_TRUE(host.Is_Connected());
    host.Text("Fu\xDF" "ball \x80", "title");
    host.Group("caf\xE9.txt", 1, {{"Fu\xDF" "baller \x80 5", 10, 12}, {"\x80 x", 2, 1}});
    EXPECT_EQ(host.Send_Text(""), Answer::Closed);
    ASSERT_TRUE(Status_Becomes(viewer, "2 entries in 1 file")) << viewer.Status_Text_Utf8();
    EXPECT_EQ(viewer.Caption_Utf8(), "Fu\u00DF" "ball \u20AC");
    EXPECT_EQ(Shown_Paths(viewer),
              (std::vector<std::string>{"caf\u00E9.txt", "caf\u00E9.txt/Fu\u00DF" "baller \u20AC" + Marker + " 5",
                                        "caf\u00E9.txt/" + Marker + "\u20AC x"}));
}

} // namespace
