#pragma once
// The placement of one page's controls inside the area above the status line (and inside the
// tab's display area when there are tabs). Pure arithmetic: the page module measures the texts and
// moves the windows. Controls that do not fit get a width or height of 0, never a negative one.

#include "gui/kinds.hpp"

#include <cstdint>
#include <vector>

namespace Gui::Layout {

inline constexpr int Default_Row = 30;
inline constexpr int Minimum_Width = 100;
inline constexpr int Combo_Drop_Down_Height = 200;

struct Box {
    int X = 0;
    int Y = 0;
    int Width = 0;
    int Height = 0;
    int Right() const noexcept { return X + Width; }
    int Bottom() const noexcept { return Y + Height; }
    friend bool operator==(const Box&, const Box&) = default;
};

// One control of the page that is not itself a companion, in the page's order.
struct Item {
    Control_Kind Kind = Control_Kind::Button;
    std::int32_t Width_Field = 0; // 0: none given; negative: sized to text, treated as none here
    bool Has_Companion = false;
    int Companion_Width = 0; // already measured: the field, or the text extent + 3, + 20 for a check box
    // A big view's own height in pixels; 0: a share of what is left. Fixed heights yield when they
    // would leave the sharing views less than half of the room.
    std::int32_t Height_Field = 0;
};

struct Input {
    Box Area;
    int Line_Height = 0;                // text height + 8
    int Client_Height_Less_Status = 0;  // for tall rows
    bool Button_Sizing = false;
    bool Tall_Rows = false;
    std::int32_t Total_Button_Width = 0;
    std::int32_t Last_Button_Width = 0;
    Kind_Counts Count_Per_Kind{};       // of the whole page, companions included
    std::vector<Item> Items;
};

struct Placement {
    Box Control;
    Box Companion; // meaningful when the item has a companion
};

// Height of the button row: 0 without buttons.
int Row_Height(const Input& input);

// One placement per item, in the same order.
std::vector<Placement> Compute(const Input& input);

} // namespace Gui::Layout
