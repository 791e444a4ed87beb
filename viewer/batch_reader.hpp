#pragma once
// The transfer in batches (viewer/batch_protocol.hpp), read from a source (the run's own pipe, or a
// list of batches in a test) and handed to the same target as the message-by-message transfer, so
// that the index, the tree and the status line work alike for both. Every batch is checked whole
// before anything of it is taken: a malformed one is refused with its reason logged ("!!! Batch
// ..."), and the transfer ends with what the batches before it brought. Texts arrive in UTF-8 and
// reach the target in the ANSI code page, the column moved to the byte of the same character.

#include "viewer/batch_protocol.hpp"
#include "viewer/transfer_reader.hpp"
#include "support/failure.hpp"
#include "windows/pipe.hpp"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace Control {

// A batch that breaks the protocol; the message is the reason the log gets.
using BAD_BATCH = Failures::Failure<"CONTROL.BAD_BATCH">;

// Where the batches come from.
class Batch_Source {
public:
    virtual ~Batch_Source() = default;
    // One whole batch into Buffer (Batch_Limit bytes); its length. A stall raises
    // Windows::Pipe::TIMEOUT and a longer batch MORE_DATA, as the pipe does.
    virtual std::size_t Read_Batch(std::span<unsigned char> buffer) = 0;
    // Answers the batch just read.
    virtual void Acknowledge() = 0;
};

// The viewer's end of the run's pipe; reads and writes wait at most the transfer's time-out.
class Pipe_Batch_Source final : public Batch_Source {
public:
    explicit Pipe_Batch_Source(const Windows::Pipe::Pipe_Handle& pipe) : pipe_(pipe) {}
    std::size_t Read_Batch(std::span<unsigned char> buffer) override;
    void Acknowledge() override;

private:
    const Windows::Pipe::Pipe_Handle& pipe_;
};

// The message-by-message target, and the title, which a batch carries among its records.
class Batch_Target : public Transfer_Target {
public:
    virtual void Take_Title(const std::string& title) = 0;
};

// The byte column (from 1) of the character that Column (code points from 1) names in a text as it
// came: BAD_BATCH for a text that is not UTF-8, holds a NUL, or a column outside 1 .. code points + 1.
std::uint32_t Checked_Byte_Column(std::string_view utf8, std::uint32_t column);

// Where the transfer stands between two batches.
enum class Batch_State { Title, Between_Groups, In_Group, Ended };

// One record, checked and converted.
struct Batch_Item {
    Batch_Protocol::Record Kind = Batch_Protocol::Record::End;
    unsigned char Flag = 0;
    std::uint32_t Line = 0;
    std::uint32_t Column = 1;
    std::string Text; // ANSI: the title, the file name or the entry's text
};

struct Decoded_Batch {
    std::vector<Batch_Item> Items;
    Batch_State State_After = Batch_State::Title;
};

// Every length is checked against the batch's end before it is read. BAD_BATCH with the reason.
Decoded_Batch Decode_Batch(std::span<const unsigned char> batch, Batch_State state);

// The whole transfer: Complete after the end record; Timed_Out after a stall while a group is open
// ("Timeout" logged); Broken_Off after a malformed batch ("!!! " and the reason logged). A stall
// outside a group and every pipe failure leave as the pipe's failures.
Transfer_Phase Read_Batches(Batch_Source& source, Batch_Target& target);

} // namespace Control
