// Stands in for the user's editor in the viewer's tests: appends one line to the file named by
// the environment variable LUMEN_EDITOR_STUB_OUTPUT, its arguments joined by '|', in UTF-8 as it
// read them from its wide command line. The line is one write, so a test that polls the file sees
// each start whole.

#include "windows/unique_handle.hpp"
#include "windows/windows.hpp"

#include <windows.h>

#include <string>
#include <vector>

int main()
{
    wchar_t output[MAX_PATH] = {};
    if (GetEnvironmentVariableW(L"LUMEN_EDITOR_STUB_OUTPUT", output, MAX_PATH) == 0) return 2;
    const std::vector<std::string> arguments = Windows::Program_Arguments();
    std::string line;
    for (std::size_t index = 0; index < arguments.size(); ++index) line += (index ? "|" : "") + arguments[index];
    line += '\n';
    Windows::Unique_File file{CreateFileW(output, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (!file) return 3;
    DWORD written = 0;
    return WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr) ? 0 : 4;
}
