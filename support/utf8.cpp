#include "support/utf8.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace Utf8 {

namespace {

struct Sequence_Form {
    std::size_t Length; // 0: the byte starts no sequence
    unsigned Low;       // the range of the second byte
    unsigned High;
};

// The second byte's range is what rules out overlong forms (after E0 and F0), surrogates (after
// ED) and values beyond U+10FFFF (after F4).
Sequence_Form Form_Of(unsigned lead) noexcept
{
    if (lead < 0x80) return {1, 0, 0};
    if (lead >= 0xC2 && lead <= 0xDF) return {2, 0x80, 0xBF};
    if (lead == 0xE0) return {3, 0xA0, 0xBF};
    if (lead == 0xED) return {3, 0x80, 0x9F};
    if (lead >= 0xE1 && lead <= 0xEF) return {3, 0x80, 0xBF};
    if (lead == 0xF0) return {4, 0x90, 0xBF};
    if (lead == 0xF4) return {4, 0x80, 0x8F};
    if (lead >= 0xF1 && lead <= 0xF3) return {4, 0x80, 0xBF};
    return {0, 0, 0};
}

// How many bytes of Bytes, from its first on, fit the sequence of Form before one does not or
// Bytes end; at most the sequence's length.
std::size_t Fitting_Bytes(std::string_view bytes, const Sequence_Form& form) noexcept
{
    std::size_t at = 1;
    for (; at < form.Length && at < bytes.size(); ++at) {
        const unsigned value = static_cast<unsigned char>(bytes[at]);
        const bool fits = at == 1 ? value >= form.Low && value <= form.High : value >= 0x80 && value <= 0xBF;
        if (!fits) break;
    }
    return at;
}

} // namespace

std::size_t Sequence_Length(std::string_view bytes) noexcept
{
    if (bytes.empty()) return 0;
    const Sequence_Form form = Form_Of(static_cast<unsigned char>(bytes[0]));
    return form.Length != 0 && Fitting_Bytes(bytes, form) == form.Length ? form.Length : 0;
}

// Most text is ASCII: eight bytes of it are passed at a time.
std::size_t Past_Ascii(std::string_view bytes, std::size_t at) noexcept
{
    constexpr std::uint64_t High_Bits = 0x8080808080808080ull;
    std::uint64_t word = 0;
    while (at + sizeof word <= bytes.size()) {
        std::memcpy(&word, bytes.data() + at, sizeof word);
        if ((word & High_Bits) != 0) break;
        at += sizeof word;
    }
    return at;
}

Character Character_At(std::string_view text, std::size_t at) noexcept
{
    const auto lead = static_cast<unsigned char>(text[at]);
    const std::size_t length = Sequence_Length(text.substr(at));
    if (length == 0) return Character{1, lead};
    static constexpr unsigned Lead_Bits[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    char32_t value = lead & Lead_Bits[length];
    for (std::size_t next = 1; next < length; ++next) value = value << 6 | (text[at + next] & 0x3F);
    return Character{length, value};
}

std::size_t Code_Point_Column(std::string_view text, std::size_t byte_column) noexcept
{
    if (byte_column == 0) return 0;
    const std::size_t before = std::min(byte_column - 1, text.size());
    std::size_t code_points = 0;
    for (std::size_t at = 0; at < before; at += Character_At(text, at).Length) ++code_points;
    return code_points + (byte_column - before);
}

bool Is_Valid(std::string_view bytes, Ending ending) noexcept
{
    for (std::size_t at = Past_Ascii(bytes, 0); at < bytes.size(); at = Past_Ascii(bytes, at)) {
        const Sequence_Form form = Form_Of(static_cast<unsigned char>(bytes[at]));
        if (form.Length == 0) return false;
        const std::size_t fitting = Fitting_Bytes(bytes.substr(at), form);
        if (fitting < form.Length) return ending == Ending::May_Be_Cut && at + fitting == bytes.size();
        at += form.Length;
    }
    return true;
}

} // namespace Utf8
