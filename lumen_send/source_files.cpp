#include "lumen_send/source_files.hpp"

#include "lumen_send/utf8.hpp"
#include "windows/unique_handle.hpp"

#include <windows.h>

#include <algorithm>
#include <cctype>

namespace Send::Source_Files {

namespace {

bool Is_Separator(char character) noexcept { return character == '\\' || character == '/'; }

// CON, PRN, AUX, NUL, COM1..9, LPT1..9, with any extension and any case: devices in every folder.
bool Is_Device_Name(std::string_view component) noexcept
{
    std::string base(component.substr(0, component.find('.')));
    while (!base.empty() && (base.back() == ' ' || base.back() == ':')) base.pop_back();
    for (char& character : base) character = static_cast<char>(std::toupper(static_cast<unsigned char>(character)));
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL" || base == "CONIN$" || base == "CONOUT$")
        return true;
    return base.size() == 4 && (base.starts_with("COM") || base.starts_with("LPT")) && base[3] >= '0' && base[3] <= '9';
}

std::wstring Wide_Name(std::string_view name)
{
    const UINT code_page = Utf8::Kind_Of(name) == Utf8::Kind::Utf8 ? CP_UTF8 : CP_ACP;
    const int size = static_cast<int>(name.size());
    std::wstring wide(static_cast<std::size_t>(MultiByteToWideChar(code_page, 0, name.data(), size, nullptr, 0)), L'\0');
    MultiByteToWideChar(code_page, 0, name.data(), size, wide.data(), static_cast<int>(wide.size()));
    return wide;
}

std::optional<std::string> Read_Disk_File(const std::string& name)
{
    const std::wstring wide = Wide_Name(name);
    Windows::Unique_File file{CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr)};
    if (!file || GetFileType(file.get()) != FILE_TYPE_DISK) return std::nullopt;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart > static_cast<LONGLONG>(Largest_File)) return std::nullopt;
    std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD count = 0;
    if (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &count, nullptr)) return std::nullopt;
    bytes.resize(count);
    return bytes;
}

// UTF-16 (little-endian, with its byte-order mark, as Windows editors save it) becomes UTF-8.
std::string Utf8_Of_Utf16(std::string_view bytes)
{
    const int units = static_cast<int>(bytes.size() / 2);
    const auto* wide = reinterpret_cast<const wchar_t*>(bytes.data());
    std::string text(static_cast<std::size_t>(WideCharToMultiByte(CP_UTF8, 0, wide, units, nullptr, 0, nullptr, nullptr)), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, units, text.data(), static_cast<int>(text.size()), nullptr, nullptr);
    return text;
}

// Bytes is taken over.
void Decode(std::string& bytes, std::string& text, bool& is_utf8)
{
    if (bytes.starts_with("\xFF\xFE")) {
        text = Utf8_Of_Utf16(std::string_view(bytes).substr(2));
        is_utf8 = true;
    } else if (bytes.starts_with("\xEF\xBB\xBF")) {
        text = bytes.substr(3);
        is_utf8 = true;
    } else {
        is_utf8 = Utf8::Kind_Of(bytes) == Utf8::Kind::Utf8;
        text = std::move(bytes);
    }
}

} // namespace

bool Is_Readable_Name(std::string_view name) noexcept
{
    if (name.empty() || (name.size() >= 2 && Is_Separator(name[0]) && Is_Separator(name[1]))) return false;
    for (std::size_t start = 0; start <= name.size();) {
        const std::size_t end = std::min(name.find_first_of("\\/", start), name.size());
        if (Is_Device_Name(name.substr(start, end - start))) return false;
        start = end + 1;
    }
    return true;
}

std::optional<Source_Line> Source_Files::Line(const std::string& name, std::int32_t number)
{
    auto [found, is_new] = files_.try_emplace(name);
    if (is_new && Is_Readable_Name(name)) {
        if (std::optional<std::string> bytes = Read_Disk_File(name)) {
            File& file = found->second.emplace();
            Decode(*bytes, file.Bytes, file.Is_Utf8);
            file.Line_Starts.push_back(0);
            for (std::size_t at = file.Bytes.find('\n'); at != std::string::npos; at = file.Bytes.find('\n', at + 1))
                file.Line_Starts.push_back(at + 1);
        }
    }
    if (!found->second || number < 1 || static_cast<std::size_t>(number) > found->second->Line_Starts.size())
        return std::nullopt;
    const File& file = *found->second;
    const std::size_t start = file.Line_Starts[static_cast<std::size_t>(number) - 1];
    std::string_view text = std::string_view(file.Bytes).substr(start);
    text = text.substr(0, text.find('\n'));
    if (text.ends_with('\r')) text.remove_suffix(1);
    return Source_Line{text, file.Is_Utf8};
}

} // namespace Send::Source_Files
