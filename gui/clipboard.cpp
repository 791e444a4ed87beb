#include "gui/clipboard.hpp"

#include "gui/controls.hpp"
#include "windows/unicode.hpp"
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

// The characters and a NUL after them.
template <typename Character>
Unique_Global Text_Memory(std::basic_string_view<Character> text)
{
    Unique_Global memory{GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(Character))};
    if (!memory) Fail("GlobalAlloc", GetLastError());
    auto* characters = static_cast<Character*>(GlobalLock(memory.get()));
    if (!characters) Fail("GlobalLock", GetLastError());
    std::memcpy(characters, text.data(), text.size() * sizeof(Character));
    characters[text.size()] = Character{};
    GlobalUnlock(memory.get());
    return memory;
}

void Hand_Over(UINT format, Unique_Global& memory)
{
    if (!SetClipboardData(format, memory.get())) Fail("SetClipboardData", GetLastError());
    memory.release(); // the clipboard owns it now
}

} // namespace

void Put_On_Clipboard(HWND owner, std::string_view text)
{
    const std::string ansi = Windows::Unicode::Ansi_From_Utf8(text);
    Unique_Global memory = Text_Memory(std::string_view(ansi));
    Open_Clipboard clipboard(owner);
    if (!EmptyClipboard()) Fail("EmptyClipboard", GetLastError());
    Hand_Over(CF_TEXT, memory);
}

void Put_On_Clipboard_In_Both_Forms(HWND owner, std::string_view text)
{
    const std::string ansi = Windows::Unicode::Ansi_From_Utf8(text);
    Unique_Global memory = Text_Memory(std::string_view(ansi));
    const std::wstring wide = Windows::Unicode::Wide(text);
    Unique_Global wide_memory = Text_Memory(std::wstring_view(wide));
    Open_Clipboard clipboard(owner);
    if (!EmptyClipboard()) Fail("EmptyClipboard", GetLastError());
    Hand_Over(CF_TEXT, memory);
    Hand_Over(CF_UNICODETEXT, wide_memory);
}

} // namespace Gui
