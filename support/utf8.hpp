#pragma once
// What makes bytes UTF-8: the one rule that tells a UTF-8 file or line from 8-bit text, shared by
// every program that has to guess a text's encoding.

#include <cstddef>
#include <string_view>

namespace Utf8 {

// The length (1 to 4) of the valid UTF-8 sequence that starts Bytes; 0 when none does: a byte
// that starts no sequence, a wrong following byte, an overlong form, a surrogate, a value beyond
// U+10FFFF, or a sequence that Bytes end inside.
std::size_t Sequence_Length(std::string_view bytes) noexcept;

// One character of a text that may or may not be UTF-8: a byte that starts no valid sequence
// is a character of its own, its value the byte's.
struct Character {
    std::size_t Length = 1; // in bytes
    char32_t Code_Point = 0;
};
Character Character_At(std::string_view text, std::size_t at) noexcept;

// The column (from 1) in code points of the character that Byte_Column (from 1, counting the
// bytes of Text) names, and one for each byte that it lies beyond the end; 0 stays 0.
std::size_t Code_Point_Column(std::string_view text, std::size_t byte_column) noexcept;

// Whether bytes read from a file in blocks may end inside a character.
enum class Ending { Whole, May_Be_Cut };

// Whether Bytes are valid UTF-8; with Ending May_Be_Cut a sequence that their end breaks off,
// valid so far, counts as valid.
bool Is_Valid(std::string_view bytes, Ending ending) noexcept;

} // namespace Utf8
