#include "windows/local_files.hpp"

#include "support/paths.hpp"
#include "windows/unicode.hpp"

#include <vector>

namespace Windows::Local_Files {

namespace {

Decision Refused(std::string reason) { return {{}, std::move(reason)}; }

bool Is_Drive_Path(std::string_view path) noexcept
{
    const char letter = path.empty() ? '\0' : static_cast<char>(path[0] & ~0x20);
    return path.size() >= 3 && letter >= 'A' && letter <= 'Z' && path[1] == ':' && path[2] == '\\';
}

// The system takes "COM¹" for a port as it takes "COM1". The path rules know the superscript
// digits as the one byte each that code page 1252 gives them; in UTF-8 each is two bytes.
std::string With_Narrow_Superscripts(std::string_view name)
{
    std::string narrow;
    for (std::size_t at = 0; at < name.size(); ++at) {
        const bool superscript = name[at] == '\xC2' && at + 1 < name.size() &&
                                 (name[at + 1] == '\xB9' || name[at + 1] == '\xB2' || name[at + 1] == '\xB3');
        narrow += superscript ? name[++at] : name[at];
    }
    return narrow;
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
    if (Paths::Names_A_Device(name) || Paths::Names_A_Device(With_Narrow_Superscripts(name))) return "names a device";
    if (name.find_first_of("\"*?<>|") != std::string_view::npos) return "holds one of \" * ? < > |";
    if (name.find(':', 2) != std::string_view::npos) return "holds a colon beyond its drive";
    return {};
}

std::string Full_Path(std::string_view name)
{
    const std::wstring wide = Unicode::Wide(name);
    const DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr); // counts the NUL
    if (needed == 0) return {};
    std::vector<wchar_t> path(needed);
    const DWORD length = GetFullPathNameW(wide.c_str(), needed, path.data(), nullptr);
    if (length == 0 || length >= needed) return {}; // the current folder changed meanwhile
    return Unicode::Utf8(std::wstring_view(path.data(), length));
}

} // namespace

Decision Canonical(std::string_view name)
{
    if (std::string refusal = Refusal_By_Spelling(name); !refusal.empty()) return Refused(std::move(refusal));
    const std::string full = Full_Path(name);
    if (full.empty()) return Refused("cannot be made a full path");
    if (!Is_Drive_Path(full) || Paths::Starts_Outside_Drives(full)) return Refused("is not a file on a drive");
    if (std::string refusal = Refusal_By_Spelling(full.substr(2)); !refusal.empty()) return Refused(std::move(refusal));
    if (Paths::Last_Component(full) != Paths::Last_Component(name))
        return Refused("is read by the system as " + full);
    return {full, {}};
}

bool Is_On_Local_Drive(HANDLE file)
{
    wchar_t path[MAX_PATH * 4];
    const DWORD length = GetFinalPathNameByHandleW(file, path, MAX_PATH * 4, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0 || length >= MAX_PATH * 4) return false;
    // Only the path's ASCII start is looked at, so the rest may be any text.
    const std::string final_path = Unicode::Utf8(std::wstring_view(path, length));
    // "\\?\C:\..." for a drive; a share comes back as "\\?\UNC\host\...".
    constexpr std::string_view Long_Prefix = "\\\\?\\";
    return final_path.starts_with(Long_Prefix) ? Is_Drive_Path(final_path.substr(Long_Prefix.size()))
                                               : Is_Drive_Path(final_path);
}

} // namespace Windows::Local_Files
