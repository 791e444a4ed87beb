#include "windows/program_search.hpp"

#include "windows/files.hpp"
#include "windows/unicode.hpp"
#include "windows/windows.hpp"

#include <windows.h>

namespace Windows::Program_Search {

namespace {

bool Is_Separator(char character) noexcept { return character == '\\' || character == '/'; }

bool Is_Letter(char character) noexcept
{
    return (character >= 'A' && character <= 'Z') || (character >= 'a' && character <= 'z');
}

std::string_view Without_Quotes(std::string_view entry) noexcept
{
    while (!entry.empty() && entry.front() == '"') entry.remove_prefix(1);
    while (!entry.empty() && entry.back() == '"') entry.remove_suffix(1);
    return entry;
}

std::string Full_Path(const std::string& path)
{
    const std::wstring wide = Unicode::Wide(path);
    const DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    std::wstring full(needed, L'\0');
    const DWORD length = needed == 0 ? 0 : GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed) {
        const DWORD error = GetLastError();
        throw BAD_PATH(path + " cannot be made absolute (system error " + std::to_string(error) + ")");
    }
    full.resize(length);
    return Unicode::Utf8(full);
}

std::string Folder_List(const std::vector<std::string>& folders)
{
    std::string list;
    for (const std::string& folder : folders) list += "\n    " + folder;
    return list;
}

} // namespace

bool Is_Absolute(std::string_view path) noexcept
{
    if (path.size() >= 3 && Is_Letter(path[0]) && path[1] == ':' && Is_Separator(path[2])) return true;
    return path.size() >= 3 && Is_Separator(path[0]) && Is_Separator(path[1]) && !Is_Separator(path[2]);
}

bool Is_Bare_Name(std::string_view name) noexcept { return name.find_first_of("\\/:") == std::string_view::npos; }

std::string With_Default_Extension(std::string_view name)
{
    const std::size_t file_start = name.find_last_of("\\/:") + 1; // npos + 1 == 0
    const bool has_extension = name.find('.', file_start) != std::string_view::npos;
    return std::string(name) + (has_extension ? "" : ".exe");
}

std::string Own_Folder()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            const DWORD error = GetLastError();
            throw BAD_PATH("this program's own path is unknown (system error " + std::to_string(error) + ")");
        }
        if (length < path.size()) {
            path.resize(length);
            return Unicode::Utf8(path.substr(0, path.find_last_of(L"\\/")));
        }
        path.resize(path.size() * 2); // cut off: again with more room
    }
}

std::vector<std::string> Absolute_Folders(std::string_view path_value)
{
    std::vector<std::string> folders;
    for (std::size_t start = 0; start <= path_value.size();) {
        std::size_t end = path_value.find(';', start);
        if (end == std::string_view::npos) end = path_value.size();
        std::string_view folder = Without_Quotes(path_value.substr(start, end - start));
        while (folder.size() > 3 && Is_Separator(folder.back())) folder.remove_suffix(1);
        if (Is_Absolute(folder)) folders.emplace_back(folder);
        start = end + 1;
    }
    return folders;
}

std::vector<std::string> Search_Folders()
{
    std::vector<std::string> folders = Absolute_Folders(Windows::Environment_Variable("PATH"));
    folders.insert(folders.begin(), Own_Folder());
    return folders;
}

std::string In_System_Folder(std::string_view file_name)
{
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        const DWORD error = GetLastError();
        throw NO_SYSTEM_FOLDER("the system folder is unknown (system error " + std::to_string(error) + ")");
    }
    return Unicode::Utf8(std::wstring_view(folder, length)) + "\\" + std::string(file_name);
}

std::optional<std::string> Find_In(const std::vector<std::string>& folders, std::string_view file_name)
{
    for (const std::string& folder : folders) {
        const bool has_separator = Is_Separator(folder.back());
        const std::string candidate = folder + (has_separator ? "" : "\\") + std::string(file_name);
        if (Files::Is_File(candidate)) return candidate;
    }
    return std::nullopt;
}

std::optional<std::string> Find(std::string_view name)
{
    if (!Is_Bare_Name(name) || name.empty()) return std::nullopt;
    return Find_In(Search_Folders(), With_Default_Extension(name));
}

std::string Locate(std::string_view program)
{
    if (!Is_Bare_Name(program)) return Full_Path(With_Default_Extension(program));
    if (std::optional<std::string> found = Find(program)) return *found;
    throw NOT_FOUND(std::string(program) + " is neither beside this program nor in a folder of PATH:" +
                    Folder_List(Search_Folders()));
}

} // namespace Windows::Program_Search
