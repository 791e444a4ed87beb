// Linked into a test program that carries no version resource at all.
#include "windows/version.hpp"

#include "tests/test_support.hpp"

#include <windows.h>

namespace {

namespace Version = Windows::Version;

TEST(Version_Missing, Every_Value_Is_Refused)
{
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    EXPECT_EQ(Version::Module_File(), std::string(path, length));
    EXPECT_FAILURE(Version::Get_Product_Name(), Version::NO_VERSION_INFO);
    EXPECT_FAILURE(Version::Get_Product_Version(), Version::NO_VERSION_INFO);
    EXPECT_FAILURE(Version::Get_String_Value(""), Version::NO_VERSION_INFO);
}

} // namespace
