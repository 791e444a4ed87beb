#include "windows/local_files.hpp"

#include "support/paths.hpp"
#include "tests/test_support.hpp"
#include "windows/file_types.hpp"
#include "windows/files.hpp"
#include "windows/files_io.hpp"
#include "windows/program_search.hpp"
#include "windows/unicode.hpp"
#include "windows/unique_handle.hpp"

#include <windows.h>

namespace {

namespace Local_Files = Windows::Local_Files;
using namespace std::string_literals;

TEST(Paths, Device_Names_In_Every_Spelling)
{
    for (const char* device : {"CON", "con", "PRN", "AUX", "NUL", "NUL:", "COM1:", "CON.txt", "con .c", "COM0", "COM9",
                               "lpt0", "LPT9.log", "CONIN$", "conout$", "COM\xB9"})
        EXPECT_TRUE(Paths::Is_Device_Name(device)) << device;
    for (const char* name : {"CONSOLE", "COM10", "COMA", "nulls.txt", "LPT", "a.con", ""})
        EXPECT_FALSE(Paths::Is_Device_Name(name)) << name;
    EXPECT_TRUE(Paths::Names_A_Device("src\\nul\\x.c"));
    EXPECT_TRUE(Paths::Names_A_Device("C:com1"));
    EXPECT_FALSE(Paths::Names_A_Device("src/console/x.c"));
}

TEST(Local_Files, Refuses_Names_Outside_The_Drives)
{
    for (const char* name : {"\\\\host\\share\\x.c", "//host/share/x.c", "\\/host/share/x.c", "\\\\?\\C:\\x.c",
                             "\\??\\UNC\\host\\share\\x.c", "/?" "?/C:/x.c", "\\\\.\\pipe\\Lumen_Roll_V1.1",
                             "//./pipe/Lumen_Roll_V1.1", "COM1:", "sub\\CON.txt", "a.txt:stream", "x?.c", ""}) {
        const Local_Files::Decision decision = Local_Files::Canonical(name);
        EXPECT_FALSE(decision.Accepted()) << name;
        EXPECT_TRUE(decision.Path.empty()) << name;
    }
    EXPECT_EQ(Local_Files::Canonical("\\\\host\\share\\x.c").Refusal, "is on another computer");
    EXPECT_EQ(Local_Files::Canonical("x.bat\0.txt"s).Refusal, "holds a control character");
}

TEST(Local_Files, A_Name_The_System_Reads_As_Another_File_Is_Refused)
{
    Test_Support::Temporary_Folder folder;
    Test_Support::Write_File(folder.File("x.bat"), "@echo off");
    for (const std::string& name : {folder.File("x.bat") + "\\.", folder.File("x.bat") + " ", folder.File("x.bat") + "."})
        EXPECT_NE(Local_Files::Canonical(name).Refusal.find("is read by the system as"), std::string::npos) << name;

    const Local_Files::Decision plain = Local_Files::Canonical(folder.File("sub") + "\\..\\x.bat");
    ASSERT_TRUE(plain.Accepted()) << plain.Refusal;
    EXPECT_EQ(plain.Path, folder.File("x.bat"));
    Windows::Unique_File file{CreateFileA(plain.Path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                          nullptr)};
    ASSERT_TRUE(file);
    EXPECT_TRUE(Local_Files::Is_On_Local_Drive(file.get()));
}

// Names beyond the ANSI code page are UTF-8 here and the system's UTF-16 there: the file made under
// the name is the one the system lists, the canonical path keeps it, and every function that opens
// a file by name reaches it. The refusals look at the same ASCII bytes as before, and the port's
// superscript digit counts in its UTF-8 spelling too.
TEST(Local_Files, Names_Beyond_The_Code_Page_Are_Kept_Read_And_Found)
{
    namespace IO = Windows::Files::IO;
    Test_Support::Temporary_Folder folder;
    for (const std::string name : {"\xE6\x97\xA5\xE6\x9C\xAC.txt", "\xC3\x9Cn\xC3\xAF"
                                                                   "c\xC3\xB8"
                                                                   "d\xC3\xA9.txt"}) {
        const std::string path = folder.File(name);
        IO::Handle created = IO::Handle::Create(path, {.New_Only = true, .Share_Read = false});
        created.Put_Line(name);
        created.Close();
        EXPECT_NE(GetFileAttributesW(Windows::Unicode::Wide(path).c_str()), INVALID_FILE_ATTRIBUTES) << name;

        const Local_Files::Decision decision = Local_Files::Canonical(folder.File("sub") + "\\..\\" + name);
        ASSERT_TRUE(decision.Accepted()) << decision.Refusal;
        EXPECT_EQ(decision.Path, path);
        IO::Handle read = IO::Handle::Open(decision.Path, IO::File_Mode::Reading);
        EXPECT_EQ(read.Get_Line(), name);
        read.Close();
        EXPECT_EQ(Windows::File_Types::Refusal_At(decision.Path), "") << name;
        EXPECT_EQ(Windows::Program_Search::Find_In({folder.Path()}, name), path);
        for (const std::string& spelling : {path + "\\.", path + " "})
            EXPECT_NE(Local_Files::Canonical(spelling).Refusal.find("is read by the system as"), std::string::npos)
                << spelling;
        Windows::Files::Move_File(path, path + ".old");
        EXPECT_TRUE(Windows::Files::Is_File(path + ".old"));
        Windows::Files::Delete_File(path + ".old"); // the test folder's own clean-up lists 8-bit names
        EXPECT_FALSE(Windows::Files::Is_File(path + ".old"));
    }
    EXPECT_EQ(Local_Files::Canonical(folder.File("COM\xC2\xB9.txt")).Refusal, "names a device");
    EXPECT_EQ(Local_Files::Canonical(folder.File("\xE6\x97\xA5|.txt")).Refusal, "holds one of \" * ? < > |");
}

} // namespace
