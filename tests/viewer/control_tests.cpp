#include "viewer/control.hpp"
#include "viewer/entry_text.hpp"
#include "tests/test_support.hpp"

namespace {

using Control::Shown_Text;

TEST(Control, Shown_Text_Puts_The_Marker_Before_The_Column_And_Trims_Blanks)
{
    EXPECT_EQ(Shown_Text("  foo(bar)", 7), "foo(\x95" "bar)");
    EXPECT_EQ(Shown_Text("abc", 4), "abc\x95");      // one past the end: the marker comes last
    EXPECT_EQ(Shown_Text("  abc", 1), "\x95  abc");  // the marker is no blank: what follows stays
    EXPECT_EQ(Shown_Text("abc  ", 6), "abc  \x95");
    EXPECT_EQ(Shown_Text("abc   ", 4), "abc\x95");   // trailing blanks after the marker go
    EXPECT_EQ(Shown_Text(std::string("a\0b", 3), 2), std::string("a\x95\0b", 4));
    EXPECT_FAILURE(Shown_Text("abc", 0), Failures::INDEX_ERROR);
    EXPECT_FAILURE(Shown_Text("abc", 5), Failures::INDEX_ERROR);
    EXPECT_FAILURE(Shown_Text("abc", 0xFFFFFFFF), Failures::INDEX_ERROR);
}

TEST(Control, Editor_And_Shell_Arguments_Carry_Line_And_Column_In_Decimal)
{
    Control::Index_List::Index_Entry entry{"a.txt", 12, 5, "x"};
    EXPECT_EQ(Control::Editor_Arguments(entry), "a.txt/12/5");
    EXPECT_EQ(Control::Shell_Parameters(entry), "-XMovAbs(12,5)");
    Control::Index_List::Index_Entry largest{"C:\\src dir\\b.c", 2147483647, 1, "x"};
    EXPECT_EQ(Control::Editor_Arguments(largest), "C:\\src dir\\b.c/2147483647/1");
    EXPECT_EQ(Control::Shell_Parameters({"x", 0, 0, ""}), "-XMovAbs(0,0)");
}

} // namespace
