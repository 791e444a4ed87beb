// The preview's text made from real files in a temporary folder: which lines, their numbers, the
// highlighted line and the selected character, the encodings, and what is shown instead of a file
// that cannot be.

#include "viewer/preview_text.hpp"
#include "tests/test_support.hpp"
#include "windows/unique_handle.hpp"

#include <windows.h>

#include <string>
#include <vector>

namespace {

using namespace Control::Preview_Text;
using namespace std::string_literals;

std::string Numbered_Lines(int count, const std::string& end = "\n")
{
    std::string text;
    for (int line = 1; line <= count; ++line) text += "line " + std::to_string(line) + end;
    return text;
}

// The numbers in front of the pane's lines.
std::vector<int> Numbers(const Gui::Pane_Text& text)
{
    std::vector<int> numbers;
    for (const std::wstring& line : text.Lines) numbers.push_back(std::stoi(line));
    return numbers;
}

std::vector<int> Range(int first, int last)
{
    std::vector<int> numbers;
    for (int number = first; number <= last; ++number) numbers.push_back(number);
    return numbers;
}

std::string Narrowed(const std::wstring& text) { return std::string(text.begin(), text.end()); }
std::wstring Widened(const std::string& text) { return std::wstring(text.begin(), text.end()); }

std::wstring Selected(const Gui::Pane_Text& text)
{
    if (text.Highlighted_Line < 0) return L"<no highlighted line>";
    return text.Lines.at(static_cast<std::size_t>(text.Highlighted_Line)).substr(text.Selection_Start, text.Selection_Length);
}

class Preview_Text_Test : public ::testing::Test {
protected:
    Test_Support::Temporary_Folder folder_;

    std::string File(const std::string& name, const std::string& bytes)
    {
        const std::string path = folder_.File(name);
        Test_Support::Write_File(path, bytes);
        return path;
    }
};

TEST_F(Preview_Text_Test, The_Place_Is_Among_The_Middle_Lines_With_At_Least_Three_Around_It)
{
    const std::string twenty = File("twenty.txt", Numbered_Lines(20));
    const std::string three = File("three.txt", "one\ntwo\nthree"); // no line feed at the end
    struct Case {
        const char* Name;
        std::string File;
        std::uint32_t Line;
        int Fitting;
        std::vector<int> Numbers;
        std::ptrdiff_t Highlighted;
    };
    const Case cases[] = {
        {"middle", twenty, 10, 9, Range(6, 14), 4},
        {"even count", twenty, 10, 8, Range(7, 14), 3},
        {"near the start", twenty, 2, 9, Range(1, 9), 1},
        {"near the end", twenty, 19, 9, Range(12, 20), 7},
        {"last line", twenty, 20, 9, Range(12, 20), 8},
        {"less room than the context", twenty, 10, 2, Range(7, 13), 3},
        {"file node", twenty, 0, 5, Range(1, 7), -1},
        {"short file", three, 2, 9, Range(1, 3), 1},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.Name);
        const Gui::Pane_Text text = Read({test.File, test.Line, 1}, test.Fitting);
        EXPECT_EQ(Numbers(text), test.Numbers);
        EXPECT_EQ(text.Highlighted_Line, test.Highlighted);
    }
    const Gui::Pane_Text text = Read({twenty, 10, 3}, 9);
    EXPECT_EQ(text.Lines[0], L" 6  line 6") << "numbers right-aligned to the widest";
    EXPECT_EQ(text.Lines[4], L"10  line 10");
    EXPECT_EQ(text.Selection_Start, 6u);
    EXPECT_EQ(Selected(text), L"n");
    EXPECT_EQ(Read({three, 3, 1}, 9).Lines.back(), L"3  three");
}

// The column is the one the host sent, counted in the ANSI text that the tree shows, where each
// character that code page 1252 lacks is one "?".
TEST_F(Preview_Text_Test, Each_Encoding_Is_Read_As_Written_And_The_Column_Selects_The_Same_Character)
{
    const std::wstring mixed = L"\u0141ukasz \u041f\u0440\u0438\u0432\u0435\u0442 caf\u00e9 \U0001F600!";
    auto utf8 = [](const std::wstring& text) {
        std::string bytes(text.size() * 4, '\0');
        bytes.resize(WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), bytes.data(), int(bytes.size()),
                                         nullptr, nullptr));
        return bytes;
    };
    auto utf16 = [](const std::wstring& text, bool big_endian) {
        std::string bytes;
        for (wchar_t unit : text) {
            const char low = char(unit & 0xFF), high = char(unit >> 8);
            bytes += big_endian ? std::string{high, low} : std::string{low, high};
        }
        return bytes;
    };
    const std::wstring lines = L"first\r\n" + mixed + L"\r\nlast\r\n";
    struct Case {
        const char* Name;
        std::string Bytes;
        std::wstring Line;
        std::uint32_t Column;
        std::wstring Selected;
    };
    const Case cases[] = {
        {"UTF-8", utf8(lines), mixed, 8, L"\u041f"},
        {"UTF-8 with its mark", "\xEF\xBB\xBF" + utf8(lines), mixed, 1, L"\u0141"},
        {"UTF-16 little-endian", "\xFF\xFE" + utf16(lines, false), mixed, 20, L"\U0001F600"},
        {"UTF-16 big-endian", "\xFE\xFF" + utf16(lines, true), mixed, 21, L"!"},
        {"ANSI", "first\r\ncaf\xE9 \x80 na\xEFve\r\nlast\n", L"caf\u00e9 \u20ac na\u00efve", 4, L"\u00e9"},
        {"ANSI that starts as UTF-8 would", "x\nna\xEFve\n", L"na\u00efve", 3, L"\u00ef"},
        {"column past the end", utf8(lines), mixed, 40, L""},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.Name);
        const Gui::Pane_Text text = Read({File("encoded.txt", test.Bytes), 2, test.Column}, 7);
        ASSERT_EQ(text.Highlighted_Line, 1);
        EXPECT_EQ(text.Lines[1], L"2  " + test.Line);
        EXPECT_EQ(Selected(text), test.Selected);
    }
}

TEST_F(Preview_Text_Test, A_File_That_Cannot_Be_Shown_Gives_One_Line_That_Says_Why)
{
    const std::string missing = folder_.File("missing.txt");
    const std::string binary = File("binary.dat", "text\n" + std::string(100, 'x') + '\0' + "\nmore\n");
    const std::string twenty = File("twenty.txt", Numbered_Lines(20));
    const std::string one = File("one.txt", "only\n");
    const std::string empty = File("empty.txt", "");
    const std::string share = "\\\\server\\share\\a.txt";
    struct Case {
        std::string File;
        std::uint32_t Line;
        std::wstring Text;
    };
    auto wide = [](const std::string& text) { return std::wstring(text.begin(), text.end()); };
    const Case cases[] = {
        {missing, 1, L"File not found: " + wide(missing)},
        {folder_.File("no_folder\\a.txt"), 1, L"File not found: " + wide(folder_.File("no_folder\\a.txt"))},
        {binary, 1, L"Binary file: " + wide(binary)},
        {twenty, 21, L"Line 21 is past the end of " + wide(twenty) + L" (20 lines)"},
        {one, 2, L"Line 2 is past the end of " + wide(one) + L" (1 line)"},
        {empty, 1, L"Line 1 is past the end of " + wide(empty) + L" (0 lines)"},
        {folder_.Path(), 1, L"Not a file but a folder: " + wide(folder_.Path())},
        {"NUL", 1, L"Not a file: NUL"},
        {folder_.File("com1.txt"), 1, L"Not a file: " + wide(folder_.File("com1.txt"))},
        {"\\\\.\\pipe\\Lumen_Roll_V1.1", 1, L"Not a file: \\\\.\\pipe\\Lumen_Roll_V1.1"},
        {share, 1, L"Not read, the file is on another computer: " + wide(share)},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.File);
        const Gui::Pane_Text text = Read({test.File, test.Line, 1}, 9);
        EXPECT_EQ(text.Lines, std::vector<std::wstring>{test.Text});
        EXPECT_EQ(text.Highlighted_Line, -1);
    }
    EXPECT_TRUE(Read({empty, 0, 0}, 9).Lines.empty()) << "an empty file's node shows nothing";

    // Another program holds the file without sharing it: the system's own words.
    const HANDLE held = CreateFileA(twenty.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const std::vector<std::wstring> refused = Read({twenty, 1, 1}, 9).Lines;
    CloseHandle(held);
    ASSERT_EQ(refused.size(), 1u);
    EXPECT_TRUE(refused[0].starts_with(L"Cannot read " + wide(twenty) + L": ")) << Narrowed(refused[0]);
    EXPECT_GT(refused[0].size(), (L"Cannot read " + wide(twenty) + L": ").size() + 10) << "with the system's message";
}

// Every spelling that reaches a share, a device or a pipe is refused before anything is opened,
// and a name is read only as the file it spells, by the full path it makes.
TEST_F(Preview_Text_Test, Only_Files_On_Local_Drives_Are_Read_Whatever_The_Spelling)
{
    const std::string twenty = File("twenty.txt", Numbered_Lines(20));
    const std::wstring remote = L"Not read, the file is on another computer: ";
    const std::pair<std::string, std::wstring> cases[] = {
        {"//server/share/a.txt", remote + L"//server/share/a.txt"},
        {"\\??\\UNC\\host\\share\\x.c", remote + L"\\??\\UNC\\host\\share\\x.c"},
        {"\\\\?\\unc\\host\\share\\x.c", remote + L"\\\\?\\unc\\host\\share\\x.c"},
        {"//./UNC/host/share/x.c", remote + L"//./UNC/host/share/x.c"},
        {"//./pipe/Lumen_Roll_V1.1", L"Not a file: //./pipe/Lumen_Roll_V1.1"},
        {"\\??\\C:\\x.txt", L"Not a file: \\??\\C:\\x.txt"},
        {"COM1:", L"Not a file: COM1:"},
        {"src\\lpt0.c", L"Not a file: src\\lpt0.c"},
        {"x.bat\0.txt"s, L"Not read, the name holds a control character: x.bat\u2400.txt"},
        {"a\tb.txt", L"Not read, the name holds a control character: a\u2409b.txt"},
    };
    for (const auto& [name, text] : cases) {
        SCOPED_TRACE(Narrowed(text));
        EXPECT_EQ(Read({name, 1, 1}, 9).Lines, std::vector<std::wstring>{text});
    }
    // "twenty.txt\." is twenty.txt to the system, but not the name that was checked.
    const std::vector<std::wstring> dotted = Read({twenty + "\\.", 1, 1}, 9).Lines;
    ASSERT_EQ(dotted.size(), 1u);
    EXPECT_TRUE(dotted[0].starts_with(L"Not read: " + Widened(twenty) + L"\\. is read by the system as "))
        << Narrowed(dotted[0]);
    EXPECT_EQ(Read({folder_.File("sub\\..\\twenty.txt"), 2, 1}, 3).Lines.at(1), L"2  line 2");
}

// A host waits on this pipe: opening its name would connect to it, as the name does reach it.
TEST_F(Preview_Text_Test, The_Viewers_Pipe_Is_Never_Opened)
{
    const Windows::Unique_Handle server{
        CreateNamedPipeA("\\\\.\\pipe\\Lumen_Roll_V1.1", PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                         PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE, 1, 1024, 1024, 0, nullptr)};
    ASSERT_TRUE(server);
    for (const std::string name :
         {"//./pipe/Lumen_Roll_V1.1", "\\\\.\\pipe\\Lumen_Roll_V1.1", "//?/pipe/Lumen_Roll_V1.1"})
        EXPECT_EQ(Read({name, 1, 1}, 9).Lines, std::vector<std::wstring>{L"Not a file: " + Widened(name)});
    const Windows::Unique_Handle connected{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    OVERLAPPED waiting{};
    waiting.hEvent = connected.get();
    EXPECT_FALSE(ConnectNamedPipe(server.get(), &waiting));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_IO_PENDING}) << "ERROR_PIPE_CONNECTED (535): the preview opened the pipe";
    const Windows::Unique_File client{
        CreateFileA("//./pipe/Lumen_Roll_V1.1", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr)};
    EXPECT_TRUE(client) << "the name does not reach the pipe: the test proves nothing";
    CancelIo(server.get());
}

// Control characters would break the pane's lines; a NUL after the probe is no binary file.
TEST_F(Preview_Text_Test, Long_Lines_Are_Cut_And_Control_Characters_Shown_As_Pictures)
{
    const std::string long_line(Longest_Line + 500, 'a');
    const std::string nul_late = std::string(Binary_Probe + 10, 'x') + "\n" + std::string("a\0b\rc\fd\n", 9);
    const std::string file = File("long.txt", "short\n" + long_line + "\n" + std::string(100000, 'b') + "\n");
    const Gui::Pane_Text text = Read({file, 2, 4200}, 7);
    EXPECT_EQ(text.Lines[1], L"2  " + std::wstring(Longest_Line, L'a') + L"...");
    EXPECT_EQ(Selected(text), L"...") << "a column beyond the cut selects the mark";
    EXPECT_EQ(text.Lines[2].size(), 3 + Longest_Line + 3);
    EXPECT_EQ(Selected(Read({file, 2, 4000}, 7)), L"a");

    const std::string late = File("late.txt", nul_late);
    const Gui::Pane_Text controls = Read({late, 2, 5}, 7);
    EXPECT_EQ(controls.Lines.at(1), L"2  a\u2400b\u240Dc\u240Cd");
    EXPECT_EQ(Selected(controls), L"c");
}

// The reading asks whether it is still wanted before each block of the file it reads: line 1000 of
// this file lies in its first block (of 64 KB), line 90000 near its megabyte's end.
TEST_F(Preview_Text_Test, Reading_Stops_Near_The_Last_Line_Shown_And_Gives_Up_When_Superseded)
{
    Test_Support::Write_File(folder_.File("big.txt"), Numbered_Lines(100000));
    ASSERT_TRUE(SetCurrentDirectoryA(folder_.Path().c_str()));
    int blocks = 0;
    const Gui::Pane_Text text = Read({"big.txt", 1000, 1}, 9, [&] { return ++blocks > 100; });
    EXPECT_EQ(Numbers(text), Range(996, 1004));
    EXPECT_EQ(blocks, 1) << "read beyond the block that holds the lines shown";

    blocks = 0;
    EXPECT_EQ(Numbers(Read({"big.txt", 90000, 1}, 9, [&] { return ++blocks > 100; })), Range(89996, 90004));
    EXPECT_EQ(blocks, static_cast<int>(Numbered_Lines(90004).size() / (64 * 1024)) + 1);
    blocks = 0;
    EXPECT_FAILURE(Read({"big.txt", 90000, 1}, 9, [&] { return ++blocks == 3; }), SUPERSEDED);
    EXPECT_EQ(blocks, 3);
    SetCurrentDirectoryA("C:\\");
}

TEST(Preview_Text, The_Character_Column_Maps_To_Its_Place_In_The_Line)
{
    struct Case {
        std::wstring Line;
        std::uint32_t Column;
        std::size_t Offset;
    };
    const Case cases[] = {
        {L"abc", 0, 0}, {L"abc", 1, 0}, {L"abc", 3, 2}, {L"abc", 4, 3}, {L"abc", 9, 3},
        {L"\u0141x", 2, 1}, {L"\U0001F600x", 2, 2}, {L"\U0001F600x\U0001F600y", 4, 5}, {L"\u00e9\u20ac\u4e2dz", 4, 3},
    };
    for (const Case& test : cases)
        EXPECT_EQ(Offset_Of_Column(test.Line, test.Column), test.Offset) << test.Column;
}

} // namespace
