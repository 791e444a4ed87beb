#include "windows/file_types.hpp"

#include "windows/unique_handle.hpp"
#include "windows/files.hpp"
#include "windows/windows.hpp"

#include <windows.h>
#include <shlwapi.h>

#include <array>
#include <vector>

namespace Windows::File_Types {

namespace {

// The types whose "open" runs the file on some Windows, whatever this system's registry says.
constexpr std::array<std::string_view, 21> Program_Types = {
    ".bat", ".cmd", ".com", ".exe", ".scr", ".pif", ".js",  ".jse", ".vbs", ".vbe", ".wsf",
    ".wsh", ".hta", ".ps1", ".msi", ".msc", ".cpl", ".reg", ".lnk", ".url", ".jar"};

bool Same_Letters(std::string_view left, std::string_view right) noexcept
{
    return CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, left.data(), static_cast<int>(left.size()), right.data(),
                          static_cast<int>(right.size())) == CSTR_EQUAL;
}

// The last part of the name as the system reads it: points and blanks at its end are dropped.
std::string_view File_Name(std::string_view file) noexcept
{
    file = file.substr(file.find_last_of("\\/") + 1); // npos + 1 == 0
    while (!file.empty() && (file.back() == '.' || file.back() == ' ')) file.remove_suffix(1);
    return file;
}

// ".bat" of "setup.bat"; empty without a point.
std::string_view Extension(std::string_view file) noexcept
{
    const std::string_view name = File_Name(file);
    const std::size_t point = name.rfind('.');
    return point == std::string_view::npos ? std::string_view() : name.substr(point);
}

bool Has_Colon_Beyond_Drive(std::string_view file) noexcept { return file.find(':', 2) != std::string_view::npos; }

bool Listed_In_Path_Extensions(std::string_view extension)
{
    const std::string listed = Windows::Environment_Variable("PATHEXT");
    for (std::size_t start = 0; start < listed.size();) {
        std::size_t end = listed.find(';', start);
        if (end == std::string::npos) end = listed.size();
        if (Same_Letters(std::string_view(listed).substr(start, end - start), extension)) return true;
        start = end + 1;
    }
    return false;
}

bool Shell_Calls_Dangerous(std::string_view extension)
{
    const std::string narrow(extension);
    const int length = MultiByteToWideChar(CP_ACP, 0, narrow.c_str(), -1, nullptr, 0);
    if (length <= 0) return true; // what cannot be read is not opened
    std::vector<wchar_t> wide(static_cast<std::size_t>(length));
    MultiByteToWideChar(CP_ACP, 0, narrow.c_str(), -1, wide.data(), length);
    return AssocIsDangerous(wide.data()) != FALSE;
}

// The class that the extension's key names (its default value), else the extension itself.
std::string Class_Of(std::string_view extension)
{
    const std::string key(extension);
    char name[256];
    DWORD size = sizeof name;
    if (RegGetValueA(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, name, &size) == ERROR_SUCCESS &&
        name[0] != '\0')
        return name;
    return key;
}

bool Has_Edit_Verb(const std::string& file_class)
{
    Unique_Key command;
    return RegOpenKeyExA(HKEY_CLASSES_ROOT, (file_class + "\\shell\\edit\\command").c_str(), 0, KEY_QUERY_VALUE,
                         command.put()) == ERROR_SUCCESS;
}

} // namespace

bool Runs_As_Program(std::string_view file)
{
    if (Has_Colon_Beyond_Drive(file)) return true;
    const std::string_view extension = Extension(file);
    if (extension.empty()) return false;
    for (std::string_view known : Program_Types)
        if (Same_Letters(known, extension)) return true;
    return Listed_In_Path_Extensions(extension) || Shell_Calls_Dangerous(extension);
}

Shell_Opening Opening_Of(std::string_view file)
{
    const bool runs = Runs_As_Program(file);
    if (!runs && !Files::Is_File(file)) return {Shell_Opening::Kind::Missing, {}};
    if (!runs) return {};
    const std::string_view extension = Extension(file);
    if (extension.empty()) return {Shell_Opening::Kind::Never, {}};
    std::string file_class = Class_Of(extension);
    if (!Has_Edit_Verb(file_class)) return {Shell_Opening::Kind::Never, {}};
    return {Shell_Opening::Kind::Edit, std::move(file_class)};
}

} // namespace Windows::File_Types
