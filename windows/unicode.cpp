#include "windows/unicode.hpp"

#include "support/utf8.hpp"

#include <windows.h>

namespace Windows::Unicode {

namespace {

std::wstring Wide_From(UINT code_page, std::string_view bytes)
{
    if (bytes.empty()) return {};
    const int size = static_cast<int>(bytes.size());
    const int length = MultiByteToWideChar(code_page, 0, bytes.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(code_page, 0, bytes.data(), size, wide.data(), length);
    return wide;
}

bool Is_Pair(std::wstring_view wide, std::size_t at) noexcept
{
    return IS_HIGH_SURROGATE(wide[at]) && at + 1 < wide.size() && IS_LOW_SURROGATE(wide[at + 1]);
}

// No 8-bit code page holds a character beyond U+FFFF: left to the system, its two halves would
// become two "?", and one character must be one "?".
std::wstring One_Unit_Per_Character(std::wstring_view wide, bool& lossless)
{
    std::wstring units;
    units.reserve(wide.size());
    for (std::size_t at = 0; at < wide.size(); ++at) {
        const bool pair = Is_Pair(wide, at);
        units += pair ? L'?' : wide[at];
        if (pair) {
            lossless = false;
            ++at;
        }
    }
    return units;
}

std::string Utf8_Of(std::wstring_view wide)
{
    if (wide.empty()) return {};
    const int size = static_cast<int>(wide.size());
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, text.data(), length, nullptr, nullptr);
    return text;
}

// An 8-bit code page's text for Wide, "?" for each character it lacks: no look-alike ("a" for
// "ā") is chosen, a different letter would read as something that is not there. A code page that
// refuses the flag gets the plain conversion.
std::string Narrow_To(UINT code_page, std::wstring_view all_units, bool* lossless_out = nullptr)
{
    bool lossless = true;
    const std::wstring wide = One_Unit_Per_Character(all_units, lossless);
    std::string text;
    if (!wide.empty()) {
        const int size = static_cast<int>(wide.size());
        BOOL used_default = FALSE;
        DWORD flags = WC_NO_BEST_FIT_CHARS;
        int length = WideCharToMultiByte(code_page, flags, wide.data(), size, nullptr, 0, "?", &used_default);
        if (length == 0) {
            flags = 0;
            length = WideCharToMultiByte(code_page, flags, wide.data(), size, nullptr, 0, nullptr, nullptr);
        }
        text.resize(static_cast<std::size_t>(length));
        WideCharToMultiByte(code_page, flags, wide.data(), size, text.data(), length, flags ? "?" : nullptr,
                            flags ? &used_default : nullptr);
        lossless = lossless && !used_default;
    }
    if (lossless_out) *lossless_out = lossless;
    return text;
}

} // namespace

std::wstring Wide_Of_Utf16_Bytes(std::string_view bytes, bool big_endian)
{
    std::wstring wide(bytes.size() / 2, L'\0');
    for (std::size_t at = 0; at < wide.size(); ++at) {
        const auto first = static_cast<unsigned char>(bytes[2 * at]);
        const auto second = static_cast<unsigned char>(bytes[2 * at + 1]);
        wide[at] = static_cast<wchar_t>(big_endian ? first << 8 | second : second << 8 | first);
    }
    return wide;
}

std::string Utf8_Of_File_Text(std::string bytes)
{
    const std::string_view view = bytes;
    const bool big_endian = view.starts_with("\xFE\xFF");
    if (big_endian || view.starts_with("\xFF\xFE")) return Utf8(Wide_Of_Utf16_Bytes(view.substr(2), big_endian));
    if (view.starts_with("\xEF\xBB\xBF")) bytes.erase(0, 3);
    if (::Utf8::Is_Valid(bytes, ::Utf8::Ending::May_Be_Cut)) return bytes;
    return Utf8_From_Ansi(bytes);
}

bool Is_Ascii(std::string_view text) noexcept
{
    for (const char byte : text)
        if (static_cast<unsigned char>(byte) > 0x7F) return false;
    return true;
}

bool Ansi_Is_Utf8() noexcept
{
    static const bool utf8 = GetACP() == CP_UTF8;
    return utf8;
}

std::wstring Wide(std::string_view utf8) { return Wide_From(CP_UTF8, utf8); }

void Wide_Into(std::string_view utf8, std::wstring& wide)
{
    wide.clear();
    if (utf8.empty()) return;
    const int size = static_cast<int>(utf8.size());
    wide.resize(static_cast<std::size_t>(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0)));
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), static_cast<int>(wide.size()));
}

std::string Utf8(std::wstring_view wide) { return Utf8_Of(wide); }

std::string Utf8_From_Ansi(std::string_view ansi)
{
    if (Ansi_Is_Utf8() || Is_Ascii(ansi)) return std::string(ansi);
    return Utf8(Wide_From(CP_ACP, ansi));
}

std::string Utf8_From_Code_Page(std::string_view text, unsigned code_page)
{
    return Utf8(Wide_From(code_page, text));
}

std::string Ansi_From_Utf8(std::string_view utf8)
{
    if (Ansi_Is_Utf8() || Is_Ascii(utf8)) return std::string(utf8);
    return Narrow_To(CP_ACP, Wide(utf8));
}

bool Ansi_Holds(std::string_view utf8)
{
    if (Ansi_Is_Utf8() || Is_Ascii(utf8)) return true;
    bool lossless = true;
    Narrow_To(CP_ACP, Wide(utf8), &lossless);
    return lossless;
}

} // namespace Windows::Unicode
