#pragma once
// The results window's working of the results: the filter box above the tree, stepping through
// the entries (F4, F8), dismissing (Delete, Ctrl+Z), copying all (Ctrl+Shift+C) and saving
// (Ctrl+S), and the status line's counts while the view is narrowed. The trees that show the
// narrowed view are Narrowed_Trees'; the full tree is the tree feed's, and none of this changes it.

#include "viewer/narrowed_trees.hpp"
#include "viewer/narrowing.hpp"
#include "viewer/results.hpp"
#include "viewer/status_text.hpp"
#include "viewer/tree_feed.hpp"
#include "gui/controls.hpp"
#include "gui/tree_view.hpp"

#include <atomic>
#include <functional>
#include <string>
#include <vector>

namespace Control {

class Results_View {
public:
    // The filter waits this long after the last key.
    static constexpr unsigned Filter_Delay_Ms = 150;

    // Shows Results, whose full tree Feed fills.
    Results_View(const Results& results, const Tree_Feed& feed);
    Results_View(const Results_View&) = delete;
    Results_View& operator=(const Results_View&) = delete;

    // Makes the filter box and the trees on Page and takes the window's keys; returns the full
    // tree, for the feed. Options are the trees' own; the view adds its menu items.
    Gui::Tree_View Create(const Gui::Page& page, Gui::Tree_View_Options options);

    // Window thread: a node that went into the full tree (Tree_Feed's Observe_Inserts), and the end
    // of a round of the feed.
    void Take_Item(Results::Node node);
    void After_Round();

    // The status line's text: today's texts while the view shows everything, else
    // "S of N entries in T of M files" with the same prefix. Any thread.
    std::string Status_Line(Transfer_Phase phase, const Counts& in_tree);

    // Window thread: the work the keys and the menu start.
    void Step(bool forward);
    void Dismiss_Selected();
    void Undo_Dismiss();
    void Copy_All();
    void Save_As();
    void Apply_Filter(); // the filter box's text, now

private:
    using Node = Results::Node;

    bool On_Key(const MSG& press);
    bool On_Filter_Key(WPARAM key);
    bool On_Tree_Key(WPARAM key, bool control);
    void Focus_Filter_Box();
    void Filter_Changed();
    std::vector<Gui::Menu_Item> Menu_Items();
    Node Selected_Node() const;
    void Show(Node target);
    void Refresh_Status();

    const Results& results_;
    Narrowing narrowing_{results_};
    Narrowed_Trees trees_;
    std::function<std::vector<Gui::Menu_Item>()> caller_menu_items_; // after the view's own
    Gui::Plain_Edit_Box filter_box_;
    std::atomic<Transfer_Phase> phase_{Transfer_Phase::Receiving};
};

} // namespace Control
