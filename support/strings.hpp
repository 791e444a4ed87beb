#pragma once
// Turns identifiers and number images into display form: words separated by one blank, each
// starting with a capital and going on in small letters ("FILE_NAME" gives "File Name").

#include "support/failure.hpp"

#include <bitset>
#include <cstddef>
#include <limits>
#include <string>
#include <string_view>

namespace Strings {

using USAGE_ERROR = Failures::Failure<"STRINGS.USAGE_ERROR">;

class Character_Set {
public:
    constexpr Character_Set(std::string_view members)
    {
        for (char member : members) members_.set(static_cast<unsigned char>(member));
    }
    bool Contains(char character) const noexcept { return members_.test(static_cast<unsigned char>(character)); }

private:
    static constexpr std::size_t Character_Count = std::numeric_limits<unsigned char>::max() + 1;
    std::bitset<Character_Count> members_;
};

extern const Character_Set Line_Break_Characters;  // CR, LF
extern const Character_Set White_Space_Characters; // blank, TAB, CR, LF

std::string Normalized_Words(std::string_view text);

} // namespace Strings
