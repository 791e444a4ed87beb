#pragma once
// A read-only pane of text lines, one of them highlighted and a stretch of it selected: a place in
// a text shown with what surrounds it. The lines go to the control through the wide interfaces, so
// every character shows as it is, whatever the ANSI code page holds. The pane is a rich-edit view:
// it takes a share of its page like the other big views, or a height of its own, which the user
// may change by dragging its top edge.

#include "gui/controls.hpp"
#include "gui/pages.hpp"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace Gui {

class Text_Pane : public Child { using Child::Child; };

// What the pane shows.
struct Pane_Text {
    std::vector<std::wstring> Lines;
    // The line drawn on a coloured background; none when outside Lines.
    std::ptrdiff_t Highlighted_Line = -1;
    // The characters selected in the highlighted line (a length of 0 puts the caret there). The
    // selection is brought into view.
    std::size_t Selection_Start = 0;
    std::size_t Selection_Length = 0;
    friend bool operator==(const Pane_Text&, const Pane_Text&) = default;
};

struct Text_Pane_Options {
    // In pixels; 0: a share of the page's height like the other big views.
    std::int32_t Height = 0;
    // A font of fixed pitch, as source text is read.
    bool Fixed_Pitch = true;
    // The user may drag the pane's top edge to give it another height; told the new height on the
    // window thread when the drag ends. Only for a pane with a height of its own.
    std::function<void(std::int32_t height)> Resized;
    // Made hidden; Set_Shown shows it.
    bool Hidden = false;
};

Text_Pane Create_Text_Pane(const Page& page, Text_Pane_Options options);

// Replaces what the pane shows, scrolled to its top.
void Show_Text(const Text_Pane& pane, const Pane_Text& text);

// How many whole lines fit in the pane as it is now; 0 while it is hidden or has no room.
int Fitting_Lines(const Text_Pane& pane);

} // namespace Gui
