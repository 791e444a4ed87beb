// Stands in for the user's editor in the viewer's tests: appends one line to the file named by
// the environment variable LUMEN_EDITOR_STUB_OUTPUT, its arguments joined by '|'. The line is
// one write, so a test that polls the file sees each start whole.

#include "windows/unique_handle.hpp"

#include <windows.h>

#include <string>

int main(int argument_count, char** arguments)
{
    char output[MAX_PATH] = {};
    if (GetEnvironmentVariableA("LUMEN_EDITOR_STUB_OUTPUT", output, MAX_PATH) == 0) return 2;
    std::string line;
    for (int index = 1; index < argument_count; ++index) {
        if (index > 1) line += '|';
        line += arguments[index];
    }
    line += '\n';
    Windows::Unique_File file{CreateFileA(output, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (!file) return 3;
    DWORD written = 0;
    return WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr) ? 0 : 4;
}
