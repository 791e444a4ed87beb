#pragma once
// The trees that show the results narrowed. The full tree, which the tree feed fills, is never
// changed by the filter or by dismissing: while either narrows the view, a second tree takes its
// place on the page and shows what is left; once nothing narrows it, the full tree comes back as
// the user left it. The reason is the tree control's cost: it finds an item by searching all its
// items, so taking tens of thousands of items out of a tree one by one takes minutes, while
// building a small tree anew takes milliseconds. A narrowed tree is built in slices of the window
// thread's time, and one that is no longer wanted is emptied in the background, in short rounds,
// and used again. Window thread only.

#include "viewer/narrowing.hpp"
#include "viewer/results.hpp"
#include "viewer/tree_feed.hpp"
#include "gui/pages.hpp"
#include "gui/tree_view.hpp"

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace Control {

// The node an item of one of the trees stands for; no node for the root.
Results::Node Node_Of_Item(const Results& results, const Gui::Tree_View& tree, Gui::Tree_Item item);

class Narrowed_Trees {
public:
    using Node = Results::Node;
    // The longest stretch of work on the window thread at a time while a tree is built or emptied.
    static constexpr unsigned Work_Slice_Ms = 30;

    // Shows Results as Narrowing wants them; Feed fills the full tree.
    Narrowed_Trees(const Results& results, const Narrowing& narrowing, const Tree_Feed& feed);
    ~Narrowed_Trees();
    Narrowed_Trees(const Narrowed_Trees&) = delete;
    Narrowed_Trees& operator=(const Narrowed_Trees&) = delete;

    // The page and its full tree; new trees get Options. Shown is told whenever a narrowed tree
    // has come into view.
    void Create(const Gui::Page& page, const Gui::Tree_View& full, Gui::Tree_View_Options options,
                std::function<void()> shown);

    // The tree in view: the full one or a narrowed one.
    Gui::Tree_View Shown_Tree() const;
    // The node the user's selection is on. A narrowed tree that does not show the node selected
    // before selects its first node in its place, and while that stays selected, the node before
    // is still the one wanted: emptying the filter goes back to it.
    Node Wanted_Selection() const;
    // The view as the narrowing now wants it, the selection on Target (a node of the results)
    // when that is in view.
    void Show(Node target);
    // After a round of the feed: the entries that came since join the narrowed tree in view.
    void After_Round();
    // Whether a dismissed node can be taken out of the tree in view (a built narrowed tree);
    // otherwise Show builds the view anew.
    bool Can_Take_Out() const noexcept;
    // Takes Item, which stands for Node, out of the narrowed tree in view; its file's node goes
    // with its last entry. The selection moves to the node after it.
    void Take_Out(Gui::Tree_Item item, Node node);

private:
    using Clock = std::chrono::steady_clock;
    struct Narrowed;
    struct Build;

    Gui::Tree_Item Full_Tree_Item(Node node) const;
    void Show_Full_Tree(Node target);
    Narrowed& Free_Narrowed();
    void Start_Build(Narrowed& tree, Node target);
    void Work_Round();
    bool Build_Slice(Clock::time_point end);
    void Finish_Build();
    Gui::Tree_Item Insert_File_Node(Narrowed& tree, Results::File_Index file, Gui::Tree_Item after);
    void Insert_Entries(Narrowed& tree, Results::File_Index file);
    bool Insert_Entry(Narrowed& tree, Node entry, Gui::Tree_Item parent);
    void Append_New_Entries(Narrowed& tree);
    Gui::Tree_Item Narrowed_Item(const Narrowed& tree, Node target) const;
    void Retire(Narrowed* tree);
    void Schedule_Work();

    const Results& results_;
    const Narrowing& narrowing_;
    const Tree_Feed& feed_;
    Gui::Page page_;
    Gui::Tree_View full_;
    Gui::Tree_View_Options options_;
    std::function<void()> shown_changed_;
    std::vector<std::unique_ptr<Narrowed>> narrowed_;
    Narrowed* shown_ = nullptr; // null: the full tree
    std::unique_ptr<Build> build_;
    struct Stand_In {
        Gui::Tree_Item Item = nullptr; // selected by the build
        Node For;                      // in place of this node, which the narrowed tree does not show
    } stand_in_;
    std::wstring text_; // of the node being inserted, used again for every node
};

} // namespace Control
