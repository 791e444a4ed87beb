#pragma once
// Real mouse input on the viewer's tree, for the end-to-end tests: the item's point on the screen
// and a double-click there with xdotool; and what the user sees besides: the item menu and the
// clipboard.

#include "tools/harness/viewer_harness.hpp"

#include <windows.h>
#include <commctrl.h>

#include <optional>
#include <string>

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

// What the clipboard holds, read as any other program reads it: as 8-bit text ("<clipboard busy>"
// while another program holds it) and as CF_UNICODETEXT.
std::string Clipboard_Text();
std::wstring Clipboard_Wide_Text();

// The viewer's open popup menu, or 0.
HWND Menu_Of(const Viewer_Harness::Viewer_Process& viewer);

} // namespace Viewer_Clicks
