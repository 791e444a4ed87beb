#include "support/text.hpp"
#include "tests/test_support.hpp"

namespace {

using Text::Direction;

TEST(Text, Character_Position_Searches_All_Or_Part_In_Both_Directions)
{
    EXPECT_EQ(Text::Character_Position('.', "a.b.c", 0, Direction::Backward), 4u);
    EXPECT_EQ(Text::Character_Position('.', "a.b.c", 0, Direction::Forward), 2u);
    EXPECT_EQ(Text::Character_Position('.', "abc", 0, Direction::Backward), 0u);
    EXPECT_EQ(Text::Character_Position('.', "a.b.c", 3, Direction::Forward), 4u);
    EXPECT_EQ(Text::Character_Position('.', "a.b.c", 3, Direction::Backward), 2u);
    EXPECT_EQ(Text::Character_Position('.', "a.b.c", 4, Direction::Backward), 4u);
    EXPECT_EQ(Text::Character_Position('a', "a", 1, Direction::Backward), 1u);
    EXPECT_EQ(Text::Character_Position('x', "", 0, Direction::Forward), 0u);
    EXPECT_FAILURE(Text::Character_Position('.', "abc", 4, Direction::Forward), Failures::INDEX_ERROR);
}

TEST(Text, Slice_Takes_Characters_Inside_The_Text_Only)
{
    EXPECT_EQ(Text::Slice("view.log", 1, 4), "view");
    EXPECT_EQ(Text::Slice("view.log", 5, 4), ".log");
    EXPECT_EQ(Text::Slice("view.log", 1, 0), "");
    EXPECT_EQ(Text::Slice("", 1, 0), "");
    EXPECT_FAILURE(Text::Slice("view.log", 6, 4), Failures::INDEX_ERROR);
    EXPECT_FAILURE(Text::Slice("view.log", 0, 1), Failures::INDEX_ERROR);
    EXPECT_FAILURE(Text::Slice("abc", 2, std::size_t(-1)), Failures::INDEX_ERROR);
}

TEST(Text, Trim_Removes_Only_Blanks_At_Both_Ends)
{
    EXPECT_EQ(Text::Trim("  42 "), "42");
    EXPECT_EQ(Text::Trim("\t42\t"), "\t42\t");
    EXPECT_EQ(Text::Trim("   "), "");
    EXPECT_EQ(Text::Trim("a  b"), "a  b");
    std::string text = " x ";
    Text::Trim_In_Place(text);
    EXPECT_EQ(text, "x");
}

TEST(Text, Latin_1_Case_Rules)
{
    // à..þ have capitals except the division sign; ß and ÿ have none.
    EXPECT_EQ(Text::To_Upper("abz\xE0\xFE\xF7\xDF\xFF"), "ABZ\xC0\xDE\xF7\xDF\xFF");
    EXPECT_EQ(Text::To_Lower("ABZ\xC0\xDE\xD7"), "abz\xE0\xFE\xD7");
    EXPECT_TRUE(Text::Equal("\xE9t\xE9", "\xC9T\xC9", false));
    EXPECT_FALSE(Text::Equal("\xE9t\xE9", "\xC9T\xC9", true));
    EXPECT_FALSE(Text::Equal("ab", "abc", false));
}

TEST(Text_List, Element_First_And_Last_Fail_Outside_The_List)
{
    Text::List list{"x", "y"};
    EXPECT_EQ(list.Element(1), "x");
    EXPECT_EQ(list.Element(2), "y");
    EXPECT_FAILURE(list.Element(0), Text::NOT_IN_LIST);
    EXPECT_FAILURE(list.Element(3), Text::NOT_IN_LIST);
    Text::List empty;
    EXPECT_FAILURE(empty.First(), Text::NOT_IN_LIST);
    EXPECT_FAILURE(empty.Last(), Text::NOT_IN_LIST);
    EXPECT_STREQ(Text::NOT_IN_LIST::name, "TEXT.NOT_IN_LIST");
}

TEST(Text_List, Delete_Removes_The_First_Match_Only)
{
    Text::List list{"x", "ABC", "abc"};
    list.Delete("abc", false);
    EXPECT_TRUE(list.Equal(Text::List{"x", "abc"}, true));
    list.Delete("ABC", true);
    EXPECT_TRUE(list.Equal(Text::List{"x", "abc"}, true));
    list.Delete("x", true);
    list.Delete("abc", true);
    EXPECT_TRUE(list.Is_Empty());
    list.Append("again");
    EXPECT_EQ(list.First(), "again");
    EXPECT_EQ(list.Last(), "again");
}

TEST(Text_List, Building_From_Arrays_And_Lists)
{
    EXPECT_TRUE(Text::List::To_List(std::vector<const char*>{"a", "b", nullptr, "c"}).Equal(Text::List{"a", "b"}, true));
    Text::List list{"c"};
    list.Prepend(std::vector<std::string>{"a", "b"});
    list.Append(std::vector<std::string>{"d"});
    list.Append(list);
    EXPECT_EQ(list.To_Array(), (std::vector<std::string>{"a", "b", "c", "d", "a", "b", "c", "d"}));
    EXPECT_EQ(list.Position_Of("a", 2, true), 5u);
    EXPECT_EQ(list.Position_Of("A", 1, true), 0u);
    EXPECT_TRUE(list.Contains("D", false));
}

TEST(Text_List, Copies_Are_Deep_And_Equality_Follows_The_Case_Flag)
{
    Text::List original{"A"};
    Text::List copy = original;
    copy.Append("B");
    EXPECT_EQ(original.Length(), 1u);
    EXPECT_TRUE(original.Equal(Text::List{"a"}, false));
    EXPECT_FALSE(original.Equal(Text::List{"a"}, true));
    EXPECT_FALSE(original.Equal(copy, false));
}

} // namespace
