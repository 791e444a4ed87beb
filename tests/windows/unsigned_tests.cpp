#include "windows/unsigned.hpp"
#include "support/failure.hpp"
#include "tests/test_support.hpp"

namespace {

TEST(Unsigned, Hex_Images_Have_Fixed_Width_Upper_Case_Digits)
{
    EXPECT_EQ(Unsigned::Hex_Image(std::uint8_t(10)), "0A");
    EXPECT_EQ(Unsigned::Hex_Image(std::uint8_t(0xFF)), "FF");
    EXPECT_EQ(Unsigned::Hex_Image(std::uint16_t(0)), "0000");
    EXPECT_EQ(Unsigned::Hex_Image(std::uint16_t(0x1234)), "1234");
    EXPECT_EQ(Unsigned::Hex_Image(std::uint32_t(0x040904E4)), "040904E4");
    EXPECT_EQ(Unsigned::Hex_Image(std::uint32_t(0xFFFFFFFF)), "FFFFFFFF");
    EXPECT_EQ(Unsigned::Hex_Image(std::uint64_t(0xABCDEF0123456789)), "ABCDEF0123456789");
    EXPECT_EQ(Unsigned::Address_Image(0x1000).size(), 2 * sizeof(void*));
    EXPECT_FAILURE(Unsigned::Hex_Digit(16), Failures::RANGE_ERROR);
}

TEST(Unsigned, Signed_And_Unsigned_Keep_Their_Bits)
{
    EXPECT_EQ(Unsigned::To_Unsigned(-1), 0xFFFFFFFFu);
    EXPECT_EQ(Unsigned::To_Unsigned(-8), 0xFFFFFFF8u);
    EXPECT_EQ(Unsigned::To_Integer(0x80000000u), INT32_MIN);
    EXPECT_EQ(Unsigned::To_Integer(Unsigned::To_Unsigned(123456)), 123456);
}

} // namespace
