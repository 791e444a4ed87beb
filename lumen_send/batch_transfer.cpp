#include "lumen_send/batch_transfer.hpp"

#include "lumen_send/utf8.hpp"
#include "windows/unsigned.hpp"

#include <windows.h>
#undef NO_DATA

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <utility>

namespace Send::Batch_Transfer {

namespace {

// A record's text: the viewer refuses a longer one. lumen_send's texts and names are at most 1024
// bytes; only a title from the command line could be longer.
std::string_view Checked(std::string_view text)
{
    if (text.size() > Batch_Protocol::Text_Limit)
        throw Failures::RANGE_ERROR("a text of " + std::to_string(text.size()) + " bytes in UTF-8");
    return text;
}

} // namespace

std::string Run_Pipe_Name()
{
    std::random_device random; // the system's own source under MinGW-w64
    const std::uint64_t bits = (std::uint64_t(random()) << 32) | random();
    char run[40];
    std::snprintf(run, sizeof run, "%08lx-%016llx", static_cast<unsigned long>(GetCurrentProcessId()),
                  static_cast<unsigned long long>(bits));
    return std::string(Batch_Protocol::Pipe_Name_Prefix) + run;
}

Wire_Text Wire_Text_Of(std::string_view utf8, std::size_t column)
{
    return {std::string(utf8), static_cast<std::uint32_t>(Utf8::Code_Point_Column(utf8, column))};
}

void Batch_Sender::Send_Index(std::string_view title, const Places::Index& index, bool expand)
{
    const auto start = std::chrono::steady_clock::now();
    const Wire_Text wire_title = Wire_Text_Of(title, 1);
    Batch_Protocol::Append_Title(batch_, Checked(wire_title.Utf8));
    const char flag = expand ? Batch_Protocol::Expanded_Flag : Batch_Protocol::Collapsed_Flag;
    for (const Places::Group& group : index.Groups()) Add_Group(group, flag);
    Make_Room(Batch_Protocol::Kind_Size);
    Batch_Protocol::Append_End(batch_);
    Send_Batch(true);
    progress_.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void Batch_Sender::Add_Group(const Places::Group& group, char flag)
{
    ++progress_.Groups;
    const std::string name = Wire_Text_Of(group.File, 1).Utf8;
    Make_Room(Batch_Protocol::File_Record_Size(name.size()));
    Batch_Protocol::Append_File(batch_, flag, Checked(name));
    for (const Places::Entry& entry : group.Entries) {
        const Wire_Text text = Wire_Text_Of(entry.Text, static_cast<std::size_t>(entry.Column));
        Make_Room(Batch_Protocol::Entry_Record_Size(text.Utf8.size()));
        Batch_Protocol::Append_Entry(batch_, static_cast<std::uint32_t>(entry.Line), text.Column, Checked(text.Utf8));
        ++entries_in_batch_;
    }
    Make_Room(Batch_Protocol::Kind_Size);
    Batch_Protocol::Append_Group_End(batch_);
}

void Batch_Sender::Make_Room(std::size_t size)
{
    if (batch_.size() + size > batch_limit_) Send_Batch(false);
}

void Batch_Sender::Send_Batch(bool is_last)
{
    if (watch_) watch_->Stamp();
    const auto started = std::chrono::steady_clock::now();
    pipe_.Write(batch_.data(), batch_.size());
    ++progress_.Messages;
    ++progress_.Batches;
    progress_.Bytes += batch_.size();
    batch_.clear();
    if (!is_last) {
        Expect_Acknowledgement();
        progress_.Answers.Add(std::chrono::steady_clock::now() - started);
    }
    progress_.Entries += std::exchange(entries_in_batch_, 0);
}

void Batch_Sender::Expect_Acknowledgement()
{
    char answer[Transfer::Answer_Buffer_Size];
    const std::size_t count = pipe_.Read(answer, sizeof answer);
    if (count == 1 && answer[0] == Batch_Protocol::Acknowledgement) return;
    if (count == 1)
        throw Transfer::NO_ACKNOWLEDGEMENT("the viewer answered 0x" +
                                           Unsigned::Hex_Image(static_cast<std::uint8_t>(answer[0])) + " instead of 0x06");
    throw Transfer::NO_ACKNOWLEDGEMENT("the viewer answered with " + std::to_string(count) + " bytes instead of one");
}

} // namespace Send::Batch_Transfer
