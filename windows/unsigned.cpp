#include "windows/unsigned.hpp"

#include "support/failure.hpp"

namespace Unsigned {

char Hex_Digit(unsigned value)
{
    if (value > 15) throw Failures::RANGE_ERROR("hex digit " + std::to_string(value));
    return "0123456789ABCDEF"[value];
}

std::string Hex_Image(std::uint8_t value)
{
    return {Hex_Digit(value >> 4), Hex_Digit(value & 0xF)};
}

std::string Hex_Image(std::uint16_t value)
{
    return Hex_Image(std::uint8_t(value >> 8)) + Hex_Image(std::uint8_t(value & 0xFF));
}

std::string Hex_Image(std::uint32_t value)
{
    return Hex_Image(std::uint16_t(value >> 16)) + Hex_Image(std::uint16_t(value & 0xFFFF));
}

std::string Hex_Image(std::uint64_t value)
{
    return Hex_Image(std::uint32_t(value >> 32)) + Hex_Image(std::uint32_t(value & 0xFFFFFFFF));
}

std::string Address_Image(std::uintptr_t address)
{
    if constexpr (sizeof(std::uintptr_t) > 4) return Hex_Image(std::uint64_t(address));
    else return Hex_Image(std::uint32_t(address));
}

} // namespace Unsigned
