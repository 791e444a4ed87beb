#include "tools/harness/viewer_window.hpp"

#include <commctrl.h>

#include <string_view>

namespace Viewer_Harness {

namespace {

struct Window_Search {
    DWORD Process_Id = 0;
    HWND Found = nullptr;
};

// Callbacks of the system: they only record what they find.
BOOL CALLBACK Record_Tree(HWND child, LPARAM context)
{
    char class_name[64] = {};
    GetClassNameA(child, class_name, sizeof class_name);
    // The viewer may hold more than one tree; the one in view is the one the user works with.
    if (std::string_view(class_name) != WC_TREEVIEWA || !IsWindowVisible(child)) return TRUE;
    reinterpret_cast<Window_Search*>(context)->Found = child;
    return FALSE;
}

BOOL CALLBACK Record_Viewer_Window(HWND window, LPARAM context)
{
    auto& search = *reinterpret_cast<Window_Search*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search.Process_Id || !IsWindowVisible(window) || !Find_Tree_View(window)) return TRUE;
    search.Found = window;
    return FALSE;
}

} // namespace

HWND Find_Tree_View(HWND window)
{
    Window_Search search;
    EnumChildWindows(window, Record_Tree, reinterpret_cast<LPARAM>(&search));
    return search.Found;
}

HWND Find_Viewer_Window(DWORD process_id)
{
    Window_Search search{process_id};
    EnumWindows(Record_Viewer_Window, reinterpret_cast<LPARAM>(&search));
    return search.Found;
}

} // namespace Viewer_Harness
