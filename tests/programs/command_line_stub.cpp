// Stands in for the user's editor in lumen_open's tests: appends its raw command line, as the
// system handed it over, and a line end to the file named by LUMEN_OPEN_STUB_OUTPUT. One write,
// so that a test polling the file sees each start whole. A GUI program, like the editors.

#include "windows/unique_handle.hpp"

#include <windows.h>

#include <string>

int main()
{
    char output[MAX_PATH] = {};
    if (GetEnvironmentVariableA("LUMEN_OPEN_STUB_OUTPUT", output, MAX_PATH) == 0) return 2;
    const std::string line = std::string(GetCommandLineA()) + "\n";
    Windows::Unique_File file{CreateFileA(output, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (!file) return 3;
    DWORD written = 0;
    return WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr) ? 0 : 4;
}
