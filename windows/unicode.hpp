#pragma once
// The programs keep every text and file name as UTF-8 and speak to the system in UTF-16. These are
// the conversions between the two, and to and from the ANSI code page, which the message-by-message
// pipe protocol, the log and 8-bit files still use.
//
// Where the ANSI code page is UTF-8 itself (65001), ANSI text is UTF-8 already: the conversions
// between the two hand it on as it is, nothing is converted twice.

#include <string>
#include <string_view>

namespace Windows::Unicode {

// UTF-16 of UTF-8 text; a byte that starts no valid sequence becomes U+FFFD.
std::wstring Wide(std::string_view utf8);
// The same into Wide, whose room is used again.
void Wide_Into(std::string_view utf8, std::wstring& wide);
// UTF-8 of UTF-16 text; a lone surrogate becomes U+FFFD.
std::string Utf8(std::wstring_view wide);

// UTF-8 of text in the ANSI code page. Pure ASCII comes back as it is, without a conversion.
std::string Utf8_From_Ansi(std::string_view ansi);
// UTF-8 of text in another code page than the ANSI one (a file's, a test's).
std::string Utf8_From_Code_Page(std::string_view text, unsigned code_page);
// The ANSI code page's text for UTF-8 text: a character the code page lacks becomes one "?" (no
// look-alike is chosen for it). Pure ASCII comes back as it is.
std::string Ansi_From_Utf8(std::string_view utf8);
// Whether the ANSI code page holds every character of UTF-8 text.
bool Ansi_Holds(std::string_view utf8);

// UTF-16 text stored as bytes, two for each unit, the higher first when Big_Endian; an odd last
// byte is left out.
std::wstring Wide_Of_Utf16_Bytes(std::string_view bytes, bool big_endian);

// A text file's bytes as UTF-8: UTF-16 by its byte-order mark (either order), UTF-8 as it is (its
// mark dropped), anything else taken for text in the ANSI code page. A UTF-8 sequence cut off at
// the end counts as UTF-8: a file may be read in part.
std::string Utf8_Of_File_Text(std::string bytes);

bool Is_Ascii(std::string_view text) noexcept;
// Whether the process's ANSI code page is UTF-8.
bool Ansi_Is_Utf8() noexcept;

} // namespace Windows::Unicode
