#include "viewer/results_export.hpp"

#include "gui/clipboard.hpp"
#include "gui/window_thread.hpp"
#include "windows/local_files.hpp"
#include "windows/unicode.hpp"
#include "windows/unique_handle.hpp"

#include <windows.h>
#include <commdlg.h>

#include <algorithm>
#include <string_view>

namespace Control {

namespace {

// Saved places are UTF-8 with a byte-order mark: lumen_send, editors and other tools then read every
// name and text as it was, whatever their own code page.
constexpr std::string_view Byte_Order_Mark = "\xEF\xBB\xBF";

void Write_File(const std::wstring& wide_path, std::string_view text)
{
    const std::string path = Windows::Unicode::Utf8(wide_path);
    Windows::Unique_File file{
        CreateFileW(wide_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (!file) throw SAVE_FAILURE(path + ": CreateFileW error " + std::to_string(GetLastError()));
    std::size_t written = 0;
    while (written < text.size()) {
        DWORD part = 0;
        const auto size = static_cast<DWORD>(std::min<std::size_t>(text.size() - written, 1 << 20));
        if (!WriteFile(file.get(), text.data() + written, size, &part, nullptr))
            throw SAVE_FAILURE(path + ": WriteFile error " + std::to_string(GetLastError()));
        written += part;
    }
}

// A file name made from the title: what Windows does not allow in one becomes "_".
std::string Name_From_Title(const std::string& title)
{
    std::string name;
    for (const char character : title)
        name += (static_cast<unsigned char>(character) < 32 ||
                 std::string_view("\\/:*?\"<>|").find(character) != std::string_view::npos)
                    ? '_'
                    : character;
    std::size_t cut = std::min<std::size_t>(name.size(), 200);
    while (cut > 0 && cut < name.size() && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut; // a whole character
    name.resize(cut);
    return (name.empty() ? "Results" : name) + ".txt";
}

} // namespace

std::string Saved_Name(const std::string& name)
{
    const Windows::Local_Files::Decision local = Windows::Local_Files::Canonical(name);
    return local.Accepted() ? local.Path : name;
}

void Copy_All(const std::string& lines) { Gui::Put_On_Clipboard_In_Both_Forms(Gui::Main_Window(), lines); }

void Save_As(const std::string& title, const std::function<std::string()>& lines)
{
    wchar_t path[MAX_PATH] = {};
    const std::wstring name = Windows::Unicode::Wide(Name_From_Title(title));
    name.copy(path, MAX_PATH - 1);
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = Gui::Main_Window();
    dialog.lpstrFilter = L"Places (*.txt)\0*.txt\0All files (*.*)\0*.*\0";
    dialog.lpstrFile = path;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrDefExt = L"txt";
    dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
    if (!GetSaveFileNameW(&dialog)) return;
    try {
        Write_File(path, std::string(Byte_Order_Mark) + lines());
    } catch (...) {
        Gui::Show_Current_Failure();
    }
}

} // namespace Control
