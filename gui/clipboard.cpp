#include "gui/clipboard.hpp"

#include "windows/unique_handle.hpp"

#include <cstring>
#include <string>

namespace Gui {

namespace {

struct Global_Memory_Traits {
    using Value = HGLOBAL;
    static Value Empty() noexcept { return nullptr; }
    static void Close(Value value) noexcept { GlobalFree(value); }
};
// Memory for the clipboard until the clipboard has taken it over.
using Unique_Global = Windows::Unique_Resource<Global_Memory_Traits>;

[[noreturn]] void Fail(const char* step, DWORD error)
{
    throw CLIPBOARD_FAILURE(std::string(step) + ": error " + std::to_string(error));
}

// The clipboard is open for one program at a time, for as long as this lives.
class Open_Clipboard {
public:
    explicit Open_Clipboard(HWND owner)
    {
        if (!OpenClipboard(owner)) Fail("OpenClipboard", GetLastError());
    }
    ~Open_Clipboard() { CloseClipboard(); }
    Open_Clipboard(const Open_Clipboard&) = delete;
    Open_Clipboard& operator=(const Open_Clipboard&) = delete;
};

Unique_Global Text_Memory(std::string_view text)
{
    Unique_Global memory{GlobalAlloc(GMEM_MOVEABLE, text.size() + 1)};
    if (!memory) Fail("GlobalAlloc", GetLastError());
    auto* bytes = static_cast<char*>(GlobalLock(memory.get()));
    if (!bytes) Fail("GlobalLock", GetLastError());
    std::memcpy(bytes, text.data(), text.size());
    bytes[text.size()] = '\0';
    GlobalUnlock(memory.get());
    return memory;
}

} // namespace

void Put_On_Clipboard(HWND owner, std::string_view text)
{
    Unique_Global memory = Text_Memory(text);
    Open_Clipboard clipboard(owner);
    if (!EmptyClipboard()) Fail("EmptyClipboard", GetLastError());
    if (!SetClipboardData(CF_TEXT, memory.get())) Fail("SetClipboardData", GetLastError());
    memory.release(); // the clipboard owns it now
}

} // namespace Gui
