#include "windows/unicode.hpp"

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

// The code page's text for Wide. The ANSI code pages take no flags when they are UTF-8 or one of
// the few that refuse WC_NO_BEST_FIT_CHARS; those get the plain conversion.
std::string Narrow_To(UINT code_page, std::wstring_view wide, bool* lossless = nullptr)
{
    if (lossless) *lossless = true;
    if (wide.empty()) return {};
    const int size = static_cast<int>(wide.size());
    const bool utf8 = code_page == CP_UTF8;
    const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL used_default = FALSE;
    BOOL* used = utf8 ? nullptr : &used_default;
    const char* replacement = utf8 ? nullptr : "?";
    int length = WideCharToMultiByte(code_page, flags, wide.data(), size, nullptr, 0, replacement, used);
    if (length == 0 && !utf8) length = WideCharToMultiByte(code_page, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(length), '\0');
    if (WideCharToMultiByte(code_page, flags, wide.data(), size, text.data(), length, replacement, used) == 0 && !utf8)
        WideCharToMultiByte(code_page, 0, wide.data(), size, text.data(), length, nullptr, &used_default);
    if (lossless) *lossless = !used_default;
    return text;
}

} // namespace

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

std::string Utf8(std::wstring_view wide) { return Narrow_To(CP_UTF8, wide); }

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
