// The one rule that tells UTF-8 from other bytes: the edges of each sequence form, and bytes that
// end inside a character, which a block read from a file may.

#include "support/utf8.hpp"
#include "tests/test_support.hpp"

#include <string>

namespace {

TEST(Utf8, Valid_Bytes_Are_Told_From_Other_Bytes_Also_When_Cut_Off)
{
    struct Case {
        std::string Bytes;
        bool Whole;      // valid as they are
        bool May_Be_Cut; // valid when their end may break a character off
    };
    const Case cases[] = {
        {"plain", true, true},
        {"caf\xC3\xA9", true, true},
        {"\xF0\x9F\x98\x80", true, true},
        {"\xF4\x8F\xBF\xBF", true, true}, // U+10FFFF, the last one
        {"cut \xE2\x82", false, true},
        {"cut \xF0", false, true},
        {"caf\xE9 x", false, false},        // code page 1252
        {"\xC0\x80", false, false},         // overlong
        {"\xE0\x9F\xBF", false, false},     // overlong, three bytes
        {"\xED\xA0\x80", false, false},     // a surrogate
        {"\xF4\x90\x80\x80", false, false}, // beyond U+10FFFF
        {"\xF5\x80\x80\x80", false, false},
        {"\x80 alone", false, false},
        {"\xE2\x28\xA1", false, false}, // broken inside, not at the end
        {"cut \xE2\x28", false, false},
    };
    for (const Case& test : cases) {
        EXPECT_EQ(Utf8::Is_Valid(test.Bytes, Utf8::Ending::Whole), test.Whole) << test.Bytes;
        EXPECT_EQ(Utf8::Is_Valid(test.Bytes, Utf8::Ending::May_Be_Cut), test.May_Be_Cut) << test.Bytes;
    }
    EXPECT_EQ(Utf8::Sequence_Length("\xE2\x82\xAC!"), 3u);
    EXPECT_EQ(Utf8::Sequence_Length("\xE2\x82"), 0u) << "cut off";
    EXPECT_EQ(Utf8::Sequence_Length(""), 0u);
}

} // namespace
