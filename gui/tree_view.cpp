#include "gui/tree_view.hpp"

#include "gui/owners.hpp"
#include "gui/window_thread.hpp"
#include "windows/unicode.hpp"

#include <algorithm>
#include <cstring>
#include <type_traits>
#include <vector>

namespace Gui {

namespace {

// Room for the longest text an item is given here (a message of 1024 bytes and its marker) and more.
constexpr int Item_Text_Limit = 4096;
// The rows in view are the visible count and the row cut off at the bottom.
constexpr LRESULT Partial_Rows = 1;

constexpr UINT_PTR First_Menu_Command = 1; // the application's items, in their order

struct Region_Traits {
    using Value = HRGN;
    static Value Empty() noexcept { return nullptr; }
    static void Close(Value value) noexcept { DeleteObject(value); }
};
using Unique_Region = Windows::Unique_Resource<Region_Traits>;

// One row in view as it is drawn: which item, opened or closed, selected, with or without button.
struct Row {
    Tree_Item Item = nullptr;
    UINT State = 0;
    int Children = 0;
    friend bool operator==(const Row&, const Row&) = default;
};

struct View {
    std::vector<Row> Rows;
    std::vector<Tree_Item> Ancestors; // of the rows in view, the rows themselves included
    Tree_Item First = nullptr;
    bool At_Top = false; // the first item in view is the tree's first
    bool Full = false;   // the tree has more rows than the view

    bool Shows(Tree_Item item) const
    {
        return std::any_of(Rows.begin(), Rows.end(), [item](const Row& row) { return row.Item == item; });
    }
    bool Shows_Part_Of(Tree_Item item) const
    {
        return std::find(Ancestors.begin(), Ancestors.end(), item) != Ancestors.end();
    }
};

LRESULT CALLBACK Catch_Up(HWND window, UINT message, WPARAM w_parameter, LPARAM l_parameter) noexcept;

class Tree_View_Record final : public Child_Record {
public:
    explicit Tree_View_Record(Tree_View_Options options)
        : Child_Record(Control_Kind::Tree_View), options_(std::move(options))
    {
        Hidden = options_.Hidden;
    }

    // The control's window procedure is wrapped by Catch_Up, which finds this record in the
    // window's user data. (The common controls' own subclassing keeps its data in a window
    // property, and reading that is a call into the system on every message.)
    void After_Creation() override
    {
        if (!Window) return;
        SetWindowLongPtrW(Window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        control_procedure_ =
            reinterpret_cast<WNDPROC>(SetWindowLongPtrW(Window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Catch_Up)));
    }

    LRESULT Call_Control(HWND window, UINT message, WPARAM w_parameter, LPARAM l_parameter) const
    {
        return CallWindowProcW(control_procedure_, window, message, w_parameter, l_parameter);
    }

    LRESULT Handle_Notify(NMHDR& header) override
    {
        switch (header.code) {
        case static_cast<UINT>(NM_DBLCLK):
            Activate(Selected());
            return 0;
        case static_cast<UINT>(NM_RCLICK):
            if (options_.Menu_Items) Select_Item_Under_Mouse();
            return 0; // the control then asks for the context menu
        case static_cast<UINT>(NM_CUSTOMDRAW):
            return Custom_Draw(reinterpret_cast<NMTVCUSTOMDRAW&>(header));
        case static_cast<UINT>(TVN_SELCHANGEDA):
        case static_cast<UINT>(TVN_SELCHANGEDW): // the item handle lies at the same place in both
            Tell_Selection(reinterpret_cast<const NMTREEVIEWA&>(header).itemNew.hItem);
            return 0;
        default:
            return 0;
        }
    }

    void Handle_Context_Menu(POINT screen_point, bool from_keyboard) override
    {
        if (!options_.Menu_Items) return;
        Show_Held_Changes();
        if (from_keyboard) screen_point = Menu_Point_For(Selected());
        Run_Command(Track_Menu(screen_point));
    }

    bool Held() const noexcept { return held_; }

    void Hold_Drawing()
    {
        if (held_) return;
        before_ = Current_View();
        Send(WM_SETREDRAW, FALSE, 0);
        held_ = true;
        changed_in_view_ = !before_.Full;
        last_appended_parent_ = nullptr;
    }

    bool Changed_In_View() const noexcept { return held_ && changed_in_view_; }

    // While held: whether what the control just did lands among the rows in view. A new item
    // lands after its previous sibling (or first under its parent); an item that is opened or
    // marked changes its own row. When unsure, it counts as in view.
    void Note(UINT message, LPARAM l_parameter, LRESULT result)
    {
        if (!held_ || changed_in_view_) return;
        switch (message) {
        case TVM_INSERTITEMA:
        case TVM_INSERTITEMW:
            if (result) changed_in_view_ = Insert_Lands_In_View(*reinterpret_cast<const TVINSERTSTRUCTW*>(l_parameter),
                                                                reinterpret_cast<Tree_Item>(result));
            break;
        case TVM_EXPAND:
            changed_in_view_ = before_.Shows(reinterpret_cast<Tree_Item>(l_parameter));
            break;
        case TVM_SETITEMA:
        case TVM_SETITEMW:
            changed_in_view_ = before_.Shows(reinterpret_cast<const TVITEMW*>(l_parameter)->hItem);
            break;
        default:
            break;
        }
    }

    // The control's own redraw marks the whole client area for painting; when no row in view
    // changed, only what was waiting for paint before is painted.
    void Show_Held_Changes()
    {
        if (!held_) return;
        held_ = false;
        Unique_Region waiting{CreateRectRgn(0, 0, 0, 0)};
        const bool was_waiting = waiting && GetUpdateRgn(Window, waiting.get(), FALSE) > NULLREGION;
        Send(WM_SETREDRAW, TRUE, 0);
        Keep_View(before_);
        if (Current_View().Rows != before_.Rows) return;
        ValidateRect(Window, nullptr);
        if (was_waiting) InvalidateRgn(Window, waiting.get(), TRUE);
    }

    void Change_All(UINT action)
    {
        Show_Held_Changes();
        const HCURSOR previous = SetCursor(LoadCursor(nullptr, IDC_WAIT));
        Send(WM_SETREDRAW, FALSE, 0);
        Change_Children_Of(nullptr, action);
        Send(WM_SETREDRAW, TRUE, 0);
        if (const Tree_Item selected = Selected()) Send(TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(selected));
        SetCursor(previous);
    }

private:
    LRESULT Send(UINT message, WPARAM w_parameter, LPARAM l_parameter) const
    {
        return SendMessageW(Window, message, w_parameter, l_parameter);
    }

    Tree_Item Next(UINT relation, Tree_Item item) const
    {
        return reinterpret_cast<Tree_Item>(Send(TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
    }

    Tree_Item Selected() const { return Next(TVGN_CARET, nullptr); }

    // Items appended one after the other under the same parent land where the first of them did:
    // that one is asked about, the others follow it.
    bool Insert_Lands_In_View(const TVINSERTSTRUCTW& insert, Tree_Item item)
    {
        const bool appended = insert.hInsertAfter == TVI_LAST;
        if (appended && insert.hParent == last_appended_parent_) return false; // else it would be in view now
        last_appended_parent_ = appended ? insert.hParent : nullptr;
        return Lands_In_View(item);
    }

    // A new item comes right after its previous sibling's last descendant, or right after its
    // parent when it is the first child.
    bool Lands_In_View(Tree_Item item) const
    {
        if (const Tree_Item previous = Next(TVGN_PREVIOUS, item)) return before_.Shows_Part_Of(previous);
        if (const Tree_Item parent = Next(TVGN_PARENT, item)) return before_.Shows(parent);
        return before_.At_Top; // the new first item of the tree
    }

    TVITEMW Item_Fields(Tree_Item item, UINT mask, wchar_t* text = nullptr) const
    {
        TVITEMW fields{};
        fields.mask = mask;
        fields.hItem = item;
        fields.stateMask = TVIS_EXPANDED | TVIS_SELECTED;
        fields.pszText = text;
        fields.cchTextMax = text ? Item_Text_Limit : 0;
        Send(TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&fields));
        return fields;
    }

    std::uintptr_t Data_Of(Tree_Item item) const
    {
        return static_cast<std::uintptr_t>(Item_Fields(item, TVIF_PARAM).lParam);
    }

    bool Has_Children(Tree_Item item) const { return Item_Fields(item, TVIF_CHILDREN).cChildren != 0; }

    View Current_View() const
    {
        View view;
        view.First = Next(TVGN_FIRSTVISIBLE, nullptr);
        view.At_Top = view.First == Next(TVGN_ROOT, nullptr);
        const LRESULT rows = Send(TVM_GETVISIBLECOUNT, 0, 0) + Partial_Rows;
        Tree_Item item = view.First;
        for (; item && static_cast<LRESULT>(view.Rows.size()) < rows; item = Next(TVGN_NEXTVISIBLE, item)) {
            const TVITEMW fields = Item_Fields(item, TVIF_STATE | TVIF_CHILDREN);
            view.Rows.push_back({item, fields.state & fields.stateMask, fields.cChildren});
        }
        view.Full = item != nullptr;
        for (const Row& row : view.Rows)
            for (Tree_Item part = row.Item; part; part = Next(TVGN_PARENT, part))
                if (std::find(view.Ancestors.begin(), view.Ancestors.end(), part) == view.Ancestors.end())
                    view.Ancestors.push_back(part);
        return view;
    }

    // Expanding an item may scroll it to show its children, and a new first item may leave the
    // control's idea of its top row behind: the user's place in the tree stays. Scrolling to the top
    // is asked for as the scroll bar does, since the control ignores a request to put its selected
    // item first.
    void Keep_View(const View& before) const
    {
        const Tree_Item wanted = before.At_Top ? Next(TVGN_ROOT, nullptr) : before.First;
        if (!wanted || Next(TVGN_FIRSTVISIBLE, nullptr) == wanted) return;
        if (before.At_Top) Send(WM_VSCROLL, SB_TOP, 0);
        if (Next(TVGN_FIRSTVISIBLE, nullptr) != wanted)
            Send(TVM_SELECTITEM, TVGN_FIRSTVISIBLE, reinterpret_cast<LPARAM>(wanted));
    }

public:
    void Activate(Tree_Item item) const
    {
        if (!item || !options_.Activation || !Window_Alive()) return;
        Post_Action(options_.Activation, Data_Of(item));
    }

    void Open(Tree_Item item) const
    {
        if (Is_Root(item)) return;
        if (Has_Children(item)) Send(TVM_EXPAND, TVE_TOGGLE, reinterpret_cast<LPARAM>(item));
        else Activate(item);
    }

private:

    // A hidden tree's selection is nobody's to follow.
    void Tell_Selection(Tree_Item item) const
    {
        if (!item || !options_.Selection_Changed || !IsWindowVisible(Window)) return;
        wchar_t text[Item_Text_Limit] = {};
        const TVITEMW fields = Item_Fields(item, TVIF_TEXT | TVIF_PARAM, text);
        try {
            options_.Selection_Changed(static_cast<std::uintptr_t>(fields.lParam), Windows::Unicode::Utf8(text));
        } catch (...) {
            Show_Current_Failure();
        }
    }

    // The item the user right-clicked becomes the one the menu is for.
    void Select_Item_Under_Mouse() const
    {
        TVHITTESTINFO hit{};
        const DWORD position = GetMessagePos(); // screen coordinates of the click
        hit.pt = {static_cast<short>(LOWORD(position)), static_cast<short>(HIWORD(position))};
        ScreenToClient(Window, &hit.pt);
        if (Send(TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)) && (hit.flags & TVHT_ONITEM))
            Send(TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(hit.hItem));
    }

    // Below the item's text, or the tree's corner without an item in view.
    POINT Menu_Point_For(Tree_Item item) const
    {
        RECT place{};
        std::memcpy(&place, &item, sizeof item); // the message takes the item in the rectangle
        POINT point{0, 0};
        if (item && Send(TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&place))) point = {place.left, place.bottom};
        ClientToScreen(Window, &point);
        return point;
    }

    // Each item shows its key after a tab, which the menu aligns at the right.
    UINT_PTR Track_Menu(POINT point)
    {
        Unique_Menu menu{CreatePopupMenu()};
        if (!menu) return 0;
        menu_items_ = options_.Menu_Items();
        for (std::size_t index = 0; index < menu_items_.size(); ++index) {
            const Menu_Item& item = menu_items_[index];
            if (item.Separator_Before && index != 0) AppendMenuW(menu.get(), MF_SEPARATOR, 0, nullptr);
            const std::string text = item.Key.empty() ? item.Text : item.Text + "\t" + item.Key;
            const UINT state = (item.Enabled ? MF_ENABLED : MF_GRAYED) | (item.Checked ? MF_CHECKED : MF_UNCHECKED);
            AppendMenuW(menu.get(), MF_STRING | state, First_Menu_Command + index, Windows::Unicode::Wide(text).c_str());
        }
        return static_cast<UINT_PTR>(TrackPopupMenu(menu.get(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_LEFTALIGN,
                                                    point.x, point.y, 0, Main_Window(), nullptr));
    }

    // Command 0: the menu was dismissed.
    void Run_Command(UINT_PTR command)
    {
        if (command < First_Menu_Command || command - First_Menu_Command >= menu_items_.size()) return;
        const Menu_Item chosen = menu_items_[command - First_Menu_Command];
        if (chosen.Command) chosen.Command();
    }

    // Parent 0 stands for the root.
    void Change_Children_Of(Tree_Item parent, UINT action) const
    {
        for (Tree_Item item = Next(parent ? TVGN_CHILD : TVGN_ROOT, parent); item; item = Next(TVGN_NEXT, item)) {
            if (!Has_Children(item)) continue;
            Send(TVM_EXPAND, action, reinterpret_cast<LPARAM>(item));
            Change_Children_Of(item, action);
        }
    }

    LRESULT Custom_Draw(NMTVCUSTOMDRAW& draw) const
    {
        switch (draw.nmcd.dwDrawStage) {
        case CDDS_PREPAINT:
            return options_.Colour ? CDRF_NOTIFYITEMDRAW : CDRF_DODEFAULT;
        case CDDS_ITEMPREPAINT:
            // A selected item keeps the system's highlight, which a colour would hide.
            if (!options_.Colour || (draw.nmcd.uItemState & CDIS_SELECTED)) return CDRF_DODEFAULT;
            draw.clrText = Painting_Value(draw.clrText, [&] {
                return options_.Colour(static_cast<std::uintptr_t>(draw.nmcd.lItemlParam));
            });
            draw.clrTextBk = White;
            return CDRF_DODEFAULT;
        default:
            return CDRF_DODEFAULT;
        }
    }

    const Tree_View_Options options_;
    WNDPROC control_procedure_ = nullptr;
    std::vector<Menu_Item> menu_items_; // of the open menu
    // Window thread only.
    bool held_ = false;
    bool changed_in_view_ = false;
    Tree_Item last_appended_parent_ = nullptr; // while held: items appended under it land out of view
    View before_; // what was in view when the drawing was held
};

// What the control cannot answer or draw rightly while its drawing is held.
bool Needs_Current_Picture(UINT message, WPARAM w_parameter) noexcept
{
    switch (message) {
    case WM_PAINT: case WM_ERASEBKGND: case WM_PRINTCLIENT: case WM_SIZE:
    case WM_VSCROLL: case WM_HSCROLL: case WM_MOUSEWHEEL:
    case WM_LBUTTONDOWN: case WM_LBUTTONDBLCLK: case WM_RBUTTONDOWN: case WM_RBUTTONDBLCLK: case WM_MBUTTONDOWN:
    case WM_KEYDOWN: case WM_CHAR: case WM_SETFOCUS: case WM_CONTEXTMENU:
    case TVM_GETITEMRECT: case TVM_HITTEST: case TVM_ENSUREVISIBLE: case TVM_SELECTITEM: case TVM_GETVISIBLECOUNT:
        return true;
    case TVM_GETNEXTITEM:
        return w_parameter == TVGN_FIRSTVISIBLE || w_parameter == TVGN_NEXTVISIBLE ||
               w_parameter == TVGN_PREVIOUSVISIBLE || w_parameter == TVGN_LASTVISIBLE;
    default:
        return false;
    }
}

LRESULT CALLBACK Catch_Up(HWND window, UINT message, WPARAM w_parameter, LPARAM l_parameter) noexcept
{
    auto& tree = *reinterpret_cast<Tree_View_Record*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    try {
        if (tree.Held() && Needs_Current_Picture(message, w_parameter)) tree.Show_Held_Changes();
    } catch (...) {
        Show_Current_Failure(); // nothing may leave a window procedure
    }
    const LRESULT result = tree.Call_Control(window, message, w_parameter, l_parameter);
    tree.Note(message, l_parameter, result);
    return result;
}

Tree_View_Record& Record_Of(const Tree_View& tree)
{
    auto* record = dynamic_cast<Tree_View_Record*>(&tree.Record());
    if (!record) throw Failures::ACCESS_ERROR("a tree-view handle that refers to another kind of control");
    return *record;
}

HTREEITEM Insert_After(Insert_Position position)
{
    switch (position) {
    case Insert_Position::First:
        return TVI_FIRST;
    case Insert_Position::Last:
        return TVI_LAST;
    case Insert_Position::Sorted:
        break;
    }
    return TVI_SORT;
}

void Set_Children_Mark(HWND window, Tree_Item item, int children)
{
    TVITEMW mark{};
    mark.mask = TVIF_CHILDREN;
    mark.hItem = item;
    mark.cChildren = children;
    Send_Message_W(window, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&mark));
}

// Where a new item goes, and whether its parent is marked as having children.
struct Placement {
    Tree_Item Parent;
    Insert_Position Position;
    std::uintptr_t Data;
    bool Mark_Parent;
    Tree_Item After = nullptr; // when given, in place of Position
};

// The insert and the parent's mark are one message to the window thread (none on that thread):
// the application inserts once per entry it receives.
Tree_Item Insert_Item(const Tree_View& tree, TVINSERTSTRUCTW& insert, bool mark_parent)
{
    HWND window = tree.Record().Window;
    const LRESULT item = Run_On_Window_Thread([&] {
        const LRESULT inserted = Send_Message_W(window, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert));
        if (mark_parent && !Is_Root(insert.hParent)) Set_Children_Mark(window, insert.hParent, 1);
        return inserted;
    });
    return reinterpret_cast<Tree_Item>(item);
}

// The has-children field is set explicitly (0), so the expand button shows exactly when the
// framework has marked the item.
Tree_Item Insert_Text(const Tree_View& tree, std::wstring_view text, const Placement& placement)
{
    std::wstring copy(text); // the message takes a text it may write to
    TVINSERTSTRUCTW insert{};
    insert.hParent = placement.Parent;
    insert.hInsertAfter = placement.After ? placement.After : Insert_After(placement.Position);
    insert.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_CHILDREN;
    insert.item.pszText = copy.data();
    insert.item.lParam = static_cast<LPARAM>(placement.Data);
    insert.item.cChildren = 0;
    return Insert_Item(tree, insert, placement.Mark_Parent);
}

Tree_Item Item_Or_Root(LRESULT item) { return item ? reinterpret_cast<Tree_Item>(item) : Root_Item; }

// Runs Work with the tree's record on the window thread.
template <typename Work>
void With_Record_On_Window_Thread(const Tree_View& tree, Work&& work)
{
    Tree_View_Record& record = Record_Of(tree);
    Run_On_Window_Thread([&]() -> LRESULT {
        work(record);
        return 0;
    });
}

} // namespace

bool Is_Root(Tree_Item item) noexcept { return item == TVI_ROOT || item == nullptr; }

Tree_View Create_Tree_View(const Page& page, Tree_View_Options options)
{
    Require(page);
    return Tree_View(&Create_Control(page, std::make_unique<Tree_View_Record>(std::move(options))));
}

Tree_View Create_Tree_View(const Page& page, Action_Routine_With_Argument activation, Colour_Callback colour)
{
    return Create_Tree_View(page, {.Activation = std::move(activation), .Colour = std::move(colour)});
}

Tree_Item Insert(const Tree_View& tree, const std::string& text, Tree_Item parent, Insert_Position position,
                 std::uintptr_t data)
{
    return Insert(tree, Windows::Unicode::Wide(text), parent, position, data);
}

Tree_Item Insert(const Tree_View& tree, const std::wstring& text, Tree_Item parent, Insert_Position position,
                 std::uintptr_t data)
{
    return Insert_Text(
        tree, text, {.Parent = parent, .Position = position, .Data = data, .Mark_Parent = true});
}

Tree_Item Insert_Unmarked(const Tree_View& tree, std::wstring_view text, Tree_Item parent, Insert_Position position,
                          std::uintptr_t data)
{
    return Insert_Text(
        tree, text, {.Parent = parent, .Position = position, .Data = data, .Mark_Parent = false});
}

Tree_Item Insert_After_Item(const Tree_View& tree, std::wstring_view text, Tree_Item parent, Tree_Item previous,
                            std::uintptr_t data)
{
    return Insert_Text(tree, text,
                                        {.Parent = parent,
                                         .Position = Insert_Position::First,
                                         .Data = data,
                                         .Mark_Parent = false,
                                         .After = Is_Root(previous) ? TVI_FIRST : previous});
}

void Set_Text(const Tree_View& tree, Tree_Item item, const std::string& text)
{
    Set_Text(tree, item, Windows::Unicode::Wide(text));
}

void Set_Text(const Tree_View& tree, Tree_Item item, const std::wstring& text)
{
    std::wstring copy = text;
    TVITEMW change{};
    change.mask = TVIF_TEXT;
    change.hItem = item;
    change.pszText = copy.data();
    Send_Message_W(tree.Record().Window, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&change));
}

void Mark_Having_Children(const Tree_View& tree, Tree_Item item) { Set_Children_Mark(tree.Record().Window, item, 1); }

void Mark_Having_No_Children(const Tree_View& tree, Tree_Item item)
{
    Set_Children_Mark(tree.Record().Window, item, 0);
}

Tree_Item Parent(const Tree_View& tree, Tree_Item item)
{
    if (Is_Root(item)) throw TREE_ITEM_IS_ROOT("the root has no parent");
    return Item_Or_Root(
        Send_Message(tree.Record().Window, TVM_GETNEXTITEM, TVGN_PARENT, reinterpret_cast<LPARAM>(item)));
}

// The control knows the root's children as the children of item 0.
Tree_Item First_Child(const Tree_View& tree, Tree_Item item)
{
    const LPARAM parent = Is_Root(item) ? 0 : reinterpret_cast<LPARAM>(item);
    return Item_Or_Root(Send_Message(tree.Record().Window, TVM_GETNEXTITEM, TVGN_CHILD, parent));
}

Tree_Item Next_Sibling(const Tree_View& tree, Tree_Item item)
{
    return Item_Or_Root(Send_Message(tree.Record().Window, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)));
}

Tree_Item Previous_Sibling(const Tree_View& tree, Tree_Item item)
{
    return Item_Or_Root(
        Send_Message(tree.Record().Window, TVM_GETNEXTITEM, TVGN_PREVIOUS, reinterpret_cast<LPARAM>(item)));
}

std::uintptr_t Item_Data(const Tree_View& tree, Tree_Item item)
{
    TVITEMW fields{};
    fields.mask = TVIF_PARAM;
    fields.hItem = item;
    Send_Message_W(tree.Record().Window, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&fields));
    return static_cast<std::uintptr_t>(fields.lParam);
}

void Activate(const Tree_View& tree, Tree_Item item)
{
    With_Record_On_Window_Thread(tree, [item](Tree_View_Record& record) { record.Activate(item); });
}

void Open(const Tree_View& tree, Tree_Item item)
{
    With_Record_On_Window_Thread(tree, [item](Tree_View_Record& record) { record.Open(item); });
}

void Show_Item_Menu(const Tree_View& tree)
{
    With_Record_On_Window_Thread(tree, [](Tree_View_Record& record) { record.Handle_Context_Menu({}, true); });
}

void Delete(const Tree_View& tree, Tree_Item item)
{
    const Tree_Item parent = Is_Root(item) ? Root_Item : Parent(tree, item);
    Send_Message(tree.Record().Window, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(item));
    if (!Is_Root(parent) && Is_Root(First_Child(tree, parent))) Mark_Having_No_Children(tree, parent);
}

void Delete_All(const Tree_View& tree) { Delete(tree, Root_Item); }

// The first leaf goes each time: a file node's entries before the node.
bool Delete_Some(const Tree_View& tree, std::chrono::milliseconds budget)
{
    HWND window = tree.Record().Window;
    const auto end = std::chrono::steady_clock::now() + budget;
    for (unsigned deleted = 0;; ++deleted) {
        const auto top = Send_Message(window, TVM_GETNEXTITEM, TVGN_ROOT, 0);
        if (!top) return true;
        const auto child = Send_Message(window, TVM_GETNEXTITEM, TVGN_CHILD, top);
        Send_Message(window, TVM_DELETEITEM, 0, child ? child : top);
        if (deleted % 16 == 15 && std::chrono::steady_clock::now() >= end) return false;
    }
}

void Expand(const Tree_View& tree, Tree_Item item)
{
    Send_Message(tree.Record().Window, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
}

bool Is_Expanded(const Tree_View& tree, Tree_Item item)
{
    return (Send_Message(tree.Record().Window, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), TVIS_EXPANDED) &
            TVIS_EXPANDED) != 0;
}

void Ensure_Visible(const Tree_View& tree, Tree_Item item)
{
    Send_Message(tree.Record().Window, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(item));
}

Tree_Item First_Visible(const Tree_View& tree)
{
    return Item_Or_Root(Send_Message(tree.Record().Window, TVM_GETNEXTITEM, TVGN_FIRSTVISIBLE, 0));
}

Tree_Item Selected_Item(const Tree_View& tree)
{
    return Item_Or_Root(Send_Message(tree.Record().Window, TVM_GETNEXTITEM, TVGN_CARET, 0));
}

void Select(const Tree_View& tree, Tree_Item item)
{
    Send_Message(tree.Record().Window, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
}

void Expand_All(const Tree_View& tree)
{
    With_Record_On_Window_Thread(tree, [](Tree_View_Record& record) { record.Change_All(TVE_EXPAND); });
}

void Collapse_All(const Tree_View& tree)
{
    With_Record_On_Window_Thread(tree, [](Tree_View_Record& record) { record.Change_All(TVE_COLLAPSE); });
}

namespace {

Tree_Item Last_Child(const Tree_View& tree, Tree_Item parent)
{
    Tree_Item last = First_Child(tree, parent);
    for (Tree_Item next = last; !Is_Root(next); next = Next_Sibling(tree, next)) last = next;
    return last;
}

// The next or previous top-level item, round the end.
Tree_Item Adjacent_Top_Item(const Tree_View& tree, Tree_Item item, bool forward)
{
    const Tree_Item adjacent = forward ? Next_Sibling(tree, item) : Previous_Sibling(tree, item);
    if (!Is_Root(adjacent)) return adjacent;
    return forward ? First_Child(tree, Root_Item) : Last_Child(tree, Root_Item);
}

// The second-level item after or before Item, round the end; the root when there is none.
Tree_Item Adjacent_Child(const Tree_View& tree, Tree_Item item, bool forward)
{
    Tree_Item top = Root_Item;
    if (Is_Root(item)) {
        top = forward ? First_Child(tree, Root_Item) : Last_Child(tree, Root_Item);
    } else if (Is_Root(Parent(tree, item))) {
        top = forward ? item : Adjacent_Top_Item(tree, item, false); // forward, its own children come first
    } else {
        const Tree_Item sibling = forward ? Next_Sibling(tree, item) : Previous_Sibling(tree, item);
        if (!Is_Root(sibling)) return sibling;
        top = Adjacent_Top_Item(tree, Parent(tree, item), forward);
    }
    const Tree_Item start = top;
    for (bool first = true; !Is_Root(top) && (first || top != start); first = false) {
        const Tree_Item child = forward ? First_Child(tree, top) : Last_Child(tree, top);
        if (!Is_Root(child)) return child;
        top = Adjacent_Top_Item(tree, top, forward);
    }
    return Root_Item;
}

} // namespace

Tree_Item Select_Adjacent_Child(const Tree_View& tree, bool forward)
{
    const Tree_Item child = Adjacent_Child(tree, Selected_Item(tree), forward);
    if (Is_Root(child)) return child;
    const Tree_Item parent = Parent(tree, child);
    if (!Is_Expanded(tree, parent)) Expand(tree, parent);
    Select(tree, child);
    Ensure_Visible(tree, child);
    return child;
}

Tree_Item Item_After_Removal(const Tree_View& tree, Tree_Item item)
{
    for (Tree_Item from = item; !Is_Root(from); from = Parent(tree, from)) {
        const Tree_Item next = Next_Sibling(tree, from);
        if (!Is_Root(next)) return next;
    }
    const Tree_Item previous = Previous_Sibling(tree, item);
    return Is_Root(previous) ? Parent(tree, item) : previous;
}

void Hold_Drawing(const Tree_View& tree) { Record_Of(tree).Hold_Drawing(); }
bool Held_Changes_In_View(const Tree_View& tree) { return Record_Of(tree).Changed_In_View(); }
void Show_Held_Changes(const Tree_View& tree) { Record_Of(tree).Show_Held_Changes(); }

} // namespace Gui
