#include "viewer/results_view.hpp"

#include "viewer/results_export.hpp"
#include "viewer/timers.hpp"
#include "gui/gui.hpp"

#include <windows.h>

namespace Control {

namespace {

bool Pressed(int key) { return GetKeyState(key) < 0; }

} // namespace

Results_View::Results_View(const Results& results, const Tree_Feed& feed)
    : results_(results), trees_(results, narrowing_, feed)
{
}

Gui::Tree_View Results_View::Create(const Gui::Page& page, Gui::Tree_View_Options options)
{
    caller_menu_items_ = std::move(options.More_Menu_Items);
    options.More_Menu_Items = [this] { return Menu_Items(); };
    filter_box_ = Gui::Create_Edit_Box(page, {.Cue = "Filter", .Changed = [this] { Filter_Changed(); }});
    const Gui::Tree_View full = Gui::Create_Tree_View(page, options);
    Gui::Use_Font_Of(filter_box_, full);
    trees_.Create(page, full, options, [this] { Refresh_Status(); });
    Gui::Add_Key_Hook([this](const MSG& press) { return On_Key(press); });
    return full;
}

void Results_View::Take_Item(Node node) { narrowing_.Take(node); }

void Results_View::After_Round() { trees_.After_Round(); }

std::string Results_View::Status_Line(Transfer_Phase phase, const Counts& in_tree)
{
    phase_ = phase;
    std::string line;
    Gui::Run_On_Window_Thread([&] {
        if (narrowing_.Is_Plain()) {
            line = Status_Text(phase, in_tree.Entries, in_tree.Files);
            return LRESULT{0};
        }
        line = Narrowed_Status_Text(phase, narrowing_.Shown(), narrowing_.Received());
        return LRESULT{0};
    });
    return line;
}

void Results_View::Refresh_Status()
{
    Gui::Set_Status_Text(Status_Line(phase_, narrowing_.Received()));
}

// --- Keys and the menu ----------------------------------------------------------------------------

// Ctrl+F, the stepping keys, Copy all and Save work anywhere in the window; the others where the
// focus is.
bool Results_View::On_Key(const MSG& press)
{
    if (press.message != WM_KEYDOWN) return false;
    const bool control = Pressed(VK_CONTROL);
    const bool shift = Pressed(VK_SHIFT);
    const WPARAM key = press.wParam;
    if (control && !shift && key == 'F') Focus_Filter_Box();
    else if (!control && (key == VK_F4 || key == VK_F8)) Step(!shift);
    else if (control && shift && key == 'C') Copy_All();
    else if (control && !shift && key == 'S') Save_As();
    else if (press.hwnd == filter_box_.Window()) return !control && !shift && On_Filter_Key(key);
    else if (press.hwnd == trees_.Shown_Tree().Window()) return !shift && On_Tree_Key(key, control);
    else return false;
    return true;
}

void Results_View::Focus_Filter_Box()
{
    Gui::Focus(filter_box_);
    SendMessageA(filter_box_.Window(), EM_SETSEL, 0, -1);
}

bool Results_View::On_Tree_Key(WPARAM key, bool control)
{
    if (!control && key == VK_DELETE) Dismiss_Selected();
    else if (control && key == 'Z') Undo_Dismiss();
    else return false;
    return true;
}

// Down and Enter go to the tree; Esc empties the box, and in an empty box goes to the tree.
bool Results_View::On_Filter_Key(WPARAM key)
{
    if (key == VK_ESCAPE && GetWindowTextLengthA(filter_box_.Window()) > 0) {
        SetWindowTextA(filter_box_.Window(), "");
        Apply_Filter();
        return true;
    }
    if (key != VK_DOWN && key != VK_RETURN && key != VK_ESCAPE) return false;
    Gui::Focus(trees_.Shown_Tree());
    return true;
}

std::vector<Gui::Menu_Item> Results_View::Menu_Items()
{
    const bool selected = !Gui::Is_Root(Gui::Selected_Item(trees_.Shown_Tree()));
    std::vector<Gui::Menu_Item> items{
        {.Text = "&Dismiss", .Key = "Del", .Enabled = selected, .Command = [this] { Dismiss_Selected(); }},
        {.Text = "&Undo dismiss",
         .Key = "Ctrl+Z",
         .Enabled = narrowing_.Has_Dismissed(),
         .Command = [this] { Undo_Dismiss(); }},
        {.Text = "Copy &all", .Key = "Ctrl+Shift+C", .Enabled = true, .Command = [this] { Copy_All(); }},
        {.Text = "&Save as...", .Key = "Ctrl+S", .Enabled = true, .Command = [this] { Save_As(); }},
    };
    if (caller_menu_items_) {
        for (Gui::Menu_Item& item : caller_menu_items_()) items.push_back(std::move(item));
    }
    return items;
}

Results_View::Node Results_View::Selected_Node() const
{
    const Gui::Tree_View tree = trees_.Shown_Tree();
    return Node_Of_Item(results_, tree, Gui::Selected_Item(tree));
}

// --- The filter, dismissing and undoing ----------------------------------------------------------------

void Results_View::Filter_Changed()
{
    Start_Timer(Timer::Filter_Delay, Filter_Delay_Ms, [this] { Apply_Filter(); });
}

void Results_View::Apply_Filter()
{
    Stop_Timer(Timer::Filter_Delay);
    const Node target = Selected_Node();
    narrowing_.Set_Filter(Gui::Edit_Text(filter_box_));
    Show(target);
}

void Results_View::Show(Node target)
{
    trees_.Show(target);
    Refresh_Status();
}

void Results_View::Dismiss_Selected()
{
    const Gui::Tree_View tree = trees_.Shown_Tree();
    const Gui::Tree_Item item = Gui::Selected_Item(tree);
    const Node node = Node_Of_Item(results_, tree, item);
    if (Gui::Is_Root(item) || node.File == Results::None) return;
    if (trees_.Can_Take_Out()) {
        narrowing_.Dismiss(node);
        trees_.Take_Out(item, node);
        Refresh_Status();
        return;
    }
    const Node next = Node_Of_Item(results_, tree, Gui::Item_After_Removal(tree, item));
    narrowing_.Dismiss(node);
    Show(next);
}

void Results_View::Undo_Dismiss()
{
    Node restored;
    if (narrowing_.Undo_Dismiss(restored)) Show(restored);
}

// --- Stepping, copying and saving ------------------------------------------------------------------------

void Results_View::Step(bool forward)
{
    const Gui::Tree_View tree = trees_.Shown_Tree();
    const Gui::Tree_Item entry = Gui::Select_Adjacent_Child(tree, forward);
    if (!Gui::Is_Root(entry)) Gui::Activate(tree, entry);
}

void Results_View::Copy_All() { Control::Copy_All(narrowing_.Place_Lines()); }

void Results_View::Save_As()
{
    Control::Save_As(Gui::Title(), [this] { return narrowing_.Place_Lines(); });
}

} // namespace Control
