#include "windows/local_files.hpp"

#include "support/paths.hpp"

#include <vector>

namespace Windows::Local_Files {

namespace {

Decision Refused(std::string reason) { return {{}, std::move(reason)}; }

bool Is_Drive_Path(std::string_view path) noexcept
{
    const char letter = path.empty() ? '\0' : static_cast<char>(path[0] & ~0x20);
    return path.size() >= 3 && letter >= 'A' && letter <= 'Z' && path[1] == ':' && path[2] == '\\';
}

// The checks that need no system call, in the order a reader would give the reasons.
std::string Refusal_By_Spelling(std::string_view name)
{
    if (name.empty()) return "has no name";
    if (Paths::Has_Control_Character(name)) return "holds a control character";
    if (Paths::Starts_Outside_Drives(name)) {
        const bool name_space = name.size() >= 3 && (name[2] == '.' || name[2] == '?' || name[1] == '?');
        return name_space ? "is not a file on a drive" : "is on another computer";
    }
    if (Paths::Names_A_Device(name)) return "names a device";
    if (name.find_first_of("\"*?<>|") != std::string_view::npos) return "holds one of \" * ? < > |";
    if (name.find(':', 2) != std::string_view::npos) return "holds a colon beyond its drive";
    return {};
}

std::string Full_Path(const std::string& name)
{
    const DWORD needed = GetFullPathNameA(name.c_str(), 0, nullptr, nullptr); // counts the NUL
    if (needed == 0) return {};
    std::vector<char> path(needed);
    const DWORD length = GetFullPathNameA(name.c_str(), needed, path.data(), nullptr);
    if (length == 0 || length >= needed) return {}; // the current folder changed meanwhile
    return std::string(path.data(), length);
}

} // namespace

Decision Canonical(std::string_view name)
{
    if (std::string refusal = Refusal_By_Spelling(name); !refusal.empty()) return Refused(std::move(refusal));
    const std::string full = Full_Path(std::string(name));
    if (full.empty()) return Refused("cannot be made a full path");
    if (!Is_Drive_Path(full) || Paths::Starts_Outside_Drives(full)) return Refused("is not a file on a drive");
    if (std::string refusal = Refusal_By_Spelling(full.substr(2)); !refusal.empty()) return Refused(std::move(refusal));
    if (Paths::Last_Component(full) != Paths::Last_Component(name))
        return Refused("is read by the system as " + full);
    return {full, {}};
}

bool Is_On_Local_Drive(HANDLE file)
{
    char path[MAX_PATH * 4];
    const DWORD length = GetFinalPathNameByHandleA(file, path, sizeof path, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0 || length >= sizeof path) return false;
    const std::string_view final_path(path, length);
    // "\\?\C:\..." for a drive; a share comes back as "\\?\UNC\host\...".
    constexpr std::string_view Long_Prefix = "\\\\?\\";
    return final_path.starts_with(Long_Prefix) ? Is_Drive_Path(final_path.substr(Long_Prefix.size()))
                                               : Is_Drive_Path(final_path);
}

} // namespace Windows::Local_Files
