#include "viewer/narrowed_trees.hpp"

#include "viewer/timers.hpp"

#include <windows.h>

#include <algorithm>

namespace Control {

namespace {

using Node = Results::Node;

constexpr unsigned Work_Period_Ms = 10;

} // namespace

Results::Node Node_Of_Item(const Results& results, const Gui::Tree_View& tree, Gui::Tree_Item item)
{
    return Gui::Is_Root(item) ? Node{} : results.Node_Of(Gui::Item_Data(tree, item));
}

struct Narrowed_Trees::Narrowed {
    enum class State { Free, Building, Shown, Emptying };
    Gui::Tree_View Tree;
    State Status = State::Free;
    std::vector<Gui::Tree_Item> File_Items; // per file of the results; null when not in this tree
    std::vector<std::uint32_t> Children;    // per file: its entries in this tree
    Results::Entry_Index Entries_Seen = 0; // the entries after these are still to be judged

    void Forget()
    {
        File_Items.clear();
        Children.clear();
        Entries_Seen = 0;
    }
};

struct Narrowed_Trees::Build {
    Narrowed* Tree = nullptr;
    Node Target;
    std::vector<Results::File_Index> Files; // the shown files in the tree's order
    std::size_t Next = 0;                   // the next file whose entries go in
    bool Nodes_Inserted = false;
};

Narrowed_Trees::Narrowed_Trees(const Results& results, const Narrowing& narrowing, const Tree_Feed& feed)
    : results_(results), narrowing_(narrowing), feed_(feed)
{
}

Narrowed_Trees::~Narrowed_Trees() = default;

void Narrowed_Trees::Create(const Gui::Page& page, const Gui::Tree_View& full, Gui::Tree_View_Options options,
                            std::function<void()> shown)
{
    page_ = page;
    full_ = full;
    options_ = std::move(options);
    shown_changed_ = std::move(shown);
}

Gui::Tree_View Narrowed_Trees::Shown_Tree() const { return shown_ ? shown_->Tree : full_; }

Results::Node Narrowed_Trees::Wanted_Selection() const
{
    const Gui::Tree_View tree = Shown_Tree();
    const Gui::Tree_Item item = Gui::Selected_Item(tree);
    if (shown_ && stand_in_.Item && item == stand_in_.Item) return stand_in_.For;
    return Node_Of_Item(results_, tree, item);
}

bool Narrowed_Trees::Can_Take_Out() const noexcept { return shown_ && !build_; }

void Narrowed_Trees::After_Round()
{
    if (shown_ && !build_) Append_New_Entries(*shown_);
}

// An entry's node is found among its file's children by its place in arrival order.
Gui::Tree_Item Narrowed_Trees::Full_Tree_Item(Node node) const
{
    if (node.File == Results::None) return Gui::Root_Item;
    const Gui::Tree_Item item = feed_.File_Item(node.File);
    if (node.Is_File() || Gui::Is_Root(item)) return item;
    Gui::Tree_Item entry = Gui::First_Child(full_, item);
    for (auto step = results_.First_Entry(node.File); step < node.Entry && !Gui::Is_Root(entry); ++step)
        entry = Gui::Next_Sibling(full_, entry);
    return entry;
}

// The view as the results now want it, the selection on Target when it is shown.
void Narrowed_Trees::Show(Node target)
{
    if (build_) {
        Retire(build_->Tree);
        build_.reset();
    }
    if (narrowing_.Is_Plain()) Show_Full_Tree(target);
    else Start_Build(Free_Narrowed(), target);
}

void Narrowed_Trees::Show_Full_Tree(Node target)
{
    if (!shown_) return;
    const bool had_focus = GetFocus() == shown_->Tree.Window();
    Gui::Show_Instead(full_, shown_->Tree);
    Retire(shown_);
    shown_ = nullptr;
    stand_in_ = {};
    const Gui::Tree_Item item = Full_Tree_Item(target);
    if (!Gui::Is_Root(item)) {
        Gui::Select(full_, item);
        Gui::Ensure_Visible(full_, item);
    }
    if (had_focus) Gui::Focus(full_);
}

Narrowed_Trees::Narrowed& Narrowed_Trees::Free_Narrowed()
{
    for (const auto& tree : narrowed_)
        if (tree->Status == Narrowed::State::Free) return *tree;
    Gui::Tree_View_Options options = options_;
    options.Hidden = true;
    auto tree = std::make_unique<Narrowed>();
    tree->Tree = Gui::Create_Tree_View(page_, options);
    Gui::Place_After(tree->Tree, full_); // above whatever the page holds below the full tree
    narrowed_.push_back(std::move(tree));
    return *narrowed_.back();
}

void Narrowed_Trees::Start_Build(Narrowed& tree, Node target)
{
    build_ = std::make_unique<Build>();
    build_->Tree = &tree;
    build_->Target = target;
    const Counts received = narrowing_.Received();
    for (const Results::File_Index file : results_.File_Order())
        if (file < received.Files && narrowing_.Is_Shown_File(file)) build_->Files.push_back(file);
    tree.Status = Narrowed::State::Building;
    tree.Forget();
    tree.File_Items.assign(received.Files, nullptr);
    tree.Children.assign(received.Files, 0);
    tree.Entries_Seen = static_cast<Results::Entry_Index>(received.Entries);
    Gui::Give_Place(Shown_Tree(), tree.Tree); // sized while empty: sizing a full tree costs a pass over it
    Gui::Hold_Drawing(tree.Tree);
    Work_Round(); // a small view shows at once
}

// Within one slice: the file nodes first, so that the control finds them fast as parents, then the
// entries file by file, each file opened after its entries. The control measures the text of every
// row in view when it catches up, once, when the tree is shown: catching up slice by slice would
// cost more in all, as every catching up goes over all rows in view.
bool Narrowed_Trees::Build_Slice(Clock::time_point end)
{
    Build& build = *build_;
    Narrowed& tree = *build.Tree;
    if (!build.Nodes_Inserted) {
        Gui::Tree_Item previous = Gui::Root_Item;
        for (const Results::File_Index file : build.Files) previous = Insert_File_Node(tree, file, previous);
        build.Nodes_Inserted = true;
    }
    while (build.Next < build.Files.size() && Clock::now() < end) Insert_Entries(tree, build.Files[build.Next++]);
    return build.Next == build.Files.size();
}

Gui::Tree_Item Narrowed_Trees::Insert_File_Node(Narrowed& tree, Results::File_Index file, Gui::Tree_Item after)
{
    const Node node{file, Results::None};
    results_.Node_Text(node, text_);
    const Gui::Tree_Item item = Gui::Insert_After_Item(tree.Tree, text_, Gui::Root_Item, after, Results::Item_Data(node));
    if (!item) return after;
    tree.File_Items[file] = item;
    return item;
}

void Narrowed_Trees::Insert_Entries(Narrowed& tree, Results::File_Index file)
{
    const Gui::Tree_Item parent = tree.File_Items[file];
    if (!parent) return;
    const std::uint32_t before = tree.Children[file];
    const Results::Entry_Index first = results_.First_Entry(file);
    const Results::Entry_Index end = std::min(first + results_.Entry_Count(file), tree.Entries_Seen);
    for (Results::Entry_Index entry = first; entry < end; ++entry)
        if (narrowing_.Is_Shown({file, entry}) && Insert_Entry(tree, {file, entry}, parent)) ++tree.Children[file];
    if (before != 0 || tree.Children[file] == 0) return;
    Gui::Mark_Having_Children(tree.Tree, parent);
    Gui::Expand(tree.Tree, parent);
}

bool Narrowed_Trees::Insert_Entry(Narrowed& tree, Node entry, Gui::Tree_Item parent)
{
    results_.Node_Text(entry, text_);
    return Gui::Insert_Unmarked(tree.Tree, text_, parent, Gui::Insert_Position::Last, Results::Item_Data(entry)) != nullptr;
}

// The narrowed tree's node of Target: its file's node, or the entry's among that node's children.
Gui::Tree_Item Narrowed_Trees::Narrowed_Item(const Narrowed& tree, Node target) const
{
    if (target.File >= tree.File_Items.size() || !tree.File_Items[target.File]) return Gui::Root_Item;
    const Gui::Tree_Item file = tree.File_Items[target.File];
    if (target.Is_File()) return file;
    for (Gui::Tree_Item entry = Gui::First_Child(tree.Tree, file); !Gui::Is_Root(entry);
         entry = Gui::Next_Sibling(tree.Tree, entry))
        if (Node_Of_Item(results_, tree.Tree, entry) == target) return entry;
    return Gui::Root_Item;
}

void Narrowed_Trees::Finish_Build()
{
    Narrowed& tree = *build_->Tree;
    const Node target = build_->Target;
    build_.reset();
    const bool had_focus = GetFocus() == Shown_Tree().Window();
    Append_New_Entries(tree);
    Gui::Show_Instead(tree.Tree, Shown_Tree());
    if (shown_) Retire(shown_);
    shown_ = &tree;
    tree.Status = Narrowed::State::Shown;
    Gui::Show_Held_Changes(tree.Tree);
    Gui::Tree_Item selected = Narrowed_Item(tree, target);
    stand_in_ = {};
    if (Gui::Is_Root(selected)) {
        selected = Gui::First_Child(tree.Tree, Gui::Root_Item);
        stand_in_ = {.Item = selected, .For = target};
    }
    if (!Gui::Is_Root(selected)) {
        Gui::Select(tree.Tree, selected);
        Gui::Ensure_Visible(tree.Tree, selected);
    }
    if (had_focus) Gui::Focus(tree.Tree);
    if (shown_changed_) shown_changed_();
}

// Entries that came after the tree was built: under their file node, which comes into its place
// among the shown files when it is new.
void Narrowed_Trees::Append_New_Entries(Narrowed& tree)
{
    const Counts received = narrowing_.Received();
    tree.File_Items.resize(received.Files, nullptr);
    tree.Children.resize(received.Files, 0);
    const Results::Entry_Index first = tree.Entries_Seen;
    tree.Entries_Seen = static_cast<Results::Entry_Index>(received.Entries);
    for (Results::Entry_Index entry = first; entry < tree.Entries_Seen; ++entry) {
        const Node node{results_.File_Of(entry), entry};
        if (!narrowing_.Is_Shown(node)) continue;
        if (!tree.File_Items[node.File]) {
            const Results::File_Index previous = results_.Previous_File(
                node.File, [&tree](Results::File_Index other) { return other < tree.File_Items.size() && tree.File_Items[other]; });
            Insert_File_Node(tree, node.File, previous == Results::None ? Gui::Root_Item : tree.File_Items[previous]);
        }
        const Gui::Tree_Item parent = tree.File_Items[node.File];
        if (!parent || !Insert_Entry(tree, node, parent) || tree.Children[node.File]++ != 0) continue;
        Gui::Mark_Having_Children(tree.Tree, parent);
        Gui::Expand(tree.Tree, parent);
    }
}

void Narrowed_Trees::Retire(Narrowed* tree)
{
    tree->Status = Narrowed::State::Emptying;
    tree->Forget();
    Gui::Hold_Drawing(tree->Tree);
    Schedule_Work();
}

void Narrowed_Trees::Schedule_Work() { Start_Timer(Timer::Narrowed_Trees_Work, Work_Period_Ms, [this] { Work_Round(); }); }

// One slice: the build first, then the emptying of trees no longer shown.
void Narrowed_Trees::Work_Round()
{
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(Work_Slice_Ms);
    if (build_) {
        if (!Build_Slice(end)) {
            Schedule_Work();
            return;
        }
        Finish_Build();
    }
    bool emptying = false;
    for (const auto& tree : narrowed_) {
        if (tree->Status != Narrowed::State::Emptying) continue;
        if (Clock::now() >= end ||
            !Gui::Delete_Some(tree->Tree, std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()))) {
            emptying = true;
            continue;
        }
        Gui::Show_Held_Changes(tree->Tree);
        tree->Status = Narrowed::State::Free;
    }
    if (emptying) Schedule_Work();
    else Stop_Timer(Timer::Narrowed_Trees_Work);
}

void Narrowed_Trees::Take_Out(Gui::Tree_Item item, Node node)
{
    Narrowed& tree = *shown_;
    Gui::Tree_Item gone = item;
    if (!node.Is_File() && --tree.Children[node.File] == 0) gone = tree.File_Items[node.File]; // its last entry
    const Gui::Tree_Item next = Gui::Item_After_Removal(tree.Tree, gone);
    if (gone != item || node.Is_File()) {
        tree.File_Items[node.File] = nullptr;
        tree.Children[node.File] = 0;
    }
    Gui::Delete(tree.Tree, gone);
    if (!Gui::Is_Root(next)) Gui::Select(tree.Tree, next);
}

} // namespace Control
