#include "windows/files.hpp"

#include "windows/unicode.hpp"

#include <windows.h>

namespace Windows::Files {

void Move_File(std::string_view source, std::string_view target)
{
    // No MOVEFILE_COPY_ALLOWED: a move to another volume is refused rather than copied.
    if (!MoveFileExW(Unicode::Wide(source).c_str(), Unicode::Wide(target).c_str(), MOVEFILE_REPLACE_EXISTING))
        throw FILE_NOT_FOUND();
}

void Delete_File(std::string_view name)
{
    if (DeleteFileW(Unicode::Wide(name).c_str())) return;
    if (GetLastError() != ERROR_FILE_NOT_FOUND) throw ACCESS_DENIED();
}

bool Is_File(std::string_view name)
{
    const DWORD attributes = GetFileAttributesW(Unicode::Wide(name).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace Windows::Files
