#pragma once
// Helpers of the window-framework tests: bounded polling, window geometry, message boxes found
// and closed from the test, and Linux programs (xdotool, ImageMagick) run from inside Wine.

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace Gui_Test {

// Polls Condition until it holds or Timeout passes; returns its last value.
bool Wait_Until(const std::function<bool()>& condition, std::chrono::milliseconds timeout = std::chrono::seconds(10));

// A gate a thread can be held at (Pass) until the test opens it.
class Gate {
public:
    void Open()
    {
        {
            std::lock_guard guard(lock_);
            open_ = true;
        }
        changed_.notify_all();
    }
    void Pass()
    {
        std::unique_lock guard(lock_);
        changed_.wait(guard, [this] { return open_; });
    }

private:
    std::mutex lock_;
    std::condition_variable changed_;
    bool open_ = false;
};

// A left click at the screen point, once xdotool has sent it.
bool Click(int x, int y);
// The whole X screen as a PNG, written to a Windows path on drive Z: (the Linux root); returns
// once the file is complete.
bool Save_Screenshot(const std::string& windows_path);

// A window's rectangle relative to its parent's client area.
RECT Rectangle_In_Parent(HWND window);
// A tree item's text (up to 255 characters), read with the 8-bit message.
std::string Tree_Item_Text(HWND tree, HTREEITEM item);
// The screen point at the centre of a tree item's text.
POINT Tree_Item_Centre(HWND tree, HTREEITEM item);

// The message box of this process with the caption, or 0.
HWND Find_Message_Box(const std::string& caption);
std::string Message_Box_Text(HWND box);
void Close_Message_Box(HWND box);

// While it lives, a thread closes every message box with Caption that appears and keeps the
// text of the last one. For paths that show a box while the test thread itself is blocked.
class Message_Box_Closer {
public:
    explicit Message_Box_Closer(std::string caption);
    ~Message_Box_Closer();
    Message_Box_Closer(const Message_Box_Closer&) = delete;
    Message_Box_Closer& operator=(const Message_Box_Closer&) = delete;
    int Closed() const { return closed_; }
    std::string Last_Text() const;

private:
    std::string caption_;
    std::atomic<bool> stop_{false};
    std::atomic<int> closed_{0};
    mutable std::mutex text_lock_;
    std::string last_text_;
    std::thread watcher_;
};

} // namespace Gui_Test
