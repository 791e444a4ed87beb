#pragma once
// What the viewer and a host must agree on to talk over the viewer's pipe. The host writes one
// message at a time and waits for the viewer's answer before the next:
//     title, then per file: file name, flag, per entry: text, line, column, an empty message;
//     finally an empty message, which is not answered.
// Texts are 8-bit (ANSI) bytes without a terminator; an empty one ends a group or the transfer.
// Header only, with nothing but the standard library behind it, so that the viewer and the
// programs that talk to it can all include it. (The test harness and the fuzz model keep their
// own copies on purpose: they check these.)

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace Protocol {

// The only pipe name the viewer accepts; it doubles as the protocol version. The full name is
// "\\.\pipe\" followed by it.
inline constexpr std::string_view Pipe_Name = "Lumen_Roll_V1.1";

// The longest message, and the size of the pipe's buffers.
inline constexpr std::size_t Message_Limit = 1024;

// The viewer's answer to every message but the last: one message of this one byte.
inline constexpr char Acknowledgement = 0x06;

// How long the viewer waits for the host to connect and for each message.
inline constexpr std::chrono::duration<double> Transfer_Timeout{5.0};

// A line or column: a signed 32-bit value, lowest byte first; the viewer takes 0 and up.
inline constexpr std::size_t Value_Size = 4;

inline constexpr std::array<char, Value_Size> Value_Bytes(std::int32_t value) noexcept
{
    const auto bits = static_cast<std::uint32_t>(value);
    return {static_cast<char>(bits & 0xFF), static_cast<char>((bits >> 8) & 0xFF),
            static_cast<char>((bits >> 16) & 0xFF), static_cast<char>(bits >> 24)};
}

inline constexpr std::int32_t Value_Of(std::span<const unsigned char, Value_Size> bytes) noexcept
{
    return static_cast<std::int32_t>(std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 |
                                     std::uint32_t(bytes[2]) << 16 | std::uint32_t(bytes[3]) << 24);
}

// A group's flag: one byte. Any byte but Collapsed_Flag has the file's node opened as its entries
// arrive; a host sends Expanded_Flag for that.
inline constexpr std::size_t Flag_Size = 1;
inline constexpr char Collapsed_Flag = 0;
inline constexpr char Expanded_Flag = 1;

} // namespace Protocol
