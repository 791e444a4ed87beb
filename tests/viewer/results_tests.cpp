// The results model and what of it is in view: which entries a filter keeps, what dismissing
// hides and undoing brings back, the copied lines, the entries as the index gives them back, the
// nodes' identities, and the files' order, which must stay the one the tree's sorted insert gave.

#include "viewer/entry_text.hpp"
#include "viewer/narrowing.hpp"
#include "viewer/results.hpp"
#include "viewer/results_view.hpp"
#include "tests/test_support.hpp"

#include <windows.h>
#include <commctrl.h>

#include <set>
#include <string>
#include <vector>

namespace {

using Control::Results;
using Node = Results::Node;

const std::string Marker(Control::Marker);

// The model with the view over it, which takes each node as the tree feed would.
struct Model {
    Results Store;
    Control::Narrowing Shown{Store};

    void File(const std::string& name) { Shown.Take({Store.Add_File(name), Results::None}); }
    void Entry(std::uint32_t line, std::uint32_t column, const std::string& text)
    {
        Store.Append(line, column, text);
        Shown.Take(Store.Last());
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

void Fill_Sample(Model& model)
{
    model.File("src/Beta.adb");
    model.Entry(3, 4, "Put_Line (Value);");
    model.Entry(9, 1, "return Value;");
    model.File("src/alpha.adb");
    model.Entry(1, 4, "with Ada.Text_IO;");
    model.Entry(7, 3, "  Put (Value);");
    model.File("docs/empty.txt"); // a group without entries
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
    Model model;
    Fill_Sample(model);
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
    model.Entry(2, 1, "Value := 1;");
    model.Entry(3, 1, "null;");
    EXPECT_TRUE(model.Shown.Is_Shown({3, 4}));
    EXPECT_FALSE(model.Shown.Is_Shown({3, 5}));
    // Entries the full tree does not hold yet are not in view, nor counted.
    model.Store.Append(4, 1, "Value;");
    EXPECT_EQ(model.Shown.Shown().Entries, 4u);
    EXPECT_EQ(model.Lines().size(), 4u);
}

TEST(Results, Dismissing_Hides_Until_Undone_In_Reverse_Order)
{
    Model model;
    Fill_Sample(model);
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
    EXPECT_EQ(restored, (Node{1, 3}));
    ASSERT_TRUE(model.Shown.Undo_Dismiss(restored));
    EXPECT_EQ(restored, (Node{beta, Results::None}));
    EXPECT_FALSE(model.Shown.Undo_Dismiss(restored));
    EXPECT_TRUE(model.Shown.Is_Plain());
    EXPECT_EQ(model.Lines().size(), 4u);
}

// The transfer appends through the index's interface and the activation reads an entry back by the
// identity its tree item carries; a file's node and an entry's are told apart by what they carry.
TEST(Results, Entries_Come_Back_By_The_Identity_Their_Items_Carry)
{
    Results store;
    EXPECT_FAILURE(store.Last(), Control::Index_List::NO_ELEMENTS);
    Model model;
    Fill_Sample(model);
    const Results& sample = model.Store;
    const Node last = sample.Last();
    EXPECT_EQ(last, (Node{1, 3}));
    EXPECT_EQ(sample.Element_Of(last), (Control::Index_List::Index_Entry{"src/alpha.adb", 7, 3, "  Put (Value);"}));
    std::string text;
    sample.Node_Text(last, text);
    EXPECT_EQ(text, Marker + std::string("Put (Value);"));
    sample.Node_Text({2, Results::None}, text);
    EXPECT_EQ(text, "docs/empty.txt");
    for (const Node node : {Node{0, 0}, Node{1, 3}, Node{0, Results::None}, Node{2, Results::None}})
        EXPECT_EQ(sample.Node_Of(Results::Item_Data(node)), node);
    EXPECT_EQ(sample.Node_Of(0), Node{});
    EXPECT_EQ(sample.Node_Of(Results::Item_Data({0, 4})), Node{}) << "no fifth entry";
    EXPECT_EQ(sample.Node_Of(Results::Item_Data({3, Results::None})), Node{}) << "no fourth file";
    EXPECT_FAILURE(sample.Element_Of({2, Results::None}), Control::Index_List::NOT_IN_LIST);
    EXPECT_FAILURE(sample.Element_Of({0, 3}), Control::Index_List::NOT_IN_LIST) << "entry 3 is alpha's";
    EXPECT_STREQ(Control::Index_List::NO_ELEMENTS::name, "CONTROL.INDEX_LIST.NO_ELEMENTS");
}

// An empty text needs no room: the first entry's may be empty, and those after it still read back.
TEST(Results, An_Empty_First_Text_Reads_Back_Empty_And_The_Next_Whole)
{
    Results store;
    store.Add_File("a.txt");
    store.Append(1, 1, "");
    store.Append(2, 3, "abc");
    EXPECT_EQ(store.Element_Of({0, 0}).Text, "");
    EXPECT_EQ(store.Element_Of({0, 1}).Text, "abc");
    std::string text;
    store.Node_Text({0, 0}, text);
    EXPECT_EQ(text, Marker);
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
        model.Entry(1, 1, texts.back());
    }
    for (const Results::Entry_Index entry : {0u, 149u, 150u, 217u, 399u}) {
        std::string text;
        model.Store.Node_Text({entry / 150, entry}, text);
        EXPECT_EQ(text, Marker + texts[entry]) << entry;
    }
    const std::vector<std::string> lines = model.Lines();
    ASSERT_EQ(lines.size(), texts.size());
    EXPECT_EQ(lines[399], "f2:1:1:" + texts[399]);
    model.Shown.Set_Filter("399");
    EXPECT_EQ(model.Shown.Shown().Entries, 1u);
}

// The tree shows the files in the model's order, which stays the one the control's own sorted
// insert gave them, also for names that differ in case or punctuation only and for the same name
// sent twice.
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

// ---- the window's commands ------------------------------------------------------------------------

using View = Control::Results_View;

// The README's key table ("### Working the results") lists exactly the commands' keys, a row per
// command in the table's order of keys, the filter box's marked as such.
TEST(Commands, The_Readme_Key_Table_Lists_Exactly_The_Commands_Keys)
{
    std::string path = std::string("Z:") + README_MD;
    std::replace(path.begin(), path.end(), '/', '\\');
    const std::string readme = Test_Support::Read_File(path);
    const std::size_t section = readme.find("### Working the results");
    ASSERT_NE(section, std::string::npos);
    std::multiset<std::string> listed;
    std::size_t line = readme.find("\n|", section);
    for (int row = 0; line != std::string::npos && readme.compare(line, 2, "\n|") == 0; ++row) {
        const std::size_t end = readme.find('\n', line + 1);
        const std::string cells = readme.substr(line + 2, end - line - 2);
        if (row >= 2) listed.insert(cells.substr(1, cells.find(" |") - 1)); // after the head and its rule
        line = end;
    }
    std::multiset<std::string> declared;
    for (const View::Command& command : View::Commands()) {
        if (command.Keys.empty()) continue;
        std::string keys;
        for (const View::Key& key : command.Keys) keys += (keys.empty() ? "" : ", ") + std::string(key.Name);
        declared.insert(keys + (command.Place == View::Key_Place::Filter_Box ? " (in the filter box)" : ""));
    }
    EXPECT_EQ(listed, declared);
}

// A key works where its command's keys do: the window's anywhere, the others only where the focus
// is; a modifier more or less is another key.
TEST(Commands, A_Key_Names_Its_Command_Only_Where_It_Works)
{
    struct Case {
        WORD Code;
        bool Control;
        bool Shift;
        View::Key_Place Place;
        const char* Menu_Text; // of the command; "" for one without, null for none
    };
    using Place = View::Key_Place;
    const Case cases[] = {
        {VK_RETURN, false, false, Place::Tree, "&Open"},
        {VK_RETURN, false, false, Place::Filter_Box, ""},         // back to the tree
        {'C', true, false, Place::Tree, "&Copy"},
        {'C', true, false, Place::Filter_Box, nullptr},           // the box's own copy
        {'C', true, true, Place::Filter_Box, "Copy &all"},        // the window's
        {VK_DELETE, false, false, Place::Filter_Box, nullptr},
        {VK_DELETE, true, false, Place::Tree, nullptr},
        {'P', true, false, Place::Window, "&Preview"},
        {'P', true, true, Place::Window, nullptr},
        {VK_F4, false, true, Place::Tree, ""},
        {VK_F10, false, true, Place::Tree, ""},                   // the item menu
        {VK_F10, false, false, Place::Tree, nullptr},             // the system's
    };
    for (const Case& test : cases) {
        const View::Command* command = View::Command_For(test.Code, test.Control, test.Shift, test.Place);
        if (!test.Menu_Text) {
            EXPECT_EQ(command, nullptr) << test.Code;
            continue;
        }
        ASSERT_NE(command, nullptr) << test.Code;
        EXPECT_STREQ(command->Menu_Text ? command->Menu_Text : "", test.Menu_Text) << test.Code;
    }
}

} // namespace
