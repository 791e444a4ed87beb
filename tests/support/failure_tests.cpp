#include "support/failure.hpp"
#include "tests/test_support.hpp"

#include <stdexcept>

namespace {

using TIMEOUT = Failures::Failure<"WINDOWS.PIPE.TIMEOUT">;
using OTHER_TIMEOUT = Failures::Failure<"OTHER.TIMEOUT">;

TEST(Failures, Each_Name_Is_A_Type_Of_Its_Own_With_The_Name_As_Its_Text)
{
    EXPECT_FALSE((std::is_same_v<TIMEOUT, OTHER_TIMEOUT>));
    try {
        throw TIMEOUT();
    } catch (const OTHER_TIMEOUT&) {
        ADD_FAILURE() << "caught by another name";
    } catch (const Failures::Named_Failure& failure) {
        EXPECT_STREQ(failure.what(), "WINDOWS.PIPE.TIMEOUT");
        EXPECT_EQ(failure.Information(), "WINDOWS.PIPE.TIMEOUT");
    }
}

TEST(Failures, Descriptions_Name_The_Failure_And_Its_Detail)
{
    EXPECT_EQ(Failures::Description(Failures::RANGE_ERROR("negative value -1")), "RANGE_ERROR: negative value -1");
    EXPECT_EQ(Failures::Description(std::runtime_error("plain")), "std::runtime_error: plain");
    auto in_flight = [](auto&& raise) {
        try {
            raise();
        } catch (...) {
            return Failures::Current_Description();
        }
        return std::string("nothing raised");
    };
    EXPECT_EQ(in_flight([] { throw Failures::INDEX_ERROR(); }), "INDEX_ERROR");
    EXPECT_EQ(in_flight([] { throw 42; }), "UNKNOWN_EXCEPTION");
}

} // namespace
