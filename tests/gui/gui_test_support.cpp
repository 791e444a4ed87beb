#include "tests/gui/gui_test_support.hpp"

#include "tests/test_support.hpp"

#include <commctrl.h>

#include <cstring>
#include <memory>
#include <vector>

namespace Gui_Test {

namespace {

// "Z:\work\x.png" is "/work/x.png" on the Linux side.
std::string Unix_Path(const std::string& windows_path)
{
    std::string path = windows_path.size() > 2 && windows_path[1] == ':' ? windows_path.substr(2) : windows_path;
    for (char& character : path)
        if (character == '\\') character = '/';
    return path;
}

struct Box_Search {
    const std::string* caption;
    HWND found;
};

BOOL CALLBACK Match_Box(HWND window, LPARAM parameter)
{
    auto& search = *reinterpret_cast<Box_Search*>(parameter);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char class_name[64] = {};
    GetClassNameA(window, class_name, sizeof class_name);
    char caption[512] = {};
    GetWindowTextA(window, caption, sizeof caption);
    if (process == GetCurrentProcessId() && std::string(class_name) == "#32770" && *search.caption == caption &&
        IsWindowVisible(window)) {
        search.found = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK Collect_Static_Text(HWND window, LPARAM parameter)
{
    char class_name[64] = {};
    GetClassNameA(window, class_name, sizeof class_name);
    char text[1024] = {};
    GetWindowTextA(window, text, sizeof text);
    if (std::string(class_name) == "Static" && text[0]) *reinterpret_cast<std::string*>(parameter) = text;
    return TRUE;
}

} // namespace

bool Wait_Until(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return condition();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

bool Click(int x, int y)
{
    return Test_Support::Run_Unix("/usr/bin/xdotool mousemove " + std::to_string(x) + " " + std::to_string(y) +
                                  " click 1");
}

bool Save_Screenshot(const std::string& windows_path)
{
    DeleteFileA(windows_path.c_str());
    if (!Test_Support::Run_Unix("/usr/bin/import -window root " + Unix_Path(windows_path))) return false;
    LONGLONG last_size = -1;
    return Wait_Until([&] {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (!GetFileAttributesExA(windows_path.c_str(), GetFileExInfoStandard, &data)) return false;
        const LONGLONG size = (LONGLONG(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        const bool settled = size > 0 && size == last_size;
        last_size = size;
        return settled;
    }, std::chrono::seconds(20));
}

RECT Rectangle_In_Parent(HWND window)
{
    RECT rectangle{};
    GetWindowRect(window, &rectangle);
    MapWindowPoints(HWND_DESKTOP, GetParent(window), reinterpret_cast<POINT*>(&rectangle), 2);
    return rectangle;
}

POINT Tree_Item_Centre(HWND tree, HTREEITEM item)
{
    // TVM_GETITEMRECT takes the item in the rectangle's place.
    RECT rectangle{};
    std::memcpy(&rectangle, &item, sizeof item);
    SendMessageA(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&rectangle));
    POINT centre{(rectangle.left + rectangle.right) / 2, (rectangle.top + rectangle.bottom) / 2};
    ClientToScreen(tree, &centre);
    return centre;
}

HWND Find_Message_Box(const std::string& caption)
{
    Box_Search search{&caption, nullptr};
    EnumWindows(Match_Box, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string Message_Box_Text(HWND box)
{
    std::string text;
    EnumChildWindows(box, Collect_Static_Text, reinterpret_cast<LPARAM>(&text));
    return text;
}

void Close_Message_Box(HWND box) { PostMessageA(box, WM_COMMAND, IDOK, 0); }

Message_Box_Closer::Message_Box_Closer(std::string caption) : caption_(std::move(caption))
{
    watcher_ = std::thread([this] {
        while (!stop_) {
            if (HWND box = Find_Message_Box(caption_)) {
                {
                    std::lock_guard guard(text_lock_);
                    last_text_ = Message_Box_Text(box);
                }
                // Counted before the box can go: whatever its closing sets free may ask at once.
                ++closed_;
                Close_Message_Box(box);
                Wait_Until([box] { return !IsWindow(box); }, std::chrono::seconds(5));
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
}

Message_Box_Closer::~Message_Box_Closer()
{
    stop_ = true;
    watcher_.join();
}

std::string Message_Box_Closer::Last_Text() const
{
    std::lock_guard guard(text_lock_);
    return last_text_;
}

std::string Tree_Item_Text(HWND tree, HTREEITEM item)
{
    char text[256] = {};
    TVITEMA query{};
    query.mask = TVIF_TEXT;
    query.hItem = item;
    query.pszText = text;
    query.cchTextMax = sizeof text;
    SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&query));
    return text;
}

} // namespace Gui_Test
