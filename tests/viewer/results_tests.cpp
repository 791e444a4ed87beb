// The results model: which entries a filter keeps, what dismissing hides and undoing brings back,
// the copied lines, and the files' order, which must be the tree's own.

#include "viewer/control.hpp"
#include "viewer/results.hpp"
#include "tests/test_support.hpp"

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

namespace {

using Control::Results;

constexpr char Marker = Control::Marker;

// The model with the index its entries' data refer to; entries as (file, line, column, text).
struct Model {
    Control::Index_List::Item Index;
    Results Shown;

    void File(const std::string& name) { Shown.Add_File(name); }
    void Entry(const std::string& file, std::uint32_t line, std::uint32_t column, const std::string& text)
    {
        Index.Append({file, line, column});
        Shown.Add_Entry(Control::Shown_Text(text, column), reinterpret_cast<std::uintptr_t>(Index.Last()));
    }
    std::vector<std::string> Lines() const
    {
        std::vector<std::string> lines;
        const std::string all = Shown.Place_Lines();
        for (std::size_t start = 0; start < all.size();) {
            const std::size_t end = all.find("\r\n", start);
            lines.push_back(all.substr(start, end - start));
            start = end + 2;
        }
        return lines;
    }
};

Model Sample()
{
    Model model;
    model.File("src/Beta.adb");
    model.Entry("src/Beta.adb", 3, 4, "Put_Line (Value);");
    model.Entry("src/Beta.adb", 9, 1, "return Value;");
    model.File("src/alpha.adb");
    model.Entry("src/alpha.adb", 1, 4, "with Ada.Text_IO;");
    model.Entry("src/alpha.adb", 7, 3, "  Put (Value);");
    model.File("docs/empty.txt"); // a group without entries
    return model;
}

TEST(Results, A_Filter_Keeps_Entries_With_Every_Word_In_Text_Or_File_Name_And_Drops_Exclusions)
{
    struct Case {
        const char* Filter;
        std::vector<std::string> Lines;
    };
    const std::vector<Case> cases{
        {"",
         {"src/alpha.adb:1:4:with Ada.Text_IO;", "src/alpha.adb:7:3:  Put (Value);",
          "src/Beta.adb:3:4:Put_Line (Value);", "src/Beta.adb:9:1:return Value;"}},
        {"VALUE put", {"src/alpha.adb:7:3:  Put (Value);", "src/Beta.adb:3:4:Put_Line (Value);"}},
        {"  beta   value ", {"src/Beta.adb:3:4:Put_Line (Value);", "src/Beta.adb:9:1:return Value;"}},
        {"value -line", {"src/alpha.adb:7:3:  Put (Value);", "src/Beta.adb:9:1:return Value;"}},
        {"value -BETA", {"src/alpha.adb:7:3:  Put (Value);"}},
        {"pu", {"src/alpha.adb:7:3:  Put (Value);", "src/Beta.adb:3:4:Put_Line (Value);"}},
        {"- put(", {}}, // the lone "-" means nothing; "put(" is in no text
        {"- value",
         {"src/alpha.adb:7:3:  Put (Value);", "src/Beta.adb:3:4:Put_Line (Value);",
          "src/Beta.adb:9:1:return Value;"}}, // keeps what "value" keeps
        {"Ada.text", {"src/alpha.adb:1:4:with Ada.Text_IO;"}},
        {"WITH", {"src/alpha.adb:1:4:with Ada.Text_IO;"}}, // across the marker ("wit\x95h Ada")
        {"-adb", {}},
    };
    Model model = Sample();
    for (const Case& test : cases) {
        model.Shown.Set_Filter(test.Filter);
        EXPECT_EQ(model.Lines(), test.Lines) << "filter \"" << test.Filter << "\"";
        EXPECT_EQ(model.Shown.Is_Plain(), std::string(test.Filter).empty());
    }
    model.Shown.Set_Filter("value");
    EXPECT_EQ(model.Shown.Shown().Entries, 3u);
    EXPECT_EQ(model.Shown.Shown().Files, 2u);
    EXPECT_EQ(model.Shown.Received().Entries, 4u);
    EXPECT_EQ(model.Shown.Received().Files, 3u);
    EXPECT_FALSE(model.Shown.Is_Shown_File(2)); // no entry, no node while a filter is set
    // Entries that arrive later are judged by the filter in force.
    model.File("src/gamma.adb");
    model.Entry("src/gamma.adb", 2, 1, "Value := 1;");
    model.Entry("src/gamma.adb", 3, 1, "null;");
    EXPECT_TRUE(model.Shown.Is_Shown(4));
    EXPECT_FALSE(model.Shown.Is_Shown(5));
}

TEST(Results, Dismissing_Hides_Until_Undone_In_Reverse_Order)
{
    Model model = Sample();
    const Results::File_Index beta = 0;
    model.Shown.Dismiss({beta, Results::None});
    model.Shown.Dismiss({1, 3}); // alpha's second entry
    EXPECT_FALSE(model.Shown.Is_Plain());
    EXPECT_EQ(model.Lines(), std::vector<std::string>{"src/alpha.adb:1:4:with Ada.Text_IO;"});
    EXPECT_EQ(model.Shown.Shown().Files, 1u);
    model.Shown.Set_Filter("value"); // the filter and the dismissed add up
    EXPECT_TRUE(model.Lines().empty());
    model.Shown.Set_Filter("");

    Results::Node restored;
    ASSERT_TRUE(model.Shown.Undo_Dismiss(restored));
    EXPECT_EQ(restored, (Results::Node{1, 3}));
    ASSERT_TRUE(model.Shown.Undo_Dismiss(restored));
    EXPECT_EQ(restored, (Results::Node{beta, Results::None}));
    EXPECT_FALSE(model.Shown.Undo_Dismiss(restored));
    EXPECT_TRUE(model.Shown.Is_Plain());
    EXPECT_EQ(model.Lines().size(), 4u);
    // The entries' own texts and data come back for the trees.
    EXPECT_EQ(model.Shown.Node_Text(3), std::string(1, Marker) + "Put (Value);");
    EXPECT_EQ(model.Shown.File_Of(3), 1u);
    EXPECT_EQ(model.Shown.Entry_With_Data(model.Shown.Data_Of(2)), 2u);
    EXPECT_EQ(model.Shown.Entry_With_Data(0), Results::None);
}

// Texts are kept in large chunks that no text straddles: each comes back whole, in order, also
// from the middle of a file and across chunk ends.
TEST(Results, Long_Texts_Come_Back_Whole_Across_The_Chunks)
{
    Model model;
    std::vector<std::string> texts;
    for (int index = 0; index < 400; ++index) {
        if (index % 150 == 0) model.File("f" + std::to_string(index / 150));
        const auto letter = static_cast<char>('a' + index % 26);
        texts.push_back(std::string(300 + index * 7 % 725, letter) + std::to_string(index));
        model.Entry("f" + std::to_string(index / 150), 1, 1, texts.back());
    }
    for (const Results::Entry_Index entry : {0u, 149u, 150u, 217u, 399u})
        EXPECT_EQ(model.Shown.Node_Text(entry), Marker + texts[entry]) << entry;
    const std::vector<std::string> lines = model.Lines();
    ASSERT_EQ(lines.size(), texts.size());
    EXPECT_EQ(lines[399], "f2:1:1:" + texts[399]);
    model.Shown.Set_Filter("399");
    EXPECT_EQ(model.Shown.Shown().Entries, 1u);
}

// The tree puts a file node in its place itself; the model must agree with it, also for names
// that differ in case or punctuation only and for the same name sent twice.
TEST(Results, The_Files_Order_Is_The_Tree_Views_Sorted_Order)
{
    const std::vector<std::string> names{"b.txt", "B.txt", "a-b.txt", "ab.txt", "a_b.txt", "src\\x.c", "src/x.c",
                                         "b.txt", "10.c",  "9.c",     "Zeta",   "zeta",    "b.txt",    ""};
    INITCOMMONCONTROLSEX classes{sizeof classes, ICC_TREEVIEW_CLASSES};
    InitCommonControlsEx(&classes);
    HWND tree = CreateWindowExA(0, WC_TREEVIEWA, "", 0, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(tree, nullptr);
    Results model;
    for (std::size_t index = 0; index < names.size(); ++index) {
        TVINSERTSTRUCTA insert{};
        insert.hParent = TVI_ROOT;
        insert.hInsertAfter = TVI_SORT;
        insert.item.mask = TVIF_TEXT | TVIF_PARAM;
        insert.item.pszText = const_cast<char*>(names[index].c_str());
        insert.item.lParam = static_cast<LPARAM>(index);
        ASSERT_NE(SendMessageA(tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)), 0);
        model.Add_File(names[index]);
    }
    std::vector<Results::File_Index> tree_order;
    for (auto item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0)); item;
         item = reinterpret_cast<HTREEITEM>(
             SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)))) {
        TVITEMA fields{};
        fields.mask = TVIF_PARAM;
        fields.hItem = item;
        SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&fields));
        tree_order.push_back(static_cast<Results::File_Index>(fields.lParam));
    }
    DestroyWindow(tree);
    EXPECT_EQ(model.File_Order(), tree_order);
}

} // namespace
