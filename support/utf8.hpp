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

// Whether bytes read from a file in blocks may end inside a character.
enum class Ending { Whole, May_Be_Cut };

// Whether Bytes are valid UTF-8; with Ending May_Be_Cut a sequence that their end breaks off,
// valid so far, counts as valid.
bool Is_Valid(std::string_view bytes, Ending ending) noexcept;

} // namespace Utf8
