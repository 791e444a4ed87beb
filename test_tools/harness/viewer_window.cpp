#include "test_tools/harness/viewer_window.hpp"

#include <commctrl.h>

#include <algorithm>
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

BOOL CALLBACK Record_Rich_Edit(HWND child, LPARAM context)
{
    wchar_t class_name[64] = {};
    GetClassNameW(child, class_name, 64);
    if (_wcsnicmp(class_name, L"RichEdit", 8) != 0) return TRUE;
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

HWND Find_Rich_Edit(HWND window)
{
    Window_Search search;
    EnumChildWindows(window, Record_Rich_Edit, reinterpret_cast<LPARAM>(&search));
    return search.Found;
}

std::wstring Wide_Text(HWND window)
{
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 5000, &length)) return L"<no answer>";
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_NORMAL, 5000,
                        &copied);
    text.resize(std::min<std::size_t>(copied, length));
    return text;
}

HWND Find_Viewer_Window(DWORD process_id)
{
    Window_Search search{process_id};
    EnumWindows(Record_Viewer_Window, reinterpret_cast<LPARAM>(&search));
    return search.Found;
}

} // namespace Viewer_Harness
