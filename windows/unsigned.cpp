#include "windows/unsigned.hpp"

#include "support/failure.hpp"

#include <limits>

namespace Unsigned {

namespace {

constexpr unsigned Hex_Base = 16;
constexpr char Hex_Digits[Hex_Base + 1] = "0123456789ABCDEF";
constexpr int Bits_Per_Hex_Digit = 4;
constexpr unsigned Low_Digit_Mask = Hex_Base - 1;

// The high half's digits, then the low half's: each half is an unsigned type of half the width.
template <typename Half, typename Whole>
std::string Halves_Image(Whole value)
{
    constexpr int Half_Bits = std::numeric_limits<Half>::digits;
    return Hex_Image(static_cast<Half>(value >> Half_Bits)) + Hex_Image(static_cast<Half>(value));
}

} // namespace

char Hex_Digit(unsigned value)
{
    if (value >= Hex_Base) throw Failures::RANGE_ERROR("hex digit " + std::to_string(value));
    return Hex_Digits[value];
}

std::string Hex_Image(std::uint8_t value)
{
    return {Hex_Digit(value >> Bits_Per_Hex_Digit), Hex_Digit(value & Low_Digit_Mask)};
}

std::string Hex_Image(std::uint16_t value) { return Halves_Image<std::uint8_t>(value); }

std::string Hex_Image(std::uint32_t value) { return Halves_Image<std::uint16_t>(value); }

std::string Hex_Image(std::uint64_t value) { return Halves_Image<std::uint32_t>(value); }

std::string Address_Image(std::uintptr_t address)
{
    if constexpr (sizeof(std::uintptr_t) > sizeof(std::uint32_t)) return Hex_Image(std::uint64_t(address));
    else return Hex_Image(std::uint32_t(address));
}

} // namespace Unsigned
