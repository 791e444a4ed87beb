// Stands in for the user's editor in lumen_open's tests: appends its raw command line, as the
// system handed it over in UTF-16, in UTF-8 and with a line end to the file named by
// LUMEN_OPEN_STUB_OUTPUT. One write, so that a test polling the file sees each start whole. A GUI
// program, like the editors.

#include "windows/unique_handle.hpp"

#include <windows.h>

#include <string>

namespace {

std::string Utf8(const wchar_t* wide)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(size > 0 ? size : 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, text.data(), size, nullptr, nullptr);
    text.pop_back(); // the NUL
    return text;
}

} // namespace

int main()
{
    wchar_t output[MAX_PATH] = {};
    if (GetEnvironmentVariableW(L"LUMEN_OPEN_STUB_OUTPUT", output, MAX_PATH) == 0) return 2;
    const std::string line = Utf8(GetCommandLineW()) + "\n";
    Windows::Unique_File file{CreateFileW(output, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (!file) return 3;
    DWORD written = 0;
    return WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr) ? 0 : 4;
}
