#pragma once
// Carries file nodes and entries from the main thread, which reads the pipe, to the tree on the
// window thread. A synchronous message per entry would make every entry wait for the window
// thread (and for its repainting); instead the main thread only queues them, and the window
// thread inserts what has queued up every few tens of milliseconds, with the tree's redrawing
// off during a batch. The user sees the same tree, filled in steps of at most one batch period.

#include "gui/tree_view.hpp"

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace Control {

class Tree_Feed {
public:
    // How often the window thread takes over what has queued up.
    static constexpr unsigned Batch_Period_Ms = 40;

    Tree_Feed() = default;
    Tree_Feed(const Tree_Feed&) = delete;
    Tree_Feed& operator=(const Tree_Feed&) = delete;

    // Starts the batches into Tree; the main window must exist.
    void Start(const Gui::Tree_View& tree);
    // A new file node, sorted among the others; the entries that follow go below it.
    void Add_File(const std::string& file);
    // An entry under the latest file node, which is expanded afterwards when Expand is set.
    void Add_Entry(const std::string& shown_text, std::uintptr_t data, bool expand);
    // Returns when everything queued is in the tree, or what the tree refused is queued for the
    // next batch; the batches stop once the queue is empty. Nothing happens once the window is
    // closing.
    void Finish();

    // Window thread: inserts what has queued up. What the tree refuses (and everything after it)
    // is queued again, in front of what came meanwhile, and the first refusal is logged.
    void Insert_Batch() noexcept;

private:
    struct Pending {
        bool Is_File;
        bool Expand;
        std::string Text;
        std::uintptr_t Data;
    };
    std::vector<Pending> Take_Pending();
    void Put_Back(std::vector<Pending>& batch, std::size_t first);
    void Insert_Items(const std::vector<Pending>& batch, std::size_t& next);
    void Stop_When_Done();

    std::mutex lock_;
    std::vector<Pending> pending_; // guarded by lock_

    // Window thread only.
    Gui::Tree_View tree_;
    Gui::Tree_Item file_node_ = Gui::Root_Item;
    bool file_node_marked_ = false;
    bool finishing_ = false;
    bool failure_logged_ = false;
};

} // namespace Control
