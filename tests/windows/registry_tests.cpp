#include "windows/registry.hpp"

#include "tests/test_support.hpp"
#include "tests/windows/platform_test_support.hpp"
#include "windows/unique_handle.hpp"

#include <windows.h>
#include <aclapi.h>

#include <string>

namespace {

namespace Registry = Windows::Registry;
using Registry::Registry_Root;
using Platform_Test_Support::Open_Handle_Count;

const std::string Test_Path = "Software\\Lumen_Roll_Tests\\Registry";
const std::wstring Wide_Test_Path = L"Software\\Lumen_Roll_Tests\\Registry";
const char* const Root_Value = "Lumen_Roll_Tests_Root_Value";

void Remove_Test_Keys(HKEY root)
{
    RegDeleteTreeA(root, Test_Path.c_str());
    RegDeleteKeyA(root, "Software\\Lumen_Roll_Tests"); // only when no other test keys are left
}

// Values written and read through the system itself, not through the module.
void Write_Value(const std::string& path, const char* name, DWORD type, const void* data, DWORD size)
{
    ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, path.c_str(), name, type, data, size), ERROR_SUCCESS);
}

void Write_String(const std::string& name, const std::string& value)
{
    Write_Value(Test_Path, name.c_str(), REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1));
}

DWORD Read_Dword(const std::string& path, const char* name, DWORD* type)
{
    DWORD data = 0;
    DWORD size = sizeof data;
    RegGetValueA(HKEY_CURRENT_USER, path.c_str(), name, RRF_RT_ANY, type, &data, &size);
    return data;
}

// Runs first, while the module is as the program finds it at start-up.
TEST(Registry_Start, Root_Of_The_Current_User_Is_The_Current_Key)
{
    const DWORD value = 0x1234;
    ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, nullptr, Root_Value, REG_DWORD, &value, sizeof value), ERROR_SUCCESS);
    EXPECT_FALSE(Registry::Root_Is_Local_Machine());
    EXPECT_EQ(Registry::Current_Key_Path(), L"");
    EXPECT_EQ(Registry::Dword_Value(Root_Value), 0x1234u);
    RegDeleteValueA(HKEY_CURRENT_USER, Root_Value);
}

class Registry_Test : public testing::Test {
protected:
    void SetUp() override
    {
        Registry::Set_Root(Registry_Root::Current_User);
        Remove_Test_Keys(HKEY_CURRENT_USER);
        Windows::Unique_Key key;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, Test_Path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  key.put(), nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override
    {
        Registry::Set_Root(Registry_Root::Current_User); // lets go of the key under test
        Remove_Test_Keys(HKEY_CURRENT_USER);
    }
};

TEST_F(Registry_Test, Created_Key_Becomes_Current_And_Takes_Values)
{
    Registry::Create_Key(Test_Path + "\\Metrics");
    Registry::Set_Dword_Value("Width", 640);
    Registry::Set_Dword_Value("X-Position", 0xFFFFFFF6);
    EXPECT_EQ(Registry::Dword_Value("Width"), 640u);
    DWORD type = 0;
    EXPECT_EQ(Read_Dword(Test_Path + "\\Metrics", "X-Position", &type), 0xFFFFFFF6u);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));

    // Creating an existing key opens it, values and all.
    Registry::Set_Root(Registry_Root::Current_User);
    Registry::Create_Key(Test_Path + "\\Metrics");
    EXPECT_EQ(Registry::Dword_Value("Width"), 640u);
}

TEST_F(Registry_Test, Failed_Create_Or_Open_Leaves_The_Current_Key_Current)
{
    Write_String("Log", "Z:\\tmp\\view.log");
    Registry::Open_Key(Test_Path);
    EXPECT_FAILURE(Registry::Open_Key(Test_Path + "\\Missing"), Registry::KEY_NOT_FOUND);
    EXPECT_FAILURE(Registry::Open_Key(std::wstring(Wide_Test_Path + L"\\Missing")), Registry::KEY_NOT_FOUND);
    EXPECT_FAILURE(Registry::Create_Key(std::string(300, 'k')), Registry::KEY_CREATION_FAILURE);
    EXPECT_EQ(Registry::String_Value("Log"), "Z:\\tmp\\view.log");
    EXPECT_EQ(Registry::Current_Key_Path(), Wide_Test_Path);
}

TEST_F(Registry_Test, Replacing_The_Current_Key_Closes_It_But_Never_A_Root)
{
    const ULONG before = Open_Handle_Count();
    ASSERT_GT(before, 0u) << "the system did not tell this process's handles";
    Registry::Open_Key(Test_Path);
    Registry::Create_Key(Test_Path + "\\Other");
    Registry::Open_Key(std::wstring(Wide_Test_Path));
    EXPECT_EQ(Open_Handle_Count(), before + 1) << "only the current key stays open";
    Registry::Open_Key("");
    EXPECT_EQ(Open_Handle_Count(), before);
    EXPECT_EQ(Registry::Current_Key_Path(), L"");

    // The root stays usable however often it is selected.
    Registry::Set_Root(Registry_Root::Current_User);
    Registry::Set_Root(Registry_Root::Current_User);
    Registry::Open_Key(std::wstring());
    Registry::Set_Dword_Value(Root_Value, 7);
    EXPECT_EQ(Registry::Dword_Value(Root_Value), 7u);
    RegDeleteValueA(HKEY_CURRENT_USER, Root_Value);
}

TEST_F(Registry_Test, Current_Key_Path_Has_The_Stored_Case_And_Reopens_The_Key)
{
    Registry::Create_Key(Test_Path + "\\Level_One\\Level_Two");
    Registry::Set_Root(Registry_Root::Current_User);
    EXPECT_EQ(Registry::Current_Key_Path(), L"");

    Registry::Open_Key("SOFTWARE\\lumen_roll_tests\\registry\\level_one\\LEVEL_TWO");
    const std::wstring path = Registry::Current_Key_Path();
    EXPECT_EQ(path, Wide_Test_Path + L"\\Level_One\\Level_Two");
    Registry::Set_Dword_Value("Marker", 42);

    // Save, wander off, restore: what the log does around its own work.
    const bool local_machine = Registry::Root_Is_Local_Machine();
    Registry::Set_Root(Registry_Root::Current_User);
    Registry::Open_Key(Test_Path);
    Registry::Set_Root(local_machine ? Registry_Root::Local_Machine : Registry_Root::Current_User);
    Registry::Open_Key(path);
    EXPECT_EQ(Registry::Dword_Value("Marker"), 42u);
}

TEST_F(Registry_Test, Keys_Under_The_Machine_Root)
{
    Registry::Set_Root(Registry_Root::Local_Machine);
    EXPECT_TRUE(Registry::Root_Is_Local_Machine());
    try {
        Registry::Create_Key(Test_Path + "\\Machine");
    } catch (const Registry::KEY_CREATION_FAILURE&) {
        GTEST_SKIP() << "this system refuses writes to HKEY_LOCAL_MACHINE";
    }
    Registry::Set_Dword_Value("Log Limit", 3);
    EXPECT_EQ(Registry::Current_Key_Path(), Wide_Test_Path + L"\\Machine");

    Registry::Set_Root(Registry_Root::Local_Machine);
    Registry::Open_Key(Test_Path + "\\Machine");
    EXPECT_EQ(Registry::Dword_Value("Log Limit"), 3u);
    // The same path under the user's root is another key.
    Registry::Set_Root(Registry_Root::Current_User);
    EXPECT_FALSE(Registry::Root_Is_Local_Machine());
    EXPECT_FAILURE(Registry::Open_Key(Test_Path + "\\Machine"), Registry::KEY_NOT_FOUND);
    Remove_Test_Keys(HKEY_LOCAL_MACHINE);
}

TEST_F(Registry_Test, String_Values_Fit_In_249_Characters)
{
    Write_String("Fits", std::string(249, 's'));
    Write_String("Too_Long", std::string(250, 's'));
    Write_String("Empty", "");
    Write_Value(Test_Path, "No_Data", REG_SZ, nullptr, 0);
    const DWORD number = 5;
    Write_Value(Test_Path, "Number", REG_DWORD, &number, sizeof number);
    Write_Value(Test_Path, "Expandable", REG_EXPAND_SZ, "%TEMP%", 7);
    Registry::Open_Key(Test_Path);

    EXPECT_EQ(Registry::String_Value("Fits"), std::string(249, 's'));
    EXPECT_FAILURE(Registry::String_Value("Too_Long"), Registry::OVERFLOW);
    EXPECT_EQ(Registry::String_Value("Empty"), "");
    EXPECT_EQ(Registry::String_Value("No_Data"), "");
    EXPECT_FAILURE(Registry::String_Value("Number"), Registry::WRONG_TYPE);
    EXPECT_FAILURE(Registry::String_Value("Expandable"), Registry::WRONG_TYPE);
    EXPECT_FAILURE(Registry::String_Value("Missing"), Registry::ENTRY_NOT_FOUND);
}

TEST_F(Registry_Test, Dword_Values_Refuse_Other_Types_By_Their_Size)
{
    Write_String("Short", "a"); // 4 bytes in UTF-16 with the NUL: fits, wrong type
    Write_String("Long", "ab"); // 6 bytes: does not fit
    const BYTE two[] = {1, 2};
    Write_Value(Test_Path, "Binary", REG_BINARY, two, sizeof two);
    Registry::Open_Key(Test_Path);

    EXPECT_FAILURE(Registry::Dword_Value("Short"), Registry::WRONG_TYPE);
    EXPECT_FAILURE(Registry::Dword_Value("Long"), Registry::ENTRY_NOT_FOUND);
    EXPECT_FAILURE(Registry::Dword_Value("Binary"), Registry::WRONG_TYPE);
    EXPECT_FAILURE(Registry::Dword_Value("Missing"), Registry::ENTRY_NOT_FOUND);

    Registry::Set_Dword_Value("Long", 9);
    DWORD type = 0;
    EXPECT_EQ(Read_Dword(Test_Path, "Long", &type), 9u);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
}

// A key whose access list allows reading (and removal) but no writing.
void Make_Read_Only(const std::string& path)
{
    Windows::Unique_Key key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(),
                              nullptr),
              ERROR_SUCCESS);
    const DWORD value = 11;
    ASSERT_EQ(RegSetValueExA(key.get(), "Setting", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value),
              ERROR_SUCCESS);
    char everyone[] = "EVERYONE";
    EXPLICIT_ACCESSA access{};
    access.grfAccessPermissions = KEY_READ | DELETE | WRITE_DAC;
    access.grfAccessMode = SET_ACCESS;
    access.Trustee.TrusteeForm = TRUSTEE_IS_NAME;
    access.Trustee.ptstrName = everyone;
    PACL list = nullptr;
    ASSERT_EQ(SetEntriesInAclA(1, &access, nullptr, &list), ERROR_SUCCESS);
    const DWORD result = SetSecurityInfo(key.get(), SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION |
                                         PROTECTED_DACL_SECURITY_INFORMATION, nullptr, nullptr, list, nullptr);
    LocalFree(list);
    ASSERT_EQ(result, ERROR_SUCCESS);
}

TEST_F(Registry_Test, Key_Without_Write_Access_Opens_Read_Only)
{
    const std::string path = Test_Path + "\\Read_Only";
    Make_Read_Only(path);
    {
        Windows::Unique_Key probe;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_SET_VALUE, probe.put()) == ERROR_SUCCESS)
            GTEST_SKIP() << "this system does not enforce registry access lists";
    }
    Registry::Open_Key(path);
    EXPECT_EQ(Registry::Dword_Value("Setting"), 11u);
    EXPECT_FAILURE(Registry::Set_Dword_Value("Setting", 12), Registry::ENTRY_CREATION_FAILURE);
    Registry::Set_Root(Registry_Root::Current_User);
    Registry::Open_Key(std::wstring(Wide_Test_Path + L"\\Read_Only"));
    EXPECT_EQ(Registry::Dword_Value("Setting"), 11u);
}

} // namespace
