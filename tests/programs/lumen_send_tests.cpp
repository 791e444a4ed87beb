#include "tests/test_support.hpp"
#include "test_tools/harness/viewer_harness.hpp"
#include "test_tools/harness/viewer_window.hpp"
#include "tests/viewer/viewer_clicks.hpp"
#include "lumen_send/compiler_messages.hpp"
#include "lumen_send/options.hpp"
#include "lumen_send/places.hpp"
#include "lumen_send/source_files.hpp"
#include "lumen_send/transfer.hpp"
#include "lumen_send/utf8.hpp"
#include "lumen_send/viewer_start.hpp"
#include "lumen_send/watch.hpp"
#include "tests/programs/named_file.hpp"
#include "windows/pipe.hpp"
#include "windows/unicode.hpp"
#include "windows/unique_handle.hpp"

#include <windows.h>
#include <psapi.h>
#include <shellapi.h>
#include <tlhelp32.h>
// The system headers define NO_DATA as a number; here it is the pipe's failure.
#undef NO_DATA

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <span>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace Send;
namespace Utf8 = Send::Utf8; // not the shared one of support/
using namespace std::chrono_literals;
using Test_Support::Temporary_Folder;

// ---- Reading places ---------------------------------------------------------------------------

struct Parse_Case {
    const char* line;
    const char* file;
    std::int32_t number;
    std::int32_t column;
    const char* text;
};

void Expect_Parsed(std::span<const Parse_Case> cases)
{
    for (const Parse_Case& c : cases) {
        const Places::Place place = Places::Parse_Line(c.line, {});
        EXPECT_EQ(place.File, c.file) << c.line;
        EXPECT_EQ(place.Line, c.number) << c.line;
        EXPECT_EQ(place.Column, c.column) << c.line;
        EXPECT_EQ(place.Text, c.text) << c.line;
    }
}

TEST(Places, Splits_The_Common_Forms)
{
    const Parse_Case cases[] = {
        {"a.c:12:5:text", "a.c", 12, 5, "text"},
        {"C:\\src\\x.c:12:5:int x;", "C:\\src\\x.c", 12, 5, "int x;"},
        {"c:/src/x.c:3:y", "c:/src/x.c", 3, 1, "y"},
        {"\\\\host\\share\\f.c:1:2:ab", "\\\\host\\share\\f.c", 1, 2, "ab"},
        {"C:x.c:4:y", "C:x.c", 4, 1, "y"},
        {"C:12:x", "C", 12, 1, "x"}, // a number after the colon: a file named C
        {"a.c:7:x := y: z", "a.c", 7, 1, "x := y: z"},
        {"a.c:7:3:a:b:c", "a.c", 7, 3, "a:b:c"},
        {"a.c:7:5", "a.c", 7, 1, "5"},
        {"a.c:007:4:abc", "a.c", 7, 4, "abc"}, // the column just behind the text
        {"a.c:2147483647:1:  \t\x95\xff", "a.c", 2147483647, 1, "  \t\x95\xff"},
    };
    Expect_Parsed(cases);
    const std::string longest = "a.c:1:" + std::string(1024, 'x');
    EXPECT_EQ(Places::Parse_Line(longest, {}).Text.size(), 1024u);
}

TEST(Places, Refuses_What_The_Viewer_Cannot_Take)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"just words", "no line number"},
        {"C:\\x.c", "no line number"},
        {":12:x", "file name missing"},
        {"a.c::x", "line number missing"},
        {"a.c:abc:x", "line number is not a number"},
        {"a.c: 12:x", "line number is not a number"},
        {"a.c:12x:x", "line number is not a number"},
        {"a.c:0:x", "line number is 0"},
        {"a.c:-3:x", "line number is negative"},
        {"a.c:2147483648:x", "line number is too large"},
        {"a.c:99999999999999999999999:x", "line number is too large"},
        {"a.c:12", "no text after the line number"},
        {"a.c:12:", "empty text"},
        {"a.c:12:5:", "empty text"},
        {"a.c:12:0:x", "column is 0"},
        {"a.c:12:4294967297:x", "column is too large"}, // would wrap to 1 in 32 bits
        {"a.c:12:5:abc", "column 5 is beyond the end of the text (3 bytes)"},
        {std::string(1025, 'f') + ":1:x", "file name longer than 1024 bytes"},
        {std::string("x.bat\0.txt:1:1:x", 16), "file name holds a control character"},
        {"\"a\\tb.c\":1:x", "file name holds a control character"}, // git's quoted tab
    };
    Test_Support::Expect_Refused<Places::BAD_LINE>([](const std::string& line) { Places::Parse_Line(line, {}); },
                                                   cases);
}

TEST(Places, Options_Change_How_Columns_Are_Read)
{
    const Places::Parse_Options clamp{.Clamp_Columns = true};
    EXPECT_EQ(Places::Parse_Line("a.c:12:40: error: x", clamp).Column, 10); // " error: x" is 9 bytes
    EXPECT_EQ(Places::Parse_Line("a.c:12:3: error: x", clamp).Column, 3);
    const Places::Place plain = Places::Parse_Line("a.c:12:10:30 meeting", {.No_Columns = true});
    EXPECT_EQ(plain.Column, 1);
    EXPECT_EQ(plain.Text, "10:30 meeting");
}

TEST(Places, Groups_By_File_In_Order_Of_First_Appearance)
{
    const Compiler::Reading reading = Compiler::Read_Places("b.c:3:2:bee\r\n"
                                                        "a.c:1:alpha\n"
                                                        "\n"
                                                        "b.c:4:x\ry\r\n"
                                                        "A.C:9:upper\n"
                                                        "bad line\n"
                                                        "a.c:2:3:last\r",
                                                        {});
    const auto& groups = reading.Places.Groups();
    ASSERT_EQ(groups.size(), 3u);
    EXPECT_EQ(groups[0].File, "b.c");
    EXPECT_EQ(groups[1].File, "a.c");
    EXPECT_EQ(groups[2].File, "A.C"); // file names are compared byte for byte
    ASSERT_EQ(groups[0].Entries.size(), 2u);
    EXPECT_EQ(groups[0].Entries[0].Text, "bee");
    EXPECT_EQ(groups[0].Entries[0].Column, 2);
    EXPECT_EQ(groups[0].Entries[1].Text, "x\ry"); // only the CR of the line end goes
    ASSERT_EQ(groups[1].Entries.size(), 2u);
    EXPECT_EQ(groups[1].Entries[1].Text, "last");
    EXPECT_EQ(groups[1].Entries[1].Line, 2);
    EXPECT_EQ(reading.Places.Entry_Count(), 5u);
    ASSERT_EQ(reading.Skipped.size(), 1u);
    EXPECT_EQ(reading.Skipped[0].Number, 6u);
    EXPECT_EQ(reading.Skipped[0].Reason, "no line number");

    EXPECT_EQ(Compiler::Read_Places("\xEF\xBB\xBF" "a.c:1:x\n", {}).Places.Groups().at(0).File, "a.c");
    EXPECT_FAILURE(Compiler::Read_Places(std::string("\xFF\xFE" "a\0:\0" "1\0:\0x\0", 12), {}), Places::UNSUPPORTED_ENCODING);
}

// ---- UTF-8 input and the compiler form --------------------------------------------------------

constexpr unsigned Western = 1252; // the ANSI code page of western Windows
constexpr unsigned Japanese = 932; // a double-byte one
const std::string Japan = "\xE6\x97\xA5\xE6\x9C\xAC.txt"; // beyond code page 1252
const std::string Unicode_Name = "\xC3\x9Cn\xC3\xAF"
                                 "c\xC3\xB8"
                                 "d\xC3\xA9.txt"; // within it

TEST(Utf8, Columns_Move_To_The_Same_Character)
{
    struct Case {
        const char* text;
        std::size_t column;
        unsigned code_page;
        const char* converted;
        std::size_t converted_column;
    };
    const Case cases[] = {
        {"a\xC3\xA9" "b", 1, Western, "a\xE9" "b", 1}, // before the two-byte \u00E9
        {"a\xC3\xA9" "b", 2, Western, "a\xE9" "b", 2}, // on it
        {"a\xC3\xA9" "b", 3, Western, "a\xE9" "b", 2}, // inside it: its start
        {"a\xC3\xA9" "b", 4, Western, "a\xE9" "b", 3}, // after it
        {"a\xC3\xA9" "b", 5, Western, "a\xE9" "b", 4}, // the end
        {"\xE2\x82\xAC" "1", 4, Western, "\x80" "1", 2}, // the euro sign is 0x80 there
        {"x\xE4\xB8\xAD" "y", 2, Western, "x?y", 2},  // \u4E2D is not in 1252: "?" keeps its column
        {"\xF0\x9F\x98\x80" "!", 5, Western, "?!", 2}, // beyond U+FFFF: one "?"
        {"\xC4\x81" "b", 3, Western, "?b", 2},         // no best fit: \u0101 does not become "a"
        {"\xE3\x81\x82" "b", 4, Japanese, "\x82\xA0" "b", 3}, // one character, two bytes
    };
    for (const Case& c : cases) {
        const Utf8::Converted converted = Utf8::To_Code_Page(c.text, c.column, c.code_page);
        EXPECT_EQ(converted.Text, c.converted) << c.text << " column " << c.column;
        EXPECT_EQ(converted.Column, c.converted_column) << c.text << " column " << c.column;
    }
    EXPECT_EQ(Utf8::Kind_Of("plain"), Utf8::Kind::Ascii);
    EXPECT_EQ(Utf8::Kind_Of("caf\xC3\xA9"), Utf8::Kind::Utf8);
    for (const char* invalid : {"caf\xE9", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE2\x82", "\x82"})
        EXPECT_EQ(Utf8::Kind_Of(invalid), Utf8::Kind::Invalid) << invalid;
}

// 8-bit text for a viewer that takes UTF-8, and where the ANSI code page is UTF-8 itself: there
// nothing is converted either way, so nothing is converted twice.
TEST(Utf8, A_Utf8_Code_Page_Converts_Nothing_And_Columns_Become_Code_Points)
{
    const std::string utf8 = "\xE6\x97\xA5\xF0\x9F\x98\x80x";
    for (const std::string& text : {utf8, std::string("caf\xE9 x")}) {
        const Utf8::Converted to = Utf8::To_Code_Page(text, 8, CP_UTF8);
        const Utf8::Converted from = Utf8::From_Code_Page(text, 8, CP_UTF8);
        EXPECT_EQ(to.Text, text);
        EXPECT_EQ(to.Column, 8u);
        EXPECT_EQ(from.Text, text);
        EXPECT_EQ(from.Column, 8u);
    }
    const Utf8::Converted western = Utf8::From_Code_Page("caf\xE9 x", 6, Western);
    EXPECT_EQ(western.Text, "caf\xC3\xA9 x");
    EXPECT_EQ(western.Column, 7u);
    const Utf8::Converted japanese = Utf8::From_Code_Page("\x82\xA0"
                                                          "b",
                                                          3, Japanese);
    EXPECT_EQ(japanese.Text, "\xE3\x81\x82"
                             "b");
    EXPECT_EQ(japanese.Column, 4u);
    EXPECT_EQ(Utf8::Code_Point_Column(utf8, 8), 3u);
    EXPECT_EQ(Utf8::Code_Point_Column(utf8, 10), 5u); // past the end: one a byte
    // A viewer that takes UTF-8 gets a name that no 8-bit code page holds.
    const Places::Place place = Places::Parse_Line(Japan + ":1:4:" + utf8, {.Code_Page = CP_UTF8});
    EXPECT_EQ(place.File, Japan);
    EXPECT_EQ(place.Text, utf8);
    EXPECT_EQ(place.Column, 4);
}

TEST(Places, Utf8_Lines_Are_Converted_And_Invalid_Ones_Depend_On_The_Encoding)
{
    const Places::Parse_Options automatic{.Code_Page = Western};
    const Places::Place place = Places::Parse_Line("caf\xC3\xA9.c:3:4:a\xC3\xA9" "b", automatic);
    EXPECT_EQ(place.File, "caf\xE9.c");
    EXPECT_EQ(place.Text, "a\xE9" "b");
    EXPECT_EQ(place.Column, 3);
    // The column is checked against the converted text: 5 bytes of UTF-8 become 3 characters.
    EXPECT_EQ(Places::Parse_Line("a.c:1:9:\xC3\xA9\xC3\xA9x", {.Clamp_Columns = true, .Code_Page = Western}).Column, 4);
    const Places::Place eight_bit = Places::Parse_Line("a.c:1:2:caf\xE9", automatic);
    EXPECT_EQ(eight_bit.Text, "caf\xE9");
    const Places::Place as_ansi = Places::Parse_Line("a.c:1:4:a\xC3\xA9" "b", {.Input_Encoding = Places::Encoding::Ansi});
    EXPECT_EQ(as_ansi.Text, "a\xC3\xA9" "b");
    EXPECT_EQ(as_ansi.Column, 4);
    const Compiler::Reading reading = Compiler::Read_Places("a.c:1:x\na.c:2:caf\xE9\n", {.Input_Encoding = Places::Encoding::Utf_8});
    EXPECT_EQ(reading.Places.Entry_Count(), 1u);
    ASSERT_EQ(reading.Skipped.size(), 1u);
    EXPECT_EQ(reading.Skipped[0].Number, 2u);
    EXPECT_EQ(reading.Skipped[0].Reason, "not valid UTF-8");
}

TEST(Places, Reads_The_Compiler_Form_Beside_The_Colon_Form)
{
    const Parse_Case cases[] = {
        {"C:\\src\\a.cpp(12,5): error C2065: 'x': undeclared identifier", "C:\\src\\a.cpp", 12, 5,
         "error C2065: 'x': undeclared identifier"},
        {"a.cpp(12): warning C4996: 'f': deprecated", "a.cpp", 12, 1, "warning C4996: 'f': deprecated"},
        {"C:\\Program Files (x86)\\k\\b.h(7) : error C2143: x", "C:\\Program Files (x86)\\k\\b.h", 7, 1, "error C2143: x"},
        {"src/A.cs(3,14): error CS0103: y", "src/A.cs", 3, 14, "error CS0103: y"},
        // Lines that only look like it:
        {"a.c:12:5:call(3): bar", "a.c", 12, 5, "call(3): bar"}, // the colon form's file ends first
        {"f(3):12:x", "f(3)", 12, 1, "x"},                       // a line number follows the colon
    };
    Expect_Parsed(cases);
    const std::pair<const char*, const char*> refused[] = {
        {"note: see f(3): bar", "line number is not a number"},
        {"a.cpp(3x): y", "line number is not a number"},
        {"a.cpp(0): y", "line number is 0"},
        {"a.cpp(12,5):", "empty text"},
    };
    Test_Support::Expect_Refused<Places::BAD_LINE>([](const char* line) { Places::Parse_Line(line, {}); }, refused);
}

// ---- File names the viewer cannot reach, and a UTF-8 ANSI code page -------------------------

TEST(Places, File_Names_Are_Judged_Alone_And_Refused_When_The_Code_Page_Lacks_Them)
{
    const Places::Parse_Options western{.Code_Page = Western};
    // A UTF-8 name beside an 8-bit text: the name is converted, the text left as it is.
    const Places::Place mixed = Places::Parse_Line("caf\xC3\xA9.c:1:2:caf\xE9", western);
    EXPECT_EQ(mixed.File, "caf\xE9.c");
    EXPECT_EQ(mixed.Text, "caf\xE9");
    // Two names that would both become "??.txt" and merge into one group: neither is sent.
    const std::string lines = "\xE6\x97\xA5\xE6\x9C\xAC.txt:1:x\n\xE4\xB8\xAD\xE6\x96\x87.txt:2:y\n";
    const Compiler::Reading refused = Compiler::Read_Places(lines, western);
    EXPECT_EQ(refused.Places.Entry_Count(), 0u);
    ASSERT_EQ(refused.Skipped.size(), 2u);
    for (const Compiler::Skipped_Line& skipped : refused.Skipped) {
        EXPECT_TRUE(skipped.Is_Place);
        EXPECT_NE(skipped.Reason.find("the ANSI code page lacks"), std::string::npos) << skipped.Reason;
    }
    const Compiler::Reading japanese = Compiler::Read_Places(lines, {.Code_Page = Japanese});
    ASSERT_EQ(japanese.Places.Groups().size(), 2u);
    EXPECT_EQ(japanese.Places.Groups()[0].File, "\x93\xFA\x96\x7B.txt");
    EXPECT_EQ(japanese.Places.Groups()[1].File, "\x92\x86\x95\xB6.txt");
    // Where the ANSI code page is UTF-8, nothing is converted and nothing is lost.
    const Places::Place utf8 = Places::Parse_Line("\xE6\x97\xA5.c:3:4:a\xC3\xA9" "b", {.Code_Page = CP_UTF8});
    EXPECT_EQ(utf8.File, "\xE6\x97\xA5.c");
    EXPECT_EQ(utf8.Text, "a\xC3\xA9" "b");
    EXPECT_EQ(utf8.Column, 4);
}

// ---- Compiler messages ------------------------------------------------------------------------

// The current folder for one scope: compiler messages name their files relative to it.
class Current_Folder {
public:
    explicit Current_Folder(const std::string& folder)
    {
        char old[MAX_PATH] = {};
        GetCurrentDirectoryA(MAX_PATH, old);
        old_ = old;
        EXPECT_TRUE(SetCurrentDirectoryA(folder.c_str())) << folder;
    }
    ~Current_Folder() { SetCurrentDirectoryA(old_.c_str()); }
    Current_Folder(const Current_Folder&) = delete;
    Current_Folder& operator=(const Current_Folder&) = delete;

private:
    std::string old_;
};

const std::string Data_Folder = Viewer_Harness::Windows_Path(TEST_DATA_FOLDER);

std::string Data(const std::string& name) { return Test_Support::Read_File(Data_Folder + "\\" + name); }

struct Sent_Entry {
    std::string File;
    Places::Entry Entry;
    std::string Marked() const { return Entry.Text.substr(static_cast<std::size_t>(Entry.Column) - 1); }
};

// The entries of the captured output Name, read with the current folder Folder.
std::vector<Sent_Entry> Entries_Of(const std::string& name, const std::string& folder, unsigned code_page = Western)
{
    Current_Folder current(folder);
    const Compiler::Reading reading = Compiler::Read_Places(Data(name), {.Code_Page = code_page});
    EXPECT_TRUE(reading.Skipped.empty()) << name << ": " << reading.Skipped.size() << " skipped, the first: "
                                         << (reading.Skipped.empty() ? "" : reading.Skipped[0].Reason);
    std::vector<Sent_Entry> entries;
    for (const Places::Group& group : reading.Places.Groups())
        for (const Places::Entry& entry : group.Entries) entries.push_back({group.File, entry});
    return entries;
}

const Sent_Entry* Find(const std::vector<Sent_Entry>& entries, const std::string& part)
{
    for (const Sent_Entry& entry : entries)
        if (entry.Entry.Text.find(part) != std::string::npos) return &entry;
    return nullptr;
}

// sample.cpp has tabs and UTF-8 before the places the compilers point at; line 7 reads
// <TAB>const char* s = "é";<TAB>int n = undeclared_a;
TEST(Compiler_Messages, The_Marker_Sits_On_The_Pointed_Character_Whoever_Counted_The_Column)
{
    Temporary_Folder empty;
    struct Case {
        const char* output;
        std::string folder;
        const char* line_7_starts; // "" for the message alone
    };
    const std::string from_file = "\tconst char* s = \"\xE9\";\tint n = ";
    const Case cases[] = {
        {"gcc.txt", Data_Folder, from_file.c_str()},         // display columns, the echo agrees with the file
        {"gcc_no_echo.txt", Data_Folder, from_file.c_str()}, // no echo: the file is read
        {"clang.txt", Data_Folder, from_file.c_str()},       // bytes
        {"msvc.txt", Data_Folder, from_file.c_str()},        // characters
        {"gcc.txt", empty.Path(), "        const char* s = \"\xE9\";    int n = "}, // the echo, tabs expanded
        {"clang.txt", empty.Path(), "        const char* s = \"\xE9\";   int n = "},
    };
    for (const Case& c : cases) {
        const std::vector<Sent_Entry> entries = Entries_Of(c.output, c.folder);
        const Sent_Entry* line_7 = Find(entries, "undeclared_a");
        const Sent_Entry* line_8 = Find(entries, "undeclared_b");
        const Sent_Entry* header = Find(entries, "'y'");
        if (!header) header = Find(entries, "\x91y\x92");
        ASSERT_TRUE(line_7 && line_8 && header) << c.output;
        EXPECT_EQ(line_7->Entry.Line, 7) << c.output;
        EXPECT_TRUE(line_7->Entry.Text.starts_with(c.line_7_starts)) << c.output << ": " << line_7->Entry.Text;
        EXPECT_TRUE(line_7->Marked().starts_with("undeclared_a;" + std::string(Compiler::Separator))) << c.output << ": " << line_7->Marked();
        EXPECT_TRUE(line_8->Marked().starts_with("undeclared_b + gr\xF6\xDF" "e;")) << c.output << ": " << line_8->Marked();
        EXPECT_TRUE(header->Marked().starts_with("y; }")) << c.output << ": " << header->Marked();
        EXPECT_EQ(header->File.ends_with("sample.h"), true) << header->File;
    }
    // Double-byte text: the wide characters GCC counts as 2 display columns each.
    const std::vector<Sent_Entry> japanese = Entries_Of("gcc.txt", Data_Folder, Japanese);
    const Sent_Entry* line_8 = Find(japanese, "undeclared_b");
    ASSERT_TRUE(line_8);
    EXPECT_TRUE(line_8->Entry.Text.starts_with("\tconst char* t = \"\x93\xFA\x96\x7B\";")) << line_8->Entry.Text;
    EXPECT_TRUE(line_8->Marked().starts_with("undeclared_b")) << line_8->Marked();
}

TEST(Compiler_Messages, Without_Echo_Or_File_The_Message_Stands_Alone)
{
    Temporary_Folder empty;
    const std::vector<Sent_Entry> entries = Entries_Of("gcc_no_echo.txt", empty.Path());
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[1].Entry.Text, "error: \x91undeclared_a\x92 was not declared in this scope");
    EXPECT_EQ(entries[1].Entry.Column, 1);
    // MSBuild passes each message on twice and names its project: one entry each, no project.
    const std::vector<Sent_Entry> msbuild = Entries_Of("msbuild.txt", empty.Path());
    ASSERT_EQ(msbuild.size(), 2u);
    EXPECT_EQ(msbuild[0].File, "C:\\src\\app\\sample.cpp");
    EXPECT_EQ(msbuild[0].Entry.Text, "error C2065: 'undeclared_a': undeclared identifier");
    EXPECT_EQ(msbuild[1].Entry.Line, 8);
}

TEST(Compiler_Messages, Whole_Real_Runs_Leave_No_Noise)
{
    Temporary_Folder empty;
    const std::pair<const char*, std::size_t> runs[] = {
        {"make_gcc.txt", 12}, {"clang_noisy.txt", 10}, {"gcc.txt", 3}, {"clang.txt", 3}, {"msbuild.txt", 2}, {"msvc.txt", 4}};
    for (const auto& [output, diagnostics] : runs) {
        const std::string input = Data(output) + "hit.c:4:2:a search hit\nsome words\n";
        const Compiler::Reading reading = Compiler::Read_Places(input, {.Code_Page = Western});
        EXPECT_EQ(reading.Places.Entry_Count(), diagnostics + 1) << output;
        ASSERT_EQ(reading.Skipped.size(), 1u) << output << ": " << reading.Skipped[0].Reason;
        EXPECT_EQ(reading.Skipped[0].Reason, "no line number");
        EXPECT_GT(reading.Compiler_Lines, 0u) << output;
    }
}

TEST(Compiler_Messages, Columns_Count_As_Each_Compiler_Counts_Them)
{
    using enum Compiler::Column_Unit;
    struct Case {
        const char* source;
        std::int32_t column;
        Compiler::Column_Unit unit;
        std::size_t byte;
    };
    const Case cases[] = {
        {"\tx", 9, Display, 1},                    // a tab reaches the next multiple of 8
        {"ab\tx", 9, Display, 3},
        {"ab\tx", 5, Display, 2},                  // inside the tab: the tab
        {"\xE6\x97\xA5x", 3, Display, 3},          // a wide character takes 2
        {"\xE6\x97\xA5x", 2, Display, 0},
        {"e\xCC\x81x", 2, Display, 3},             // a combining accent takes none
        {"\xC3\xA9x", 3, Bytes, 2},
        {"\xC3\xA9x", 2, Characters, 2},
        {"ab", 7, Display, 2},                     // beyond the end
    };
    for (const Case& c : cases)
        EXPECT_EQ(Compiler::Byte_Of_Column(c.source, c.column, c.unit, true), c.byte) << c.source << " " << c.column;
    EXPECT_EQ(Compiler::Byte_Of_Column("\xE9x", 2, Display, false), 1u); // 8-bit text: a byte a character
}

TEST(Compiler_Messages, Long_Messages_Are_Cut_Never_The_Source_Line_Before_Its_Column)
{
    const std::string long_message(2000, 'm');
    const Compiler::Composed short_line = Compiler::Compose("int x = y;", 9, long_message, Western);
    EXPECT_EQ(short_line.Text.size(), 1024u);
    EXPECT_TRUE(short_line.Text.starts_with("int x = y;  <- mmm"));
    EXPECT_TRUE(short_line.Text.ends_with("m..."));
    EXPECT_EQ(short_line.Column, 9);

    const std::string long_source = std::string(989, 'a') + "X" + std::string(500, 'b');
    const Compiler::Composed long_line = Compiler::Compose(long_source, 990, long_message, Western);
    EXPECT_EQ(long_line.Text.size(), 1024u);
    EXPECT_EQ(long_line.Text.substr(989, 1 + Compiler::Separator.size()), "X" + std::string(Compiler::Separator));
    EXPECT_EQ(long_line.Column, 990);

    const Compiler::Composed beyond = Compiler::Compose(std::string(1500, 'a'), 1200, "error: x", Western);
    EXPECT_EQ(beyond.Text, "error: x");
    EXPECT_EQ(beyond.Column, 1);
    // A double-byte character is never split.
    std::string wide_message;
    for (int i = 0; i < 600; ++i) wide_message += "\x82\xA0";
    const Compiler::Composed wide = Compiler::Compose("x", 1, wide_message, Japanese);
    EXPECT_EQ((wide.Text.size() - 1 - Compiler::Separator.size() - 3) % 2, 0u);

    // A whole line of compiler output: the message is cut within the viewer's limit.
    const std::string input = "a.c:1:5: error: " + long_message + "\n    1 | int y;\n      |     ^\n";
    const Compiler::Reading reading = Compiler::Read_Places(input, {});
    ASSERT_EQ(reading.Places.Entry_Count(), 1u);
    const Places::Entry& entry = reading.Places.Groups()[0].Entries[0];
    EXPECT_EQ(entry.Text.size(), 1024u);
    EXPECT_TRUE(entry.Text.starts_with("int y;  <- error: mmm"));
    EXPECT_EQ(entry.Column, 5);
}

// ---- The command line -------------------------------------------------------------------------

TEST(Options, Defaults_And_Spellings)
{
    const Options::Settings plain = Options::Parse({});
    EXPECT_EQ(plain.Input, "-");
    EXPECT_EQ(plain.Title, "lumen_send");
    EXPECT_TRUE(plain.Expand);
    EXPECT_EQ(Options::Parse({"hits.txt"}).Title, "hits.txt");
    EXPECT_EQ(Options::Parse({"-t", "", "-"}).Title, "");

    const Options::Settings all = Options::Parse({"--title=T=1", "--collapsed", "--stats", "--viewer", "v.exe", "--editor",
                                                  "e x.exe", "--timeout", "1.5", "--no-columns", "--", "-odd=name"});
    EXPECT_EQ(all.Title, "T=1");
    EXPECT_FALSE(all.Expand);
    EXPECT_TRUE(all.Statistics);
    EXPECT_TRUE(all.No_Columns);
    EXPECT_EQ(all.Viewer, "v.exe");
    EXPECT_EQ(all.Editor, "e x.exe");
    EXPECT_DOUBLE_EQ(all.Timeout_Seconds, 1.5);
    EXPECT_EQ(all.Input, "-odd=name");
    EXPECT_DOUBLE_EQ(plain.Wait_Seconds, 600.0);
    EXPECT_DOUBLE_EQ(Options::Parse({"--wait", "0"}).Wait_Seconds, 0.0);
    EXPECT_TRUE(Options::Parse({"--verbose"}).Verbose);
}

TEST(Options, Refuses_Bad_Command_Lines)
{
    const std::vector<std::vector<std::string>> cases = {
        {"--bogus"},           {"--title"},          {"a.txt", "b.txt"},     {"--editor", "e.exe"},
        {"--timeout", "0"},    {"--timeout", "5s"},  {"--timeout", "99999"}, {"--stats=1"},
        {"--wait", "-1"},      {"--wait", "90000"},  {"--verbose=yes"},
        {"-t", std::string(1025, 't')},
        {"--protocol", "3"},   {"--protocol", "2.0"}, // batches need a viewer of the run's own
    };
    for (const auto& arguments : cases) EXPECT_FAILURE(Options::Parse(arguments), Options::USAGE_ERROR) << arguments[0];
}

TEST(Options, Encoding_And_Open_With)
{
    EXPECT_EQ(Options::Parse({}).Input_Encoding, Places::Encoding::Auto);
    EXPECT_EQ(Options::Parse({"--encoding=utf-8"}).Input_Encoding, Places::Encoding::Utf_8);
    EXPECT_EQ(Options::Parse({"--encoding", "ansi"}).Input_Encoding, Places::Encoding::Ansi);
    EXPECT_EQ(Options::Parse({"--viewer", "v.exe", "--open-with", "code"}).Open_With, "code");
    const std::vector<std::vector<std::string>> refused = {
        {"--encoding", "latin1"}, {"--open-with", "code"}, {"--viewer", "v.exe", "--open-with", ""},
        {"--viewer", "v.exe", "--open-with", "code", "--editor", "e.exe"}};
    for (const auto& arguments : refused) EXPECT_FAILURE(Options::Parse(arguments), Options::USAGE_ERROR) << arguments[1];
}

// An editor that lumen_open would refuse at the first double-click is refused before anything
// starts, with lumen_open's reason; a lone word is taken for a preset's name.
TEST(Options, Open_With_Is_Judged_At_Once_By_Lumen_Opens_Rules)
{
    const std::pair<const char*, const char*> cases[] = {
        {"vscode", "--open-with: unknown preset `vscode`; presets: code, notepad++, sublime, gvim, emacs, notepad4"},
        {"C:\\Tools\\ed.exe --goto {fiel}:{line}", "OPEN.BAD_TEMPLATE: there is no {file} in the template"},
    };
    for (const auto& [setting, message] : cases) {
        try {
            Options::Parse({"--viewer", "v.exe", "--open-with", setting});
            ADD_FAILURE() << setting << " was taken";
        } catch (const Options::USAGE_ERROR& failure) {
            EXPECT_TRUE(failure.Message().find(message) != std::string::npos) << failure.Message();
        }
    }
    for (const char* taken : {"Code", "C:\\Tools\\ed.exe --goto {file}:{line}:{column}"})
        EXPECT_EQ(Options::Parse({"--viewer", "v.exe", "--open-with", taken}).Open_With, taken);
}

// ---- Starting the viewer ----------------------------------------------------------------------

// What the system's standard splitting makes of "x.exe " followed by Text (ASCII only).
std::vector<std::string> Split_As_The_System_Does(const std::string& text)
{
    const std::wstring wide = L"x.exe " + std::wstring(text.begin(), text.end());
    int count = 0;
    LPWSTR* split = CommandLineToArgvW(wide.c_str(), &count);
    std::vector<std::string> arguments;
    for (int i = 1; i < count; ++i) arguments.emplace_back(split[i], split[i] + wcslen(split[i]));
    LocalFree(split);
    return arguments;
}

TEST(Viewer, Arguments_Survive_The_Standard_Splitting)
{
    for (const std::string argument : {"plain", "", "C:\\Program Files\\ed.exe", "say \"hi\"", "C:\\my dir\\",
                                       "a\\\\\"b c", "tab\there", "trailing\\\\"}) {
        EXPECT_EQ(Split_As_The_System_Does(Viewer::Quote_Argument(argument)), std::vector<std::string>{argument})
            << argument;
    }
    EXPECT_EQ(Viewer::Quote_Argument("plain"), "plain");
    EXPECT_EQ(Viewer::Command_Line("C:\\Lumen Roll\\lumen_roll.exe", ""), "\"C:\\Lumen Roll\\lumen_roll.exe\" Lumen_Roll_V1.1");
    EXPECT_EQ(Viewer::Command_Line("v.exe", "C:\\my ed\\ed.exe"), "v.exe Lumen_Roll_V1.1 \"C:\\my ed\\ed.exe\"");
}

// ---- The silence watch ------------------------------------------------------------------------

// The percentiles are read from counts in steps; a step's upper end stands for its round trips.
TEST(Round_Trips, Percentiles_Come_From_The_Steps_And_Long_Ones_Count_As_The_Longest)
{
    Transfer::Round_Trips round_trips;
    EXPECT_EQ(round_trips.Percentile_Us(0.5), 0u);
    for (int quick = 0; quick < 8; ++quick) round_trips.Add(5us);
    round_trips.Add(350us);
    round_trips.Add(20ms);
    EXPECT_EQ(round_trips.Count(), 10u);
    EXPECT_EQ(round_trips.Percentile_Us(0.10), 10u);
    EXPECT_EQ(round_trips.Percentile_Us(0.80), 10u);
    EXPECT_EQ(round_trips.Percentile_Us(0.81), 360u);
    EXPECT_EQ(round_trips.Percentile_Us(0.90), 360u);
    EXPECT_EQ(round_trips.Percentile_Us(1.00), Transfer::Round_Trips::Longest_Us);
    EXPECT_EQ(Transfer::Round_Trip_Figures(round_trips),
              "round_trip_p10_ms=0.010 round_trip_p50_ms=0.010 round_trip_p90_ms=0.360 round_trip_p99_ms=10.000");
}

TEST(Silence_Watch, Calls_Its_Routine_Once_Stamps_Have_Stopped)
{
    std::atomic<int> calls{0};
    {
        Watch::Silence_Watch watch(1s, [&] { ++calls; });
        for (auto until = std::chrono::steady_clock::now() + 1500ms; std::chrono::steady_clock::now() < until;) {
            watch.Stamp();
            std::this_thread::sleep_for(10ms);
        }
        EXPECT_EQ(calls, 0) << "called while stamped";
        for (int wait = 0; wait < 1000 && !watch.Has_Fired(); ++wait) std::this_thread::sleep_for(10ms);
        EXPECT_TRUE(watch.Has_Fired());
    }
    EXPECT_EQ(calls, 1);
    {
        Watch::Silence_Watch stopped_early(1h, [&] { ++calls; }); // must not hold up its destruction
    }
    EXPECT_EQ(calls, 1);
}

// ---- Whole transfers, lumen_send running as a child process ----------------------------------

// CMake names the programs by their Linux paths; under Wine those are on drive Z:.
std::string Windows_Path(std::string path)
{
    if (path.empty() || path[0] != '/') return path;
    for (char& character : path)
        if (character == '/') character = '\\';
    return "Z:" + path;
}

struct Outcome {
    DWORD Exit_Code = 0xFFFFFFFF;
    std::string Output;
    std::string Errors;
};

Windows::Unique_File Inheritable_File(const std::string& path, DWORD access, DWORD disposition)
{
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return Windows::Unique_File{CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                            disposition, FILE_ATTRIBUTE_NORMAL, nullptr)};
}

// A lumen_send run started and left running, Input as its standard input and its output on
// files of Folder named after the run.
class Running_Send {
public:
    Running_Send(const Temporary_Folder& folder, const std::string& name, const std::string& arguments,
                 const std::string& input = "")
        : output_path_(folder.File(name + ".out")), errors_path_(folder.File(name + ".err"))
    {
        Test_Support::Write_File(folder.File(name + ".in"), input);
        Windows::Unique_File in = Inheritable_File(folder.File(name + ".in"), GENERIC_READ, OPEN_EXISTING);
        Windows::Unique_File out = Inheritable_File(output_path_, GENERIC_WRITE, CREATE_ALWAYS);
        Windows::Unique_File err = Inheritable_File(errors_path_, GENERIC_WRITE, CREATE_ALWAYS);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = in.get();
        startup.hStdOutput = out.get();
        startup.hStdError = err.get();
        const std::string program = Windows_Path(LUMEN_SEND_EXE);
        // The arguments are UTF-8, and may hold names beyond the ANSI code page.
        std::wstring line = Windows::Unicode::Wide("\"" + program + "\" " + arguments);
        PROCESS_INFORMATION started{};
        if (CreateProcessW(Windows::Unicode::Wide(program).c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                           nullptr, &startup, &started))
            process_ = Windows::Unique_Process_Information(started);
        else ADD_FAILURE() << "cannot start " << program << ": " << GetLastError();
    }

    DWORD Id() const { return process_.Process_Id; }
    HANDLE Process() const { return process_.Process.get(); }

    // Waits for the end and returns the exit code; a run that does not end is ended.
    Outcome Finish() const
    {
        Outcome outcome;
        if (!process_.Process) return outcome;
        if (WaitForSingleObject(process_.Process.get(), 60000) != WAIT_OBJECT_0) {
            TerminateProcess(process_.Process.get(), 99);
            ADD_FAILURE() << "lumen_send did not end";
        }
        GetExitCodeProcess(process_.Process.get(), &outcome.Exit_Code);
        outcome.Output = Test_Support::Read_File(output_path_);
        outcome.Errors = Test_Support::Read_File(errors_path_);
        return outcome;
    }

private:
    std::string output_path_;
    std::string errors_path_;
    Windows::Unique_Process_Information process_;
};

// Runs lumen_send with Arguments and Input as its standard input, and waits for its end.
Outcome Run_Send(const Temporary_Folder& folder, const std::string& arguments, const std::string& input = "")
{
    return Running_Send(folder, "send", arguments, input).Finish();
}

const std::string Final_Message; // empty, like the group's end

// A value message from the four bytes of a literal, lowest first.
std::string Value(const char (&bytes)[5]) { return std::string(bytes, 4); }

// Polls until the viewer's pipe is there for a client.
bool Pipe_Is_Listening()
{
    const std::string name = "\\\\.\\pipe\\" + std::string(Viewer::Pipe_Name);
    for (int attempt = 0; attempt < 500; ++attempt) {
        if (WaitNamedPipeA(name.c_str(), 20)) return true;
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

// The viewer's end of the pipe, served on a thread of its own: answers the first Answered
// messages with Answer, then ends as told.
class Test_Viewer {
public:
    enum class Ending { Read_Final_Message, Close_Early, Go_Silent };

    Test_Viewer(std::size_t answered, Ending ending, char answer = Transfer::Acknowledgement)
        : thread_([=, this] { Serve(answered, ending, answer); })
    {
    }
    ~Test_Viewer() { Finish(); }

    bool Is_Listening() const { return Pipe_Is_Listening(); }

    // Lets a silent viewer close its end, and waits until it has.
    const std::vector<std::string>& Finish()
    {
        SetEvent(release_.get());
        if (thread_.joinable()) thread_.join();
        return messages_;
    }
    const std::string& Failure() const { return failure_; }
    bool Await_First_Message() const { return WaitForSingleObject(received_.get(), 60000) == WAIT_OBJECT_0; }

private:
    void Serve(std::size_t answered, Ending ending, char answer) noexcept
    {
        try {
            Windows::Pipe::Pipe_Handle pipe;
            Windows::Pipe::Open(pipe, {.Name = Viewer::Pipe_Name, .Is_Server = true,
                                       .Mode = Windows::Pipe::Pipe_Mode::Duplex, .Buffer_Size = 1024,
                                       .Timeout = Windows::Pipe::Seconds{20.0}});
            for (std::size_t count = 0; count < answered; ++count) {
                Receive(pipe);
                Windows::Pipe::Write(pipe, &answer, 1);
            }
            if (ending == Ending::Close_Early) Await_Client_After_Last_Answer(pipe);
            else Receive(pipe);
            if (ending == Ending::Go_Silent) WaitForSingleObject(release_.get(), 60000);
        } catch (...) {
            failure_ = Failures::Current_Description();
        }
    }

    // Closing the server's end throws away what the client has not read yet: the last answer
    // counts only once the client has sent its next message (unanswered) or given up.
    static void Await_Client_After_Last_Answer(const Windows::Pipe::Pipe_Handle& pipe)
    {
        char buffer[1024];
        try {
            Windows::Pipe::Read(pipe, buffer, Windows::Pipe::Seconds{10.0});
        } catch (const Failures::Named_Failure&) {
        }
    }

    void Receive(const Windows::Pipe::Pipe_Handle& pipe)
    {
        char buffer[1024];
        messages_.emplace_back(buffer, Windows::Pipe::Read(pipe, buffer, Windows::Pipe::Seconds{10.0}));
        SetEvent(received_.get());
    }

    Windows::Unique_Handle release_{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    Windows::Unique_Handle received_{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    std::vector<std::string> messages_;
    std::string failure_;
    std::thread thread_; // last: it uses everything above
};

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(Send_Program, Sends_Title_Groups_And_Entries_In_Lock_Step)
{
    Temporary_Folder folder;
    Test_Support::Write_File(folder.File("hits.txt"), "b.c:3:2:bee\r\n"
                                                      "C:\\src\\a.c:1:alpha\n"
                                                      "not a place\n"
                                                      "b.c:70000:x\n");
    const std::vector<std::string> expected = {
        "My hits",
        "b.c", std::string(1, '\0'), "bee", Value("\x03\0\0\0"), Value("\x02\0\0\0"),
        "x", Value("\x70\x11\x01\0"), Value("\x01\0\0\0"), "", // 70000 is 0x00011170
        "C:\\src\\a.c", std::string(1, '\0'), "alpha", Value("\x01\0\0\0"), Value("\x01\0\0\0"), "",
        Final_Message};
    Test_Viewer viewer(expected.size() - 1, Test_Viewer::Ending::Read_Final_Message);
    ASSERT_TRUE(viewer.Is_Listening());
    const Outcome outcome = Run_Send(folder, "--title \"My hits\" --collapsed --stats " + folder.File("hits.txt"));
    EXPECT_EQ(viewer.Finish(), expected);
    EXPECT_EQ(viewer.Failure(), "");
    EXPECT_EQ(outcome.Exit_Code, 0u) << outcome.Errors;
    EXPECT_TRUE(Contains(outcome.Errors, "hits.txt:3: skipped: no line number")) << outcome.Errors;
    EXPECT_TRUE(Contains(outcome.Output, "groups=2 entries=3 messages=17 ")) << outcome.Output;
    EXPECT_TRUE(Contains(outcome.Output, " round_trip_p50_ms=")) << outcome.Output;
}

TEST(Send_Program, Reads_Standard_Input_With_Default_Title_And_Expanded_Groups)
{
    Temporary_Folder folder;
    const std::vector<std::string> expected = {
        "lumen_send", "a.c", "\x01", "x", Value("\x01\0\0\0"), Value("\x01\0\0\0"), "", Final_Message};
    Test_Viewer viewer(expected.size() - 1, Test_Viewer::Ending::Read_Final_Message);
    ASSERT_TRUE(viewer.Is_Listening());
    const Outcome outcome = Run_Send(folder, "", "a.c:1:x\n");
    EXPECT_EQ(viewer.Finish(), expected);
    EXPECT_EQ(outcome.Exit_Code, 0u) << outcome.Errors;
    EXPECT_EQ(outcome.Errors, "");
}

TEST(Send_Program, Ends_With_A_Message_When_The_Viewer_Refuses_Or_Goes_Away)
{
    struct Case {
        std::size_t answered;
        Test_Viewer::Ending ending;
        char answer;
        const char* arguments;
        const char* message;
    };
    const Case cases[] = {
        {2, Test_Viewer::Ending::Close_Early, Transfer::Acknowledgement, "", "the viewer closed the pipe after 0 of 2 entries"},
        {6, Test_Viewer::Ending::Close_Early, Transfer::Acknowledgement, "", "the viewer closed the pipe after 1 of 2 entries"},
        {1, Test_Viewer::Ending::Close_Early, 0x15, "", "SEND.TRANSFER.NO_ACKNOWLEDGEMENT: the viewer answered 0x15 instead of 0x06"},
        {1, Test_Viewer::Ending::Go_Silent, Transfer::Acknowledgement, "--timeout 1", "the viewer did not answer within"},
    };
    for (const Case& c : cases) {
        Temporary_Folder folder;
        Test_Viewer viewer(c.answered, c.ending, c.answer);
        ASSERT_TRUE(viewer.Is_Listening());
        const Outcome outcome = Run_Send(folder, c.arguments, "a.c:1:x\na.c:2:y\n");
        viewer.Finish();
        EXPECT_EQ(outcome.Exit_Code, 2u) << c.message;
        EXPECT_TRUE(Contains(outcome.Errors, c.message)) << outcome.Errors;
    }
}

TEST(Send_Program, Says_So_When_There_Is_No_Viewer)
{
    Temporary_Folder folder;
    const Outcome outcome = Run_Send(folder, "", "a.c:1:x\n");
    EXPECT_EQ(outcome.Exit_Code, 2u);
    EXPECT_TRUE(Contains(outcome.Errors, "no viewer is waiting on \\\\.\\pipe\\Lumen_Roll_V1.1")) << outcome.Errors;
    EXPECT_EQ(Run_Send(folder, "--no-such-option").Exit_Code, 1u);
    EXPECT_EQ(Run_Send(folder, folder.File("missing.txt")).Exit_Code, 1u);
}

// Reads the stand-in viewer's record: items of "<length>:<bytes>\n".
std::vector<std::string> Decode_Record(const std::string& record)
{
    std::vector<std::string> items;
    for (std::size_t at = 0; at < record.size();) {
        const std::size_t colon = record.find(':', at);
        const std::size_t length = std::stoul(record.substr(at, colon - at));
        items.push_back(record.substr(colon + 1, length));
        at = colon + 1 + length + 1;
    }
    return items;
}

TEST(Send_Program, Starts_The_Viewer_With_The_Pipe_Name_And_The_Editor)
{
    Temporary_Folder folder;
    CreateDirectoryA(folder.File("with blank").c_str(), nullptr);
    const std::string record = folder.File("with blank\\record.txt");
    const Outcome outcome = Run_Send(folder, "--protocol 1.1 --viewer \"" + Windows_Path(FAKE_VIEWER_EXE) + "\" --editor \"" +
                                                 record + "\" --title T", "a.c:2:3:abc\n");
    EXPECT_EQ(outcome.Exit_Code, 0u) << outcome.Errors;
    for (int wait = 0; wait < 1000 && !Test_Support::File_Exists(record); ++wait) std::this_thread::sleep_for(10ms);
    const std::vector<std::string> expected = {
        "Lumen_Roll_V1.1", record, "T", "a.c", "\x01", "abc", Value("\x02\0\0\0"), Value("\x03\0\0\0"), "", Final_Message};
    EXPECT_EQ(Decode_Record(Test_Support::Read_File(record)), expected);
}

// What the stand-in viewer recorded of a run with Arguments and Input (the record's path is the
// run's "editor"), the pipe's name left out.
std::vector<std::string> Recorded(const Temporary_Folder& folder, const std::string& arguments,
                                  const std::string& input, Outcome& outcome)
{
    const std::string record = folder.File("record.txt");
    DeleteFileA(record.c_str());
    outcome = Run_Send(
        folder, "--viewer \"" + Windows_Path(FAKE_VIEWER_EXE) + "\" --editor \"" + record + "\" " + arguments, input);
    for (int wait = 0; wait < 1000 && !Test_Support::File_Exists(record); ++wait) std::this_thread::sleep_for(10ms);
    std::vector<std::string> items = Decode_Record(Test_Support::Read_File(record));
    if (!items.empty()) items.erase(items.begin());
    return items;
}

// The batch protocol carries UTF-8 as it came, names and texts beyond the ANSI code page too; a
// column (UTF-8 bytes, as git grep and rg count) arrives as the code points before it, a combining
// accent and a character beyond U+FFFF counting one each. An 8-bit line is converted; a name with a
// control character is still refused. The input's name and the title come from the command line in
// UTF-16.
TEST(Send_Program, Batches_Carry_Every_Script_Byte_Exact_With_Code_Point_Columns)
{
    const std::string polish = "\xC5\x81ukasz Langa";
    const std::string russian = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82";
    const std::string japanese = "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E";
    const std::string combined = "e\xCC\x81x";     // "e", U+0301, "x"
    const std::string emoji = "\xF0\x9F\x98\x80!"; // U+1F600, "!"
    Temporary_Folder folder;
    const Test_Support::Named_File input(folder.File("\xE5\x85\xA5\xE5\x8A\x9B.txt"),
                                         Japan + ":1:9:" + polish + "\n" +              // on "Langa"
                                             Japan + ":2:7:" + russian + "\n" +         // on its fourth letter
                                             Unicode_Name + ":3:7:" + japanese + "\n" + // on its third
                                             Unicode_Name + ":4:4:" + combined + "\n" + // on "x"
                                             Unicode_Name + ":5:5:" + emoji + "\n" +    // on "!"
                                             "ansi.txt:6:6:caf\xE9 x\n" +              // on "x", code page 1252
                                             Japan + "\t:7:1:x\n");                    // never sent
    Outcome outcome;
    const std::vector<std::string> items =
        Recorded(folder, "--title \"\xE6\xA8\x99 T\" \"" + input.Path() + "\"", "", outcome);
    EXPECT_EQ(outcome.Exit_Code, 0u) << outcome.Errors;
    const std::vector<std::string> expected = {folder.File("record.txt"),
                                               "\xE6\xA8\x99 T", //
                                               Japan,
                                               "\x01",
                                               polish,
                                               "1:8",
                                               russian,
                                               "2:4",
                                               "",
                                               Unicode_Name,
                                               "\x01",
                                               japanese,
                                               "3:3",
                                               combined,
                                               "4:3",
                                               emoji,
                                               "5:2",
                                               "",
                                               "ansi.txt",
                                               "\x01",
                                               "caf\xC3\xA9 x",
                                               "6:6",
                                               ""};
    EXPECT_EQ(items, expected);
}

// What the viewer's Save writes (UTF-8 with its byte-order mark, CR LF, full paths, columns in UTF-8
// bytes) comes back exactly, names and texts beyond the ANSI code page included.
TEST(Send_Program, A_Saved_List_Is_Read_Back_Exactly)
{
    const std::string japanese = "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E";
    const std::string emojis = "\xF0\x9F\x98\x80\xF0\x9F\x98\x80";
    Temporary_Folder folder;
    const std::string japan = folder.File(Japan);
    const std::string other = folder.File(Unicode_Name);
    const Test_Support::Named_File saved(folder.File("SAVED.txt"), "\xEF\xBB\xBF" + japan + ":3:7:" + japanese +
                                                                       "\r\n" + other + ":1:5:" + emojis + "\r\n" +
                                                                       other + ":2:1:caf\xC3\xA9\r\n");
    Outcome outcome;
    const std::vector<std::string> items = Recorded(folder, "--title T \"" + saved.Path() + "\"", "", outcome);
    EXPECT_EQ(outcome.Exit_Code, 0u) << outcome.Errors;
    const std::vector<std::string> expected = {folder.File("record.txt"),
                                               "T",
                                               japan,
                                               "\x01",
                                               japanese,
                                               "3:3",
                                               "",
                                               other,
                                               "\x01",
                                               emojis,
                                               "1:2",
                                               "caf\xC3\xA9",
                                               "2:1",
                                               ""};
    EXPECT_EQ(items, expected);
}

// The message-by-message protocol stays as it was: 8-bit text in the ANSI code page, and a name
// that the code page cannot hold refused.
TEST(Send_Program, The_Message_By_Message_Protocol_Still_Speaks_The_Code_Page)
{
    Temporary_Folder folder;
    Outcome outcome;
    const std::vector<std::string> items =
        Recorded(folder, "--protocol 1.1 --title T -", Japan + ":1:1:x\ncaf\xC3\xA9.txt:2:5:na\xC3\xAFve\n", outcome);
    EXPECT_EQ(outcome.Exit_Code, 0u) << outcome.Errors;
    EXPECT_TRUE(Contains(outcome.Errors, "<stdin>:1: skipped: the file name has characters that the ANSI code page "
                                         "lacks, and the viewer's 8-bit file names cannot reach that file"))
        << outcome.Errors;
    const std::vector<std::string> expected = {
        folder.File("record.txt"), "T", "caf\xE9.txt", "\x01", "na\xEFve", Value("\x02\0\0\0"),
        Value("\x04\0\0\0"),       "",  Final_Message};
    EXPECT_EQ(items, expected);
}

// lumen_send runs in the searched folder, as a rule: bare --viewer and --editor names are found
// beside it or in PATH's folders ("." there is left out), never there. The planted "viewer" is
// lumen_send itself, which would end at once; the viewer gets the editor's full path.
TEST(Send_Program, Bare_Viewer_And_Editor_Are_Found_On_Path_Never_In_The_Current_Folder)
{
    Temporary_Folder folder;
    const std::string repository = folder.File("repository");
    const std::string tools = folder.File("tools");
    CreateDirectoryA(repository.c_str(), nullptr);
    CreateDirectoryA(tools.c_str(), nullptr);
    for (const char* name : {"lumen_viewer.exe", "lumen_editor.exe"}) {
        ASSERT_TRUE(CopyFileA(Windows_Path(FAKE_VIEWER_EXE).c_str(), (tools + "\\" + name).c_str(), FALSE));
        ASSERT_TRUE(CopyFileA(Windows_Path(LUMEN_SEND_EXE).c_str(), (repository + "\\" + name).c_str(), FALSE));
    }
    const std::string record = folder.File("record.txt");
    Test_Support::Scoped_Variable record_variable("LUMEN_FAKE_VIEWER_RECORD", record.c_str());
    Test_Support::Scoped_Variable path("PATH", (".;" + tools).c_str());
    Test_Support::Scoped_Folder in_repository(repository);

    const Outcome sent = Run_Send(folder, "--viewer lumen_viewer --editor lumen_editor", "a.c:1:x\n");
    EXPECT_EQ(sent.Exit_Code, 0u) << sent.Errors;
    for (int wait = 0; wait < 1000 && !Test_Support::File_Exists(record); ++wait) std::this_thread::sleep_for(10ms);
    const std::vector<std::string> items = Decode_Record(Test_Support::Read_File(record));
    ASSERT_GE(items.size(), 2u);
    EXPECT_EQ(items[1], tools + "\\lumen_editor.exe");

    const Outcome missing = Run_Send(folder, "--viewer lumen_viewer --editor lumen_missing", "a.c:1:x\n");
    EXPECT_EQ(missing.Exit_Code, 2u);
    EXPECT_TRUE(Contains(missing.Errors, "SEND.VIEWER.START_FAILURE: lumen_missing is neither beside this program "
                                         "nor in a folder of PATH"))
        << missing.Errors;
}

TEST(Send_Program, Reports_A_Viewer_That_Does_Not_Start_Or_Ends_At_Once)
{
    Temporary_Folder folder;
    const Outcome missing = Run_Send(folder, "--viewer \"" + folder.File("none.exe") + "\"", "a.c:1:x\n");
    EXPECT_EQ(missing.Exit_Code, 2u);
    EXPECT_TRUE(Contains(missing.Errors, "SEND.VIEWER.START_FAILURE: cannot start")) << missing.Errors;
    // lumen_send itself as the "viewer": it finds no input file named like the pipe and ends.
    const Outcome ended = Run_Send(folder, "--viewer \"" + Windows_Path(LUMEN_SEND_EXE) + "\"", "a.c:1:x\n");
    EXPECT_EQ(ended.Exit_Code, 2u);
    EXPECT_TRUE(Contains(ended.Errors, "SEND.VIEWER.ENDED: the viewer ended (exit code 1)")) << ended.Errors;
}

} // namespace

// ---- Runs at once -----------------------------------------------------------------------------

// The processes that Parent started.
std::vector<DWORD> Children_Of(DWORD parent)
{
    std::vector<DWORD> children;
    Windows::Unique_File snapshot{CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0)};
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot.get(), &entry); more; more = Process32Next(snapshot.get(), &entry))
        if (entry.th32ParentProcessID == parent) children.push_back(entry.th32ProcessID);
    return children;
}

// A viewer that a lumen_send run started, found as that run's child, closed at the end.
class Started_Viewer {
public:
    explicit Started_Viewer(DWORD send_id)
    {
        const std::vector<DWORD> children = Children_Of(send_id);
        if (children.size() != 1) return;
        process_.reset(OpenProcess(PROCESS_ALL_ACCESS, FALSE, children[0]));
        Viewer_Harness::Wait_Until([&] { return (window_ = Viewer_Harness::Find_Viewer_Window(children[0])) != nullptr; },
                                   10s);
    }
    ~Started_Viewer()
    {
        if (window_) PostMessageA(window_, WM_CLOSE, 0, 0);
        if (process_ && WaitForSingleObject(process_.get(), 10000) != WAIT_OBJECT_0) TerminateProcess(process_.get(), 1);
    }
    Started_Viewer(const Started_Viewer&) = delete;
    Started_Viewer& operator=(const Started_Viewer&) = delete;

    bool Found() const { return window_ != nullptr; }
    std::string Caption() const
    {
        char caption[1100] = {};
        GetWindowTextA(window_, caption, sizeof caption);
        return caption;
    }
    // File and entry texts once the tree holds Count items.
    std::vector<Viewer_Harness::Tree_Node> Tree(std::size_t count) const
    {
        Viewer_Harness::Remote_Tree tree(process_.get(), Viewer_Harness::Find_Tree_View(window_));
        tree.Wait_For_Count(count);
        return tree.Read();
    }

private:
    Windows::Unique_Handle process_;
    HWND window_ = nullptr;
};

// Batches go over a pipe of each run's own: runs at once need no turns, not even while another
// host holds the one pipe of the message-by-message protocol.
TEST(Send_Program, Runs_At_Once_Each_Get_Their_Own_Viewer_Without_Waiting)
{
    Temporary_Folder folder;
    Test_Viewer other_host(0, Test_Viewer::Ending::Close_Early);
    ASSERT_TRUE(other_host.Is_Listening());
    const std::string viewer = Windows_Path(LUMEN_ROLL_EXE);
    std::vector<std::unique_ptr<Running_Send>> runs;
    for (int run = 1; run <= 3; ++run) {
        const std::string name = "run" + std::to_string(run);
        Test_Support::Write_File(folder.File(name + ".txt"), name + ".c:1:2:first of " + name + "\n" + name +
                                                                 ".c:2:1:second of " + name + "\n");
        runs.push_back(std::make_unique<Running_Send>(folder, name,
                                                      "--stats --viewer \"" + viewer + "\" --title \"Run " +
                                                          std::to_string(run) + "\" " + folder.File(name + ".txt")));
    }
    for (std::size_t run = 0; run < runs.size(); ++run) {
        const Outcome outcome = runs[run]->Finish();
        EXPECT_EQ(outcome.Exit_Code, 0u) << outcome.Errors;
        EXPECT_FALSE(Contains(outcome.Errors, "waiting")) << outcome.Errors;
        EXPECT_TRUE(Contains(outcome.Output, " protocol=2.0 bytes=")) << outcome.Output;
        EXPECT_TRUE(Contains(outcome.Output, " batches=1")) << outcome.Output;
        const std::string name = "run" + std::to_string(run + 1);
        Started_Viewer started(runs[run]->Id());
        ASSERT_TRUE(started.Found()) << name;
        EXPECT_NE(started.Caption().find("Run " + std::to_string(run + 1)), std::string::npos) << started.Caption();
        const std::vector<Viewer_Harness::Tree_Node> tree = started.Tree(3);
        ASSERT_EQ(tree.size(), 1u) << name;
        EXPECT_EQ(tree[0].Text, name + ".c");
        ASSERT_EQ(tree[0].Children.size(), 2u) << name;
        EXPECT_EQ(tree[0].Children[0].Text, "f\x95irst of " + name);
        EXPECT_EQ(tree[0].Children[1].Text, "\x95second of " + name);
    }
    Windows::Pipe::Pipe_Handle releasing; // lets the other host's wait end
    Windows::Pipe::Open(releasing, {.Name = Viewer::Pipe_Name, .Is_Server = false, .Buffer_Size = 64});
}

TEST(Send_Program, Gives_Up_Waiting_For_A_Pipe_That_Another_Host_Holds)
{
    Temporary_Folder folder;
    Test_Viewer other_host(0, Test_Viewer::Ending::Close_Early); // listens, and would record a connection
    ASSERT_TRUE(other_host.Is_Listening());
    const std::string record = folder.File("record.txt");
    const Outcome outcome = Run_Send(folder, "--protocol 1.1 --wait 1 --viewer \"" + Windows_Path(FAKE_VIEWER_EXE) +
                                                 "\" --editor \"" + record + "\"", "a.c:1:x\n");
    EXPECT_EQ(outcome.Exit_Code, 2u);
    EXPECT_TRUE(Contains(outcome.Errors, "lumen_send: waiting for another transfer to finish")) << outcome.Errors;
    EXPECT_TRUE(Contains(outcome.Errors, "gave up after waiting 1 s for another host's transfer")) << outcome.Errors;
    EXPECT_FALSE(Test_Support::File_Exists(record)) << "the viewer was started";
    Windows::Pipe::Pipe_Handle releasing; // lets the other host's wait end
    Windows::Pipe::Open(releasing, {.Name = Viewer::Pipe_Name, .Is_Server = false, .Buffer_Size = 64});
    releasing.reset();
    EXPECT_TRUE(other_host.Finish().empty()) << "lumen_send talked to another host's viewer";
}

TEST(Send_Program, Counts_Lines_That_Are_No_Place_Beyond_Ten_And_Lists_Them_When_Verbose)
{
    std::string input = "a.c:1:x\n" + Data("gcc.txt");
    for (int line = 0; line < 11; ++line) input += "junk " + std::to_string(line) + "\n";
    for (const bool verbose : {false, true}) {
        Temporary_Folder folder;
        Test_Viewer viewer(22, Test_Viewer::Ending::Read_Final_Message); // title; groups of 1, 1 and 2 entries
        ASSERT_TRUE(viewer.Is_Listening());
        const Outcome outcome = Run_Send(folder, verbose ? "--stats --verbose" : "--stats", input);
        viewer.Finish();
        EXPECT_EQ(outcome.Exit_Code, 0u) << outcome.Errors;
        EXPECT_EQ(Contains(outcome.Errors, "<stdin>:24: skipped: no line number"), verbose) << outcome.Errors;
        EXPECT_EQ(Contains(outcome.Errors, "11 lines skipped (11 of them no place; --verbose lists them)"), !verbose)
            << outcome.Errors;
        EXPECT_TRUE(Contains(outcome.Output, "compiler_lines=9 skipped_lines=11")) << outcome.Output;
    }
}

// ---- Recursive make ---------------------------------------------------------------------------

namespace {

// make_recursive.txt is what "make -k" printed in make_recursive/ (GNU make 4.3, GCC 12): the
// top makefile runs make in lib/, which runs make in lib/parse/, each checking its own files,
// one of them through a chain of headers two deep. The folder it ran in stands as @ROOT@; the
// tests put the data folder there, as GNU make on Windows prints a folder ("C:/src/project").
const std::string Make_Root = Data_Folder + "\\make_recursive";

std::string Recursive_Make_Output()
{
    std::string root = Make_Root;
    std::replace(root.begin(), root.end(), '\\', '/');
    std::string output = Data("make_recursive.txt");
    for (std::size_t at = output.find("@ROOT@"); at != std::string::npos; at = output.find("@ROOT@", at))
        output.replace(at, 6, root);
    return output;
}

TEST(Compiler_Messages, A_Recursive_Make_Names_Each_File_From_The_Folder_Make_Entered)
{
    // Read in the top folder, where the user ran make: once make has left every folder it
    // entered, names are the current folder's again.
    Current_Folder in_root(Make_Root);
    const Compiler::Reading reading = Compiler::Read_Places(Recursive_Make_Output(), {.Code_Page = Western});
    // The chain of headers ("In file included from ../../include/inner.h:1," then "from" lines,
    // the last ending in ":") is compiler output, as are make's own lines.
    EXPECT_TRUE(reading.Skipped.empty()) << reading.Skipped.size() << " skipped, the first: "
                                         << (reading.Skipped.empty() ? "" : reading.Skipped[0].Reason);
    struct Expected {
        std::string file;
        std::int32_t line;
        const char* marked;
    };
    const Expected expected[] = {
        {Make_Root + "\\include\\types.h", 2, "long wide_count;"}, // ../../include/types.h from lib/parse
        {Make_Root + "\\lib\\parse\\scan.c", 7, "token_count + 1;  <- error:"},
        {Make_Root + "\\lib\\parse\\scan.c", 7, "token_count + 1;  <- note:"},
        {Make_Root + "\\lib\\list.c", 4, "->length;"},
        {"main.c", 4, "missing_call(2);"},
    };
    std::vector<Sent_Entry> sent;
    for (const Places::Group& group : reading.Places.Groups())
        for (const Places::Entry& entry : group.Entries) sent.push_back({group.File, entry});
    ASSERT_EQ(sent.size(), std::size(expected));
    for (std::size_t at = 0; at < sent.size(); ++at) {
        EXPECT_EQ(sent[at].File, expected[at].file);
        EXPECT_EQ(sent[at].Entry.Line, expected[at].line) << expected[at].file;
        EXPECT_TRUE(sent[at].Marked().starts_with(expected[at].marked)) << sent[at].Marked();
    }
}

TEST(Compiler_Messages, Make_Folder_Lines_In_Each_Spelling)
{
    struct Case {
        const char* make_lines;
        const char* name; // in the message
        const char* file; // as sent
    };
    const Case cases[] = {
        {"mingw32-make[1]: Entering directory 'C:/src/lib'\n", "a.c", "C:\\src\\lib\\a.c"},
        {"make[1]: Entering directory `C:\\src\\lib'\n", "../inc/./a.h", "C:\\src\\inc\\a.h"}, // make 3.81
        {"gmake[3]: Entering directory '/home/me/src'\n", "a.c", "\\home\\me\\src\\a.c"},
        {"ninja: Entering directory `build'\n", "../../a.c", "..\\a.c"}, // a relative folder climbs no further
        {"make: Entering directory 'C:/src'\n", "D:\\other\\a.c", "D:\\other\\a.c"},
        {"make: Entering directory 'C:/src'\n", "/usr/include/a.h", "/usr/include/a.h"},
        // make -j interleaves its jobs' lines: the folder left goes, wherever it stands.
        {"make[1]: Entering directory 'C:/a'\nmake[1]: Entering directory 'C:/b'\nmake[1]: Leaving directory 'C:/a'\n",
         "a.c", "C:\\b\\a.c"},
        {"make[1]: Entering directory 'C:/a'\nmake[1]: Leaving directory 'C:/a'\n", "a.c", "a.c"},
        {"notes.txt:3:make: Entering directory 'C:/a'\n", "a.c", "a.c"}, // a search hit that quotes make
    };
    for (const Case& c : cases) {
        const std::string input = c.make_lines + std::string(c.name) + ":1:1: error: e\n";
        const Compiler::Reading reading = Compiler::Read_Places(input, {});
        ASSERT_FALSE(reading.Places.Groups().empty()) << c.make_lines;
        EXPECT_EQ(reading.Places.Groups().back().File, c.file) << c.make_lines;
    }
}

// The viewer's editor gets the full path of a place that a compiler in a folder of a recursive
// make named, wherever the viewer runs.
TEST(Send_Program, A_Place_From_A_Recursive_Make_Opens_In_The_Editor)
{
    Temporary_Folder folder;
    Viewer_Harness::Viewer_Settings settings(folder.File("viewer.log"));
    Viewer_Clicks::Editor_Stub editor(folder, EDITOR_STUB_EXE);
    Viewer_Harness::Use_Viewer_Program(LUMEN_ROLL_EXE);
    Viewer_Harness::Viewer_Process viewer({std::string(Viewer::Pipe_Name), editor.Program()});
    ASSERT_TRUE(Pipe_Is_Listening());
    {
        Test_Support::Scoped_Folder in_root(Make_Root);
        const Outcome sent = Run_Send(folder, "--title make -", Recursive_Make_Output());
        EXPECT_EQ(sent.Exit_Code, 0u) << sent.Errors;
    }
    const Viewer_Harness::Remote_Tree tree(viewer, viewer.Tree_Window());
    ASSERT_TRUE(tree.Wait_For_Count(9)); // 4 files, 5 places
    const std::vector<Viewer_Harness::Tree_Node> files = tree.Read();
    const auto scan = std::find_if(files.begin(), files.end(), [](const auto& file) { return file.Text.ends_with("scan.c"); });
    ASSERT_NE(scan, files.end());
    ASSERT_TRUE(Viewer_Clicks::Double_Click_Item(viewer, tree, scan->Children.at(0).Item));
    EXPECT_TRUE(Viewer_Harness::Wait_Until([&] { return Contains(Test_Support::Read_File(editor.Output()), "\n"); }, 10s));
    EXPECT_EQ(Test_Support::Read_File(editor.Output()), Make_Root + "\\lib\\parse\\scan.c/7/12\n");
}

// A message met again (a header's error in each file that includes it, a macro's at each
// expansion) is shown once, and the run says how many were left out.
TEST(Send_Program, Repeated_Compiler_Messages_Are_Counted)
{
    Temporary_Folder folder;
    Test_Viewer viewer(16, Test_Viewer::Ending::Read_Final_Message); // title; groups of 1 and 2 entries
    ASSERT_TRUE(viewer.Is_Listening());
    const Outcome outcome = Run_Send(folder, "--stats", Data("gcc.txt") + Data("gcc.txt"));
    viewer.Finish();
    EXPECT_EQ(outcome.Exit_Code, 0u) << outcome.Errors;
    EXPECT_TRUE(Contains(outcome.Errors, "lumen_send: 3 repeated compiler messages left out (each is shown once)"))
        << outcome.Errors;
    // After the fields that scripts read by position.
    const std::size_t repeated = outcome.Output.find(" repeated_messages=3");
    ASSERT_NE(repeated, std::string::npos) << outcome.Output;
    EXPECT_GT(repeated, outcome.Output.find(" round_trip_p50_ms=")) << outcome.Output;
}

} // namespace

// ---- Names from outside, long lines, and the viewer that answers ------------------------------

TEST(Places, Git_Quoted_Names_Are_The_Bytes_They_Stand_For)
{
    const Parse_Case cases[] = {
        {"\"a \\\"q\\\" \\\\b.c\":3:y", "a \"q\" \\b.c", 3, 1, "y"},
        {"\"\\101.c\":1:1:z:w", "A.c", 1, 1, "z:w"},
        // Not git's form: read as before, quotes and all.
        {"\"open.c:1:x", "\"open.c", 1, 1, "x"},
        {"\"a\\q.c\":1:x", "\"a\\q.c\"", 1, 1, "x"},
        {"\"a\\4.c\":1:x", "\"a\\4.c\"", 1, 1, "x"},
    };
    Expect_Parsed(cases);
    // A compiler message whose name holds a control byte ("#line" can name anything) is skipped
    // with the reason, like a search hit.
    const Compiler::Reading reading = Compiler::Read_Places("x.bat\x01.c:3:1: error: e\n", {});
    ASSERT_EQ(reading.Skipped.size(), 1u);
    EXPECT_EQ(reading.Skipped[0].Reason, "file name holds a control character");
}

TEST(Places, Long_Lines_Keep_Their_Place_Cut_Around_The_Column)
{
    std::string ascii;
    std::string utf8; // characters of two bytes
    std::string dbcs; // the same in Japanese 8-bit text
    for (int at = 0; ascii.size() < 5000; ++at) ascii += "v" + std::to_string(at) + ";";
    ascii.resize(5000);
    for (int count = 0; count < 2500; ++count) {
        utf8 += "\xC3\xA9";
        dbcs += "\x82\xA0";
    }
    struct Case {
        const std::string& text;
        std::size_t column;
        unsigned code_page;
        const char* cuts; // "<" for "..." in front, ">" for "..." at the end
    };
    const Case cases[] = {{ascii, 4000, Western, "<>"}, {ascii, 3, Western, ">"},       {ascii, 4990, Western, "<"},
                          {ascii, 5001, Western, "<"},  {utf8, 3001, CP_UTF8, "<>"},    {utf8, 11, CP_UTF8, ">"},
                          {dbcs, 3001, Japanese, "<>"}, {dbcs, 4999, Japanese, "<"}};
    for (const Case& c : cases) {
        // A viewer that takes UTF-8 would get 8-bit input converted: the UTF-8 case comes as UTF-8.
        const Places::Encoding encoding = c.code_page == CP_UTF8 ? Places::Encoding::Utf_8 : Places::Encoding::Ansi;
        const Places::Place place = Places::Parse_Line("m.js:1:" + std::to_string(c.column) + ":" + c.text,
                                                       {.Input_Encoding = encoding, .Code_Page = c.code_page});
        const std::string& cut = place.Text;
        const std::string cuts = std::string(cut.starts_with("...") ? "<" : "") + (cut.ends_with("...") ? ">" : "");
        EXPECT_EQ(cuts, c.cuts) << c.column;
        EXPECT_LE(cut.size(), Places::Message_Limit) << c.column;
        EXPECT_EQ(cut.substr(static_cast<std::size_t>(place.Column) - 1, 8), c.text.substr(c.column - 1, 8)) << c.column;
        if (c.code_page == Western) continue;
        // Whole characters only, between the cuts.
        EXPECT_EQ((cut.size() - 3 * cuts.size()) % 2, 0u) << c.column;
        EXPECT_EQ(cut[cuts.starts_with('<') ? 3 : 0], c.text[0]) << c.column;
    }
}

// The canonical path decides: spellings of the network or of the system's name spaces are
// never read, even for a file on a local drive; other spellings of one file share what is held;
// beyond the cap the least recently used file goes. A file changed on disk tells a held file
// (its old text) from one read again.
TEST(Source_Files, Reads_Local_Full_Paths_Only_And_Holds_Each_File_Once_Within_The_Cap)
{
    Temporary_Folder folder;
    const auto write = [&](const char* name, const std::string& first_line) {
        Test_Support::Write_File(folder.File(name), first_line + "\n" + std::string(1000, 'x') + "\n");
    };
    for (const char* name : {"a.c", "b.c", "c.c"}) write(name, std::string("first of ") + name);
    Current_Folder here(folder.Path());
    Source_Files::Source_Files files(2500); // room for two of the files
    const auto first_line = [&](const std::string& name) {
        const std::optional<Source_Files::Source_Line> line = files.Line(name, 1);
        return line ? std::string(line->Text) : std::string("(not read)");
    };
    const std::string full = folder.File("a.c");
    for (const std::string& spelling : {"\\??\\" + full, "\\??\\UNC\\localhost\\" + full.substr(0, 1) + "$" + full.substr(2),
                                        "\\\\?\\" + full, "//?/" + full, "\\\\.\\" + full, "//./" + full,
                                        std::string("a.c\\."), std::string("a.c::$DATA"), std::string("nul\\a.c")})
        EXPECT_EQ(first_line(spelling), "(not read)") << spelling;

    EXPECT_EQ(first_line("a.c"), "first of a.c");
    write("a.c", "changed a.c");
    EXPECT_EQ(first_line(".\\a.c"), "first of a.c");
    EXPECT_EQ(first_line("sub\\..\\\\a.c"), "first of a.c");
    EXPECT_EQ(first_line(full), "first of a.c");
    EXPECT_EQ(first_line("b.c"), "first of b.c");
    EXPECT_EQ(first_line("a.c"), "first of a.c"); // used after b.c
    EXPECT_EQ(first_line("c.c"), "first of c.c"); // b.c goes
    write("b.c", "changed b.c");
    EXPECT_EQ(first_line("b.c"), "changed b.c"); // a.c goes
    EXPECT_EQ(first_line("a.c"), "changed a.c");
}

// One source of 60 MiB in short lines (its line index weighs as much as a third of its text),
// named four ways by compiler messages. Measured from outside while the run waits for the
// viewer's first answer, when it has read its input and the sources.
TEST(Send_Program, A_Source_Named_Four_Ways_Costs_No_More_Than_The_Cap)
{
    Temporary_Folder folder;
    std::string source;
    source.reserve(60 * 1024 * 1024);
    while (source.size() < 60 * 1024 * 1024) source += "int value_of_x;\n";
    Test_Support::Write_File(folder.File("big.c"), source);
    source = {};
    std::string input;
    for (const char* name : {"big.c", ".\\big.c", ".\\\\big.c", "sub\\..\\big.c"})
        input += std::string(name) + ":3:5: error: '" + name + "' here\n";
    Test_Support::Scoped_Folder in_folder(folder.Path());
    Test_Viewer viewer(0, Test_Viewer::Ending::Go_Silent);
    ASSERT_TRUE(viewer.Is_Listening());
    Running_Send run(folder, "send", "--timeout 60", input);
    ASSERT_TRUE(viewer.Await_First_Message());
    PROCESS_MEMORY_COUNTERS memory{};
    ASSERT_TRUE(GetProcessMemoryInfo(run.Process(), &memory, sizeof memory)) << GetLastError();
    viewer.Finish();
    run.Finish();
    EXPECT_GT(memory.PeakWorkingSetSize, 60u * 1024 * 1024) << "the source was not read";
    EXPECT_LE(memory.PeakWorkingSetSize, Source_Files::Default_Cap) << memory.PeakWorkingSetSize / (1024 * 1024) << " MiB";
}

TEST(Send_Program, Fails_With_A_Message_When_Its_Turn_Object_Is_No_Mutex)
{
    Temporary_Folder folder;
    // The runs' turn mutex's name, copied on purpose: lumen_send's own is in viewer_start.cpp.
    const Windows::Unique_Handle squatter{CreateEventA(nullptr, TRUE, FALSE, "Local\\Lumen_Roll_V1.1 lumen_send turn")};
    ASSERT_TRUE(squatter);
    const std::string record = folder.File("record.txt");
    const Outcome outcome = Run_Send(folder, "--protocol 1.1 --viewer \"" + Windows_Path(FAKE_VIEWER_EXE) + "\" --editor \"" +
                                                 record + "\"", "a.c:1:x\n");
    EXPECT_EQ(outcome.Exit_Code, 2u);
    EXPECT_TRUE(Contains(outcome.Errors, "SEND.VIEWER.NO_TURN: cannot take turns with other runs: the name "
                                         "\"Local\\Lumen_Roll_V1.1 lumen_send turn\" is held by an object that is "
                                         "not a mutex (system error 6)"))
        << outcome.Errors;
    EXPECT_FALSE(Test_Support::File_Exists(record)) << "the viewer was started";
}

// The run's viewer (a stand-in that never opens its pipe) is up when another process serves the
// pipe: the run opens it, sees whose it is, and sends nothing.
TEST(Send_Program, Talks_Only_To_The_Viewer_It_Started)
{
    Temporary_Folder folder;
    const char* const idle_name = "Local\\lumen_send_tests idle viewer";
    const Windows::Unique_Handle idle_end{CreateEventA(nullptr, TRUE, FALSE, idle_name)};
    Test_Support::Scoped_Variable idle("LUMEN_FAKE_VIEWER_IDLE", idle_name);
    Running_Send run(folder, "send", "--protocol 1.1 --timeout 3 --viewer \"" + Windows_Path(FAKE_VIEWER_EXE) + "\"",
                     "a.c:1:x\n");
    ASSERT_TRUE(Viewer_Harness::Wait_Until([&] { return Children_Of(run.Id()).size() == 1; }, 10s));
    Test_Viewer other_host(0, Test_Viewer::Ending::Read_Final_Message);
    const Outcome outcome = run.Finish();
    SetEvent(idle_end.get());
    EXPECT_EQ(outcome.Exit_Code, 2u);
    EXPECT_TRUE(Contains(outcome.Errors, "SEND.VIEWER.NOT_REACHED: no pipe Lumen_Roll_V1.1 of the viewer started"))
        << outcome.Errors;
    EXPECT_TRUE(other_host.Finish().empty()) << "lumen_send talked to another host's viewer";
    EXPECT_TRUE(Contains(other_host.Failure(), "WINDOWS.PIPE.BROKEN")) << "not opened: " << other_host.Failure();
}

// git grep's output as git 2.39 printed it over data/git_names (café.txt quoted, "with blank.txt"
// not), and a minified line of 5,000 bytes with a hit at column 4,000, into the real viewer.
TEST(Send_Program, Real_Tool_Output_Reaches_The_Viewer_With_Its_Names_And_Marks)
{
    Temporary_Folder folder;
    std::string minified;
    for (int at = 0; minified.size() < 5000; ++at) minified += "a" + std::to_string(at) + "=b(" + std::to_string(at) + ");";
    minified.resize(5000);
    minified.replace(3999, 6, "NEEDLE");
    const std::string input = Data("git_grep.txt") + "app.min.js:1:4000:" + minified + "\n";
    Test_Support::Scoped_Folder in_names(Data_Folder + "\\git_names");
    Running_Send run(folder, "send", "--stats --viewer \"" + Windows_Path(LUMEN_ROLL_EXE) + "\"", input);
    const Outcome outcome = run.Finish();
    EXPECT_EQ(outcome.Exit_Code, 0u) << outcome.Errors;
    EXPECT_TRUE(Contains(outcome.Errors, "1 line longer than 1024 bytes cut")) << outcome.Errors;
    EXPECT_TRUE(Contains(outcome.Output, " cut_lines=1")) << outcome.Output;
    Started_Viewer started(run.Id());
    ASSERT_TRUE(started.Found());
    std::map<std::string, std::string> entry_of_file;
    for (const Viewer_Harness::Tree_Node& file : started.Tree(6)) {
        ASSERT_EQ(file.Children.size(), 1u) << file.Text;
        entry_of_file[file.Text] = file.Children[0].Text;
    }
    EXPECT_EQ(entry_of_file["caf\xE9.txt"], "soup, then \x95TODO: dessert");
    EXPECT_EQ(entry_of_file["with blank.txt"], "\x95TODO: a name with a blank");
    const std::string& cut = entry_of_file["app.min.js"];
    EXPECT_EQ(cut.size(), Places::Message_Limit + 1); // and the marker
    EXPECT_TRUE(cut.starts_with("...") && cut.ends_with("...")) << cut;
    EXPECT_TRUE(Contains(cut, "\x95NEEDLE")) << cut;
}
