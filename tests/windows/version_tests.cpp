// Linked into a test program that carries the program's own version resource.
#include "windows/version.hpp"

#include "tests/test_support.hpp"
#include "windows/windows.hpp"

#include <windows.h>

namespace {

namespace Version = Windows::Version;

TEST(Version, Own_Resource_Names_The_Product)
{
    EXPECT_EQ(Version::Get_Product_Name(), "Lumen_Roll");
    EXPECT_EQ(Version::Get_Product_Version(), "1.2");
    EXPECT_EQ(Version::Get_String_Value("CompanyName"), "Quillmark");
    EXPECT_FAILURE(Version::Get_String_Value("No Such Value"), Version::NO_VERSION_INFO);
}

TEST(Version, Module_File_Is_The_File_Holding_This_Code)
{
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    EXPECT_EQ(Version::Module_File(), std::string(path, length));
}

TEST(Version, Translation_Selects_The_String_Table)
{
    Version::Set_Translation(0x040704B0); // German, Unicode: not in the resource
    EXPECT_FAILURE(Version::Get_Product_Name(), Version::NO_VERSION_INFO);
    EXPECT_FAILURE(Version::Get_Product_Version(), Version::NO_VERSION_INFO);
    Version::Set_Translation(0x040904E4);
    EXPECT_EQ(Version::Get_Product_Name(), "Lumen_Roll");
}

TEST(Version, The_Icon_Is_There_By_Its_Name)
{
    EXPECT_NE(FindResourceA(nullptr, "LUMENROLL", RT_GROUP_ICON), nullptr);
    EXPECT_NE(LoadIconA(GetModuleHandleA(nullptr), "LumenRoll"), nullptr);
}

} // namespace
