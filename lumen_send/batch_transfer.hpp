#pragma once
// Sends an index to the viewer in batches (viewer/batch_protocol.hpp): as many records per message
// as the batch limit holds, one answer per batch, none for the last. The index holds what the
// window shows, in the ANSI code page with columns in bytes; on the wire the texts are UTF-8 and
// the columns count code points.

#include "viewer/batch_protocol.hpp"
#include "lumen_send/client_pipe.hpp"
#include "lumen_send/places.hpp"
#include "lumen_send/transfer.hpp"
#include "lumen_send/watch.hpp"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace Send::Batch_Transfer {

// A pipe name of the batch protocol for this run alone: the process's number and 64 random bits,
// so that no other run (nor a program that would squat on the name) can foresee it.
std::string Run_Pipe_Name();

// A text as the wire carries it: the UTF-8 as it is, and the column (from 1, counting the text's
// bytes) counted in code points.
struct Wire_Text {
    std::string Utf8;
    std::uint32_t Column = 1;
};
Wire_Text Wire_Text_Of(std::string_view utf8, std::size_t column);

class Batch_Sender {
public:
    // Watch, when given, is stamped before every batch. Pipe must stay open while sending. Batches
    // hold at most Batch_Limit bytes (the viewer takes no more than Batch_Protocol::Batch_Limit).
    Batch_Sender(const Client_Pipe::Pipe& pipe, Watch::Silence_Watch* watch,
                 std::size_t batch_limit = Batch_Protocol::Batch_Limit) noexcept
        : pipe_(pipe), watch_(watch), batch_limit_(batch_limit)
    {
    }

    // The whole transfer. Pipe failures and Transfer::NO_ACKNOWLEDGEMENT propagate; Progress tells
    // how far it got (Entries: those of answered batches).
    void Send_Index(std::string_view title, const Places::Index& index, bool expand);

    const Transfer::Statistics& Progress() const noexcept { return progress_; }

private:
    void Add_Group(const Places::Group& group, char flag);
    // Makes room for a record of Size bytes: the batch so far goes first when the record would not fit.
    void Make_Room(std::size_t size);
    void Send_Batch(bool is_last);
    void Expect_Acknowledgement();

    const Client_Pipe::Pipe& pipe_;
    Watch::Silence_Watch* watch_;
    std::size_t batch_limit_;
    std::string batch_;
    std::size_t entries_in_batch_ = 0;
    Transfer::Statistics progress_;
};

} // namespace Send::Batch_Transfer
