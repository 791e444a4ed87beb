#pragma once
// Real mouse input on the viewer's tree, for the end-to-end tests: the item's point on the screen
// and a double-click there with xdotool; and what the user sees besides: the item menu and the
// clipboard.

#include "tests/test_support.hpp"
#include "test_tools/harness/viewer_harness.hpp"

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

// The viewer's open popup menu, or 0; its visible dialog box (a modal one of the system's), or 0.
HWND Menu_Of(const Viewer_Harness::Viewer_Process& viewer);
HWND Dialog_Of(const Viewer_Harness::Viewer_Process& viewer);

// The test's stand-in for the user's editor: the stub program (Stub) copied into Folder, its
// output file named to it through the environment while this lives. The stub appends a line per
// start.
class Editor_Stub {
public:
    Editor_Stub(const Test_Support::Temporary_Folder& folder, const std::string& stub);
    ~Editor_Stub();
    Editor_Stub(const Editor_Stub&) = delete;
    Editor_Stub& operator=(const Editor_Stub&) = delete;
    const std::string& Program() const { return program_; }
    const std::string& Output() const { return output_; }

private:
    std::string program_;
    std::string output_;
};

} // namespace Viewer_Clicks
