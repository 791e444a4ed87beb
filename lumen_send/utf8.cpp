#include "lumen_send/utf8.hpp"

#include "support/utf8.hpp"
#include "windows/unicode.hpp"

#include <windows.h>

#include <algorithm>

namespace Send::Utf8 {

namespace {

// The length of the UTF-8 sequence that starts Text, or 0 when none does.
std::size_t Sequence_Length(std::string_view text) noexcept { return ::Utf8::Sequence_Length(text); }

// No ANSI code page holds a character beyond U+FFFF. Best-fit mappings ("a" for "ā") are refused:
// a different letter would look like a match that is not there. An empty result is a character
// the code page lacks.
std::string In_Code_Page(char32_t code_point, unsigned code_page)
{
    if (code_point > 0xFFFF) return {};
    const wchar_t wide = static_cast<wchar_t>(code_point);
    char bytes[8];
    BOOL used_default = FALSE;
    const int count =
        WideCharToMultiByte(code_page, WC_NO_BEST_FIT_CHARS, &wide, 1, bytes, sizeof bytes, "?", &used_default);
    if (count <= 0 || used_default) return {};
    return std::string(bytes, static_cast<std::size_t>(count));
}

} // namespace

Kind Kind_Of(std::string_view text) noexcept
{
    Kind kind = Kind::Ascii;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = Sequence_Length(text.substr(at));
        if (length == 0) return Kind::Invalid;
        if (length > 1) kind = Kind::Utf8;
        at += length;
    }
    return kind;
}

// A double-byte code page's trail bytes may be anything from 0x40 up, "\\" included: only a walk
// from the start tells which byte begins a character.
std::size_t Character_Start(std::string_view text, std::size_t at, unsigned code_page)
{
    if (code_page == 0) code_page = GetACP();
    std::size_t start = 0;
    while (start < std::min(at, text.size())) {
        std::size_t length = 1;
        if (code_page == CP_UTF8) length = Character_At(text, start).Length;
        else if (IsDBCSLeadByteEx(code_page, static_cast<BYTE>(text[start])) && start + 1 < text.size()) length = 2;
        if (start + length > at) break;
        start += length;
    }
    return start;
}

// WideCharToMultiByte refuses the flags and the default character that the conversion needs for
// the UTF-8 code page, and nothing needs converting there anyway.
Converted To_Code_Page(std::string_view text, std::size_t column, unsigned code_page)
{
    if (code_page == 0) code_page = GetACP();
    if (code_page == CP_UTF8) return Converted{std::string(text), column, true};
    Converted converted;
    const std::size_t marked = column - 1; // the byte offset of the marked character
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = std::max<std::size_t>(Sequence_Length(text.substr(at)), 1);
        if (marked >= at && marked < at + length) converted.Column = converted.Text.size() + 1;
        std::string character = length == 1 ? std::string(1, text[at]) : In_Code_Page(Character_At(text, at).Code_Point, code_page);
        if (character.empty()) {
            character = "?";
            converted.Lossless = false;
        }
        converted.Text += character;
        at += length;
    }
    if (marked >= text.size()) converted.Column = converted.Text.size() + 1 + (marked - text.size());
    return converted;
}

Converted From_Code_Page(std::string_view text, std::size_t column, unsigned code_page)
{
    if (code_page == 0) code_page = GetACP();
    if (code_page == CP_UTF8 || Windows::Unicode::Is_Ascii(text)) return Converted{std::string(text), column, true};
    const std::size_t marked = column - 1;
    const std::size_t start = Character_Start(text, marked, code_page);
    Converted converted{Windows::Unicode::Utf8_From_Code_Page(text, code_page), 1, true};
    converted.Column = Windows::Unicode::Utf8_From_Code_Page(text.substr(0, start), code_page).size() + 1;
    if (marked >= text.size()) converted.Column = converted.Text.size() + 1 + (marked - text.size());
    return converted;
}


} // namespace Send::Utf8
