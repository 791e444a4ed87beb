#pragma once
// Real mouse input on the viewer's tree, for the end-to-end tests: the item's point on the screen
// and a double-click there with xdotool.

#include "tools/harness/viewer_harness.hpp"

#include <windows.h>
#include <commctrl.h>

#include <optional>

namespace Viewer_Clicks {

// The middle of the item's text on the screen, once the viewer's window has been brought to the
// top (no window manager does that here); nothing when the item is not visible.
std::optional<POINT> Item_Point(const Viewer_Harness::Viewer_Process& viewer, const Viewer_Harness::Remote_Tree& tree,
                                HTREEITEM item);

// One click of Button (1 left, 3 right) on the item with the real mouse.
bool Click_Item(const Viewer_Harness::Viewer_Process& viewer, const Viewer_Harness::Remote_Tree& tree, HTREEITEM item,
                int button);

// Double-clicks the item with the real mouse.
bool Double_Click_Item(const Viewer_Harness::Viewer_Process& viewer, const Viewer_Harness::Remote_Tree& tree,
                       HTREEITEM item);

} // namespace Viewer_Clicks
