#include "viewer/transfer_reader.hpp"

#include "viewer/termination.hpp"
#include "support/failure.hpp"
#include "support/log.hpp"

#include <span>

namespace Control {

std::size_t Pipe_Source::Read_Message(Message_Buffer& buffer)
{
    return Windows::Pipe::Read(pipe_, buffer.data(), Protocol::Transfer_Timeout);
}

void Pipe_Source::Acknowledge()
{
    Windows::Pipe::Write(pipe_, &Protocol::Acknowledgement, 1, Protocol::Transfer_Timeout);
}

// The pipe refuses longer messages (MORE_DATA); the check guards the buffer against any source.
std::string Transfer_Reader::Read_Line()
{
    Message_Buffer buffer;
    const std::size_t count = source_.Read_Message(buffer);
    if (count > buffer.size()) Terminate("Line too long");
    return std::string(reinterpret_cast<const char*>(buffer.data()), count);
}

void Transfer_Reader::Acknowledge() { source_.Acknowledge(); }

std::uint32_t Transfer_Reader::Read_Value()
{
    Message_Buffer buffer;
    if (source_.Read_Message(buffer) != Protocol::Value_Size) Terminate("Value expected");
    Acknowledge();
    const std::int32_t value = Protocol::Value_Of(std::span(buffer).first<Protocol::Value_Size>());
    if (value < 0) throw Failures::RANGE_ERROR("negative value " + std::to_string(value));
    return static_cast<std::uint32_t>(value);
}

void Transfer_Reader::Read_Flag()
{
    Message_Buffer buffer;
    if (source_.Read_Message(buffer) != Protocol::Flag_Size) Terminate("Flag expected");
    Acknowledge();
    target_.Set_Expand_Group(buffer[0]);
}

// One group after its file name: the flag, then entries up to the group end.
void Transfer_Reader::Read_Group(const std::string& file)
{
    Acknowledge();
    target_.Start_Group(file);
    Read_Flag();
    for (;;) {
        const std::string text = Read_Line();
        Acknowledge();
        if (text.empty()) return;
        const std::uint32_t line = Read_Value();
        const std::uint32_t column = Read_Value();
        target_.Add_Entry(line, column, text);
    }
}

// A stall inside a group ends the transfer normally with what has arrived; a stall between
// groups is a failure.
Transfer_Phase Transfer_Reader::Read_Groups()
{
    for (;;) {
        const std::string file = Read_Line();
        if (file.empty()) return Transfer_Phase::Complete;
        try {
            Read_Group(file);
        } catch (const Windows::Pipe::TIMEOUT&) {
            Log::Put("Timeout");
            return Transfer_Phase::Timed_Out;
        }
    }
}

} // namespace Control
