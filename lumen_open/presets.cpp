#include "lumen_open/presets.hpp"

#include "lumen_open/settings.hpp"
#include "windows/files.hpp"
#include "windows/program_search.hpp"
#include "windows/unicode.hpp"
#include "windows/unique_handle.hpp"

#include <windows.h>

#include <algorithm>
#include <functional>

namespace Open::Presets {

namespace {

// FindFirstFile's search handle is closed by FindClose, not CloseHandle.
struct Find_Handle_Traits {
    using Value = HANDLE;
    static Value Empty() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Value value) noexcept { FindClose(value); }
};
using Unique_Find = Windows::Unique_Resource<Find_Handle_Traits>;

bool Same_Letters(std::string_view left, std::string_view right)
{
    const std::wstring wide_left = Windows::Unicode::Wide(left);
    const std::wstring wide_right = Windows::Unicode::Wide(right);
    return CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, wide_left.data(), static_cast<int>(wide_left.size()),
                          wide_right.data(), static_cast<int>(wide_right.size())) == CSTR_EQUAL;
}

// A 32-bit program sees "Program Files (x86)" as %ProgramFiles%; %ProgramW6432% names the
// 64-bit one. Each folder is listed once.
std::vector<std::string> Roots(Root root)
{
    std::vector<std::string> roots;
    if (root == Root::Local_App_Data) {
        if (std::string folder = Settings::Environment_Value("LOCALAPPDATA"); !folder.empty()) roots.push_back(folder);
        return roots;
    }
    for (const char* name : {"ProgramW6432", "ProgramFiles", "ProgramFiles(x86)"}) {
        const std::string folder = Settings::Environment_Value(name);
        const auto same = [&](const std::string& known) { return Same_Letters(known, folder); };
        if (!folder.empty() && std::none_of(roots.begin(), roots.end(), same)) roots.push_back(folder);
    }
    return roots;
}

bool Is_File(const std::string& path) { return Windows::Files::Is_File(path); }

bool Is_Folder_Entry(const WIN32_FIND_DATAW& found)
{
    const std::wstring_view name = found.cFileName;
    return (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name != L"." && name != L"..";
}

// The folders in Parent whose names match Pattern, last in name order first.
std::vector<std::string> Matching_Folders(const std::string& parent, std::string_view pattern)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAW found;
    Unique_Find search{FindFirstFileW(Windows::Unicode::Wide(parent + "\\" + std::string(pattern)).c_str(), &found)};
    for (bool more = static_cast<bool>(search); more; more = FindNextFileW(search.get(), &found))
        if (Is_Folder_Entry(found)) names.push_back(Windows::Unicode::Utf8(found.cFileName));
    std::sort(names.begin(), names.end(), std::greater<>());
    return names;
}

// The place's file under Root, its "*" folder resolved; nothing when there is none.
std::optional<std::string> Installed(const std::string& root, std::string_view path)
{
    const std::size_t star = path.find('*');
    if (star == std::string_view::npos) {
        const std::string full = root + "\\" + std::string(path);
        return Is_File(full) ? std::optional(full) : std::nullopt;
    }
    const std::size_t separator_before = path.rfind('\\', star);
    const std::size_t folder_start = separator_before == std::string_view::npos ? 0 : separator_before + 1;
    const std::size_t folder_end = path.find('\\', star);
    const std::string parent = folder_start ? root + "\\" + std::string(path.substr(0, folder_start - 1)) : root;
    for (const std::string& folder : Matching_Folders(parent, path.substr(folder_start, folder_end - folder_start))) {
        const std::string candidate = parent + "\\" + folder + std::string(path.substr(folder_end));
        if (Is_File(candidate)) return candidate;
    }
    return std::nullopt;
}

std::string_view File_Name_Of(std::string_view path) { return path.substr(path.rfind('\\') + 1); }

std::string_view Arguments_For(const Preset& preset, std::string_view file_name)
{
    for (const Program& program : preset.Programs)
        if (Same_Letters(program.File_Name, file_name)) return program.Arguments;
    return {};
}

[[noreturn]] void Raise_Not_Found(const Preset& preset)
{
    std::string names;
    for (const Program& program : preset.Programs) names += (names.empty() ? "" : ", ") + std::string(program.File_Name);
    std::string message = "the editor preset \"" + std::string(preset.Name) + "\" found none of " + names +
                          " beside lumen_open, in a folder of PATH nor in:";
    for (const Install_Place& place : preset.Places)
        for (const std::string& root : Roots(place.Under)) message += "\n    " + root + "\\" + std::string(place.Path);
    throw PRESET_NOT_FOUND(message);
}

} // namespace

// Arguments as each editor's documentation gives them (see the README's "Open places in your
// editor" for the versions they were checked against).
const std::vector<Preset>& All()
{
    using enum Columns::Unit;
    // Code's --goto counts UTF-16 code units (its texts are JavaScript strings); Vim's cursor()
    // counts bytes of the buffer, which Vim holds in UTF-8 ('encoding', its default); the others
    // count characters.
    static const std::vector<Preset> presets = {
        {"code",
         {{"Code.exe", "--goto {file}:{line}:{column}"}, {"code.cmd", "--goto {file}:{line}:{column}"}},
         {{Root::Local_App_Data, "Programs\\Microsoft VS Code\\Code.exe"},
          {Root::Program_Files, "Microsoft VS Code\\Code.exe"}},
         Utf16_Units},
        {"notepad++",
         {{"notepad++.exe", "-n{line} -c{column} {file}"}},
         {{Root::Program_Files, "Notepad++\\notepad++.exe"}},
         Characters},
        {"sublime",
         {{"subl.exe", "{file}:{line}:{column}"}, {"sublime_text.exe", "{file}:{line}:{column}"}},
         {{Root::Program_Files, "Sublime Text\\subl.exe"}, {Root::Program_Files, "Sublime Text 3\\subl.exe"}},
         Characters},
        {"gvim",
         {{"gvim.exe", "--literal \"+call cursor({line},{column})\" {file}"}},
         {{Root::Program_Files, "Vim\\vim*\\gvim.exe"}},
         Utf8_Bytes},
        {"emacs",
         {{"emacsclientw.exe", "-n +{line}:{column} {file}"}, {"runemacs.exe", "+{line}:{column} {file}"}},
         {{Root::Program_Files, "Emacs\\*\\bin\\emacsclientw.exe"},
          {Root::Program_Files, "Emacs\\*\\bin\\runemacs.exe"}},
         Characters},
        {"notepad4",
         {{"Notepad4.exe", "/g {line},{column} {file}"}},
         {{Root::Program_Files, "Notepad4\\Notepad4.exe"}},
         Characters},
    };
    return presets;
}

const Preset* Find(std::string_view name)
{
    for (const Preset& preset : All())
        if (Same_Letters(preset.Name, name)) return &preset;
    return nullptr;
}

Found Locate(const Preset& preset)
{
    for (const Program& program : preset.Programs)
        if (std::optional<std::string> path = Windows::Program_Search::Find(program.File_Name))
            return {*path, program.Arguments};
    for (const Install_Place& place : preset.Places)
        for (const std::string& root : Roots(place.Under))
            if (std::optional<std::string> path = Installed(root, place.Path))
                return {*path, Arguments_For(preset, File_Name_Of(place.Path))};
    Raise_Not_Found(preset);
}

} // namespace Open::Presets
