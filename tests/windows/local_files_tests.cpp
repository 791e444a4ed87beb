#include "windows/local_files.hpp"

#include "support/paths.hpp"
#include "tests/test_support.hpp"
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

} // namespace
