#pragma once
// Whole-file operations by name (UTF-8).

#include "support/failure.hpp"

#include <string_view>

namespace Windows::Files {

using FILE_NOT_FOUND = Failures::Failure<"WINDOWS.FILES.FILE_NOT_FOUND">;
using ACCESS_DENIED = Failures::Failure<"WINDOWS.FILES.ACCESS_DENIED">;

// Renames Source to Target on the same volume, replacing an existing Target. Any refusal
// raises FILE_NOT_FOUND.
void Move_File(std::string_view source, std::string_view target);
// Deletes Name; a file that does not exist is not a failure.
void Delete_File(std::string_view name);
// Whether Name is there and is a file, not a folder.
bool Is_File(std::string_view name);

} // namespace Windows::Files
