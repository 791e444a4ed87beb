#include "support/text.hpp"
#include "tests/test_support.hpp"
TEST(Text, Placeholder) { EXPECT_EQ(Text::Trim("  42 "), "42"); }
