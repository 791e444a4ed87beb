// Finding places again in a changed file: the decoding of its lines, the search outwards from the
// last place with its ties, the shortened texts of lumen_send, a text that is nowhere; and the
// results model, which then gives every reader the current place and keeps the node's marker.

#include "viewer/entry_text.hpp"
#include "viewer/place_finder.hpp"
#include "viewer/results.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace Control::Place_Finder;
using Lines = std::vector<std::string>;

Line_Index Index_Of(const Lines& lines)
{
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return Line_Index(text);
}

TEST(Place_Finder, A_File_Becomes_Utf8_Lines_Whatever_Its_Encoding)
{
    struct Case {
        std::string Bytes;
        Lines Expected;
    };
    const Case cases[] = {
        {"a\r\nb\n\nc", {"a", "b", "", "c"}},
        {"\xEF\xBB\xBF" "caf\xC3\xA9 \xE2\x82\xAC\n", {"caf\xC3\xA9 \xE2\x82\xAC"}}, // UTF-8, mark dropped
        {"caf\xE9 \x80 padding past eight bytes\r\n", {"caf\xC3\xA9 \xE2\x82\xAC padding past eight bytes"}}, // ANSI
        {std::string("\xFF\xFEx\0\n\0y\0", 8), {"x", "y"}},  // UTF-16, little end first
        {std::string("\xFE\xFF\0x\0\r\0\n", 8), {"x"}},      // UTF-16, big end first
    };
    for (const Case& test : cases) {
        const Line_Index index(Decoded_Text(test.Bytes));
        Lines lines;
        for (std::uint32_t line = 1; line <= index.Line_Count(); ++line) lines.emplace_back(index.Line(line));
        EXPECT_EQ(lines, test.Expected) << test.Bytes;
    }
}

TEST(Place_Finder, A_Text_Is_Found_Nearest_First_Ties_Going_The_Way_The_File_Grew)
{
    Lines lines{"x();", "  y();", "other", "y();", "x();", "    tail();"};
    // Beyond the lines tried first: another "x();" as far from line 38 as line 5 is.
    lines.insert(lines.end() - 1, 2 * Line_Index::Near_Lines + 1, "filler();");
    lines.insert(lines.end() - 1, "x();");
    const Line_Index index = Index_Of(lines);
    const std::uint32_t tail = static_cast<std::uint32_t>(lines.size());
    ASSERT_EQ(tail, 72u);
    struct Case {
        const char* Text;
        Place Last;
        bool Grew;
        Place Expected;
        bool Found;
    };
    const Case cases[] = {
        {"  y();", {2, 3}, true, {2, 3}, true},          // the line still holds it
        {"y();", {4, 1}, true, {4, 1}, true},            // blanks at either end do not count
        {"    y();", {2, 5}, true, {2, 3}, true},        // the column follows the text's start
        {"x();", {3, 1}, true, {5, 1}, true},            // two lines away each way: later
        {"x();", {3, 1}, false, {1, 1}, true},           // ... or earlier when the file shrank
        {"x();", {5, 2}, false, {5, 2}, true},
        {"other", {1, 1}, true, {3, 1}, true},
        {"tail();", {1, 1}, false, {tail, 5}, true},     // the whole file is searched
        {"tail();", {tail + 90, 1}, false, {tail, 5}, true}, // from past the end
        {"x();", {38, 1}, true, {71, 1}, true},          // equally far, beyond the first tried
        {"x();", {38, 1}, false, {5, 1}, true},
        {"x();", {40, 1}, false, {71, 1}, true},
        {"missing();", {4, 2}, true, {4, 2}, false},     // nowhere: the last place
        {"   ", {2, 1}, true, {2, 1}, false},            // a blank text holds nothing
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(std::string(test.Text) + " from " + std::to_string(test.Last.Line));
        const Finding found = index.Find(test.Text, test.Last, test.Grew);
        EXPECT_EQ(found.Found, test.Found);
        EXPECT_EQ(found.Where.Line, test.Expected.Line);
        EXPECT_EQ(found.Where.Column, test.Expected.Column);
    }
}

// lumen_send writes a compiler message after its source line, and cuts a long line around its
// place: the line part of either is what the file holds.
TEST(Place_Finder, Shortened_Texts_Are_Found_By_Their_Line_Part)
{
    const Line_Index index = Index_Of({"int a;", "", "  int b = f(c);", "xxxxxxxxx long part of a line yyyyy"});
    struct Case {
        const char* Text;
        Place Last;
        Place Expected;
    };
    const Case cases[] = {
        {"  int b = f(c);  <- error: f is not declared", {1, 11}, {3, 11}},
        {"int b = f  <- warning: cut source", {1, 1}, {3, 3}},
        {"... long part of...", {1, 5}, {4, 11}}, // column 5 of the text is its "l", the 11th of the line
        {"xxxxxxxxx long...", {2, 1}, {4, 1}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.Text);
        const Finding found = index.Find(test.Text, test.Last, true);
        EXPECT_TRUE(found.Found);
        EXPECT_EQ(found.Where.Line, test.Expected.Line);
        EXPECT_EQ(found.Where.Column, test.Expected.Column);
    }
}

// The element, the copied lines and the counts give the place now; the node keeps the marker on
// the character that came and says where the entry is.
TEST(Place_Finder, The_Results_Give_The_Current_Place_And_Count_What_Moved)
{
    using Control::Results;
    Results results;
    results.Add_File("a.c");
    results.Append(3, 3, "  x;");
    results.Append(5, 1, "y;");
    results.Follow(0, {.Line = 6, .Column = 1});
    results.Follow(1, {.Line = 5, .Column = 1, .Gone = true});
    EXPECT_EQ(results.Element_Of({0, 0}).Line, 6u);
    EXPECT_EQ(results.Element_Of({0, 0}).Column, 1u);
    EXPECT_TRUE(results.Is_Gone(1));
    EXPECT_FALSE(results.Is_Gone(0));
    std::string text;
    results.Node_Text({0, 0}, text);
    EXPECT_EQ(text, Control::Shown_Text("  x;", 3) + "  (now line 6)");
    results.Node_Text({0, 1}, text);
    EXPECT_EQ(text, Control::Shown_Text("y;", 1) + "  (gone)");
    EXPECT_EQ(results.Followed().Moved, 1u);
    EXPECT_EQ(results.Followed().Gone, 1u);

    results.Follow(0, {.Line = 3, .Column = 3}); // back where it came from
    results.Follow(1, {.Line = 5, .Column = 1});
    EXPECT_EQ(results.Followed().Moved + results.Followed().Gone, 0u);
    results.Node_Text({0, 0}, text);
    EXPECT_EQ(text, Control::Shown_Text("  x;", 3));
}

} // namespace
