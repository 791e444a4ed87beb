#include "tests/control/viewer_clicks.hpp"

#include "tests/test_support.hpp"

namespace Viewer_Clicks {

std::optional<POINT> Item_Point(const Viewer_Harness::Viewer_Process& viewer, const Viewer_Harness::Remote_Tree& tree,
                                HTREEITEM item)
{
    HWND window = viewer.Main_Window();
    SetForegroundWindow(window);
    SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    std::optional<RECT> place = tree.Screen_Rectangle(item);
    if (!place) return std::nullopt;
    return POINT{(place->left + place->right) / 2, (place->top + place->bottom) / 2};
}

bool Click_Item(const Viewer_Harness::Viewer_Process& viewer, const Viewer_Harness::Remote_Tree& tree, HTREEITEM item,
                int button)
{
    std::optional<POINT> point = Item_Point(viewer, tree, item);
    return point && Test_Support::Click(point->x, point->y, button);
}

bool Double_Click_Item(const Viewer_Harness::Viewer_Process& viewer, const Viewer_Harness::Remote_Tree& tree,
                       HTREEITEM item)
{
    std::optional<POINT> point = Item_Point(viewer, tree, item);
    return point && Test_Support::Double_Click(point->x, point->y);
}

} // namespace Viewer_Clicks
