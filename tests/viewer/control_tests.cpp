#include "viewer/control.hpp"
#include "viewer/batch_reader.hpp"
#include "viewer/entry_text.hpp"
#include "tests/test_support.hpp"

namespace {

using Control::Shown_Text;

TEST(Control, Shown_Text_Puts_The_Marker_Before_The_Column_And_Trims_Blanks)
{
    EXPECT_EQ(Shown_Text("  foo(bar)", 7), "foo(\xE2\x80\xA2" "bar)");
    EXPECT_EQ(Shown_Text("abc", 4), "abc\xE2\x80\xA2");      // one past the end: the marker comes last
    EXPECT_EQ(Shown_Text("  abc", 1), "\xE2\x80\xA2" "  abc");  // the marker is no blank: what follows stays
    EXPECT_EQ(Shown_Text("abc  ", 6), "abc  \xE2\x80\xA2");
    EXPECT_EQ(Shown_Text("abc   ", 4), "abc\xE2\x80\xA2");   // trailing blanks after the marker go
    EXPECT_EQ(Shown_Text(std::string("a\0b", 3), 2), std::string("a\xE2\x80\xA2\0b", 6));
    EXPECT_FAILURE(Shown_Text("abc", 0), Failures::INDEX_ERROR);
    EXPECT_FAILURE(Shown_Text("abc", 5), Failures::INDEX_ERROR);
    EXPECT_FAILURE(Shown_Text("abc", 0xFFFFFFFF), Failures::INDEX_ERROR);
}

// A tab shows as blanks to the next multiple of 8 of the text's own width (the marker takes no
// room), the marker still before the same character; the place line keeps the text as it came.
TEST(Control, Tabs_Show_As_Blanks_To_The_Next_Stop_And_The_Place_Line_Keeps_Them)
{
    struct Case {
        const char* Text;
        std::uint32_t Column;
        const char* Shown;
    };
    const Case cases[] = {
        {"\t\tTODO", 3, "\xE2\x80\xA2" "TODO"},              // leading tabs go with the blanks
        {"a\tb", 3, "a       \xE2\x80\xA2" "b"},           // to column 8: seven blanks
        {"ab\tc", 3, "ab\xE2\x80\xA2" "      c"},             // the marker before the tab's blanks
        {"12345678\tx", 10, "12345678        \xE2\x80\xA2" "x"}, // on a stop: a whole tab's width
        {"a\tbc\td", 5, "a       bc\xE2\x80\xA2" "      d"},  // the second stop counts from the first
        {"x\t", 2, "x\xE2\x80\xA2"},                        // the tab's blanks trail the marker and go
    };
    for (const Case& test : cases) EXPECT_EQ(Shown_Text(test.Text, test.Column), test.Shown) << test.Text;
    EXPECT_EQ(Control::Place_Line({"src/a b.c", 4, 3, "  \tx := 1;  "}), "src/a b.c:4:3:  \tx := 1;  ");
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

// The column counts bytes of UTF-8; the marker goes before whole characters as the eye sees them,
// and editors get the column in characters.
TEST(Control, Beyond_Ascii_The_Marker_Stands_Before_Whole_Characters_And_Editors_Count_Characters)
{
    struct Case {
        const char* Text;
        std::uint32_t Column;
        const char* Shown;
        std::uint32_t Characters;
    };
    const Case cases[] = {
        {"\u0141ukasz Langa", 3, "\u0141\xE2\x80\xA2ukasz Langa", 2},
        {"\u65E5\u672C\u8A9E x", 11, "\u65E5\u672C\u8A9E \xE2\x80\xA2x", 5},
        {"\U0001F600x", 5, "\U0001F600\xE2\x80\xA2x", 2},     // after a character beyond U+FFFF
        {"\U0001F600x", 1, "\xE2\x80\xA2\U0001F600x", 1},
        {"e\u0301t\u00E9", 2, "\xE2\x80\xA2" "e\u0301t\u00E9", 2}, // on the accent: before its letter
        {"\U0001F44D\U0001F3FDok", 5, "\xE2\x80\xA2\U0001F44D\U0001F3FDok", 2}, // on a skin tone: before its emoji
        {"\tcaf\u00E9", 7, "caf\u00E9\xE2\x80\xA2", 6},
    };
    for (const Case& test : cases) {
        EXPECT_EQ(Shown_Text(test.Text, test.Column), test.Shown) << test.Text;
        EXPECT_EQ(Control::Character_Column(test.Text, test.Column), test.Characters) << test.Text;
        EXPECT_EQ(Control::Checked_Byte_Column(test.Text, test.Characters), test.Column) << test.Text;
    }
    EXPECT_EQ(Control::Editor_Arguments({"\u65E5\u672C.txt", 3, 11, "\u65E5\u672C\u8A9E x"}), "\u65E5\u672C.txt/3/5");
}

} // namespace
