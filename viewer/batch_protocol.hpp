#pragma once
// The batch protocol: what the viewer and a host agree on when many places go in one message.
// The viewer speaks it when its pipe name starts with Pipe_Name_Prefix; "Lumen_Roll_V1.1" keeps
// the message-by-message protocol of viewer/protocol.hpp, unchanged.
//
// The host writes one batch, a message of records, and waits for the viewer's one-byte answer
// before the next; the batch that carries the end record is not answered. Numbers are unsigned,
// lowest byte first; texts are UTF-8 without a terminator:
//     title       01, length (2 bytes), text                 the first record, once
//     file        02, flag (1 byte), length (2), name         starts a group
//     entry       03, line (4), column (4), length (2), text  inside a group
//     group end   04                                          ends the group
//     end         05                                          the last record of the last batch
// A group may run over any number of batches. A column counts code points of its entry's text,
// from 1 to the text's count + 1; a line is 0 to Largest_Value.
// Header only, with nothing but the standard library behind it, so that the viewer and the
// programs that talk to it can all include it. (The fuzz model keeps its own copy on purpose.)

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace Batch_Protocol {

// The pipe's name is "\\.\pipe\" + Pipe_Name_Prefix + a run name of the host's choosing (8 to 64
// letters, digits, "-" or "_"), so that each run has a pipe of its own. Letter case counts.
inline constexpr std::string_view Pipe_Name_Prefix = "Lumen_Roll_V2.0_";
inline constexpr std::size_t Shortest_Run_Name = 8;
inline constexpr std::size_t Longest_Run_Name = 64;

inline constexpr bool Is_Run_Name_Character(char character) noexcept
{
    return (character >= 'a' && character <= 'z') || (character >= 'A' && character <= 'Z') ||
           (character >= '0' && character <= '9') || character == '-' || character == '_';
}

inline constexpr bool Is_Pipe_Name(std::string_view name) noexcept
{
    if (!name.starts_with(Pipe_Name_Prefix)) return false;
    const std::string_view run = name.substr(Pipe_Name_Prefix.size());
    if (run.size() < Shortest_Run_Name || run.size() > Longest_Run_Name) return false;
    for (const char character : run)
        if (!Is_Run_Name_Character(character)) return false;
    return true;
}

// The longest batch, and the size of the pipe's buffers. The pipe alone under Wine (pipe_pair,
// 100,000 places, 9 MB): 0.4 to 1.5 s in batches of 4 KiB, 0.35 to 0.47 s in 16 KiB, 0.06 to
// 0.17 s in 64 KiB, 0.04 to 0.07 s in 256 KiB or 1 MiB. With the window behind it the transfer
// takes 3 to 4 s, so larger batches would gain nothing visible, and cost the viewer a larger
// buffer and a longer check before anything of a batch shows.
inline constexpr std::size_t Batch_Limit = 65536;
// The longest title, file name or entry text, in bytes: 1024 characters of any script.
inline constexpr std::size_t Text_Limit = 4096;
inline constexpr std::uint32_t Largest_Value = 0x7FFFFFFF;

// The viewer's answer to every batch but the last.
inline constexpr char Acknowledgement = 0x06;
// How long the viewer waits for the host to connect, for each batch and for room for its answer.
inline constexpr std::chrono::duration<double> Transfer_Timeout{5.0};

enum class Record : unsigned char { Title = 1, File = 2, Entry = 3, Group_End = 4, End = 5 };

inline constexpr std::size_t Kind_Size = 1;
inline constexpr std::size_t Length_Size = 2;
inline constexpr std::size_t Value_Size = 4;
inline constexpr std::size_t Flag_Size = 1;
// Any flag but Collapsed_Flag opens the file's node as its entries arrive.
inline constexpr char Collapsed_Flag = 0;
inline constexpr char Expanded_Flag = 1;

inline constexpr std::size_t Title_Record_Size(std::size_t text_bytes) noexcept
{
    return Kind_Size + Length_Size + text_bytes;
}
inline constexpr std::size_t File_Record_Size(std::size_t name_bytes) noexcept
{
    return Kind_Size + Flag_Size + Length_Size + name_bytes;
}
inline constexpr std::size_t Entry_Record_Size(std::size_t text_bytes) noexcept
{
    return Kind_Size + 2 * Value_Size + Length_Size + text_bytes;
}

// ---- writing (the host's side) ---------------------------------------------------------------

inline void Append_Number(std::string& batch, std::uint32_t value, std::size_t size)
{
    for (std::size_t index = 0; index < size; ++index) batch += static_cast<char>((value >> (8 * index)) & 0xFF);
}

// Texts longer than Text_Limit are the caller's to refuse; the viewer would.
inline void Append_Text(std::string& batch, std::string_view text)
{
    Append_Number(batch, static_cast<std::uint32_t>(text.size()), Length_Size);
    batch.append(text);
}

inline void Append_Title(std::string& batch, std::string_view title)
{
    batch += static_cast<char>(Record::Title);
    Append_Text(batch, title);
}

inline void Append_File(std::string& batch, char flag, std::string_view name)
{
    batch += static_cast<char>(Record::File);
    batch += flag;
    Append_Text(batch, name);
}

inline void Append_Entry(std::string& batch, std::uint32_t line, std::uint32_t column, std::string_view text)
{
    batch += static_cast<char>(Record::Entry);
    Append_Number(batch, line, Value_Size);
    Append_Number(batch, column, Value_Size);
    Append_Text(batch, text);
}

inline void Append_Group_End(std::string& batch) { batch += static_cast<char>(Record::Group_End); }
inline void Append_End(std::string& batch) { batch += static_cast<char>(Record::End); }

// ---- reading (the viewer's side) -------------------------------------------------------------

// Size bytes at Bytes, lowest first; the caller has checked that they are there.
inline constexpr std::uint32_t Number_At(const unsigned char* bytes, std::size_t size) noexcept
{
    std::uint32_t value = 0;
    for (std::size_t index = 0; index < size; ++index) value |= std::uint32_t(bytes[index]) << (8 * index);
    return value;
}

} // namespace Batch_Protocol
