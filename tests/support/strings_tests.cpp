#include "support/strings.hpp"
#include "tests/test_support.hpp"

namespace {

TEST(Strings, Normalized_Words)
{
    const std::pair<const char*, const char*> cases[] = {
        {" 42", "42"},
        {"FILE_NAME", "File Name"},
        {"  ab   cD ", "Ab Cd"},
        {" _ __ ", ""},
        {"", ""},
        {"-7", "-7"},
        {"\xE9T\xC9_\xC9t\xE9", "\xC9t\xE9 \xC9t\xE9"},
        {"tab\there", "Tab\there"},
    };
    for (auto [input, expected] : cases) EXPECT_EQ(Strings::Normalized_Words(input), expected) << input;
}

TEST(Strings, Character_Sets)
{
    EXPECT_TRUE(Strings::Line_Break_Characters.Contains('\r'));
    EXPECT_TRUE(Strings::Line_Break_Characters.Contains('\n'));
    EXPECT_FALSE(Strings::Line_Break_Characters.Contains(' '));
    for (char member : {' ', '\t', '\r', '\n'}) EXPECT_TRUE(Strings::White_Space_Characters.Contains(member));
    EXPECT_FALSE(Strings::White_Space_Characters.Contains('\v'));
    EXPECT_FALSE(Strings::White_Space_Characters.Contains('\xA0'));
}

} // namespace
