// A child for the process tests: reports how it was started in "<its own path>.out", so that a
// test can see which program the system chose, its command line, environment and folder.
// It writes "probe output" to its standard output when that is a file.

#include <windows.h>

#include <string>

namespace {

std::string Own_Path()
{
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::string(path, length);
}

// The environment entries, each followed by a line feed.
std::string Environment_Lines()
{
    std::string lines;
    char* block = GetEnvironmentStringsA();
    for (const char* entry = block; *entry != '\0'; entry += std::string(entry).size() + 1) {
        lines += entry;
        lines += '\n';
    }
    FreeEnvironmentStringsA(block);
    return lines;
}

std::string Current_Folder()
{
    char folder[MAX_PATH];
    const DWORD length = GetCurrentDirectoryA(MAX_PATH, folder);
    return std::string(folder, length);
}

void Write_Whole_File(const std::string& path, const std::string& bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

} // namespace

int main()
{
    // Only into a file that the test handed over, not onto the test's console.
    const HANDLE standard_output = GetStdHandle(STD_OUTPUT_HANDLE);
    if (GetFileType(standard_output) == FILE_TYPE_DISK) {
        const std::string output = "probe output";
        DWORD written = 0;
        WriteFile(standard_output, output.data(), static_cast<DWORD>(output.size()), &written, nullptr);
    }

    const std::string report = "command=" + std::string(GetCommandLineA()) + "\n" + "folder=" + Current_Folder() +
                               "\n" + Environment_Lines();
    // Written aside and renamed, so that the test never sees half a report.
    const std::string path = Own_Path() + ".out";
    Write_Whole_File(path + ".part", report);
    MoveFileExA((path + ".part").c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
    return 0;
}
