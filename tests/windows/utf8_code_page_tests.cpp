// A process whose ANSI code page is UTF-8 (its manifest asks for it): what the programs take as
// ANSI text is UTF-8 already, and must reach the window, the log and the clipboard unchanged, not
// converted a second time.

#include "windows/unicode.hpp"
#include "tests/test_support.hpp"

#include <windows.h>

namespace {

using namespace Windows::Unicode;

TEST(Utf8_Code_Page, Ansi_Text_Is_Taken_As_It_Is)
{
    ASSERT_EQ(GetACP(), static_cast<UINT>(CP_UTF8)) << "the manifest's code page was not taken";
    EXPECT_TRUE(Ansi_Is_Utf8());
    for (const std::string text : {"caf\u00E9", "\u65E5\u672C\u8A9E", "\U0001F600 e\u0301", "plain"}) {
        EXPECT_EQ(Utf8_From_Ansi(text), text);
        EXPECT_EQ(Ansi_From_Utf8(text), text);
        EXPECT_TRUE(Ansi_Holds(text)) << text;
        EXPECT_EQ(Utf8(Wide(text)), text);
    }
}

} // namespace
