#pragma once
// Fixed-width hexadecimal images (upper case, zero-padded, no prefix) and the bit-for-bit
// conversions between signed and unsigned 32-bit numbers.

#include <cstdint>
#include <string>

namespace Unsigned {

char Hex_Digit(unsigned value); // 0 .. 15; RANGE_ERROR above
std::string Hex_Image(std::uint8_t value);  // 2 digits
std::string Hex_Image(std::uint16_t value); // 4 digits
std::string Hex_Image(std::uint32_t value); // 8 digits
std::string Hex_Image(std::uint64_t value); // 16 digits
// An address as wide as a pointer of this build: 8 digits in 32-bit programs, 16 in 64-bit ones.
std::string Address_Image(std::uintptr_t address);

constexpr std::uint32_t To_Unsigned(std::int32_t value) noexcept { return static_cast<std::uint32_t>(value); }
constexpr std::int32_t To_Integer(std::uint32_t value) noexcept { return static_cast<std::int32_t>(value); }

} // namespace Unsigned
