// The list view with one real main window under Xvfb. Each test puts its list on a page of its
// own, shown while the test runs, so that the list fills the window and can be clicked.

#include "gui/controls.hpp"
#include "gui/gui.hpp"
#include "gui/list_view.hpp"
#include "gui/pages.hpp"
#include "tests/gui/gui_test_support.hpp"
#include "tests/test_support.hpp"

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Gui_Test::Wait_Until;

const std::string Title = "List View Tests";

class Window_Environment : public ::testing::Environment {
public:
    void SetUp() override { Gui::Open_Main_Window({.Name = Title, .Width = 900, .Height = 600, .X = 0, .Y = 0}); }
    void TearDown() override
    {
        Gui::Close_Main_Window();
        Gui::Wait_For_End();
    }
};

[[maybe_unused]] const auto* const environment = ::testing::AddGlobalTestEnvironment(new Window_Environment);

// The application's side: rows that the list refers to by address. The callbacks run on the
// window thread while the test thread changes the rows, hence the lock.
struct Row {
    std::string Name;
    std::string Size;
    bool Too_Long_Once = false; // the next request for the name gets 2000 characters
};

class Table {
public:
    std::uintptr_t Add(std::string name, std::string size)
    {
        std::lock_guard guard(lock_);
        rows_.push_back(std::make_unique<Row>(Row{std::move(name), std::move(size)}));
        return reinterpret_cast<std::uintptr_t>(rows_.back().get());
    }
    template <typename Change>
    void Change_Row(std::uintptr_t data, Change change)
    {
        std::lock_guard guard(lock_);
        change(*reinterpret_cast<Row*>(data));
    }
    std::string Text(int column, std::uintptr_t data)
    {
        std::lock_guard guard(lock_);
        ++requests_[data];
        Row& row = *reinterpret_cast<Row*>(data);
        if (column == 1) return row.Size;
        if (row.Too_Long_Once) {
            row.Too_Long_Once = false;
            return std::string(List_View_Limit + 1, 'y');
        }
        return row.Name;
    }
    Gui::Comparison Compare(std::uintptr_t data_1, std::uintptr_t data_2, int column)
    {
        std::lock_guard guard(lock_);
        const Row& left = *reinterpret_cast<Row*>(data_1);
        const Row& right = *reinterpret_cast<Row*>(data_2);
        const int order = column == 1 ? left.Size.compare(right.Size) : left.Name.compare(right.Name);
        return order < 0 ? Gui::Comparison::Less : order > 0 ? Gui::Comparison::Greater : Gui::Comparison::Equal;
    }
    int Requests(std::uintptr_t data)
    {
        std::lock_guard guard(lock_);
        return requests_[data];
    }

    static constexpr std::size_t List_View_Limit = Gui::List_View::Cell_Text_Limit;

private:
    std::mutex lock_;
    std::vector<std::unique_ptr<Row>> rows_;
    std::map<std::uintptr_t, int> requests_;
};

// --- Reading the control back, past the module under test --------------------------------------------

std::wstring Cell(HWND list, int item, int column)
{
    std::vector<wchar_t> buffer(2100, L'\0');
    LVITEMW request{};
    request.iSubItem = column;
    request.pszText = buffer.data();
    request.cchTextMax = static_cast<int>(buffer.size());
    SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&request));
    return request.pszText ? std::wstring(request.pszText) : std::wstring();
}

std::vector<std::wstring> Column_Texts(HWND list, int column)
{
    std::vector<std::wstring> texts;
    const auto count = SendMessageW(list, LVM_GETITEMCOUNT, 0, 0);
    for (int item = 0; item < count; ++item) texts.push_back(Cell(list, item, column));
    return texts;
}

std::uintptr_t Data_At(HWND list, int item)
{
    LVITEMW request{};
    request.mask = LVIF_PARAM;
    request.iItem = item;
    SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&request));
    return static_cast<std::uintptr_t>(request.lParam);
}

DWORD Extended_Style(HWND list) { return static_cast<DWORD>(SendMessageW(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0)); }

LVCOLUMNW Column_Of(HWND list, int column, std::vector<wchar_t>& title)
{
    LVCOLUMNW request{};
    request.mask = LVCF_FMT | LVCF_TEXT;
    request.pszText = title.data();
    request.cchTextMax = static_cast<int>(title.size());
    SendMessageW(list, LVM_GETCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&request));
    return request;
}

// A screen point inside the header of Column, Offset pixels right of its left edge.
POINT Header_Point(HWND list, int column, int offset)
{
    HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    RECT rectangle{};
    SendMessageW(header, HDM_GETITEMRECT, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&rectangle));
    POINT point{rectangle.left + offset, (rectangle.top + rectangle.bottom) / 2};
    ClientToScreen(header, &point);
    return point;
}

POINT Item_Centre(HWND list, int item)
{
    RECT rectangle{};
    rectangle.left = LVIR_LABEL;
    SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&rectangle));
    POINT centre{(rectangle.left + rectangle.right) / 2, (rectangle.top + rectangle.bottom) / 2};
    ClientToScreen(list, &centre);
    return centre;
}

// --- Fixture ---------------------------------------------------------------------------------------

class List_View_Test : public ::testing::Test {
protected:
    void SetUp() override
    {
        page_ = Gui::Create_Page(::testing::UnitTest::GetInstance()->current_test_info()->name(),
                                 Gui::Layout_Option{}, nullptr);
        Gui::Show_Page(page_);
    }

    // Two columns, Name and Size; sortable unless told otherwise.
    Gui::List_View Create(bool sortable = true, Gui::Action_Routine_With_Argument activation = nullptr,
                          Gui::Colour_Callback colour = nullptr)
    {
        Gui::Comparison_Routine comparison;
        if (sortable)
            comparison = [table = &table_](std::uintptr_t a, std::uintptr_t b, int column) {
                return table->Compare(a, b, column);
            };
        const Gui::List_View list = Gui::Create_List_View(
            page_, [table = &table_](int column, std::uintptr_t data) { return table->Text(column, data); },
            {.Colour = std::move(colour),
             .Comparison = std::move(comparison),
             .Activation = std::move(activation),
             .Colour_Is_Background = true});
        Gui::Insert_Column(list, "Name", 200, Gui::Alignment::Left);
        Gui::Insert_Column(list, "Size", 100, Gui::Alignment::Right);
        return list;
    }

    std::vector<std::uintptr_t> Insert_Rows(const Gui::List_View& list,
                                            const std::vector<std::pair<std::string, std::string>>& rows)
    {
        std::vector<std::uintptr_t> data;
        for (const auto& [name, size] : rows) {
            data.push_back(table_.Add(name, size));
            Gui::Insert_Item(list, data.back());
        }
        return data;
    }

    Gui::Page page_;
    // Never freed: the list views, and their callbacks, live on until the process ends.
    Table& table_ = *new Table;
};

TEST_F(List_View_Test, Rows_Show_The_Callback_Texts_And_Updates_Ask_Again)
{
    const Gui::List_View list = Create();
    const auto data = Insert_Rows(list, {{"alpha", "10"}, {"beta", "20"}, {"gamma", "30"}});
    HWND window = list.Window();
    ASSERT_TRUE(window);
    EXPECT_EQ(Gui::Item_Count(list), 3);
    EXPECT_EQ(Column_Texts(window, 0), (std::vector<std::wstring>{L"alpha", L"beta", L"gamma"}));
    EXPECT_EQ(Column_Texts(window, 1), (std::vector<std::wstring>{L"10", L"20", L"30"}));
    EXPECT_EQ(Data_At(window, 2), data[2]);

    // The control keeps no text: changing the row and updating the item redraws it with the new one.
    table_.Change_Row(data[1], [](Row& row) { row.Name = "delta"; });
    const int before = table_.Requests(data[1]);
    Gui::Update_Item(list, 2);
    EXPECT_TRUE(Wait_Until([&] { return table_.Requests(data[1]) > before; }));
    EXPECT_EQ(Cell(window, 1, 0), L"delta");
}

TEST_F(List_View_Test, Delete_Item_Counts_From_One_And_Ignores_Numbers_Outside_The_List)
{
    const Gui::List_View list = Create();
    const auto data = Insert_Rows(list, {{"one", "1"}, {"two", "2"}, {"three", "3"}});
    HWND window = list.Window();
    Gui::Delete_Item(list, 4);
    Gui::Delete_Item(list, 0);
    EXPECT_EQ(SendMessageW(window, LVM_GETITEMCOUNT, 0, 0), 3);
    Gui::Delete_Item(list, 1);
    EXPECT_EQ(Gui::Item_Count(list), 2);
    EXPECT_EQ(Column_Texts(window, 0), (std::vector<std::wstring>{L"two", L"three"}));

    // Insertion goes on at the end of what is left.
    Gui::Insert_Item(list, table_.Add("four", "4"));
    EXPECT_EQ(Cell(window, 2, 0), L"four");
    Gui::Delete_All_Items(list);
    EXPECT_EQ(Gui::Item_Count(list), 0);
    EXPECT_EQ(SendMessageW(window, LVM_GETITEMCOUNT, 0, 0), 0);
}

TEST_F(List_View_Test, Header_Clicks_Sort_Ascending_Then_Descending)
{
    const Gui::List_View list = Create();
    Insert_Rows(list, {{"b", "2"}, {"c", "1"}, {"a", "3"}});
    HWND window = list.Window();
    const std::vector<std::wstring> ascending{L"a", L"b", L"c"};
    const std::vector<std::wstring> descending{L"c", L"b", L"a"};

    // Apart by more than the double-click distance, so the second click is a click of its own.
    const POINT first = Header_Point(window, 0, 20);
    ASSERT_TRUE(Gui_Test::Click(first.x, first.y));
    EXPECT_TRUE(Wait_Until([&] { return Column_Texts(window, 0) == ascending; }));
    const POINT second = Header_Point(window, 0, 60);
    ASSERT_TRUE(Gui_Test::Click(second.x, second.y));
    EXPECT_TRUE(Wait_Until([&] { return Column_Texts(window, 0) == descending; }));

    // Sorting by program takes the column from 1 and turns the next click the other way.
    Gui::Sort(list, 2, false);
    EXPECT_EQ(Column_Texts(window, 1), (std::vector<std::wstring>{L"1", L"2", L"3"}));
    const POINT third = Header_Point(window, 0, 100);
    ASSERT_TRUE(Gui_Test::Click(third.x, third.y));
    EXPECT_TRUE(Wait_Until([&] { return Column_Texts(window, 0) == descending; }));
}

TEST_F(List_View_Test, Without_A_Comparison_The_Headers_Do_Not_Sort)
{
    const Gui::List_View list = Create(false);
    Insert_Rows(list, {{"b", "2"}, {"a", "1"}});
    HWND window = list.Window();
    EXPECT_TRUE(GetWindowLongW(window, GWL_STYLE) & LVS_NOSORTHEADER);
    Gui::Sort(list, 1, false);
    EXPECT_EQ(Column_Texts(window, 0), (std::vector<std::wstring>{L"b", L"a"}));
    EXPECT_FALSE(GetWindowLongW(Create().Window(), GWL_STYLE) & LVS_NOSORTHEADER);
}

TEST_F(List_View_Test, A_Double_Click_Hands_The_Item_Data_To_The_Activation_Routine)
{
    const auto activated = std::make_shared<std::atomic<std::uintptr_t>>(0);
    const Gui::List_View list = Create(true, [activated](std::uintptr_t data) { *activated = data; });
    const auto data = Insert_Rows(list, {{"first", "1"}, {"second", "2"}});
    const POINT centre = Item_Centre(list.Window(), 1);
    ASSERT_TRUE(Test_Support::Double_Click(centre.x, centre.y));
    EXPECT_TRUE(Wait_Until([&] { return *activated == data[1]; }));
}

TEST_F(List_View_Test, Columns_Widths_Titles_And_Grid_Lines)
{
    const Gui::List_View list = Create();
    HWND window = list.Window();
    EXPECT_EQ(Gui::Column_Count(list), 2);
    EXPECT_EQ(Gui::Column_Width(list, 0), 200);
    EXPECT_EQ(Gui::Column_Width(list, 7), 0);
    Gui::Set_Column_Width(list, 1, 150);
    EXPECT_EQ(Gui::Column_Width(list, 1), 150);
    Gui::Set_Column_Title(list, 1, "Bytes");
    std::vector<wchar_t> title(64, L'\0');
    const LVCOLUMNW column = Column_Of(window, 1, title);
    EXPECT_EQ(std::wstring(column.pszText), L"Bytes");
    EXPECT_EQ(column.fmt & LVCFMT_JUSTIFYMASK, LVCFMT_RIGHT);

    Gui::Hide_Grid_Lines(list); // on a list that shows none
    EXPECT_FALSE(Extended_Style(window) & LVS_EX_GRIDLINES);
    Gui::Show_Grid_Lines(list);
    EXPECT_TRUE(Extended_Style(window) & LVS_EX_GRIDLINES);
    Gui::Hide_Grid_Lines(list);
    EXPECT_FALSE(Extended_Style(window) & LVS_EX_GRIDLINES);

    Gui::Delete_Column(list);
    Gui::Delete_Column(list);
    Gui::Delete_Column(list); // none left: nothing happens
    EXPECT_EQ(Gui::Column_Count(list), 0);
    HWND header = reinterpret_cast<HWND>(SendMessageW(window, LVM_GETHEADER, 0, 0));
    EXPECT_EQ(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0), 0);
}

TEST_F(List_View_Test, Fixed_Font_Unless_The_Default_Is_Kept)
{
    const Gui::List_View fixed = Create();
    EXPECT_EQ(reinterpret_cast<HGDIOBJ>(SendMessageW(fixed.Window(), WM_GETFONT, 0, 0)),
              GetStockObject(SYSTEM_FIXED_FONT));
    const Gui::List_View kept = Gui::Create_List_View(
        page_, [](int, std::uintptr_t) { return std::wstring(L"wide"); }, {.Keep_Default_Font = true});
    EXPECT_NE(reinterpret_cast<HGDIOBJ>(SendMessageW(kept.Window(), WM_GETFONT, 0, 0)),
              GetStockObject(SYSTEM_FIXED_FONT));
    EXPECT_TRUE(SendMessageW(kept.Window(), CCM_GETUNICODEFORMAT, 0, 0));
    Gui::Insert_Column(kept, "Wide", 100, Gui::Alignment::Centre);
    Gui::Insert_Item(kept, 0);
    EXPECT_EQ(Cell(kept.Window(), 0, 0), L"wide");
}

TEST_F(List_View_Test, Item_Count_Page_Size_And_The_Last_Item_Scrolled_Into_View)
{
    const Gui::List_View list = Create();
    HWND window = list.Window();
    EXPECT_FAILURE(Gui::Set_Item_Count(list, -1), Failures::RANGE_ERROR);
    Gui::Set_Item_Count(list, 100); // room only: the kept count stays
    EXPECT_EQ(Gui::Item_Count(list), 0);
    Gui::Show_Last_Item(list); // nothing to show

    for (int row = 0; row < 80; ++row) Gui::Insert_Item(list, table_.Add("row " + std::to_string(row), "0"));
    const std::int32_t per_page = Gui::Items_Per_Page(list);
    EXPECT_GT(per_page, 0);
    EXPECT_LT(per_page, 80);
    EXPECT_EQ(SendMessageW(window, LVM_GETTOPINDEX, 0, 0), 0);
    Gui::Show_Last_Item(list);
    const auto top = SendMessageW(window, LVM_GETTOPINDEX, 0, 0);
    EXPECT_GT(top, 0);
    EXPECT_GE(top + per_page, 80);
}

// The cell-text buffer holds 1999 characters and the NUL. A longer text fails its request only:
// the failure is shown in the window thread's message box (closed here), and every other cell,
// and the same cell afterwards, still shows.
TEST_F(List_View_Test, The_Longest_Cell_Text_Shows_And_A_Longer_One_Fails_Only_Its_Request)
{
    const Gui::List_View list = Create();
    const auto data = Insert_Rows(list, {{std::string(Gui::List_View::Cell_Text_Limit, 'x'), "1"}, {"short", "2"}});
    HWND window = list.Window();
    Gui_Test::Message_Box_Closer closer(Title);
    EXPECT_EQ(Cell(window, 0, 0), std::wstring(Gui::List_View::Cell_Text_Limit, L'x'));

    table_.Change_Row(data[1], [](Row& row) { row.Too_Long_Once = true; });
    Cell(window, 1, 0); // this request, or a repaint before it, gets the long text
    EXPECT_TRUE(Wait_Until([&] { return closer.Closed() == 1; }));
    EXPECT_NE(closer.Last_Text().find("GUI.LIST_VIEW.CELL_TEXT_TOO_LONG"), std::string::npos) << closer.Last_Text();

    EXPECT_EQ(Cell(window, 1, 0), L"short");
    EXPECT_EQ(Cell(window, 0, 1), L"1");
    const int before = table_.Requests(data[1]);
    Gui::Update_Item(list, 2);
    EXPECT_TRUE(Wait_Until([&] { return table_.Requests(data[1]) > before; }));
    EXPECT_EQ(closer.Closed(), 1);
}

TEST_F(List_View_Test, The_Colour_Callback_Colours_Each_Item_Background)
{
    const COLORREF red = RGB(255, 0, 0);
    // Shared with the callback, which may be asked again after the test.
    const auto coloured = std::make_shared<std::atomic<std::uintptr_t>>(0);
    const Gui::List_View list = Create(true, nullptr, [coloured, red](std::uintptr_t data) {
        return data == *coloured ? red : RGB(255, 255, 255);
    });
    *coloured = table_.Add("coloured", "1");
    Gui::Insert_Item(list, *coloured);
    Gui::Insert_Item(list, table_.Add("plain", "2"));
    HWND window = list.Window();
    const auto pixel = [window](int item) {
        RECT label{};
        label.left = LVIR_LABEL;
        SendMessageW(window, LVM_GETITEMRECT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&label));
        HDC context = GetDC(window);
        const COLORREF colour = GetPixel(context, label.left + 3, (label.top + label.bottom) / 2);
        ReleaseDC(window, context);
        return colour;
    };
    EXPECT_TRUE(Wait_Until([&] { return pixel(0) == red; })) << std::hex << pixel(0);
    EXPECT_NE(pixel(1), red);
}

} // namespace
