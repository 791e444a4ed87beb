#include "support/text.hpp"
#include "tests/test_support.hpp"
TEST(Text, Placeholder2) { EXPECT_EQ(Text::Trim("  42 "), "42"); }
