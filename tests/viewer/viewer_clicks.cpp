#include "tests/viewer/viewer_clicks.hpp"

#include "tests/test_support.hpp"

#include <stdexcept>
#include <string>

namespace Viewer_Clicks {

namespace {

struct Window_Search {
    DWORD Process;
    const char* Class_Name;
    HWND Found = nullptr;
};

BOOL CALLBACK Match_Window(HWND window, LPARAM parameter)
{
    auto& search = *reinterpret_cast<Window_Search*>(parameter);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char class_name[16] = {};
    GetClassNameA(window, class_name, sizeof class_name);
    if (process != search.Process || std::string(class_name) != search.Class_Name || !IsWindowVisible(window))
        return TRUE;
    search.Found = window;
    return FALSE;
}

HWND Window_Of_Class(const Viewer_Harness::Viewer_Process& viewer, const char* class_name)
{
    Window_Search search{viewer.Id(), class_name};
    EnumWindows(Match_Window, reinterpret_cast<LPARAM>(&search));
    return search.Found;
}

template <typename Character>
std::basic_string<Character> Clipboard_Data(UINT format)
{
    if (!OpenClipboard(nullptr)) return {};
    std::basic_string<Character> text;
    if (HANDLE data = GetClipboardData(format)) {
        if (const auto* characters = static_cast<const Character*>(GlobalLock(data))) text = characters;
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}

} // namespace

std::string Clipboard_Text()
{
    if (!OpenClipboard(nullptr)) return "<clipboard busy>";
    CloseClipboard();
    return Clipboard_Data<char>(CF_TEXT);
}

std::wstring Clipboard_Wide_Text() { return Clipboard_Data<wchar_t>(CF_UNICODETEXT); }

HWND Menu_Of(const Viewer_Harness::Viewer_Process& viewer) { return Window_Of_Class(viewer, "#32768"); }

HWND Dialog_Of(const Viewer_Harness::Viewer_Process& viewer) { return Window_Of_Class(viewer, "#32770"); }

Editor_Stub::Editor_Stub(const Test_Support::Temporary_Folder& folder, const std::string& stub)
    : program_(folder.File("editor_stub.exe")), output_(folder.File("editor_output.txt"))
{
    if (!CopyFileA(Viewer_Harness::Windows_Path(stub).c_str(), program_.c_str(), FALSE))
        throw std::runtime_error("cannot copy the editor stub: error " + std::to_string(GetLastError()));
    SetEnvironmentVariableA("LUMEN_EDITOR_STUB_OUTPUT", output_.c_str());
}

Editor_Stub::~Editor_Stub() { SetEnvironmentVariableA("LUMEN_EDITOR_STUB_OUTPUT", nullptr); }

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
