#include "gui/list_view.hpp"

#include "gui/kinds.hpp"
#include "gui/window_thread.hpp"

#include <commctrl.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <exception>
#include <utility>

namespace Gui {

namespace {

// The text of the cell being drawn is handed to the control in this buffer. Only the window
// thread fills it, and the control copies it before it asks for the next cell.
std::array<wchar_t, List_View::Cell_Text_Limit + 1> cell_text;

class List_View_Record final : public Child_Record {
public:
    List_View_Record() : Child_Record(Control_Kind::List_View) {}

    // Set by the constructor before the window exists.
    List_Text_Callback Text;
    List_Wide_Text_Callback Wide_Text;
    bool Wide_Texts = false;
    Colour_Callback Colour;
    bool Colour_Is_Background = false;
    Comparison_Routine Compare;
    Action_Routine_With_Argument Activation;
    bool Keep_Default_Font = false;

    // Changed on the window thread only; read from any thread.
    std::atomic<std::int32_t> Items{0};
    std::atomic<std::int32_t> Columns{0};
    // Window thread only.
    int Sort_Column = 0;
    bool Descending = false;

    DWORD Kind_Style() const override { return WS_BORDER | LVS_REPORT | (Compare ? 0 : LVS_NOSORTHEADER); }
    void After_Creation() override;
    LRESULT Handle_Notify(NMHDR& header) override;
    // Sorts by Sort_Column in the direction Descending.
    void Sort_Items();

private:
    std::wstring Cell_Text(int column, std::uintptr_t data) const;
    void On_Get_Display_Info(NMLVDISPINFOW& request) const;
    void On_Column_Click(const NMLISTVIEW& click);
    void On_Double_Click(const NMITEMACTIVATE& activation) const;
    LRESULT On_Custom_Draw(NMLVCUSTOMDRAW& drawing) const;
};

// What the comparison callback needs; a failure of the routine is kept here and raised again
// after the control's sort has returned, since it must not unwind through the control.
struct Sort_Context {
    const List_View_Record& List;
    std::exception_ptr Failure;
};

int Signed(Comparison comparison) noexcept
{
    switch (comparison) {
    case Comparison::Less:
        return -1;
    case Comparison::Equal:
        return 0;
    case Comparison::Greater:
        return 1;
    }
    return 0;
}

int CALLBACK Compare_Items(LPARAM data_1, LPARAM data_2, LPARAM sort_parameter) noexcept
{
    auto& context = *reinterpret_cast<Sort_Context*>(sort_parameter);
    if (context.Failure) return 0;
    try {
        const int order = Signed(context.List.Compare(static_cast<std::uintptr_t>(data_1),
                                                      static_cast<std::uintptr_t>(data_2), context.List.Sort_Column));
        return context.List.Descending ? -order : order;
    } catch (...) {
        context.Failure = std::current_exception();
        return 0;
    }
}

void List_View_Record::After_Creation()
{
    Send_Message_W(Window, CCM_SETUNICODEFORMAT, TRUE, 0);
    if (!Keep_Default_Font)
        Send_Message_W(Window, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(SYSTEM_FIXED_FONT)), FALSE);
}

LRESULT List_View_Record::Handle_Notify(NMHDR& header)
{
    switch (header.code) {
    case LVN_GETDISPINFOW:
        On_Get_Display_Info(reinterpret_cast<NMLVDISPINFOW&>(header));
        return 0;
    case LVN_COLUMNCLICK:
        On_Column_Click(reinterpret_cast<const NMLISTVIEW&>(header));
        return 0;
    case NM_DBLCLK:
        On_Double_Click(reinterpret_cast<const NMITEMACTIVATE&>(header));
        return 0;
    case NM_CUSTOMDRAW:
        return On_Custom_Draw(reinterpret_cast<NMLVCUSTOMDRAW&>(header));
    default:
        return 0;
    }
}

void List_View_Record::Sort_Items()
{
    if (!Compare) return;
    Sort_Context context{*this, nullptr};
    Send_Message_W(Window, LVM_SORTITEMS, reinterpret_cast<WPARAM>(&context), reinterpret_cast<LPARAM>(Compare_Items));
    if (context.Failure) std::rethrow_exception(context.Failure);
}

std::wstring List_View_Record::Cell_Text(int column, std::uintptr_t data) const
{
    if (Wide_Texts) return Wide_Text(column, data);
    return Widened(Text(column, data));
}

// The request's mask is not consulted: the control asks only for texts. A cell whose text
// cannot be had stays empty.
void List_View_Record::On_Get_Display_Info(NMLVDISPINFOW& request) const
{
    const std::wstring text = Painting_Value(std::wstring(), [&] {
        std::wstring cell = Cell_Text(request.item.iSubItem, static_cast<std::uintptr_t>(request.item.lParam));
        if (cell.size() > List_View::Cell_Text_Limit)
            throw List_View::CELL_TEXT_TOO_LONG(std::to_string(cell.size()) + " characters in column " +
                                                std::to_string(request.item.iSubItem) + ", at most " +
                                                std::to_string(List_View::Cell_Text_Limit));
        return cell;
    });
    std::copy(text.begin(), text.end(), cell_text.begin());
    cell_text[text.size()] = L'\0';
    request.item.pszText = cell_text.data();
}

// Any header sorts; the next click, on whichever header, sorts the other way.
void List_View_Record::On_Column_Click(const NMLISTVIEW& click)
{
    if (!Compare) return;
    Sort_Column = click.iSubItem;
    Sort_Items();
    Descending = !Descending;
}

void List_View_Record::On_Double_Click(const NMITEMACTIVATE& activation) const
{
    if (!Activation || activation.iItem < 0) return;
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = activation.iItem;
    if (!Send_Message_W(Window, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return;
    Post_Action(Activation, static_cast<std::uintptr_t>(item.lParam));
}

LRESULT List_View_Record::On_Custom_Draw(NMLVCUSTOMDRAW& drawing) const
{
    if (!Colour) return CDRF_DODEFAULT;
    switch (drawing.nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
        return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT: {
        COLORREF& drawn = Colour_Is_Background ? drawing.clrTextBk : drawing.clrText;
        drawn = Painting_Value(drawn, [&] { return Colour(static_cast<std::uintptr_t>(drawing.nmcd.lItemlParam)); });
        return CDRF_DODEFAULT;
    }
    default:
        return CDRF_DODEFAULT;
    }
}

List_View_Record& Record_Of(const List_View& list)
{
    auto* record = dynamic_cast<List_View_Record*>(&list.Record());
    if (!record) throw Failures::ACCESS_ERROR("a list-view handle that refers to another kind of control");
    return *record;
}

// The record's counts and sort state change on the window thread only, together with the control.
template <typename Work>
LRESULT On_Window_Thread(Work&& work)
{
    return Run_On_Window_Thread(std::function<LRESULT()>(std::forward<Work>(work)));
}

std::unique_ptr<List_View_Record> New_Record(const Page& page, List_View_Options options)
{
    Require(page); // before anything is created
    auto record = std::make_unique<List_View_Record>();
    record->Colour = std::move(options.Colour);
    record->Colour_Is_Background = options.Colour_Is_Background;
    record->Compare = std::move(options.Comparison);
    record->Activation = std::move(options.Activation);
    record->Keep_Default_Font = options.Keep_Default_Font;
    return record;
}

List_View Created(const Page& page, std::unique_ptr<List_View_Record> record)
{
    return List_View(&Create_Control(page, std::move(record)));
}

void Change_Grid_Lines(const List_View& list, bool shown)
{
    HWND window = Record_Of(list).Window;
    On_Window_Thread([window, shown] {
        auto style = static_cast<DWORD>(Send_Message_W(window, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
        style = shown ? (style | LVS_EX_GRIDLINES) : (style & ~DWORD{LVS_EX_GRIDLINES});
        Send_Message_W(window, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, static_cast<LPARAM>(style));
        return LRESULT{0};
    });
}

int Column_Format(Alignment alignment)
{
    switch (alignment) {
    case Alignment::Left:
        return LVCFMT_LEFT;
    case Alignment::Right:
        return LVCFMT_RIGHT;
    case Alignment::Centre:
        return LVCFMT_CENTER;
    }
    return LVCFMT_LEFT;
}

std::int32_t Not_Negative(LRESULT value) { return value > 0 ? static_cast<std::int32_t>(value) : 0; }

} // namespace

List_View Create_List_View(const Page& page, List_Text_Callback text, List_View_Options options)
{
    if (!text) throw Failures::ACCESS_ERROR("a list view without a text callback");
    auto record = New_Record(page, std::move(options));
    record->Text = std::move(text);
    return Created(page, std::move(record));
}

List_View Create_List_View(const Page& page, List_Wide_Text_Callback text, List_View_Options options)
{
    if (!text) throw Failures::ACCESS_ERROR("a list view without a text callback");
    auto record = New_Record(page, std::move(options));
    record->Wide_Text = std::move(text);
    record->Wide_Texts = true;
    return Created(page, std::move(record));
}

void Show_Grid_Lines(const List_View& list) { Change_Grid_Lines(list, true); }
void Hide_Grid_Lines(const List_View& list) { Change_Grid_Lines(list, false); }

std::int32_t Column_Width(const List_View& list, int column)
{
    return Not_Negative(Send_Message_W(Record_Of(list).Window, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0));
}

void Set_Column_Width(const List_View& list, int column, std::int32_t width)
{
    Send_Message_W(Record_Of(list).Window, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column), MAKELPARAM(width, 0));
}

void Set_Column_Title(const List_View& list, int column, const std::string& title)
{
    std::wstring text = Widened(title);
    LVCOLUMNW header{};
    header.mask = LVCF_TEXT;
    header.pszText = text.data();
    Send_Message_W(Record_Of(list).Window, LVM_SETCOLUMNW, static_cast<WPARAM>(column),
                   reinterpret_cast<LPARAM>(&header));
}

void Insert_Column(const List_View& list, const std::string& title, std::int32_t width, Alignment alignment)
{
    List_View_Record& record = Record_Of(list);
    std::wstring text = Widened(title);
    LVCOLUMNW header{};
    header.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
    header.fmt = Column_Format(alignment);
    header.cx = width;
    header.pszText = text.data();
    On_Window_Thread([&record, &header] {
        const LRESULT index = Send_Message_W(record.Window, LVM_INSERTCOLUMNW, static_cast<WPARAM>(record.Columns),
                                             reinterpret_cast<LPARAM>(&header));
        if (index >= 0) ++record.Columns;
        return LRESULT{0};
    });
}

void Delete_Column(const List_View& list)
{
    List_View_Record& record = Record_Of(list);
    On_Window_Thread([&record] {
        if (record.Columns > 0 &&
            Send_Message_W(record.Window, LVM_DELETECOLUMN, static_cast<WPARAM>(record.Columns - 1), 0))
            --record.Columns;
        return LRESULT{0};
    });
}

std::int32_t Column_Count(const List_View& list) { return Record_Of(list).Columns; }

// The text is asked for whenever the item is drawn.
void Insert_Item(const List_View& list, std::uintptr_t data)
{
    List_View_Record& record = Record_Of(list);
    On_Window_Thread([&record, data] {
        LVITEMW item{};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = record.Items;
        item.iSubItem = 0;
        item.pszText = LPSTR_TEXTCALLBACKW;
        item.lParam = static_cast<LPARAM>(data);
        if (Send_Message_W(record.Window, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)) >= 0)
            ++record.Items;
        return LRESULT{0};
    });
}

void Update_Item(const List_View& list, std::int32_t item)
{
    Send_Message_W(Record_Of(list).Window, LVM_UPDATE, static_cast<WPARAM>(item - 1), 0);
}

void Delete_Item(const List_View& list, std::int32_t item)
{
    List_View_Record& record = Record_Of(list);
    On_Window_Thread([&record, item] {
        if (item >= 1 && item <= record.Items &&
            Send_Message_W(record.Window, LVM_DELETEITEM, static_cast<WPARAM>(item - 1), 0))
            --record.Items;
        return LRESULT{0};
    });
}

void Delete_All_Items(const List_View& list)
{
    List_View_Record& record = Record_Of(list);
    On_Window_Thread([&record] {
        Send_Message_W(record.Window, LVM_DELETEALLITEMS, 0, 0);
        record.Items = 0;
        return LRESULT{0};
    });
}

std::int32_t Item_Count(const List_View& list) { return Record_Of(list).Items; }

void Sort(const List_View& list, int column, bool descending)
{
    List_View_Record& record = Record_Of(list);
    if (!record.Compare) return;
    On_Window_Thread([&record, column, descending] {
        record.Sort_Column = column - 1;
        record.Descending = descending;
        record.Sort_Items();
        record.Descending = !descending;
        return LRESULT{0};
    });
}

void Set_Item_Count(const List_View& list, std::int32_t count)
{
    if (count < 0) throw Failures::RANGE_ERROR("item count " + std::to_string(count));
    Send_Message_W(Record_Of(list).Window, LVM_SETITEMCOUNT, static_cast<WPARAM>(count), 0);
}

std::int32_t Items_Per_Page(const List_View& list)
{
    return Not_Negative(Send_Message_W(Record_Of(list).Window, LVM_GETCOUNTPERPAGE, 0, 0));
}

void Show_Last_Item(const List_View& list)
{
    List_View_Record& record = Record_Of(list);
    On_Window_Thread([&record] {
        // FALSE: a partly visible last item is scrolled fully into view.
        if (record.Items > 0)
            Send_Message_W(record.Window, LVM_ENSUREVISIBLE, static_cast<WPARAM>(record.Items - 1), FALSE);
        return LRESULT{0};
    });
}

} // namespace Gui
