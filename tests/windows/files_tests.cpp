#include "windows/files.hpp"

#include "tests/test_support.hpp"
#include "windows/unique_handle.hpp"

#include <windows.h>

namespace {

namespace Files = Windows::Files;
using Test_Support::File_Exists;
using Test_Support::Read_File;
using Test_Support::Write_File;

TEST(Files, Move_Replaces_An_Existing_Target)
{
    Test_Support::Temporary_Folder folder;
    Write_File(folder.File("view.log"), "new lines");
    Write_File(folder.File("view_2.log"), "old lines");
    Files::Move_File(folder.File("view.log"), folder.File("view_2.log"));
    EXPECT_FALSE(File_Exists(folder.File("view.log")));
    EXPECT_EQ(Read_File(folder.File("view_2.log")), "new lines");

    Files::Move_File(folder.File("view_2.log"), folder.File("fresh.log"));
    EXPECT_EQ(Read_File(folder.File("fresh.log")), "new lines");
}

TEST(Files, Move_Of_A_Missing_Source_Fails_And_Leaves_The_Target)
{
    Test_Support::Temporary_Folder folder;
    Write_File(folder.File("view_2.log"), "kept");
    EXPECT_FAILURE(Files::Move_File(folder.File("missing.log"), folder.File("view_2.log")), Files::FILE_NOT_FOUND);
    EXPECT_EQ(Read_File(folder.File("view_2.log")), "kept");
}

TEST(Files, Delete_Accepts_A_Missing_File)
{
    Test_Support::Temporary_Folder folder;
    Write_File(folder.File("stale.log"), "x");
    Files::Delete_File(folder.File("stale.log"));
    EXPECT_FALSE(File_Exists(folder.File("stale.log")));
    Files::Delete_File(folder.File("stale.log"));
}

TEST(Files, Delete_Of_A_File_Held_Open_Elsewhere_Is_Refused)
{
    Test_Support::Temporary_Folder folder;
    const std::string name = folder.File("held.log");
    Write_File(name, "x");
    {
        // Opened without delete sharing, as another program would hold it.
        Windows::Unique_File held(CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                              FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(held);
        EXPECT_FAILURE(Files::Delete_File(name), Files::ACCESS_DENIED);
    }
    EXPECT_TRUE(File_Exists(name));
    Files::Delete_File(name);
    EXPECT_FALSE(File_Exists(name));
}

} // namespace
