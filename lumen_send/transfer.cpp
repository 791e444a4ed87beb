#include "lumen_send/transfer.hpp"

#include "windows/unsigned.hpp"

#include <chrono>
#include <string>

namespace Send::Transfer {

void Sender::Send_Index(std::string_view title, const Places::Index& index, bool expand)
{
    const auto start = std::chrono::steady_clock::now();
    Send_Message(title.data(), title.size());
    for (const Places::Group& group : index.Groups()) Send_Group(group, expand);
    // The end of the transfer; the viewer closes its end without answering.
    if (watch_) watch_->Stamp();
    pipe_.Write("", 0);
    ++progress_.Messages;
    progress_.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void Sender::Send_Group(const Places::Group& group, bool expand)
{
    ++progress_.Groups;
    Send_Message(group.File.data(), group.File.size());
    const char flag = expand ? Protocol::Expanded_Flag : Protocol::Collapsed_Flag;
    Send_Message(&flag, 1);
    for (const Places::Entry& entry : group.Entries) {
        Send_Message(entry.Text.data(), entry.Text.size());
        Send_Message(Value_Bytes(entry.Line).data(), 4);
        Send_Message(Value_Bytes(entry.Column).data(), 4);
        ++progress_.Entries;
    }
    Send_Message("", 0); // the group's end
}

void Sender::Send_Message(const void* bytes, std::size_t count)
{
    if (watch_) watch_->Stamp();
    const auto started = std::chrono::steady_clock::now();
    pipe_.Write(bytes, count);
    ++progress_.Messages;
    progress_.Bytes += count;
    Expect_Acknowledgement();
    progress_.Answers.Add(std::chrono::steady_clock::now() - started);
}

void Sender::Expect_Acknowledgement()
{
    char answer[Answer_Buffer_Size];
    const std::size_t count = pipe_.Read(answer, sizeof answer);
    if (count == 1 && answer[0] == Acknowledgement) return;
    if (count == 1)
        throw NO_ACKNOWLEDGEMENT("the viewer answered 0x" + Unsigned::Hex_Image(static_cast<std::uint8_t>(answer[0])) +
                                 " instead of 0x06");
    throw NO_ACKNOWLEDGEMENT("the viewer answered with " + std::to_string(count) + " bytes instead of one");
}

} // namespace Send::Transfer
