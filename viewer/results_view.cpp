#include "viewer/results_view.hpp"

#include "viewer/entry_text.hpp"
#include "viewer/place_tracker.hpp"
#include "viewer/results_export.hpp"
#include "viewer/timers.hpp"
#include "gui/clipboard.hpp"
#include "gui/gui.hpp"

namespace Control {

namespace {

bool Pressed(int key) { return GetKeyState(key) < 0; }

} // namespace

// --- The commands ----------------------------------------------------------------------------------

const std::vector<Results_View::Command>& Results_View::Commands()
{
    using View = Results_View;
    static const std::vector<Command> commands{
        {.Menu_Text = "&Open",
         .Place = Key_Place::Tree,
         .Keys = {{VK_RETURN, false, false, "Enter"}, {0, false, false, "double-click"}},
         .Action = &View::Open_Selected,
         .Enabled = &View::Has_Selection},
        {.Menu_Text = "&Copy",
         .Place = Key_Place::Tree,
         .Keys = {{'C', true, false, "Ctrl+C"}, {VK_INSERT, true, false, "Ctrl+Insert"}},
         .Action = &View::Copy_Selected,
         .Enabled = &View::Has_Selection},
        {.Menu_Text = "&Expand all", .Action = &View::Expand_All, .Separator_Before = true},
        {.Menu_Text = "Co&llapse all", .Action = &View::Collapse_All},
        {.Menu_Text = "&Dismiss",
         .Place = Key_Place::Tree,
         .Keys = {{VK_DELETE, false, false, "Delete"}},
         .Action = &View::Dismiss_Selected,
         .Enabled = &View::Has_Selection,
         .Separator_Before = true},
        {.Menu_Text = "&Undo dismiss",
         .Place = Key_Place::Tree,
         .Keys = {{'Z', true, false, "Ctrl+Z"}},
         .Action = &View::Undo_Dismiss,
         .Enabled = &View::Has_Dismissed},
        {.Menu_Text = "Copy &all", .Keys = {{'C', true, true, "Ctrl+Shift+C"}}, .Action = &View::Copy_All},
        {.Menu_Text = "&Save as...", .Keys = {{'S', true, false, "Ctrl+S"}}, .Action = &View::Save_As},
        {.Menu_Text = "&Preview",
         .Keys = {{'P', true, false, "Ctrl+P"}},
         .Action = &View::Toggle_Preview,
         .Checked = &View::Preview_Shown},
        {.Keys = {{'F', true, false, "Ctrl+F"}}, .Action = &View::Focus_Filter_Box},
        {.Place = Key_Place::Filter_Box,
         .Keys = {{VK_DOWN, false, false, "Down"}, {VK_RETURN, false, false, "Enter"}},
         .Action = &View::Leave_Filter_Box},
        {.Place = Key_Place::Filter_Box, .Keys = {{VK_ESCAPE, false, false, "Esc"}}, .Action = &View::Clear_Filter},
        {.Keys = {{VK_F8, false, false, "F8"}, {VK_F4, false, false, "F4"}}, .Action = &View::Step_Forward},
        {.Keys = {{VK_F8, false, true, "Shift+F8"}, {VK_F4, false, true, "Shift+F4"}}, .Action = &View::Step_Backward},
        {.Place = Key_Place::Tree,
         .Keys = {{VK_F10, false, true, "Shift+F10"}, {VK_APPS, false, false, "the menu key"}, {0, false, false, "right-click"}},
         .Action = &View::Show_Item_Menu},
    };
    return commands;
}

// A window-wide command's key works wherever the focus is.
const Results_View::Command* Results_View::Command_For(WORD code, bool control, bool shift, Key_Place place)
{
    for (const Command& command : Commands()) {
        if (command.Place != Key_Place::Window && command.Place != place) continue;
        for (const Key& key : command.Keys)
            if (key.Code != 0 && key.Code == code && key.Control == control && key.Shift == shift) return &command;
    }
    return nullptr;
}

// Alt with a key is the system's (and the menus').
bool Results_View::On_Key(const MSG& press)
{
    if (press.message != WM_KEYDOWN && press.message != WM_SYSKEYDOWN) return false;
    if (Pressed(VK_MENU)) return false;
    Key_Place place = Key_Place::Window;
    if (press.hwnd == filter_box_.Window()) place = Key_Place::Filter_Box;
    else if (press.hwnd == trees_.Shown_Tree().Window()) place = Key_Place::Tree;
    const Command* command =
        Command_For(static_cast<WORD>(press.wParam), Pressed(VK_CONTROL), Pressed(VK_SHIFT), place);
    if (!command) return false;
    (this->*command->Action)();
    return true;
}

std::vector<Gui::Menu_Item> Results_View::Menu_Items()
{
    std::vector<Gui::Menu_Item> items;
    for (const Command& command : Commands()) {
        if (!command.Menu_Text) continue;
        items.push_back({.Text = command.Menu_Text,
                         .Key = command.Keys.empty() ? "" : command.Keys.front().Name,
                         .Enabled = !command.Enabled || (this->*command.Enabled)(),
                         .Checked = command.Checked && (this->*command.Checked)(),
                         .Separator_Before = command.Separator_Before,
                         .Command = [this, action = command.Action] { (this->*action)(); }});
    }
    return items;
}

// --- Creation and the feed ------------------------------------------------------------------------

Results_View::Results_View(const Results& results, const Tree_Feed& feed, Preview_Pane& preview)
    : results_(results), preview_(preview), trees_(results, narrowing_, feed)
{
}

Gui::Tree_View Results_View::Create(const Gui::Page& page, Gui::Tree_View_Options options)
{
    options.Menu_Items = [this] { return Menu_Items(); };
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
    const std::string followed = Follow_Status(results_.Followed());
    return followed.empty() ? line : line + "; " + followed;
}

void Results_View::Refresh_Status()
{
    Gui::Set_Status_Text(Status_Line(phase_, narrowing_.Received()));
}

// --- The commands' actions ----------------------------------------------------------------------------

void Results_View::Open_Selected()
{
    const Gui::Tree_View tree = trees_.Shown_Tree();
    Gui::Open(tree, Gui::Selected_Item(tree));
}

std::string Results_View::Copied_Text(Node node) const
{
    return node.Is_Entry() ? Place_Line(results_.Element_Of(node)) : results_.File_Name(node.File);
}

void Results_View::Copy_Selected()
{
    const Node node = Selected_Node();
    if (node.File != Results::None) Gui::Put_On_Clipboard_In_Both_Forms(Gui::Main_Window(), Copied_Text(node));
}

void Results_View::Expand_All() { Gui::Expand_All(trees_.Shown_Tree()); }

void Results_View::Collapse_All() { Gui::Collapse_All(trees_.Shown_Tree()); }

void Results_View::Copy_All() { Control::Copy_All(narrowing_.Place_Lines()); }

void Results_View::Save_As()
{
    Control::Save_As(Gui::Title(), [this] { return narrowing_.Place_Lines(Saved_Name); });
}

void Results_View::Toggle_Preview() { preview_.Toggle(); }

void Results_View::Focus_Filter_Box()
{
    Gui::Focus(filter_box_);
    SendMessageW(filter_box_.Window(), EM_SETSEL, 0, -1);
}

void Results_View::Leave_Filter_Box() { Gui::Focus(trees_.Shown_Tree()); }

// In an empty box, Esc goes back to the tree.
void Results_View::Clear_Filter()
{
    if (GetWindowTextLengthW(filter_box_.Window()) == 0) {
        Leave_Filter_Box();
        return;
    }
    SetWindowTextW(filter_box_.Window(), L"");
    Apply_Filter();
}

void Results_View::Step_Forward() { Step(true); }

void Results_View::Step_Backward() { Step(false); }

void Results_View::Show_Item_Menu() { Gui::Show_Item_Menu(trees_.Shown_Tree()); }

bool Results_View::Has_Selection() const { return !Gui::Is_Root(Gui::Selected_Item(trees_.Shown_Tree())); }

bool Results_View::Has_Dismissed() const { return narrowing_.Has_Dismissed(); }

bool Results_View::Preview_Shown() const { return preview_.Is_Shown(); }

void Results_View::Step(bool forward)
{
    const Gui::Tree_View tree = trees_.Shown_Tree();
    const Gui::Tree_Item entry = Gui::Select_Adjacent_Child(tree, forward);
    if (!Gui::Is_Root(entry)) Gui::Activate(tree, entry);
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
    const Node target = trees_.Wanted_Selection();
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

} // namespace Control
