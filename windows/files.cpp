#include "windows/files.hpp"

#include <windows.h>

#include <string>

namespace Windows::Files {

void Move_File(std::string_view source, std::string_view target)
{
    const std::string from(source);
    const std::string to(target);
    // No MOVEFILE_COPY_ALLOWED: a move to another volume is refused rather than copied.
    if (!MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) throw FILE_NOT_FOUND();
}

void Delete_File(std::string_view name)
{
    const std::string path(name);
    if (DeleteFileA(path.c_str())) return;
    if (GetLastError() != ERROR_FILE_NOT_FOUND) throw ACCESS_DENIED();
}

bool Is_File(std::string_view name)
{
    const std::string path(name);
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace Windows::Files
