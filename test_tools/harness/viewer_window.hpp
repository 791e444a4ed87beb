#pragma once
// The viewer's windows seen from another process: the measuring tools and the end-to-end tests
// find them the same way.

#include <windows.h>

#include <string>

namespace Viewer_Harness {

// The first visible tree view among the window's children; null when there is none.
HWND Find_Tree_View(HWND window);

// The first rich-edit view among the window's children (the viewer's preview); null when there is none.
HWND Find_Rich_Edit(HWND window);

// The window's text as wide characters, through the system's own copy between processes.
std::wstring Wide_Text(HWND window);

// The process's visible top-level window that holds a tree view; null when there is none.
HWND Find_Viewer_Window(DWORD process_id);

} // namespace Viewer_Harness
