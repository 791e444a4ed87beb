#include "viewer/tree_feed.hpp"

#include "viewer/timers.hpp"
#include "gui/gui.hpp"
#include "support/log.hpp"

#include <windows.h>

#include <algorithm>

namespace Control {

void Tree_Feed::Start(const Gui::Tree_View& tree, const Results& results, Progress_Routine progress)
{
    tree_ = tree;
    results_ = &results;
    progress_ = std::move(progress);
    finished_.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    Gui::Run_On_Window_Thread([this]() -> LRESULT {
        Start_Timer(Timer::Tree_Feed_Round, Insert_Period_Ms, [this] { Run_Round(); });
        return 0;
    });
}

void Tree_Feed::Add_File(Results::File_Index file)
{
    std::lock_guard guard(lock_);
    pending_.push_back({.Item = {file, Results::None}, .Expand = false});
}

void Tree_Feed::Add_Entry(Node entry, bool expand)
{
    std::lock_guard guard(lock_);
    pending_.push_back({.Item = entry, .Expand = expand});
}

// What the tree refused stays queued, so the timer runs on until the queue is empty.
void Tree_Feed::Finish()
{
    Gui::Run_On_Window_Thread([this]() -> LRESULT {
        finishing_ = true;
        Run_Round();
        return 0;
    });
    const HANDLE ends[] = {finished_.get(), Gui::Closing_Event()};
    if (finished_) WaitForMultipleObjects(2, ends, FALSE, INFINITE);
}

Counts Tree_Feed::In_Tree() const { return {entries_in_tree_, files_in_tree_}; }

Gui::Tree_Item Tree_Feed::File_Item(Results::File_Index file) const
{
    return file < file_nodes_.size() && file_nodes_[file] ? file_nodes_[file] : Gui::Root_Item;
}

void Tree_Feed::Run_Round() noexcept
{
    try {
        const bool refused = Insert_Queued();
        if (progress_) progress_(In_Tree());
        if (Show_Due()) Show();
        if (finishing_ && (refused || !backlog_)) SetEvent(finished_.get());
        Stop_When_Done();
    } catch (...) {
        // Out of memory for the queue itself: the next round tries again.
    }
}

Tree_Feed::Pending_Queue Tree_Feed::Take_Pending()
{
    Pending_Queue taken;
    std::lock_guard guard(lock_);
    taken.swap(pending_);
    return taken;
}

void Tree_Feed::Put_Back(Pending_Queue& batch, std::size_t first)
{
    std::lock_guard guard(lock_);
    pending_.insert(pending_.begin(), std::make_move_iterator(batch.begin() + static_cast<std::ptrdiff_t>(first)),
                    std::make_move_iterator(batch.end()));
}

bool Tree_Feed::Insert_Queued()
{
    Pending_Queue batch = Take_Pending();
    std::size_t next = 0;
    bool refused = false;
    try {
        if (!batch.empty()) Gui::Hold_Drawing(tree_);
        refused = !Insert_Items(batch, next, Clock::now() + std::chrono::milliseconds(Round_Budget_Ms));
    } catch (...) {
        refused = true; // the item at Next is tried again with the rest
    }
    if (next < batch.size()) Put_Back(batch, next);
    Set_Period(next < batch.size() && !refused); // a refusing tree is not pressed
    if (refused && !failure_logged_) Log::Put("Tree view refused an entry; it is tried again with the next batch");
    failure_logged_ = failure_logged_ || refused;
    return refused;
}

// Changing the period costs a call into the system: only when the backlog comes or goes.
void Tree_Feed::Set_Period(bool backlog)
{
    if (backlog == backlog_) return;
    backlog_ = backlog;
    Start_Timer(Timer::Tree_Feed_Round, backlog ? Backlog_Period_Ms : Insert_Period_Ms, [this] { Run_Round(); });
}

// Stops at the first item that the tree refuses: an entry after a lost file node would land
// under the file before it. A file node is marked as having children once, with its first entry,
// and expanded when it is not open yet: expanding an open node again would make the control
// scroll to it. Stops, too, at the deadline; false only when the tree refused an item.
bool Tree_Feed::Insert_Items(const Pending_Queue& batch, std::size_t& next, Clock::time_point deadline)
{
    constexpr std::size_t Items_Between_Clock_Reads = 32;
    bool refused = false;
    bool expand_file_node = false;
    auto expand_if_wanted = [&] {
        if (expand_file_node && !Gui::Is_Expanded(tree_, file_node_)) Gui::Expand(tree_, file_node_);
        expand_file_node = false;
    };
    for (; next < batch.size(); ++next) {
        if (next % Items_Between_Clock_Reads == Items_Between_Clock_Reads - 1 && Clock::now() >= deadline) break;
        const Pending& pending = batch[next];
        if (pending.Item.Is_File()) {
            expand_if_wanted();
            const Gui::Tree_Item node = Insert_File_Node(pending.Item.File);
            if ((refused = !node)) break;
            file_node_ = node;
            file_node_marked_ = false;
            ++files_in_tree_;
        } else {
            results_->Node_Text(pending.Item, text_);
            if ((refused = !Gui::Insert_Unmarked(tree_, text_, file_node_, Gui::Insert_Position::Last,
                                                 Results::Item_Data(pending.Item))))
                break;
            if (!file_node_marked_) Gui::Mark_Having_Children(tree_, file_node_);
            file_node_marked_ = true;
            ++entries_in_tree_;
            expand_file_node = expand_file_node || pending.Expand;
        }
        if (inserted_) inserted_(pending.Item);
    }
    expand_if_wanted();
    return !refused;
}

// Right after the nearest file before it (in the results' order) that is in the tree already.
Gui::Tree_Item Tree_Feed::Insert_File_Node(Results::File_Index file)
{
    const Results::File_Index previous =
        results_->Previous_File(file, [this](Results::File_Index other) { return !Gui::Is_Root(File_Item(other)); });
    const Node node{file, Results::None};
    results_->Node_Text(node, text_);
    const Gui::Tree_Item item = Gui::Insert_After_Item(tree_, text_, Gui::Root_Item, File_Item(previous),
                                                       Results::Item_Data(node));
    if (!item) return item;
    if (file_nodes_.size() <= file) file_nodes_.resize(file + 1, nullptr);
    file_nodes_[file] = item;
    return item;
}


// At the end once everything is in the tree; during a backlog rarely (see the header).
bool Tree_Feed::Show_Due() const
{
    if (backlog_) return Clock::now() >= last_show_ + std::chrono::milliseconds(Backlog_Show_Period_Ms);
    return finishing_ || pacing_.Due(Clock::now(), Gui::Held_Changes_In_View(tree_));
}

namespace {

// A pause in which Cost is Share of the time, within the bounds.
std::chrono::steady_clock::duration Pause_After(std::chrono::steady_clock::duration cost, double share,
                                                unsigned shortest_ms, unsigned longest_ms)
{
    using Duration = std::chrono::steady_clock::duration;
    const auto pause = std::chrono::duration_cast<Duration>(cost * (1.0 / share));
    return std::clamp<Duration>(pause, std::chrono::milliseconds(shortest_ms), std::chrono::milliseconds(longest_ms));
}

} // namespace

bool Tree_Feed::Pacing::Due(Clock::time_point now, bool changes_in_view) const
{
    return now >= (changes_in_view ? next_show_ : next_quiet_show_);
}

void Tree_Feed::Pacing::Shown(Clock::time_point start, Clock::duration cost)
{
    next_show_ = start + Pause_After(cost, Showing_Share, Shortest_Show_Period_Ms, Longest_Show_Period_Ms);
    next_quiet_show_ = start + Pause_After(cost, Quiet_Share, Shortest_Quiet_Period_Ms, Longest_Quiet_Period_Ms);
}

// The next showings wait in proportion to what this one cost.
void Tree_Feed::Show()
{
    const Clock::time_point start = Clock::now();
    Gui::Show_Held_Changes(tree_);
    last_show_ = start;
    pacing_.Shown(start, Clock::now() - start);
    Keep_Selection_On_First();
}

// The selection starts on the first node once there is one, and stays on the first node while
// the view is at the top, until the user selects something else.
void Tree_Feed::Keep_Selection_On_First()
{
    if (!keeping_selection_) return;
    if (Gui::Selected_Item(tree_) != selected_by_feed_) {
        keeping_selection_ = false; // the user's choice
        return;
    }
    const Gui::Tree_Item first = Gui::First_Child(tree_, Gui::Root_Item);
    if (Gui::Is_Root(first) || first == selected_by_feed_) return;
    if (!Gui::Is_Root(selected_by_feed_) && Gui::First_Visible(tree_) != first) return; // would scroll
    Gui::Select(tree_, first);
    selected_by_feed_ = first;
}

void Tree_Feed::Stop_When_Done()
{
    std::lock_guard guard(lock_);
    if (!finishing_ || !pending_.empty()) return;
    Stop_Timer(Timer::Tree_Feed_Round);
}

} // namespace Control
