#pragma once
// Move-only owners of the GDI and user handles the framework takes for a while: a window's
// device context, a loaded library, a font, a menu, a deferred-position batch.

#include "windows/unique_handle.hpp"

#include <windows.h>

#include <utility>

namespace Gui {

// GetDC / ReleaseDC of one window.
class Window_Device_Context {
public:
    explicit Window_Device_Context(HWND window) noexcept : window_(window), context_(GetDC(window)) {}
    ~Window_Device_Context()
    {
        if (context_) ReleaseDC(window_, context_);
    }
    Window_Device_Context(const Window_Device_Context&) = delete;
    Window_Device_Context& operator=(const Window_Device_Context&) = delete;

    HDC get() const noexcept { return context_; }
    explicit operator bool() const noexcept { return context_ != nullptr; }

private:
    HWND window_;
    HDC context_;
};

struct Library_Traits {
    using Value = HMODULE;
    static Value Empty() noexcept { return nullptr; }
    static void Close(Value value) noexcept { FreeLibrary(value); }
};
using Unique_Library = Windows::Unique_Resource<Library_Traits>;

// A font the framework made for one of its controls.
struct Font_Traits {
    using Value = HFONT;
    static Value Empty() noexcept { return nullptr; }
    static void Close(Value value) noexcept { DeleteObject(value); }
};
using Unique_Font = Windows::Unique_Resource<Font_Traits>;

// A menu that no window owns yet; a window destroys its own menu with itself.
struct Menu_Traits {
    using Value = HMENU;
    static Value Empty() noexcept { return nullptr; }
    static void Close(Value value) noexcept { DestroyMenu(value); }
};
using Unique_Menu = Windows::Unique_Resource<Menu_Traits>;

// One BeginDeferWindowPos batch; the destructor moves all queued windows at once. A failed
// DeferWindowPos frees the whole batch, so later moves are skipped rather than sent to a dead one.
class Deferred_Positions {
public:
    explicit Deferred_Positions(int window_count) noexcept : batch_(BeginDeferWindowPos(window_count)) {}
    ~Deferred_Positions()
    {
        if (batch_) EndDeferWindowPos(batch_);
    }
    Deferred_Positions(const Deferred_Positions&) = delete;
    Deferred_Positions& operator=(const Deferred_Positions&) = delete;

    void Move(HWND window, int x, int y, int width, int height, UINT flags) noexcept
    {
        if (!batch_ || !window) return;
        batch_ = DeferWindowPos(batch_, window, nullptr, x, y, width, height, flags);
    }

private:
    HDWP batch_;
};

} // namespace Gui
