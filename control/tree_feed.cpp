#include "control/tree_feed.hpp"

#include "gui/gui.hpp"

#include <windows.h>

namespace Control {

namespace {

constexpr UINT_PTR Batch_Timer = 0x4C52; // any identifier; the main window has no other timers

Tree_Feed* Running_Feed = nullptr; // set and read on the window thread only

void CALLBACK On_Batch_Timer(HWND, UINT, UINT_PTR, DWORD) noexcept
{
    // Nothing may leave a system callback; a failed batch is retried with the next one.
    try {
        if (Running_Feed) Running_Feed->Insert_Batch();
    } catch (...) {
    }
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

void Tree_Feed::Finish()
{
    Gui::Run_On_Window_Thread([this]() -> LRESULT {
        KillTimer(Gui::Main_Window(), Batch_Timer);
        Running_Feed = nullptr;
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

void Tree_Feed::Insert_Batch()
{
    std::vector<Pending> batch = Take_Pending();
    if (batch.empty()) return;
    Redraw_Pause pause(tree_.Window());
    bool expand_file_node = false;
    for (const Pending& item : batch) {
        if (item.Is_File) {
            if (expand_file_node) Gui::Expand(tree_, file_node_);
            expand_file_node = false;
            file_node_ = Gui::Insert(tree_, item.Text, Gui::Root_Item, Gui::Insert_Position::Sorted, 0);
        } else {
            Gui::Insert(tree_, item.Text, file_node_, Gui::Insert_Position::Last, item.Data);
            expand_file_node = expand_file_node || item.Expand;
        }
    }
    if (expand_file_node) Gui::Expand(tree_, file_node_);
}

} // namespace Control
