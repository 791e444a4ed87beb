#include "gui/layout.hpp"

#include <algorithm>

namespace Gui::Layout {

namespace {

int Count(const Input& input, Control_Kind kind) { return input.Count_Per_Kind[Index_Of(kind)]; }

int Big_View_Count(const Input& input)
{
    return Count(input, Control_Kind::List_View) + Count(input, Control_Kind::Tree_View) +
           Count(input, Control_Kind::Rich_Edit);
}

int Line_Row(const Input& input) { return std::max(input.Line_Height, Default_Row); }

// Walks the page's items with a cursor that starts at the top left of the area. Buttons share the
// first row; every other control takes a row of its own at the cursor.
class Walker {
public:
    explicit Walker(const Input& input)
        : input_(input), area_(input.Area), row_(Row_Height(input)), x_(area_.X), y_(area_.Y)
    {
    }

    Placement Place(const Item& item)
    {
        switch (item.Kind) {
        case Control_Kind::Button:
            return Place_Button(item);
        case Control_Kind::Progress_Bar:
            return Place_Progress_Bar(item);
        case Control_Kind::Edit_Box:
        case Control_Kind::Combo_Box:
            return Place_Line_Control(item);
        case Control_Kind::Check_Box:
            return Place_In_Row(item, 2);
        case Control_Kind::List_View:
        case Control_Kind::Tree_View:
        case Control_Kind::Rich_Edit:
            return Place_Big_View(item);
        case Control_Kind::Track_Bar:
        case Control_Kind::Label:
            break;
        }
        return Place_In_Row(item, 0);
    }

private:
    Placement Place_Button(const Item& item)
    {
        const int buttons = Count(input_, Control_Kind::Button);
        int width = input_.Button_Sizing ? area_.Width / std::max(buttons, 1) : item.Width_Field;
        width = std::max(width, 0);
        Placement placement;
        if (++buttons_seen_ < buttons) {
            if (!input_.Button_Sizing && x_ + width > area_.Right() - input_.Last_Button_Width) width = 0;
            placement.Control = {x_, y_, width, row_};
            x_ += width;
        } else {
            // The last button sits flush with the right edge and closes the row.
            placement.Control = {area_.Right() - width, y_, width, row_};
            x_ = area_.X;
            y_ += row_;
        }
        Limit_Height(placement, false);
        return placement;
    }

    // The first bar shares the button row, between the other buttons and the last one; the cursor
    // has already left that row.
    Placement Place_Progress_Bar(const Item& item)
    {
        Placement placement;
        if (++progress_bars_seen_ == 1 && !input_.Button_Sizing && row_ != 0) {
            const int buttons = Count(input_, Control_Kind::Button);
            const int x = area_.X + (buttons >= 2 ? input_.Total_Button_Width - input_.Last_Button_Width : 0);
            placement.Control = {x, area_.Y + 10, area_.Width - input_.Total_Button_Width, 10};
            Limit_Width(placement, item);
            Limit_Height(placement, false);
            return placement;
        }
        placement.Control = {x_, y_ + 10, area_.Right() - x_, 10};
        Limit_Width(placement, item);
        Limit_Height(placement, false);
        y_ += Default_Row - 10;
        return placement;
    }

    // Track bars, labels and check boxes: the default row at the remaining width less Narrower.
    Placement Place_In_Row(const Item& item, int narrower)
    {
        Placement placement = With_Companion(item, {x_, y_, area_.Right() - x_ - narrower, Default_Row});
        Limit_Width(placement, item);
        Limit_Height(placement, false);
        y_ += Default_Row;
        return placement;
    }

    // Edit and combo boxes are one line high, centred in a row of at least the default height.
    Placement Place_Line_Control(const Item& item)
    {
        const bool combo = item.Kind == Control_Kind::Combo_Box;
        const int line = input_.Line_Height;
        const int offset = line < Default_Row ? (Default_Row - line) / 2 : 0;
        Placement placement = With_Companion(item, {x_, y_ + offset, area_.Right() - x_ - (combo ? 6 : 0), line});
        Limit_Width(placement, item);
        Limit_Height(placement, combo);
        y_ += Line_Row(input_);
        return placement;
    }

    // The list, tree and rich-edit views split the height left below the cursor equally, after
    // those with a height of their own have taken it.
    Placement Place_Big_View(const Item& item)
    {
        if (big_view_height_ < 0) Share_Big_View_Height();
        const int height = item.Height_Field > 0 ? Scaled(item.Height_Field) : big_view_height_;
        Placement placement = With_Companion(item, {x_, y_, area_.Right() - x_, height});
        Limit_Width(placement, item);
        Limit_Height(placement, false);
        y_ += height;
        return placement;
    }

    // Views of a fixed height shrink in proportion when they would leave the sharing ones less than
    // half of the room (or, alone, when they do not fit).
    void Share_Big_View_Height()
    {
        const int room = std::max(0, area_.Bottom() - y_);
        long long fixed = 0;
        int fixed_views = 0;
        for (const Item& item : input_.Items) {
            if (!Is_Big_View(item.Kind) || item.Height_Field <= 0) continue;
            fixed += item.Height_Field;
            ++fixed_views;
        }
        const int sharing = std::max(0, Big_View_Count(input_) - fixed_views);
        fixed_total_ = fixed;
        fixed_room_ = sharing > 0 ? room / 2 : room;
        const int fixed_used = Scaled(fixed);
        big_view_height_ = sharing > 0 ? (room - fixed_used) / sharing : 0;
    }

    int Scaled(long long height) const
    {
        return static_cast<int>(fixed_total_ > fixed_room_ ? height * fixed_room_ / fixed_total_ : height);
    }

    static Placement With_Companion(const Item& item, Box row)
    {
        Placement placement{row, {}};
        if (!item.Has_Companion) return placement;
        placement.Companion = {row.X, row.Y, item.Companion_Width, row.Height};
        placement.Control.X += item.Companion_Width;
        placement.Control.Width -= item.Companion_Width;
        return placement;
    }

    static void Limit_Width(Placement& placement, const Item& item)
    {
        if (item.Width_Field > 0 && item.Width_Field < placement.Control.Width) {
            placement.Control.Width = item.Width_Field;
        } else if (placement.Control.Width < Minimum_Width) {
            placement.Control.Width = 0;
            placement.Companion.Width = 0;
        }
    }

    void Limit_Height(Placement& placement, bool combo) const
    {
        if (placement.Control.Height < 0 || placement.Control.Bottom() > area_.Bottom()) {
            placement.Control.Height = 0;
            placement.Companion.Height = 0;
        } else if (combo) {
            placement.Control.Height = Combo_Drop_Down_Height; // room for the drop-down list
        }
    }

    const Input& input_;
    const Box area_;
    const int row_;
    int x_;
    int y_;
    int buttons_seen_ = 0;
    int progress_bars_seen_ = 0;
    int big_view_height_ = -1;
    long long fixed_total_ = 0; // the heights the fixed-height views ask for
    int fixed_room_ = 0;        // and what they may have between them
};

} // namespace

int Row_Height(const Input& input)
{
    if (Count(input, Control_Kind::Button) == 0) return 0;
    if (!input.Tall_Rows) return Line_Row(input);
    int start = input.Client_Height_Less_Status;
    if (Big_View_Count(input) > 0) start /= 2;
    const int others = Default_Row * (Count(input, Control_Kind::Progress_Bar) + Count(input, Control_Kind::Track_Bar) +
                                      Count(input, Control_Kind::Check_Box)) +
                       Line_Row(input) * (Count(input, Control_Kind::Edit_Box) + Count(input, Control_Kind::Combo_Box));
    return start < others + Default_Row ? Default_Row : start - others;
}

std::vector<Placement> Compute(const Input& input)
{
    Walker walker(input);
    std::vector<Placement> placements;
    placements.reserve(input.Items.size());
    for (const Item& item : input.Items) placements.push_back(walker.Place(item));
    return placements;
}

} // namespace Gui::Layout
