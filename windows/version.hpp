#pragma once
// Text values of the version resource of the module file that holds this code: the program's
// own file, or the library's when the code is linked into a library.

#include "support/failure.hpp"

#include <cstdint>
#include <string>
#include <string_view>

namespace Windows::Version {

using NO_VERSION_INFO = Failures::Failure<"WINDOWS.VERSION.NO_VERSION_INFO">;

// "ProductName" and "ProductVersion" of the selected string table, in UTF-8.
std::string Get_Product_Name();
std::string Get_Product_Version();
// Any value of the selected string table; every missing piece raises NO_VERSION_INFO.
std::string Get_String_Value(std::string_view name);

// Selects the string table: language in the high 16 bits, code page in the low 16 bits.
// Initially 0x040904E4 (U.S. English, code page 1252). Not synchronised with readers.
void Set_Translation(std::uint32_t value);

// Full path of the module file whose resource is read; found once, on first use
// (NO_MODULE_INFORMATION of Windows when it cannot be).
const std::string& Module_File();

} // namespace Windows::Version
