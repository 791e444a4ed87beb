#pragma once
// Carries file nodes and entries from the main thread, which reads the pipe, to the tree on the
// window thread. A synchronous message per entry would make every entry wait for the window
// thread; instead the main thread only queues the nodes it appended to the results model, and the
// window thread inserts what has queued up every few tens of milliseconds with the tree's drawing
// held, each node with the text and the place the model gives it.
//
// Bringing the tree's picture up to date costs the control a pass over all its items. When new
// rows land in view it is done within Longest_Show_Period_Ms, and as the tree grows less often
// than the inserts: the time it takes is kept to about Showing_Share of the window thread's time.
// When they all land out of view only the scroll bar would change, and the picture is brought up
// to date rarely: Quiet_Share of the time, at least every Longest_Quiet_Period_Ms. The control also
// catches up by itself whenever the user touches it. Rows out of view are not repainted.
//
// Batches queue thousands of entries in a few milliseconds, and the window answers nothing while a
// round runs: a round inserts for Round_Budget_Ms at most, and what is left waits for the next
// round, Backlog_Period_Ms later (the timer's message comes after the user's input and the
// window's other messages). While such a backlog lasts the picture is brought up to date every
// Backlog_Show_Period_Ms only, also for rows in view: a showing costs a pass over all items
// (under Wine about 0.5 us each, and 2.5 us for each new one: 60 to 300 ms at 100,000 items), and
// at the usual pace the window would spend most of its time showing and answer late. The status
// line counts on meanwhile, and the first rows show at once.

#include "viewer/results.hpp"
#include "gui/tree_view.hpp"
#include "windows/unique_handle.hpp"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <deque>
#include <vector>

namespace Control {

class Tree_Feed {
public:
    // How often the window thread takes over what has queued up. Every time the window thread
    // wakes during a transfer costs the transfer more than the window thread's own time (on two
    // processors it displaces the pipe's ends and the wine server); rows show at most every
    // Shortest_Show_Period_Ms anyway.
    static constexpr unsigned Insert_Period_Ms = 100;
    // The shortest and the longest time between bringing the picture up to date while entries
    // arrive. A showing costs the window thread 15 to 30 ms under Wine, most of it the same
    // whatever came since (the scroll bar's redraw asks the wine server about sixty times and
    // looks up the display set-up about twenty); that cost falls on the server and the processors
    // the transfer needs. Rows in view at five a second still come as they arrive.
    static constexpr unsigned Shortest_Show_Period_Ms = 200;
    static constexpr unsigned Longest_Show_Period_Ms = 400;
    // The share of the window thread's time that bringing the picture up to date may take.
    static constexpr double Showing_Share = 0.10;
    // The same while nothing in view changes: only the scroll bar would move. The period stays
    // within seconds all the same: the control measures the text of every new item when it
    // catches up (about 5 ms a thousand), so a long pause makes a long stop.
    static constexpr double Quiet_Share = 0.05;
    static constexpr unsigned Shortest_Quiet_Period_Ms = 2000;
    static constexpr unsigned Longest_Quiet_Period_Ms = 4000;
    // Inserting costs about 5 us an item under Wine.
    static constexpr unsigned Round_Budget_Ms = 15;
    static constexpr unsigned Backlog_Period_Ms = 10;
    static constexpr unsigned Backlog_Show_Period_Ms = 8000;

    using Clock = std::chrono::steady_clock;

    // When held changes are shown: those among the rows in view after a pause in which showing
    // takes Showing_Share of the time (Shortest_ to Longest_Show_Period_Ms),
    // those out of view after one of Quiet_Share (Shortest_ to Longest_Quiet_Period_Ms). Each pause
    // follows what the last showing cost and counts from its start. The feed tells it the time and
    // the cost, so it keeps no clock of its own.
    class Pacing {
    public:
        bool Due(Clock::time_point now, bool changes_in_view) const;
        void Shown(Clock::time_point start, Clock::duration cost);

    private:
        Clock::time_point next_show_{};       // when changes in view may be shown again
        Clock::time_point next_quiet_show_{}; // when changes out of view are shown
    };

    using Node = Results::Node;
    // Told on the window thread after each round of inserts, also when nothing came.
    using Progress_Routine = std::function<void(const Counts& in_tree)>;

    Tree_Feed() = default;
    Tree_Feed(const Tree_Feed&) = delete;
    Tree_Feed& operator=(const Tree_Feed&) = delete;

    // Told on the window thread of every node as it goes into the tree: a file node or an entry
    // under the latest file node. Set it before Start.
    using Inserted_Routine = std::function<void(Node node)>;
    void Observe_Inserts(Inserted_Routine routine) { inserted_ = std::move(routine); }

    // Starts the rounds into Tree, which shows Results; the main window must exist.
    void Start(const Gui::Tree_View& tree, const Results& results, Progress_Routine progress);
    // A new file node, which goes where the results put the file among those in the tree; the
    // entries that follow go below it.
    void Add_File(Results::File_Index file);
    // An entry under the latest file node, which is expanded afterwards when Expand is set (and
    // it is not open already).
    void Add_Entry(Node entry, bool expand);
    // Returns when everything queued is in the tree and shown, or what the tree refused is queued
    // for the next round; the rounds stop once the queue is empty. Nothing happens once the window
    // is closing. Not on the window thread: a backlog drains over several rounds.
    void Finish();
    // What the tree holds so far; any thread.
    Counts In_Tree() const;
    // Window thread: the file's node; the root while it is not in the tree.
    Gui::Tree_Item File_Item(Results::File_Index file) const;

    // Window thread: inserts what has queued up and, when due, shows it. What the tree refuses
    // (and everything after it) is queued again, in front of what came meanwhile, and the first
    // refusal is logged.
    void Run_Round() noexcept;

private:
    struct Pending {
        Node Item;
        bool Expand;
    };
    // In blocks of its own rather than one array: a fast transfer queues tens of thousands of
    // items, and an array grown by doubling leaves the heap holes of every size it passed.
    using Pending_Queue = std::deque<Pending>;
    Pending_Queue Take_Pending();
    void Put_Back(Pending_Queue& batch, std::size_t first);
    // Whether the tree refused an item.
    bool Insert_Queued();
    bool Insert_Items(const Pending_Queue& batch, std::size_t& next, Clock::time_point deadline);
    void Set_Period(bool backlog);
    Gui::Tree_Item Insert_File_Node(Results::File_Index file);
    bool Show_Due() const;
    void Show();
    void Keep_Selection_On_First();
    void Stop_When_Done();

    std::mutex lock_;
    Pending_Queue pending_; // guarded by lock_
    std::atomic<std::uint64_t> entries_in_tree_{0};
    std::atomic<std::uint64_t> files_in_tree_{0};

    // Window thread only.
    Gui::Tree_View tree_;
    const Results* results_ = nullptr;
    Progress_Routine progress_;
    Inserted_Routine inserted_;
    std::vector<Gui::Tree_Item> file_nodes_; // per file of the results; null until it is in the tree
    std::wstring text_;                      // of the node being inserted, used again for every node
    Gui::Tree_Item file_node_ = Gui::Root_Item;
    bool file_node_marked_ = false;
    bool finishing_ = false;
    bool failure_logged_ = false;
    bool backlog_ = false;            // the timer runs at Backlog_Period_Ms
    Clock::time_point last_show_{};
    Windows::Unique_Handle finished_; // set when Finish may return
    bool keeping_selection_ = true;
    Gui::Tree_Item selected_by_feed_ = Gui::Root_Item; // the root: none yet
    Pacing pacing_;
};

} // namespace Control
