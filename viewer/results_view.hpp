#pragma once
// The results window's working of the results: the filter box above the tree, the window's
// commands (its keys and the item menu, declared once in Commands), and the status line's counts
// while the view is narrowed. The trees that show the narrowed view are Narrowed_Trees'; the full
// tree is the tree feed's, and none of this changes it.

#include "viewer/narrowed_trees.hpp"
#include "viewer/narrowing.hpp"
#include "viewer/preview_pane.hpp"
#include "viewer/results.hpp"
#include "viewer/status_text.hpp"
#include "viewer/tree_feed.hpp"
#include "gui/controls.hpp"
#include "gui/tree_view.hpp"

#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

namespace Control {

class Results_View {
public:
    // The filter waits this long after the last key.
    static constexpr unsigned Filter_Delay_Ms = 150;

    // A key as the README and the item menu name it. Code 0 is a mouse action, which the tree view
    // does itself (a double-click activates, a right-click opens the item menu).
    struct Key {
        WORD Code = 0;
        bool Control = false;
        bool Shift = false;
        const char* Name = "";
    };
    // Where a command's keys work: anywhere in the window, or where the keyboard focus is.
    enum class Key_Place { Window, Tree, Filter_Box };
    struct Command {
        const char* Menu_Text = nullptr; // with its mnemonic; none: not in the item menu
        Key_Place Place = Key_Place::Window;
        std::vector<Key> Keys; // the item menu shows the first
        void (Results_View::*Action)() = nullptr;
        bool (Results_View::*Enabled)() const = nullptr; // in the menu; always when none
        bool (Results_View::*Checked)() const = nullptr; // a check mark in the menu while it holds
        bool Separator_Before = false;                   // in the menu
    };
    // Every key and item-menu entry of the window, in the menu's order: the item menu lists those
    // with a menu text, the key hook runs the one whose key was pressed, and the README's key
    // table lists the same keys.
    static const std::vector<Command>& Commands();
    // The command that a press of Code with these modifiers names in Place; none for a press that
    // is no command's.
    static const Command* Command_For(WORD code, bool control, bool shift, Key_Place place);

    // Shows Results, whose full tree Feed fills, above Preview.
    Results_View(const Results& results, const Tree_Feed& feed, Preview_Pane& preview);
    Results_View(const Results_View&) = delete;
    Results_View& operator=(const Results_View&) = delete;

    // Makes the filter box and the trees on Page and takes the window's keys; returns the full
    // tree, for the feed. Options are the trees' own; the view gives them their item menu.
    Gui::Tree_View Create(const Gui::Page& page, Gui::Tree_View_Options options);

    // Window thread: a node that went into the full tree (Tree_Feed's Observe_Inserts), and the end
    // of a round of the feed.
    void Take_Item(Results::Node node);
    void After_Round();

    // The status line's text: today's texts while the view shows everything, else
    // "S of N entries in T of M files" with the same prefix; then, while places in changed files
    // moved or are gone, "; N places moved, M gone". Any thread.
    std::string Status_Line(Transfer_Phase phase, const Counts& in_tree);
    // Window thread: the status line anew, and the tree in view.
    void Refresh_Status();
    Gui::Tree_View Shown_Tree() const { return trees_.Shown_Tree(); }

private:
    using Node = Results::Node;

    // The node's place line, or a file node's name: what Ctrl+C copies.
    std::string Copied_Text(Node node) const;

    // The commands' actions and states (window thread).
    void Open_Selected();
    void Copy_Selected();
    void Expand_All();
    void Collapse_All();
    void Dismiss_Selected();
    void Undo_Dismiss();
    void Copy_All();
    void Save_As();
    void Toggle_Preview();
    void Focus_Filter_Box();
    void Leave_Filter_Box();
    void Clear_Filter();
    void Step_Forward();
    void Step_Backward();
    void Show_Item_Menu();
    bool Has_Selection() const;
    bool Has_Dismissed() const;
    bool Preview_Shown() const;

    bool On_Key(const MSG& press);
    std::vector<Gui::Menu_Item> Menu_Items();
    void Filter_Changed();
    void Apply_Filter(); // the filter box's text, now
    Node Selected_Node() const;
    void Step(bool forward);
    void Show(Node target);

    const Results& results_;
    Preview_Pane& preview_;
    Narrowing narrowing_{results_};
    Narrowed_Trees trees_;
    Gui::Plain_Edit_Box filter_box_;
    std::atomic<Transfer_Phase> phase_{Transfer_Phase::Receiving};
};

} // namespace Control
