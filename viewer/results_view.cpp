#include "viewer/results_view.hpp"

#include "gui/clipboard.hpp"
#include "gui/gui.hpp"
#include "support/failure.hpp"
#include "windows/unique_handle.hpp"

#include <windows.h>
#include <commdlg.h>

#include <algorithm>

namespace Control {

namespace {

using Clock = std::chrono::steady_clock;
using Node = Results::Node;

constexpr UINT_PTR Filter_Timer = 0x4C53; // beside the tree feed's timer
constexpr UINT_PTR Work_Timer = 0x4C54;
constexpr unsigned Work_Period_Ms = 10;

Results_View* Running_View = nullptr; // window thread only

void CALLBACK On_Filter_Timer(HWND window, UINT, UINT_PTR, DWORD) noexcept
{
    KillTimer(window, Filter_Timer);
    try {
        if (Running_View) Running_View->Apply_Filter();
    } catch (...) {
        Gui::Show_Current_Failure(); // nothing may leave a system callback
    }
}

void CALLBACK On_Work_Timer(HWND, UINT, UINT_PTR, DWORD) noexcept
{
    try {
        if (Running_View) Running_View->Work_Round();
    } catch (...) {
        Gui::Show_Current_Failure();
    }
}

bool Pressed(int key) { return GetKeyState(key) < 0; }

std::string Counted(std::uint64_t shown, std::uint64_t received, const char* one, const char* many)
{
    return std::to_string(shown) + " of " + std::to_string(received) + (received == 1 ? one : many);
}

// A file name made from the title: what Windows does not allow in one becomes "_".
std::string Name_From_Title(const std::string& title)
{
    std::string name;
    for (const char character : title)
        name += (static_cast<unsigned char>(character) < 32 ||
                 std::string_view("\\/:*?\"<>|").find(character) != std::string_view::npos)
                    ? '_'
                    : character;
    name = name.substr(0, 200);
    return (name.empty() ? "Results" : name) + ".txt";
}

using SAVE_FAILURE = Failures::Failure<"CONTROL.SAVE_FAILURE">;

void Write_File(const std::string& path, const std::string& text)
{
    Windows::Unique_File file{
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (!file) throw SAVE_FAILURE(path + ": CreateFileA error " + std::to_string(GetLastError()));
    std::size_t written = 0;
    while (written < text.size()) {
        DWORD part = 0;
        const auto size = static_cast<DWORD>(std::min<std::size_t>(text.size() - written, 1 << 20));
        if (!WriteFile(file.get(), text.data() + written, size, &part, nullptr))
            throw SAVE_FAILURE(path + ": WriteFile error " + std::to_string(GetLastError()));
        written += part;
    }
}

} // namespace

struct Results_View::Narrowed {
    enum class State { Free, Building, Shown, Emptying };
    Gui::Tree_View Tree;
    State Status = State::Free;
    std::vector<Gui::Tree_Item> File_Items; // per file of the results; null when not in this tree
    std::vector<std::uint32_t> Children;    // per file: its entries in this tree
    std::unordered_map<Gui::Tree_Item, Node> Nodes;
    Results::Entry_Index Entries_Seen = 0; // the entries after these are still to be judged

    void Forget()
    {
        File_Items.clear();
        Children.clear();
        Nodes.clear();
        Entries_Seen = 0;
    }
};

struct Results_View::Build {
    Narrowed* Tree = nullptr;
    Node Target;
    std::vector<Results::File_Index> Files; // the shown files in the tree's order
    std::size_t Next = 0;                   // the next file whose entries go in
    bool Nodes_Inserted = false;
};

// --- Creation and the feed ------------------------------------------------------------------------

Results_View::Results_View() = default;
Results_View::~Results_View() = default;

Gui::Tree_View Results_View::Create(const Gui::Page& page, Gui::Tree_View_Options options)
{
    page_ = page;
    caller_menu_items_ = std::move(options.More_Menu_Items);
    options.More_Menu_Items = [this] { return Menu_Items(); };
    options_ = options;
    filter_box_ = Gui::Create_Edit_Box(page, {.Cue = "Filter", .Changed = [this] { Filter_Changed(); }});
    full_ = Gui::Create_Tree_View(page, options);
    Gui::Use_Font_Of(filter_box_, full_);
    Gui::Run_On_Window_Thread([this] {
        Running_View = this;
        return LRESULT{0};
    });
    Gui::Add_Key_Hook([this](const MSG& press) { return On_Key(press); });
    return full_;
}

void Results_View::Take_Item(bool is_file, const std::string& text, std::uintptr_t data)
{
    if (is_file) results_.Add_File(text);
    else results_.Add_Entry(text, data);
}

void Results_View::After_Round()
{
    if (shown_ && !build_) Append_New_Entries(*shown_);
}

std::string Results_View::Status_Line(Transfer_Phase phase, const Tree_Feed::Counts& in_tree)
{
    phase_ = phase;
    std::string line;
    Gui::Run_On_Window_Thread([&] {
        if (results_.Is_Plain()) {
            line = Status_Text(phase, in_tree.Entries, in_tree.Files);
            return LRESULT{0};
        }
        const Results::Counts shown = results_.Shown();
        const Results::Counts received = results_.Received();
        line = Counted(shown.Entries, received.Entries, " entry in ", " entries in ") +
               Counted(shown.Files, received.Files, " file", " files");
        if (phase == Transfer_Phase::Receiving) line = "Receiving - " + line;
        if (phase == Transfer_Phase::Timed_Out) line = "Timed out - " + line;
        if (phase == Transfer_Phase::Broken_Off) line = "Broken off - " + line;
        return LRESULT{0};
    });
    return line;
}

void Results_View::Refresh_Status()
{
    const Results::Counts received = results_.Received();
    Gui::Set_Status_Text(Status_Line(phase_, {received.Entries, received.Files}));
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
    else if (press.hwnd == Shown_Tree().Window()) return !shift && On_Tree_Key(key, control);
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
    Gui::Focus(Shown_Tree());
    return true;
}

std::vector<Gui::Menu_Item> Results_View::Menu_Items()
{
    const bool selected = !Gui::Is_Root(Gui::Selected_Item(Shown_Tree()));
    std::vector<Gui::Menu_Item> items{
        {.Text = "&Dismiss", .Key = "Del", .Enabled = selected, .Command = [this] { Dismiss_Selected(); }},
        {.Text = "&Undo dismiss",
         .Key = "Ctrl+Z",
         .Enabled = results_.Has_Dismissed(),
         .Command = [this] { Undo_Dismiss(); }},
        {.Text = "Copy &all", .Key = "Ctrl+Shift+C", .Enabled = true, .Command = [this] { Copy_All(); }},
        {.Text = "&Save as...", .Key = "Ctrl+S", .Enabled = true, .Command = [this] { Save_As(); }},
    };
    if (caller_menu_items_) {
        for (Gui::Menu_Item& item : caller_menu_items_()) items.push_back(std::move(item));
    }
    return items;
}

// --- Which node is which ----------------------------------------------------------------------------

Gui::Tree_View Results_View::Shown_Tree() const { return shown_ ? shown_->Tree : full_; }

// The full tree's file nodes carry no data: their place among the top items tells which file
// they are, since the results keep the files in the tree's order.
Node Results_View::Node_Of(const Gui::Tree_View& tree, Gui::Tree_Item item) const
{
    if (Gui::Is_Root(item)) return {};
    if (shown_ && tree == shown_->Tree) {
        const auto found = shown_->Nodes.find(item);
        return found == shown_->Nodes.end() ? Node{} : found->second;
    }
    if (const std::uintptr_t data = Gui::Item_Data(tree, item)) {
        const Results::Entry_Index entry = results_.Entry_With_Data(data);
        return entry == Results::None ? Node{} : Node{results_.File_Of(entry), entry};
    }
    std::size_t place = 0;
    for (Gui::Tree_Item before = Gui::Previous_Sibling(tree, item); !Gui::Is_Root(before);
         before = Gui::Previous_Sibling(tree, before))
        ++place;
    const auto& order = results_.File_Order();
    return place < order.size() ? Node{order[place], Results::None} : Node{};
}

Node Results_View::Selected_Node() const
{
    const Gui::Tree_View tree = Shown_Tree();
    return Node_Of(tree, Gui::Selected_Item(tree));
}

Gui::Tree_Item Results_View::Full_Tree_Item(Node node) const
{
    if (node.File == Results::None) return Gui::Root_Item;
    const auto& order = results_.File_Order();
    const auto place = std::find(order.begin(), order.end(), node.File) - order.begin();
    Gui::Tree_Item item = Gui::First_Child(full_, Gui::Root_Item);
    for (auto step = 0; step < place && !Gui::Is_Root(item); ++step) item = Gui::Next_Sibling(full_, item);
    if (node.Is_File() || Gui::Is_Root(item)) return item;
    Gui::Tree_Item entry = Gui::First_Child(full_, item);
    for (auto step = results_.First_Entry(node.File); step < node.Entry && !Gui::Is_Root(entry); ++step)
        entry = Gui::Next_Sibling(full_, entry);
    return entry;
}

// --- The filter and the trees ------------------------------------------------------------------------

void Results_View::Filter_Changed() { SetTimer(Gui::Main_Window(), Filter_Timer, Filter_Delay_Ms, On_Filter_Timer); }

void Results_View::Apply_Filter()
{
    KillTimer(Gui::Main_Window(), Filter_Timer);
    const Node target = Selected_Node();
    results_.Set_Filter(Gui::Edit_Text(filter_box_));
    Show(target);
}

// The view as the results now want it, the selection on Target when it is shown.
void Results_View::Show(Node target)
{
    if (build_) {
        Retire(build_->Tree);
        build_.reset();
    }
    if (results_.Is_Plain()) Show_Full_Tree(target);
    else Start_Build(Free_Narrowed(), target);
    Refresh_Status();
}

void Results_View::Show_Full_Tree(Node target)
{
    if (!shown_) return;
    const bool had_focus = GetFocus() == shown_->Tree.Window();
    Gui::Show_Instead(full_, shown_->Tree);
    Retire(shown_);
    shown_ = nullptr;
    const Gui::Tree_Item item = Full_Tree_Item(target);
    if (!Gui::Is_Root(item)) {
        Gui::Select(full_, item);
        Gui::Ensure_Visible(full_, item);
    }
    if (had_focus) Gui::Focus(full_);
}

Results_View::Narrowed& Results_View::Free_Narrowed()
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

void Results_View::Start_Build(Narrowed& tree, Node target)
{
    build_ = std::make_unique<Build>();
    build_->Tree = &tree;
    build_->Target = target;
    for (const Results::File_Index file : results_.File_Order())
        if (results_.Is_Shown_File(file)) build_->Files.push_back(file);
    tree.Status = Narrowed::State::Building;
    tree.Forget();
    const Results::Counts received = results_.Received();
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
bool Results_View::Build_Slice(Clock::time_point end)
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

Gui::Tree_Item Results_View::Insert_File_Node(Narrowed& tree, Results::File_Index file, Gui::Tree_Item after)
{
    const Gui::Tree_Item item = Gui::Insert_After_Item(tree.Tree, results_.File_Name(file), Gui::Root_Item, after, 0);
    if (!item) return after;
    tree.File_Items[file] = item;
    tree.Nodes[item] = {file, Results::None};
    return item;
}

void Results_View::Insert_Entries(Narrowed& tree, Results::File_Index file)
{
    const Gui::Tree_Item parent = tree.File_Items[file];
    if (!parent) return;
    const std::uint32_t before = tree.Children[file];
    results_.For_Each_Entry(file, [&](Results::Entry_Index entry, std::string_view text) {
        if (entry >= tree.Entries_Seen || !results_.Is_Shown(entry)) return;
        const Gui::Tree_Item item = Gui::Insert_Unmarked(tree.Tree, std::string(text), parent,
                                                         Gui::Insert_Position::Last, results_.Data_Of(entry));
        if (!item) return;
        tree.Nodes[item] = {file, entry};
        ++tree.Children[file];
    });
    if (before != 0 || tree.Children[file] == 0) return;
    Gui::Mark_Having_Children(tree.Tree, parent);
    Gui::Expand(tree.Tree, parent);
}

void Results_View::Finish_Build()
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
    Gui::Tree_Item selected = Gui::First_Child(tree.Tree, Gui::Root_Item);
    for (const auto& [item, node] : tree.Nodes)
        if (node == target) selected = item;
    if (!Gui::Is_Root(selected)) {
        Gui::Select(tree.Tree, selected);
        Gui::Ensure_Visible(tree.Tree, selected);
    }
    if (had_focus) Gui::Focus(tree.Tree);
    Refresh_Status();
}

// Entries that came after the tree was built: under their file node, which comes into its place
// among the shown files when it is new.
void Results_View::Append_New_Entries(Narrowed& tree)
{
    const Results::Counts received = results_.Received();
    tree.File_Items.resize(received.Files, nullptr);
    tree.Children.resize(received.Files, 0);
    const Results::Entry_Index first = tree.Entries_Seen;
    tree.Entries_Seen = static_cast<Results::Entry_Index>(received.Entries);
    const auto& order = results_.File_Order();
    results_.For_Each_Entry_From(first, tree.Entries_Seen, [&](Results::Entry_Index entry, std::string_view text) {
        if (!results_.Is_Shown(entry)) return;
        const Results::File_Index file = results_.File_Of(entry);
        if (!tree.File_Items[file]) {
            auto place = std::find(order.begin(), order.end(), file);
            Gui::Tree_Item previous = Gui::Root_Item;
            while (place != order.begin() && Gui::Is_Root(previous)) previous = tree.File_Items[*--place];
            Insert_File_Node(tree, file, previous ? previous : Gui::Root_Item);
        }
        const Gui::Tree_Item parent = tree.File_Items[file];
        if (!parent) return;
        const Gui::Tree_Item item = Gui::Insert_Unmarked(tree.Tree, std::string(text), parent,
                                                         Gui::Insert_Position::Last, results_.Data_Of(entry));
        if (!item) return;
        tree.Nodes[item] = {file, entry};
        if (tree.Children[file]++ != 0) return;
        Gui::Mark_Having_Children(tree.Tree, parent);
        Gui::Expand(tree.Tree, parent);
    });
}

void Results_View::Retire(Narrowed* tree)
{
    tree->Status = Narrowed::State::Emptying;
    tree->Forget();
    Gui::Hold_Drawing(tree->Tree);
    Schedule_Work();
}

void Results_View::Schedule_Work() { SetTimer(Gui::Main_Window(), Work_Timer, Work_Period_Ms, On_Work_Timer); }

// One slice: the build first, then the emptying of trees no longer shown.
void Results_View::Work_Round()
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
    else KillTimer(Gui::Main_Window(), Work_Timer);
}

// --- Stepping, dismissing, copying and saving ------------------------------------------------------------

namespace {

Gui::Tree_Item Last_Child(const Gui::Tree_View& tree, Gui::Tree_Item parent)
{
    Gui::Tree_Item last = Gui::First_Child(tree, parent);
    for (Gui::Tree_Item next = last; !Gui::Is_Root(next); next = Gui::Next_Sibling(tree, next)) last = next;
    return last;
}

// The next or previous file node, round the end.
Gui::Tree_Item Adjacent_File(const Gui::Tree_View& tree, Gui::Tree_Item file, bool forward)
{
    const Gui::Tree_Item adjacent = forward ? Gui::Next_Sibling(tree, file) : Gui::Previous_Sibling(tree, file);
    if (!Gui::Is_Root(adjacent)) return adjacent;
    return forward ? Gui::First_Child(tree, Gui::Root_Item) : Last_Child(tree, Gui::Root_Item);
}

// The entry after or before Item in the tree's order, round the end; the root when there is none.
Gui::Tree_Item Adjacent_Entry(const Gui::Tree_View& tree, Gui::Tree_Item item, bool forward)
{
    Gui::Tree_Item file = Gui::Root_Item;
    if (Gui::Is_Root(item)) {
        file = forward ? Gui::First_Child(tree, Gui::Root_Item) : Last_Child(tree, Gui::Root_Item);
    } else if (Gui::Is_Root(Gui::Parent(tree, item))) {
        file = item; // from a file node: its own entries come first going forward
        if (!forward) file = Adjacent_File(tree, item, false);
    } else {
        const Gui::Tree_Item sibling = forward ? Gui::Next_Sibling(tree, item) : Gui::Previous_Sibling(tree, item);
        if (!Gui::Is_Root(sibling)) return sibling;
        file = Adjacent_File(tree, Gui::Parent(tree, item), forward);
    }
    const Gui::Tree_Item start = file;
    for (bool first = true; !Gui::Is_Root(file) && (first || file != start); first = false) {
        const Gui::Tree_Item entry = forward ? Gui::First_Child(tree, file) : Last_Child(tree, file);
        if (!Gui::Is_Root(entry)) return entry;
        file = Adjacent_File(tree, file, forward);
    }
    return Gui::Root_Item;
}

// Where the selection goes when Item leaves: the node after it, else the one before.
Gui::Tree_Item Node_After(const Gui::Tree_View& tree, Gui::Tree_Item item)
{
    for (Gui::Tree_Item from = item; !Gui::Is_Root(from); from = Gui::Parent(tree, from)) {
        const Gui::Tree_Item next = Gui::Next_Sibling(tree, from);
        if (!Gui::Is_Root(next)) return next;
    }
    const Gui::Tree_Item previous = Gui::Previous_Sibling(tree, item);
    return Gui::Is_Root(previous) ? Gui::Parent(tree, item) : previous;
}

} // namespace

void Results_View::Step(bool forward)
{
    const Gui::Tree_View tree = Shown_Tree();
    const Gui::Tree_Item entry = Adjacent_Entry(tree, Gui::Selected_Item(tree), forward);
    if (Gui::Is_Root(entry)) return;
    const Gui::Tree_Item file = Gui::Parent(tree, entry);
    if (!Gui::Is_Expanded(tree, file)) Gui::Expand(tree, file);
    Gui::Select(tree, entry);
    Gui::Ensure_Visible(tree, entry);
    Gui::Activate(tree, entry);
}

void Results_View::Dismiss_Selected()
{
    const Gui::Tree_View tree = Shown_Tree();
    const Gui::Tree_Item item = Gui::Selected_Item(tree);
    const Node node = Node_Of(tree, item);
    if (Gui::Is_Root(item) || node.File == Results::None) return;
    if (shown_ && !build_) {
        results_.Dismiss(node);
        Dismiss_In_Narrowed(*shown_, item, node);
        Refresh_Status();
        return;
    }
    const Node next = Node_Of(tree, Node_After(tree, item));
    results_.Dismiss(node);
    Show(next);
}

void Results_View::Dismiss_In_Narrowed(Narrowed& tree, Gui::Tree_Item item, Node node)
{
    Gui::Tree_Item gone = item;
    if (!node.Is_File() && --tree.Children[node.File] == 0) gone = tree.File_Items[node.File]; // its last entry
    const Gui::Tree_Item next = Node_After(tree.Tree, gone);
    if (gone != item || node.Is_File()) {
        tree.File_Items[node.File] = nullptr;
        tree.Children[node.File] = 0;
        std::erase_if(tree.Nodes, [&](const auto& each) { return each.second.File == node.File; });
    } else {
        tree.Nodes.erase(item);
    }
    Gui::Delete(tree.Tree, gone);
    if (!Gui::Is_Root(next)) Gui::Select(tree.Tree, next);
}

void Results_View::Undo_Dismiss()
{
    Node restored;
    if (results_.Undo_Dismiss(restored)) Show(restored);
}

void Results_View::Copy_All() { Gui::Put_On_Clipboard_In_Both_Forms(Gui::Main_Window(), results_.Place_Lines()); }

// The dialog runs its own message loop: the feed goes on meanwhile, and what has arrived by the
// time the user confirms is saved.
void Results_View::Save_As()
{
    char path[MAX_PATH] = {};
    const std::string name = Name_From_Title(Gui::Title());
    name.copy(path, MAX_PATH - 1);
    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = Gui::Main_Window();
    dialog.lpstrFilter = "Places (*.txt)\0*.txt\0All files (*.*)\0*.*\0";
    dialog.lpstrFile = path;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrDefExt = "txt";
    dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
    if (!GetSaveFileNameA(&dialog)) return;
    try {
        Write_File(path, results_.Place_Lines());
    } catch (...) {
        Gui::Show_Current_Failure();
    }
}

} // namespace Control
