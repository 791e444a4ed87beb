#include "windows/files_io.hpp"

#include "tests/test_support.hpp"
#include "windows/unique_handle.hpp"

#include <windows.h>

#include <string>
#include <vector>

namespace {

using Windows::Files::IO::File_Mode;
using Windows::Files::IO::Handle;
namespace IO = Windows::Files::IO;
using Test_Support::Read_File;
using Test_Support::Write_File;

// The size the system reports, whatever is still waiting in our buffer.
long long Size_On_Disk(const std::string& name)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(name.c_str(), GetFileExInfoStandard, &data)) return -1;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// True when nobody holds the file open (an exclusive open succeeds).
bool Is_Closed_Everywhere(const std::string& name)
{
    Windows::Unique_File probe(
        CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    return static_cast<bool>(probe);
}

std::vector<std::string> All_Lines(Handle& file)
{
    std::vector<std::string> lines;
    while (!file.End_Of_File()) lines.push_back(file.Get_Line());
    return lines;
}

std::vector<std::string> Lines_Of(const std::string& name, const std::string& bytes)
{
    Write_File(name, bytes);
    Handle file = Handle::Open(name, File_Mode::Reading);
    return All_Lines(file);
}

std::string Wide_Bytes(std::u16string_view text)
{
    std::string bytes;
    for (const char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

class Files_IO : public testing::Test {
protected:
    Test_Support::Temporary_Folder folder;
    const std::string name = folder.File("view.log");
};

// Writing

TEST_F(Files_IO, Create_Empties_An_Old_File_Or_Refuses_It_When_New_Only)
{
    Write_File(name, "old contents");
    Handle::Create(name, {.New_Only = false, .Share_Read = true}).Close();
    EXPECT_EQ(Read_File(name), "");
    Write_File(name, "old contents");
    EXPECT_FAILURE(Handle::Create(name, {.New_Only = true, .Share_Read = true}), IO::CREATION_FAILURE);
    EXPECT_EQ(Read_File(name), "old contents");
    EXPECT_FAILURE(Handle::Create(folder.File("no folder\\view.log"), {.New_Only = false, .Share_Read = true}),
                   IO::CREATION_FAILURE);
    Handle::Create(folder.File("fresh.log"), {.New_Only = true, .Share_Read = false}).Close();
    EXPECT_TRUE(Test_Support::File_Exists(folder.File("fresh.log")));
}

TEST_F(Files_IO, Lines_Wait_In_The_Buffer_Until_500_Bytes_Are_Full)
{
    Handle file = Handle::Create(name, {.New_Only = false, .Share_Read = true});
    const std::string line(25, 'L'); // 27 bytes with CR LF
    for (int number = 1; number <= 18; ++number) file.Put_Line(line);
    EXPECT_EQ(Size_On_Disk(name), 0);
    file.Put_Line(line); // the 19th line fills the buffer: 500 bytes go out at once
    EXPECT_EQ(Size_On_Disk(name), 500);
    file.Put_Line(line);
    EXPECT_EQ(Size_On_Disk(name), 500);
    EXPECT_EQ(file.Position(), 541u);
    file.Flush();
    EXPECT_EQ(Size_On_Disk(name), 540);
    file.Put_Line("");
    file.Close();
    std::string expected;
    for (int number = 1; number <= 20; ++number) expected += line + "\r\n";
    EXPECT_EQ(Read_File(name), expected + "\r\n");
}

TEST_F(Files_IO, A_Put_Of_Exactly_The_Free_Space_Is_Written_At_Once)
{
    Handle file = Handle::Create(name, {.New_Only = false, .Share_Read = true});
    file.Put(std::string(499, 'a'));
    EXPECT_EQ(Size_On_Disk(name), 0);
    file.Put("b");
    EXPECT_EQ(Size_On_Disk(name), 500);
    // A long item goes out in whole buffers; the rest waits.
    file.Put(std::string(1234, 'c'));
    EXPECT_EQ(Size_On_Disk(name), 1500);
    file.Put("");
    file.Close();
    EXPECT_EQ(Read_File(name), std::string(499, 'a') + "b" + std::string(1234, 'c'));
}

TEST_F(Files_IO, A_File_Shared_For_Reading_Can_Be_Read_While_It_Is_Written)
{
    Handle file = Handle::Create(name, {.New_Only = false, .Share_Read = true});
    file.Put_Line("Index for test");
    file.Flush();
    EXPECT_EQ(Read_File(name), "Index for test\r\n");
    file.Close();

    Handle exclusive = Handle::Create(name, {.New_Only = false, .Share_Read = false});
    Windows::Unique_File reader(CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                            OPEN_EXISTING, 0, nullptr));
    EXPECT_FALSE(reader);
}

TEST_F(Files_IO, Appending_Open_Adds_At_The_End_And_Holds_The_File_Alone)
{
    Write_File(name, "first\r\n");
    Handle file = Handle::Open(name, File_Mode::Appending);
    EXPECT_EQ(file.Position(), 8u);
    EXPECT_FAILURE(Handle::Open(name, File_Mode::Reading), IO::FILE_NOT_FOUND);
    file.Put_Line("second");
    file.Close();
    EXPECT_EQ(Read_File(name), "first\r\nsecond\r\n");
    EXPECT_FAILURE(Handle::Open(folder.File("missing.log"), File_Mode::Appending), IO::FILE_NOT_FOUND);
}

TEST_F(Files_IO, Wide_Names_And_Wide_Text)
{
    const std::wstring wide_name = std::wstring(folder.Path().begin(), folder.Path().end()) + L"\\\x0444\x0430\x0439\x043B.txt";
    Handle file = Handle::Create(wide_name, {.New_Only = true, .Share_Read = true});
    file.Put_Line(std::wstring(L"\x00E9t\x00E9"));
    file.Put(std::wstring(L"\x20AC"));
    file.Close();

    Handle reader = Handle::Open(wide_name, File_Mode::Reading);
    EXPECT_EQ(reader.Get_Wide_Line(), L"\x00E9t\x00E9");
    EXPECT_EQ(reader.Get_Wide_Line(), L"\x20AC");
    EXPECT_TRUE(reader.End_Of_File());
    EXPECT_FAILURE(Handle::Open(wide_name + L"x", File_Mode::Reading), IO::FILE_NOT_FOUND);
    reader.Close();
    DeleteFileW(wide_name.c_str()); // the folder's clean-up sees only ANSI names
}

// Sharing and closing

TEST_F(Files_IO, Copies_Share_One_File_That_Closes_With_The_Last_Copy)
{
    {
        Handle first = Handle::Create(name, {.New_Only = false, .Share_Read = true});
        {
            Handle second = first;
            EXPECT_TRUE(second == first);
            second.Put_Line("from the copy");
        }
        EXPECT_FALSE(Is_Closed_Everywhere(name)) << "a copy going away must not close the file";
        first.Put_Line("from the original");
        Handle third;
        third = first;
        first = Handle(); // overwriting releases too
        EXPECT_FALSE(Is_Closed_Everywhere(name));
        Handle moved = std::move(third);
        EXPECT_EQ(Size_On_Disk(name), 0);
    }
    EXPECT_TRUE(Is_Closed_Everywhere(name));
    EXPECT_EQ(Read_File(name), "from the copy\r\nfrom the original\r\n");
}

TEST_F(Files_IO, A_Closed_File_Is_A_Bad_Handle_For_Every_Copy)
{
    Handle file = Handle::Create(name, {.New_Only = false, .Share_Read = true});
    Handle copy = file;
    file.Put("pending");
    file.Close();
    EXPECT_TRUE(Is_Closed_Everywhere(name));
    EXPECT_EQ(Read_File(name), "pending");
    EXPECT_FALSE(copy.Is_Open());
    EXPECT_FAILURE(file.Close(), IO::BAD_HANDLE);
    EXPECT_FAILURE(copy.Put_Line("late"), IO::BAD_HANDLE);
    EXPECT_FAILURE(copy.Flush(), IO::BAD_HANDLE);
    EXPECT_FAILURE(copy.Position(), IO::BAD_HANDLE);
    EXPECT_FAILURE(copy.Get_Line(), IO::BAD_HANDLE);

    Handle never_opened;
    EXPECT_FALSE(never_opened.Is_Open());
    EXPECT_FAILURE(never_opened.Put("x"), IO::BAD_HANDLE);
    EXPECT_FAILURE(never_opened.End_Of_File(), IO::BAD_HANDLE);
    EXPECT_FALSE(never_opened == file);
}

// Reading

TEST_F(Files_IO, Each_Terminator_Ends_A_Line_And_CR_LF_Counts_Once)
{
    EXPECT_EQ(Lines_Of(name, "a\r\nb\n\rc"), (std::vector<std::string>{"a", "b", "", "c"}));
    EXPECT_EQ(Lines_Of(name, "1\v2\f3\r\r4\n\n"), (std::vector<std::string>{"1", "2", "3", "", "4", ""}));
    EXPECT_EQ(Lines_Of(name, ""), std::vector<std::string>{});
}

TEST_F(Files_IO, Lines_Run_Across_Buffers)
{
    const std::string long_line(1200, 'x');
    EXPECT_EQ(Lines_Of(name, long_line), std::vector<std::string>{long_line});
    // CR as byte 500, LF as byte 501: one terminator.
    const std::string first(499, 'a');
    EXPECT_EQ(Lines_Of(name, first + "\r\nnext"), (std::vector<std::string>{first, "next"}));
    // A terminator as the very last byte of a full buffer.
    EXPECT_EQ(Lines_Of(name, first + "\nnext\r\n"), (std::vector<std::string>{first, "next"}));
    EXPECT_EQ(Lines_Of(name, std::string(500, 'b') + "\r\n"), std::vector<std::string>{std::string(500, 'b')});
}

TEST_F(Files_IO, At_The_End_Get_Line_Gives_Empty_Lines)
{
    Write_File(name, "only\r\n");
    Handle file = Handle::Open(name, File_Mode::Reading);
    EXPECT_EQ(file.Get_Line(), "only");
    EXPECT_TRUE(file.End_Of_File());
    EXPECT_EQ(file.Get_Line(), "");
    EXPECT_EQ(file.Get_Line(), "");
    EXPECT_EQ(file.Position(), 7u);
}

TEST_F(Files_IO, Wide_Lines_End_At_Every_Wide_Terminator_Without_Pairing)
{
    Write_File(name, Wide_Bytes(u"a\r\nb\x0085" u"c\x2028" u"d\x2029" u"e\x0A0D"));
    Handle file = Handle::Open(name, File_Mode::Reading);
    std::vector<std::wstring> lines;
    while (!file.End_Of_File()) lines.push_back(file.Get_Wide_Line());
    EXPECT_EQ(lines, (std::vector<std::wstring>{L"a", L"", L"b", L"c", L"d", L"e\x0A0D"}));
}

TEST_F(Files_IO, Wide_Code_Units_Split_By_The_Buffer_Boundary)
{
    // Three 8-bit bytes first, so that the wide text's code units straddle byte 500/501.
    const std::string lead = "xy\n";
    const std::u16string before(248, u'w');
    Write_File(name, lead + Wide_Bytes(before + u"\n" + u"tail" + u"\n") + "zz");
    {
        Handle file = Handle::Open(name, File_Mode::Reading);
        EXPECT_EQ(file.Get_Line(), "xy");
        EXPECT_EQ(file.Get_Wide_Line(), std::wstring(248, L'w')); // its LF is split
        EXPECT_EQ(file.Get_Wide_Line(), L"tail");
    }
    Write_File(name, lead + Wide_Bytes(before + u"\x0151" + u"rest" + u"\n"));
    Handle file = Handle::Open(name, File_Mode::Reading);
    file.Get_Line();
    EXPECT_EQ(file.Get_Wide_Line(), std::wstring(248, L'w') + L"\x0151rest"); // a split letter
    EXPECT_TRUE(file.End_Of_File());
}

TEST_F(Files_IO, A_Wide_Line_With_An_Odd_Byte_Count_Fails)
{
    Write_File(name, Wide_Bytes(u"ok\n") + "odd");
    Handle file = Handle::Open(name, File_Mode::Reading);
    EXPECT_EQ(file.Get_Wide_Line(), L"ok");
    EXPECT_FAILURE(file.Get_Wide_Line(), IO::END_ERROR);
}

TEST_F(Files_IO, Positioning_Rereads_Inside_And_Outside_The_Buffer)
{
    std::string bytes;
    for (int number = 0; number < 100; ++number) bytes += "line " + std::to_string(1000 + number) + "\n";
    Write_File(name, bytes); // 10 bytes per line
    Handle file = Handle::Open(name, File_Mode::Reading);
    EXPECT_EQ(file.Get_Line(), "line 1000");
    EXPECT_EQ(file.Position(), 11u);
    file.Set_Position(701);
    EXPECT_EQ(file.Get_Line(), "line 1070");
    file.Set_Position(711); // inside the buffer just read
    EXPECT_EQ(file.Get_Line(), "line 1071");
    file.Reset();
    EXPECT_EQ(file.Position(), 1u);
    EXPECT_EQ(All_Lines(file).size(), 100u);
    file.Set_Position(2000); // beyond the end
    EXPECT_TRUE(file.End_Of_File());
    EXPECT_FAILURE(file.Set_Position(0), Failures::RANGE_ERROR);
    EXPECT_FAILURE(file.Set_Position(0x80000001u), Failures::RANGE_ERROR);

    Handle writer = Handle::Create(folder.File("other.log"), {.New_Only = false, .Share_Read = true});
    EXPECT_FAILURE(writer.Set_Position(1), IO::WRONG_MODE);
    EXPECT_FAILURE(writer.Reset(), IO::WRONG_MODE);
}

TEST_F(Files_IO, Puts_Through_A_Reading_Handle_Are_Never_Written)
{
    Write_File(name, "read only");
    {
        Handle file = Handle::Open(name, File_Mode::Reading);
        file.Put("XX");
        file.Flush();
        file.Close();
    }
    EXPECT_EQ(Read_File(name), "read only");
    {
        Handle file = Handle::Open(name, File_Mode::Reading);
        file.Put("XX");
        EXPECT_FAILURE(file.Set_Position(5000), IO::END_ERROR); // the write-back has no write access
    }
    EXPECT_EQ(Read_File(name), "read only");
}

// Files of 2 GiB or more do not fit the 32-bit counters.
TEST_F(Files_IO, Files_Of_Two_GiB_Are_Out_Of_Range)
{
    {
        Windows::Unique_File big(CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        ASSERT_TRUE(big);
        LARGE_INTEGER size;
        size.QuadPart = 0x80000000LL;
        ASSERT_TRUE(SetFilePointerEx(big.get(), size, nullptr, FILE_BEGIN));
        if (!SetEndOfFile(big.get())) GTEST_SKIP() << "no room for a sparse 2 GiB file";
    }
    EXPECT_FAILURE(Handle::Open(name, File_Mode::Appending), Failures::RANGE_ERROR);
    EXPECT_TRUE(Is_Closed_Everywhere(name));

    // One byte less fits, and the next full buffer would not.
    {
        Windows::Unique_File big(CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        LARGE_INTEGER size;
        size.QuadPart = 0x7FFFFFFFLL - 100;
        SetFilePointerEx(big.get(), size, nullptr, FILE_BEGIN);
        SetEndOfFile(big.get());
    }
    Handle file = Handle::Open(name, File_Mode::Appending);
    EXPECT_EQ(file.Position(), 0x7FFFFFFFu - 99);
    EXPECT_FAILURE(file.Put(std::string(500, 'x')), Failures::RANGE_ERROR);
    file = Handle();
    EXPECT_EQ(Size_On_Disk(name), 0x7FFFFFFFLL - 100) << "nothing is written past the limit";
}

} // namespace
