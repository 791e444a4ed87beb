#include "lumen_open/columns.hpp"

#include "support/utf8.hpp"
#include "windows/unicode.hpp"
#include "windows/unique_handle.hpp"

#include <windows.h>

#include <algorithm>
#include <optional>

namespace Open::Columns {

namespace {

// A line of a larger file is past what anybody opens by a click; its column goes as it came.
constexpr DWORD Largest_Read = 64 * 1024 * 1024;

std::optional<std::string> File_Start(const std::string& path)
{
    const Windows::Unique_File file{CreateFileW(Windows::Unicode::Wide(path).c_str(), GENERIC_READ,
                                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr)};
    if (!file || GetFileType(file.get()) != FILE_TYPE_DISK) return std::nullopt;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size)) return std::nullopt;
    std::string bytes(static_cast<std::size_t>(std::min<LONGLONG>(size.QuadPart, Largest_Read)), '\0');
    DWORD count = 0;
    if (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &count, nullptr)) return std::nullopt;
    bytes.resize(count);
    return bytes;
}

std::int32_t Units_Of(Unit unit, std::size_t sequence_length) noexcept
{
    switch (unit) {
    case Unit::Characters: return 1;
    case Unit::Utf16_Units: return sequence_length == 4 ? 2 : 1;
    case Unit::Utf8_Bytes: break;
    }
    return static_cast<std::int32_t>(sequence_length);
}

} // namespace

std::string_view Unit_Name(Unit unit) noexcept
{
    switch (unit) {
    case Unit::Characters: return "characters";
    case Unit::Utf16_Units: return "UTF-16 code units";
    case Unit::Utf8_Bytes: break;
    }
    return "UTF-8 bytes";
}

std::int32_t Column_In(Unit unit, std::string_view line_text, std::int32_t column)
{
    std::int32_t counted = 1;
    std::int32_t characters = 1;
    for (std::size_t at = 0; characters < column && at < line_text.size(); ++characters) {
        // A byte that starts no sequence (the file's damage) is a character of its own.
        const std::size_t length = std::max<std::size_t>(::Utf8::Sequence_Length(line_text.substr(at)), 1);
        counted += Units_Of(unit, length);
        at += length;
    }
    return counted + (column - characters);
}

bool Read_Line(const std::string& path, std::int32_t line, std::string& text)
{
    std::optional<std::string> bytes = File_Start(path);
    if (!bytes || line < 1) return false;
    const std::string whole = Windows::Unicode::Utf8_Of_File_Text(std::move(*bytes));
    std::size_t start = 0;
    for (std::int32_t number = 1; number < line; ++number) {
        start = whole.find('\n', start);
        if (start == std::string::npos) return false;
        ++start;
    }
    const std::size_t end = whole.find('\n', start);
    text = whole.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (text.ends_with('\r')) text.pop_back();
    return true;
}

std::int32_t File_Column(Unit unit, const std::string& path, std::int32_t line, std::int32_t column)
{
    if (unit == Unit::Characters) return column;
    std::string text;
    if (!Read_Line(path, line, text)) return column;
    return Column_In(unit, text, column);
}

} // namespace Open::Columns
