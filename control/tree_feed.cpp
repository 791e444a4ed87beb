#include "control/tree_feed.hpp"

#include "gui/gui.hpp"
#include "support/log.hpp"

#include <windows.h>

namespace Control {

namespace {

constexpr UINT_PTR Batch_Timer = 0x4C52; // any identifier; the main window has no other timers

Tree_Feed* Running_Feed = nullptr; // set and read on the window thread only

void CALLBACK On_Batch_Timer(HWND, UINT, UINT_PTR, DWORD) noexcept
{
    if (Running_Feed) Running_Feed->Insert_Batch(); // lets nothing out: this is a system callback
}

// Stops the redrawing of a window for the life of the object.
class Redraw_Pause {
public:
    explicit Redraw_Pause(HWND window) : window_(window) { SendMessageA(window_, WM_SETREDRAW, FALSE, 0); }
    ~Redraw_Pause()
    {
        SendMessageA(window_, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(window_, nullptr, FALSE);
    }
    Redraw_Pause(const Redraw_Pause&) = delete;
    Redraw_Pause& operator=(const Redraw_Pause&) = delete;

private:
    HWND window_;
};

} // namespace

void Tree_Feed::Start(const Gui::Tree_View& tree)
{
    tree_ = tree;
    Gui::Run_On_Window_Thread([this]() -> LRESULT {
        Running_Feed = this;
        SetTimer(Gui::Main_Window(), Batch_Timer, Batch_Period_Ms, On_Batch_Timer);
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
        Insert_Batch();
        return 0;
    });
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

void Tree_Feed::Stop_When_Done()
{
    std::lock_guard guard(lock_);
    if (!finishing_ || !pending_.empty()) return;
    KillTimer(Gui::Main_Window(), Batch_Timer);
    Running_Feed = nullptr;
}

void Tree_Feed::Insert_Batch() noexcept
{
    std::vector<Pending> batch = Take_Pending();
    std::size_t next = 0;
    try {
        if (!batch.empty()) {
            Redraw_Pause pause(tree_.Window());
            Insert_Items(batch, next);
        }
    } catch (...) {
        // The item at Next is tried again with the rest.
    }
    try {
        if (next < batch.size()) Put_Back(batch, next);
        Stop_When_Done();
    } catch (...) {
        return; // out of memory even for the queue: nothing better to do than to try later
    }
    if (next < batch.size() && !failure_logged_) {
        failure_logged_ = true;
        Log::Put("Tree view refused an entry; it is tried again with the next batch");
    }
}

// Stops at the first item that the tree refuses: an entry after a lost file node would land
// under the file before it. A file node is marked as having children once, with its first entry.
void Tree_Feed::Insert_Items(const std::vector<Pending>& batch, std::size_t& next)
{
    bool expand_file_node = false;
    for (; next < batch.size(); ++next) {
        const Pending& item = batch[next];
        if (item.Is_File) {
            if (expand_file_node) Gui::Expand(tree_, file_node_);
            expand_file_node = false;
            const Gui::Tree_Item node = Gui::Insert(tree_, item.Text, Gui::Root_Item, Gui::Insert_Position::Sorted, 0);
            if (!node) break;
            file_node_ = node;
            file_node_marked_ = false;
        } else {
            if (!Gui::Insert_Unmarked(tree_, item.Text, file_node_, Gui::Insert_Position::Last, item.Data)) break;
            if (!file_node_marked_) Gui::Mark_Having_Children(tree_, file_node_);
            file_node_marked_ = true;
            expand_file_node = expand_file_node || item.Expand;
        }
    }
    if (expand_file_node) Gui::Expand(tree_, file_node_);
}

} // namespace Control
