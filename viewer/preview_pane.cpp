#include "viewer/preview_pane.hpp"

#include "gui/gui.hpp"
#include "gui/registered/registered.hpp"

#include <algorithm>

namespace Control {

void Preview_Pane::Create(const Gui::Page& page)
{
    using Gui::Registered::Read_Window_Setting;
    const std::int32_t stored_height =
        Read_Window_Setting({.Name = "Preview Height", .Default = Default_Height, .Current = [this] { return height_.load(); }});
    height_ = std::clamp(stored_height, Least_Height, Greatest_Height);
    shown_ = Read_Window_Setting({.Name = "Preview Shown", .Default = 1, .Current = [this] { return shown_ ? 1 : 0; }}) != 0;
    pane_ = Gui::Create_Text_Pane(page, {.Height = height_,
                                         .Fixed_Pitch = true,
                                         .Resized = [this](std::int32_t height) { Resized(height); },
                                         .Hidden = !shown_});
    reader_.Start(
        [this](const Gui::Pane_Text& text) {
            Gui::Show_Text(pane_, text);
            Publish_Counts();
        },
        Gui::Closing_Event());
}

void Preview_Pane::Follow(const Preview_Text::Place& place)
{
    followed_ = place;
    if (shown_) Ask(*followed_);
}

void Preview_Pane::Toggle()
{
    shown_ = !shown_;
    Gui::Set_Shown(pane_, shown_);
    if (shown_ && followed_) Ask(*followed_);
}

// More or fewer lines fit now.
void Preview_Pane::Resized(std::int32_t height)
{
    height_ = height;
    if (shown_ && followed_) Ask(*followed_);
}

void Preview_Pane::Finish() { reader_.Stop(); }

// Window properties, which any process may read: a measuring program sees how many of the
// selections the pane followed were read (a read that a newer selection overtook counts too).
void Preview_Pane::Publish_Counts() const
{
    const HWND window = pane_.Window();
    SetPropW(window, Selections_Property, reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(reader_.Requests())));
    SetPropW(window, Reads_Property, reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(reader_.Reads())));
}

void Preview_Pane::Ask(const Preview_Text::Place& place)
{
    reader_.Ask({.Place = place, .Fitting_Lines = Gui::Fitting_Lines(pane_)});
}

} // namespace Control
