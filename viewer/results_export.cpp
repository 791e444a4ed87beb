#include "viewer/results_export.hpp"

#include "gui/clipboard.hpp"
#include "gui/window_thread.hpp"
#include "windows/local_files.hpp"
#include "windows/unique_handle.hpp"

#include <windows.h>
#include <commdlg.h>

#include <algorithm>
#include <string_view>

namespace Control {

namespace {

void Write_File(const std::string& path, const std::string& text)
{
    Windows::Unique_File file{
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (!file) throw SAVE_FAILURE(path + ": CreateFileA error " + std::to_string(GetLastError()));
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
    name = name.substr(0, 200);
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
    char path[MAX_PATH] = {};
    const std::string name = Name_From_Title(title);
    name.copy(path, MAX_PATH - 1);
    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = Gui::Main_Window();
    dialog.lpstrFilter = "Places (*.txt)\0*.txt\0All files (*.*)\0*.*\0";
    dialog.lpstrFile = path;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrDefExt = "txt";
    dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
    if (!GetSaveFileNameA(&dialog)) return;
    try {
        Write_File(path, lines());
    } catch (...) {
        Gui::Show_Current_Failure();
    }
}

} // namespace Control
