#pragma once
// The transfer as the host sends it, read message by message from a source (the viewer's pipe,
// or a list of messages in a test) and handed to a target, which builds the index and the tree.
// Every message that is accepted is acknowledged. The caller reads the title (Read_Line, shows
// it, Acknowledge); Read_Groups reads the rest:
//     group:  file name A, flag A, entries, empty message A      (A: acknowledged)
//     entry:  text A, line A, column A
//     end:    an empty message where a file name would come, not acknowledged
// A bad message ends the transfer with its reason logged (Termination); a stall inside a group
// ends it normally with what has arrived.

#include "viewer/protocol.hpp"
#include "windows/pipe.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace Control {

// Broken_Off: a malformed batch ended the transfer (the batch protocol only).
enum class Transfer_Phase { Receiving, Complete, Timed_Out, Broken_Off };

using Message_Buffer = std::array<unsigned char, Protocol::Message_Limit>;

// Where the messages come from.
class Message_Source {
public:
    virtual ~Message_Source() = default;
    // One whole message into Buffer; its length. A stall raises Windows::Pipe::TIMEOUT, as the
    // pipe does; every other failure ends the transfer.
    virtual std::size_t Read_Message(Message_Buffer& buffer) = 0;
    // Answers the message just read.
    virtual void Acknowledge() = 0;
};

// The viewer's end of the pipe. Reads and writes wait at most the transfer's time-out: a host
// that does not read its acknowledgements fills the pipe, and the write then times out as a read
// does.
class Pipe_Source final : public Message_Source {
public:
    explicit Pipe_Source(const Windows::Pipe::Pipe_Handle& pipe) : pipe_(pipe) {}
    std::size_t Read_Message(Message_Buffer& buffer) override;
    void Acknowledge() override;

private:
    const Windows::Pipe::Pipe_Handle& pipe_;
};

// Where the groups and entries go, in the order they arrive.
class Transfer_Target {
public:
    virtual ~Transfer_Target() = default;
    virtual void Start_Group(const std::string& file) = 0;
    // The group's flag byte as it came; it follows Start_Group.
    virtual void Set_Expand_Group(unsigned char flag) = 0;
    virtual void Add_Entry(std::uint32_t line, std::uint32_t column, const std::string& text) = 0;
};

class Transfer_Reader {
public:
    Transfer_Reader(Message_Source& source, Transfer_Target& target) : source_(source), target_(target) {}

    // One text message, unanswered.
    std::string Read_Line();
    void Acknowledge();
    // A value message, acknowledged before it is checked: negative is a RANGE_ERROR.
    std::uint32_t Read_Value();
    // A flag message, acknowledged and handed to the target.
    void Read_Flag();
    // The groups after the title, up to the end of the transfer: Complete, or Timed_Out after a
    // stall inside a group ("Timeout" logged). A stall between groups is a failure.
    Transfer_Phase Read_Groups();

private:
    void Read_Group(const std::string& file);

    Message_Source& source_;
    Transfer_Target& target_;
};

} // namespace Control
