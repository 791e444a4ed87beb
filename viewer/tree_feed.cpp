#include "viewer/tree_feed.hpp"

#include "gui/gui.hpp"
#include "support/log.hpp"

#include <windows.h>

#include <algorithm>

namespace Control {

namespace {

constexpr UINT_PTR Round_Timer = 0x4C52; // any identifier; the main window has no other timers

Tree_Feed* Running_Feed = nullptr; // set and read on the window thread only

void CALLBACK On_Round_Timer(HWND, UINT, UINT_PTR, DWORD) noexcept
{
    if (Running_Feed) Running_Feed->Run_Round(); // lets nothing out: this is a system callback
}

} // namespace

void Tree_Feed::Start(const Gui::Tree_View& tree, Progress_Routine progress)
{
    tree_ = tree;
    progress_ = std::move(progress);
    finished_.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    Gui::Run_On_Window_Thread([this]() -> LRESULT {
        Running_Feed = this;
        SetTimer(Gui::Main_Window(), Round_Timer, Insert_Period_Ms, On_Round_Timer);
        return 0;
    });
}

void Tree_Feed::Add_File(const std::string& file)
{
    std::lock_guard guard(lock_);
    pending_.push_back({true, false, file, 0});
}

void Tree_Feed::Add_Entry(const std::string& shown_text, std::uintptr_t data, bool expand)
{
    std::lock_guard guard(lock_);
    pending_.push_back({false, expand, shown_text, data});
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

Tree_Feed::Counts Tree_Feed::In_Tree() const { return {entries_in_tree_, files_in_tree_}; }

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

std::vector<Tree_Feed::Pending> Tree_Feed::Take_Pending()
{
    std::vector<Pending> taken;
    std::lock_guard guard(lock_);
    taken.swap(pending_);
    return taken;
}

void Tree_Feed::Put_Back(std::vector<Pending>& batch, std::size_t first)
{
    std::lock_guard guard(lock_);
    pending_.insert(pending_.begin(), std::make_move_iterator(batch.begin() + static_cast<std::ptrdiff_t>(first)),
                    std::make_move_iterator(batch.end()));
}

bool Tree_Feed::Insert_Queued()
{
    std::vector<Pending> batch = Take_Pending();
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
    SetTimer(Gui::Main_Window(), Round_Timer, backlog ? Backlog_Period_Ms : Insert_Period_Ms, On_Round_Timer);
}

// Stops at the first item that the tree refuses: an entry after a lost file node would land
// under the file before it. A file node is marked as having children once, with its first entry,
// and expanded when it is not open yet: expanding an open node again would make the control
// scroll to it. Stops, too, at the deadline; false only when the tree refused an item.
bool Tree_Feed::Insert_Items(const std::vector<Pending>& batch, std::size_t& next, Clock::time_point deadline)
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
        const Pending& item = batch[next];
        if (item.Is_File) {
            expand_if_wanted();
            const Gui::Tree_Item node = Gui::Insert(tree_, item.Text, Gui::Root_Item, Gui::Insert_Position::Sorted, 0);
            if ((refused = !node)) break;
            file_node_ = node;
            file_node_marked_ = false;
            ++files_in_tree_;
            if (inserted_) inserted_(true, item.Text, 0);
        } else {
            if ((refused = !Gui::Insert_Unmarked(tree_, item.Text, file_node_, Gui::Insert_Position::Last, item.Data)))
                break;
            if (!file_node_marked_) Gui::Mark_Having_Children(tree_, file_node_);
            file_node_marked_ = true;
            ++entries_in_tree_;
            if (inserted_) inserted_(false, item.Text, item.Data);
            expand_file_node = expand_file_node || item.Expand;
        }
    }
    expand_if_wanted();
    return !refused;
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
    KillTimer(Gui::Main_Window(), Round_Timer);
    Running_Feed = nullptr;
}

} // namespace Control
