#include "support/strings.hpp"

#include "support/text.hpp"

namespace Strings {

const Character_Set Line_Break_Characters("\r\n");
const Character_Set White_Space_Characters(" \t\r\n");

std::string Normalized_Words(std::string_view text)
{
    std::string result;
    result.reserve(text.size());
    bool at_word_start = true;
    for (char character : text) {
        if (character == '_') character = ' ';
        if (character == ' ') {
            if (!at_word_start) {
                result += ' ';
                at_word_start = true;
            }
        } else if (at_word_start) {
            result += Text::To_Upper(character);
            at_word_start = false;
        } else {
            result += Text::To_Lower(character);
        }
    }
    if (!result.empty() && result.back() == ' ') result.pop_back();
    return result;
}

} // namespace Strings
