#include "control/preview_pane.hpp"

#include "control/index_list.hpp"
#include "gui/gui.hpp"
#include "gui/registered/registered.hpp"
#include "support/log.hpp"

#include <algorithm>

namespace Control {

void Preview_Pane::Create(const Gui::Page& page)
{
    using Gui::Registered::Read_Window_Setting;
    const std::int32_t stored_height =
        Read_Window_Setting({.Name = "Preview Height", .Default = Default_Height, .Current = [this] { return height_.load(); }});
    height_ = std::clamp(stored_height, Least_Height, Greatest_Height);
    shown_ = Read_Window_Setting({.Name = "Preview Shown", .Default = 1, .Current = [this] { return shown_ ? 1 : 0; }}) != 0;
    pane_ = Gui::Create_Text_Pane(page, {.Height = height_, .Fixed_Pitch = true});
    reader_.Start([pane = pane_](const Gui::Pane_Text& text) { Gui::Show_Text(pane, text); }, Gui::Closing_Event());
}

void Preview_Pane::Follow(std::uintptr_t data, const std::string& text)
{
    if (data == 0) {
        followed_ = Preview_Text::Place{.File = text, .Line = 0, .Column = 0};
    } else {
        const Index_List::Index_Entry& entry = Index_List::Item::Element_Of(reinterpret_cast<Index_List::Position>(data));
        followed_ = Preview_Text::Place{.File = entry.File.Text(), .Line = entry.Line, .Column = entry.Column};
    }
    if (shown_) Ask(*followed_);
}

void Preview_Pane::Toggle()
{
    shown_ = !shown_;
    if (shown_ && followed_) Ask(*followed_);
}

void Preview_Pane::Finish()
{
    reader_.Stop();
    if (reader_.Requests() == 0) return;
    Log::Put("Preview: " + std::to_string(reader_.Requests()) + " selections, " + std::to_string(reader_.Reads()) +
             " files read");
}

void Preview_Pane::Ask(const Preview_Text::Place& place)
{
    reader_.Ask({.Place = place, .Fitting_Lines = Gui::Fitting_Lines(pane_)});
}

} // namespace Control
