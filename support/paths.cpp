#include "support/paths.hpp"

#include <array>

namespace Paths {

namespace {

char Upper(char character) noexcept
{
    return character >= 'a' && character <= 'z' ? static_cast<char>(character - 'a' + 'A') : character;
}

bool Same_Letters(std::string_view text, std::string_view upper) noexcept
{
    if (text.size() != upper.size()) return false;
    for (std::size_t at = 0; at < text.size(); ++at)
        if (Upper(text[at]) != upper[at]) return false;
    return true;
}

// 0-9, and the superscripts that the system also takes as a port's number.
bool Is_Port_Digit(char character) noexcept
{
    return (character >= '0' && character <= '9') || character == '\xB9' || character == '\xB2' ||
           character == '\xB3';
}

// The name before its extension, its blanks and a colon: "COM1" of "com1 .txt" and of "COM1:".
std::string_view Base_Name(std::string_view component) noexcept
{
    component = component.substr(0, component.find_first_of(".:"));
    while (!component.empty() && component.back() == ' ') component.remove_suffix(1);
    return component;
}

} // namespace

bool Is_Separator(char character) noexcept { return character == '\\' || character == '/'; }

std::string_view Last_Component(std::string_view name) noexcept
{
    return name.substr(name.find_last_of("\\/") + 1); // npos + 1 == 0
}

bool Is_Device_Name(std::string_view component) noexcept
{
    static constexpr std::array<std::string_view, 6> Devices = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    const std::string_view base = Base_Name(component);
    for (std::string_view device : Devices)
        if (Same_Letters(base, device)) return true;
    return base.size() == 4 && (Same_Letters(base.substr(0, 3), "COM") || Same_Letters(base.substr(0, 3), "LPT")) &&
           Is_Port_Digit(base[3]);
}

bool Names_A_Device(std::string_view name) noexcept
{
    // "C:nul" names the device as "nul" does: the drive's colon ends a part too.
    if (name.size() >= 2 && name[1] == ':') name.remove_prefix(2);
    for (std::size_t start = 0; start <= name.size();) {
        std::size_t end = name.find_first_of("\\/", start);
        if (end == std::string_view::npos) end = name.size();
        if (Is_Device_Name(name.substr(start, end - start))) return true;
        start = end + 1;
    }
    return false;
}

bool Has_Control_Character(std::string_view name) noexcept
{
    for (char character : name)
        if (static_cast<unsigned char>(character) < 0x20) return true;
    return false;
}

bool Starts_Outside_Drives(std::string_view name) noexcept
{
    if (name.size() >= 2 && Is_Separator(name[0]) && Is_Separator(name[1])) return true;
    return name.size() >= 4 && Is_Separator(name[0]) && name[1] == '?' && name[2] == '?' && Is_Separator(name[3]);
}

} // namespace Paths
