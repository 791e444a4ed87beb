#include "gui/tree_view.hpp"

#include "gui/window_thread.hpp"

#include <type_traits>

namespace Gui {

namespace {

class Tree_View_Record final : public Child_Record {
public:
    Tree_View_Record(Action_Routine_With_Argument activation, Colour_Callback colour)
        : Child_Record(Control_Kind::Tree_View), activation_(std::move(activation)), colour_(std::move(colour))
    {
    }

    LRESULT Handle_Notify(NMHDR& header) override
    {
        switch (header.code) {
        case static_cast<UINT>(NM_DBLCLK):
            Activate_Selected_Item();
            return 0;
        case static_cast<UINT>(NM_CUSTOMDRAW):
            return Custom_Draw(reinterpret_cast<NMTVCUSTOMDRAW&>(header));
        default:
            return 0;
        }
    }

private:
    // Only a double-click activates; the item is the selected one, which the first click made.
    void Activate_Selected_Item() const
    {
        if (!activation_ || !Window_Alive()) return;
        const auto selected = Send_Message(Window, TVM_GETNEXTITEM, TVGN_CARET, 0);
        if (!selected) return;
        TVITEMA item{};
        item.mask = TVIF_PARAM;
        item.hItem = reinterpret_cast<HTREEITEM>(selected);
        if (!Send_Message(Window, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) return;
        Post_Action(activation_, static_cast<std::uintptr_t>(item.lParam));
    }

    LRESULT Custom_Draw(NMTVCUSTOMDRAW& draw) const
    {
        switch (draw.nmcd.dwDrawStage) {
        case CDDS_PREPAINT:
            return colour_ ? CDRF_NOTIFYITEMDRAW : CDRF_DODEFAULT;
        case CDDS_ITEMPREPAINT:
            if (!colour_) return CDRF_DODEFAULT;
            draw.clrText = Painting_Value(draw.clrText, [&] {
                return colour_(static_cast<std::uintptr_t>(draw.nmcd.lItemlParam));
            });
            draw.clrTextBk = White;
            return CDRF_DODEFAULT;
        default:
            return CDRF_DODEFAULT;
        }
    }

    const Action_Routine_With_Argument activation_;
    const Colour_Callback colour_;
};

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
    TVITEMA mark{};
    mark.mask = TVIF_CHILDREN;
    mark.hItem = item;
    mark.cChildren = children;
    Send_Message(window, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&mark));
}

// Where a new item goes, and whether its parent is marked as having children.
struct Placement {
    Tree_Item Parent;
    Insert_Position Position;
    std::uintptr_t Data;
    bool Mark_Parent;
};

// The insert and the parent's mark are one message to the window thread (none on that thread):
// the application inserts once per entry it receives.
template <typename Insert_Structure>
Tree_Item Insert_Item(const Tree_View& tree, Insert_Structure& insert, bool mark_parent)
{
    constexpr bool wide = std::is_same_v<Insert_Structure, TVINSERTSTRUCTW>;
    HWND window = tree.Record().Window;
    const LRESULT item = Run_On_Window_Thread([&] {
        const LRESULT inserted =
            wide ? Send_Message_W(window, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert))
                 : Send_Message(window, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert));
        if (mark_parent && !Is_Root(insert.hParent)) Set_Children_Mark(window, insert.hParent, 1);
        return inserted;
    });
    return reinterpret_cast<Tree_Item>(item);
}

Tree_Item Item_Or_Root(LRESULT item) { return item ? reinterpret_cast<Tree_Item>(item) : Root_Item; }

} // namespace

bool Is_Root(Tree_Item item) noexcept { return item == TVI_ROOT || item == nullptr; }

Tree_View Create_Tree_View(const Page& page, Action_Routine_With_Argument activation, Colour_Callback colour)
{
    Require(page);
    return Tree_View(&Create_Control(page, std::make_unique<Tree_View_Record>(std::move(activation), std::move(colour))));
}

namespace {

// Both forms set the has-children field explicitly (0), so the expand button shows exactly when
// the framework has marked the item, whichever text form inserted it.
template <typename Insert_Structure, typename Text>
Tree_Item Insert_Text(const Tree_View& tree, Text copy, const Placement& placement)
{
    Insert_Structure insert{};
    insert.hParent = placement.Parent;
    insert.hInsertAfter = Insert_After(placement.Position);
    insert.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_CHILDREN;
    insert.item.pszText = copy.data();
    insert.item.lParam = static_cast<LPARAM>(placement.Data);
    insert.item.cChildren = 0;
    return Insert_Item(tree, insert, placement.Mark_Parent);
}

} // namespace

Tree_Item Insert(const Tree_View& tree, const std::string& text, Tree_Item parent, Insert_Position position,
                 std::uintptr_t data)
{
    return Insert_Text<TVINSERTSTRUCTA>(tree, text, {.Parent = parent, .Position = position, .Data = data, .Mark_Parent = true});
}

Tree_Item Insert(const Tree_View& tree, const std::wstring& text, Tree_Item parent, Insert_Position position,
                 std::uintptr_t data)
{
    return Insert_Text<TVINSERTSTRUCTW>(tree, text, {.Parent = parent, .Position = position, .Data = data, .Mark_Parent = true});
}

Tree_Item Insert_Unmarked(const Tree_View& tree, const std::string& text, Tree_Item parent, Insert_Position position,
                          std::uintptr_t data)
{
    return Insert_Text<TVINSERTSTRUCTA>(tree, text, {.Parent = parent, .Position = position, .Data = data, .Mark_Parent = false});
}

void Set_Text(const Tree_View& tree, Tree_Item item, const std::string& text)
{
    std::string copy = text;
    TVITEMA change{};
    change.mask = TVIF_TEXT;
    change.hItem = item;
    change.pszText = copy.data();
    Send_Message(tree.Record().Window, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&change));
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

void Delete(const Tree_View& tree, Tree_Item item)
{
    const Tree_Item parent = Is_Root(item) ? Root_Item : Parent(tree, item);
    Send_Message(tree.Record().Window, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(item));
    if (!Is_Root(parent) && Is_Root(First_Child(tree, parent))) Mark_Having_No_Children(tree, parent);
}

void Delete_All(const Tree_View& tree) { Delete(tree, Root_Item); }

void Expand(const Tree_View& tree, Tree_Item item)
{
    Send_Message(tree.Record().Window, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
}

void Ensure_Visible(const Tree_View& tree, Tree_Item item)
{
    Send_Message(tree.Record().Window, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(item));
}

} // namespace Gui
