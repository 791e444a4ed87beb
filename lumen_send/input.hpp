#pragma once
// The whole input of lumen_send as bytes, from a file or from standard input.

#include "support/failure.hpp"

#include <string>
#include <string_view>

namespace Send::Input {

using CANNOT_READ = Failures::Failure<"SEND.INPUT.CANNOT_READ">;

// Reads the file Path (UTF-8), or standard input for "-", to its end; bytes unchanged.
std::string Read_All(std::string_view path);

} // namespace Send::Input
