#pragma once
// The kinds of child control and their rank inside a page. The rank decides the order in which a
// page keeps (and lays out) its controls: buttons first, the big views last.

#include <array>
#include <cstdint>

namespace Gui {

enum class Control_Kind : std::uint8_t {
    Button = 0,
    Progress_Bar = 1,
    Track_Bar = 2,
    Edit_Box = 3,
    Check_Box = 4,
    Combo_Box = 5,
    Label = 6, // only ever created as the caption companion of another control
    List_View = 7,
    Tree_View = 8,
    Rich_Edit = 9,
};

inline constexpr std::size_t Kind_Count = 10;

using Kind_Counts = std::array<std::int32_t, Kind_Count>;

constexpr std::size_t Index_Of(Control_Kind kind) noexcept { return static_cast<std::size_t>(kind); }

constexpr int Kind_Order(Control_Kind kind) noexcept
{
    constexpr std::array<int, Kind_Count> rank{10, 20, 30, 40, 50, 40, 60, 70, 70, 70};
    return rank[Index_Of(kind)];
}

// The list, tree and rich-edit views share whatever height is left below the other controls.
constexpr bool Is_Big_View(Control_Kind kind) noexcept
{
    return kind == Control_Kind::List_View || kind == Control_Kind::Tree_View || kind == Control_Kind::Rich_Edit;
}

} // namespace Gui
