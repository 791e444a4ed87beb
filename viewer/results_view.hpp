#pragma once
// The results window's working of the results: the filter box above the tree, stepping through
// the entries (F4, F8), dismissing (Delete, Ctrl+Z), copying all (Ctrl+Shift+C) and saving
// (Ctrl+S), and the status line's counts while the view is narrowed.
//
// The full tree, which the tree feed fills, is never changed by any of it. While a filter is set or
// something is dismissed, a second tree takes its place on the page and shows the narrowed view;
// emptying the filter brings the full tree back as the user left it. The reason is the tree
// control's cost: it finds an item by searching all its items, so taking tens of thousands of
// items out of a tree one by one takes minutes, while building a small tree anew takes
// milliseconds. A narrowed tree that is no longer wanted is emptied in the background, in short
// rounds, and used again.

#include "viewer/narrowing.hpp"
#include "viewer/results.hpp"
#include "viewer/status_text.hpp"
#include "viewer/tree_feed.hpp"
#include "gui/controls.hpp"
#include "gui/tree_view.hpp"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Control {

class Results_View {
public:
    // The filter waits this long after the last key.
    static constexpr unsigned Filter_Delay_Ms = 150;
    // The longest stretch of work on the window thread at a time while a tree is built or emptied.
    static constexpr unsigned Work_Slice_Ms = 30;

    // Shows Results, whose full tree Feed fills.
    Results_View(const Results& results, const Tree_Feed& feed);
    ~Results_View();
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
    void Work_Round();   // the next slice of building or emptying narrowed trees
    void Apply_Filter(); // the filter box's text, now

private:
    using Clock = std::chrono::steady_clock;
    struct Narrowed;
    struct Build;

    bool On_Key(const MSG& press);
    bool On_Filter_Key(WPARAM key);
    bool On_Tree_Key(WPARAM key, bool control);
    void Focus_Filter_Box();
    void Filter_Changed();
    std::vector<Gui::Menu_Item> Menu_Items();

    Gui::Tree_View Shown_Tree() const;
    Results::Node Node_Of(const Gui::Tree_View& tree, Gui::Tree_Item item) const;
    Results::Node Selected_Node() const;
    Gui::Tree_Item Full_Tree_Item(Results::Node node) const;
    void Show(Results::Node target);
    void Show_Full_Tree(Results::Node target);
    Narrowed& Free_Narrowed();
    void Start_Build(Narrowed& tree, Results::Node target);
    bool Build_Slice(Clock::time_point end);
    void Finish_Build();
    void Insert_Entries(Narrowed& tree, Results::File_Index file);
    bool Insert_Entry(Narrowed& tree, Results::Node entry, Gui::Tree_Item parent);
    Gui::Tree_Item Narrowed_Item(const Narrowed& tree, Results::Node target) const;
    Gui::Tree_Item Insert_File_Node(Narrowed& tree, Results::File_Index file, Gui::Tree_Item after);
    void Append_New_Entries(Narrowed& tree);
    void Retire(Narrowed* tree);
    bool Empty_Slice(Narrowed& tree, Clock::time_point end);
    void Dismiss_In_Narrowed(Narrowed& tree, Gui::Tree_Item item, Results::Node node);
    void Schedule_Work();
    void Refresh_Status();

    const Results& results_;
    const Tree_Feed& feed_;
    Narrowing narrowing_{results_};
    std::string text_; // of the node being inserted, used again for every node
    Gui::Page page_;
    Gui::Tree_View_Options options_;
    std::function<std::vector<Gui::Menu_Item>()> caller_menu_items_; // after the view's own
    Gui::Tree_View full_;
    Gui::Plain_Edit_Box filter_box_;
    std::vector<std::unique_ptr<Narrowed>> narrowed_;
    Narrowed* shown_ = nullptr; // null: the full tree
    std::unique_ptr<Build> build_;
    std::atomic<Transfer_Phase> phase_{Transfer_Phase::Receiving};
};

} // namespace Control
