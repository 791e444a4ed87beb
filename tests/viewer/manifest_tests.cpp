// The application manifest as the running programs see it. It binds comctl32.dll to version 6
// of the common controls, a side-by-side assembly kept under winsxs; without it comctl32.dll
// comes from system32. Under Wine the assembly's comctl32.dll is a copy of system32's, version
// resource (5.81) included, so the folder it was loaded from tells, not the file's version.

#include "support/text.hpp"
#include "test_tools/harness/viewer_harness.hpp"
#include "tests/test_support.hpp"

#include <gtest/gtest.h>

#include <psapi.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

namespace {

using namespace Viewer_Harness;

[[maybe_unused]] const bool viewer_chosen = (Use_Viewer_Program(LUMEN_ROLL_EXE), true);

constexpr std::string_view Assembly = "microsoft.windows.common-controls_6595b64144ccf1df_6.";

// The comctl32.dll files that Process has loaded, in lower case.
std::vector<std::string> Common_Controls_Of(HANDLE process)
{
    HMODULE modules[512] = {};
    DWORD size = 0;
    const bool listed = EnumProcessModulesEx(process, modules, sizeof modules, &size, LIST_MODULES_ALL);
    const DWORD error = GetLastError();
    EXPECT_TRUE(listed) << "error " << error;
    std::vector<std::string> found;
    for (DWORD index = 0; index < std::min<DWORD>(size / sizeof(HMODULE), std::size(modules)); ++index) {
        char path[MAX_PATH] = {};
        const DWORD length = GetModuleFileNameExA(process, modules[index], path, MAX_PATH);
        std::string name = Text::To_Lower(std::string_view(path, length));
        if (name.ends_with("\\comctl32.dll")) found.push_back(name);
    }
    return found;
}

TEST(Manifest, The_Viewer_Draws_With_Version_6_Of_The_Common_Controls)
{
    Test_Support::Temporary_Folder folder;
    Viewer_Settings settings(folder.File("viewer.log"));
    Viewer_Process viewer({"Lumen_Roll_V1.1"});
    Host host(viewer);
    ASSERT_NE(viewer.Tree_Window(), nullptr);
    const std::vector<std::string> loaded = Common_Controls_Of(viewer.Handle());
    ASSERT_EQ(loaded.size(), 1u);
    EXPECT_NE(loaded.front().find(Assembly), std::string::npos) << loaded.front();
}

// The GUI test programs carry the viewer's manifest, so the control tests run against the same
// common controls; this program is one of them. Its DPI setting is read from the manifest, not
// through IsProcessDPIAware, which under Wine answers true for every program.
TEST(Manifest, A_Gui_Test_Program_Is_Bound_To_Version_6_And_Declared_Dpi_Aware)
{
    ACTCTX_SECTION_KEYED_DATA redirection{sizeof redirection};
    const bool redirected = FindActCtxSectionStringA(0, nullptr, ACTIVATION_CONTEXT_SECTION_DLL_REDIRECTION,
                                                     "comctl32.dll", &redirection);
    const DWORD redirection_error = GetLastError();
    EXPECT_TRUE(redirected) << "error " << redirection_error;

    wchar_t dpi_aware[16] = {};
    SIZE_T written = 0;
    const bool found = QueryActCtxSettingsW(0, nullptr, L"http://schemas.microsoft.com/SMI/2005/WindowsSettings",
                                            L"dpiAware", dpi_aware, std::size(dpi_aware), &written);
    const DWORD setting_error = GetLastError();
    EXPECT_TRUE(found) << "error " << setting_error;
    EXPECT_STREQ(dpi_aware, L"true");
}

} // namespace
