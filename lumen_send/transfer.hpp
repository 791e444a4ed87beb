#pragma once
// Sends an index to the viewer over the client end of its pipe, in lock-step: every message but
// the last waits for the viewer's one-byte answer 0x06.
//     title, then per group: file name, flag byte, per entry: text, line, column (4 bytes each,
//     little-endian), an empty message; finally an empty message, which is not answered.

#include "viewer/protocol.hpp"
#include "support/failure.hpp"
#include "lumen_send/client_pipe.hpp"
#include "lumen_send/places.hpp"
#include "lumen_send/round_trips.hpp"
#include "lumen_send/watch.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace Send::Transfer {

// The viewer answered, but not with the acknowledgement.
using NO_ACKNOWLEDGEMENT = Failures::Failure<"SEND.TRANSFER.NO_ACKNOWLEDGEMENT">;

inline constexpr char Acknowledgement = Protocol::Acknowledgement;
// The client's read size: room for a longer answer, which is then reported instead of cut off.
inline constexpr std::size_t Answer_Buffer_Size = 64;

struct Statistics {
    std::uint64_t Messages = 0; // written so far, the final one included
    std::uint64_t Bytes = 0;    // in those messages
    std::uint64_t Batches = 0;  // of the batch protocol (each a message); 0 for the other
    std::size_t Groups = 0;     // started so far
    std::size_t Entries = 0;    // completely sent (text, line and column answered)
    double Seconds = 0.0;       // from the first message to the final one, once complete
    Round_Trips Answers;        // each answered message's, from its write to the answer
};

// A value message: the signed 32-bit value, lowest byte first.
using Protocol::Value_Bytes;

class Sender {
public:
    // Watch, when given, is stamped before every message. Pipe must stay open while sending.
    Sender(const Client_Pipe::Pipe& pipe, Watch::Silence_Watch* watch) noexcept
        : pipe_(pipe), watch_(watch)
    {
    }

    // The whole transfer. Pipe failures (the viewer closed its end: BROKEN, NO_DATA, ...) and
    // NO_ACKNOWLEDGEMENT propagate; Progress tells how far it got.
    void Send_Index(std::string_view title, const Places::Index& index, bool expand);

    const Statistics& Progress() const noexcept { return progress_; }

private:
    void Send_Group(const Places::Group& group, bool expand);
    void Send_Message(const void* bytes, std::size_t count);
    void Expect_Acknowledgement();

    const Client_Pipe::Pipe& pipe_;
    Watch::Silence_Watch* watch_;
    Statistics progress_;
};

} // namespace Send::Transfer
