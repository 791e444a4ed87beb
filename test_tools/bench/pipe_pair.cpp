// pipe_pair: the pipe alone, without a viewer behind it. Both ends are the ones the real programs
// use, so the time of a transfer here is the limit that the viewer can approach:
//     pipe_pair server [STOP]     the viewer's end: Windows::Pipe server, 1024-byte messages, reads
//                                 with the 5 s time-out, a one-byte answer to every message but
//                                 the last; follows the message grammar only to find the last one.
//                                 With STOP it stays after the transfer until the file STOP exists,
//                                 so that its processor time can be read from outside, as the
//                                 viewer's is while its window stays open
//     pipe_pair client INDEX      lumen_send's end: the same reading of places and the same sender
//     pipe_pair batch-server NAME LIMIT [STOP]
//                                 the same for the batch protocol on the pipe NAME (a full name:
//                                 the prefix and a run name), batches of at most LIMIT bytes (the
//                                 pipe's buffers too); it walks the records only to find the end
//     pipe_pair batch-client NAME LIMIT INDEX
// Each prints one line of figures on standard output; the exit status is 0 after a whole transfer.

#include "viewer/batch_protocol.hpp"
#include "viewer/protocol.hpp"
#include "support/failure.hpp"
#include "lumen_send/batch_transfer.hpp"
#include "lumen_send/client_pipe.hpp"
#include "lumen_send/compiler_messages.hpp"
#include "lumen_send/input.hpp"
#include "lumen_send/places.hpp"
#include "lumen_send/transfer.hpp"
#include "windows/pipe.hpp"

#include <windows.h>
#undef NO_DATA

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using Windows::Pipe::Seconds;

// How long the client keeps trying to open a server pipe that is not there yet.
constexpr auto Connect_Limit = std::chrono::seconds{20};

// Where the server stands in the grammar: only to recognise the final empty message.
enum class Expecting { Title, File_Or_End, Flag, Text_Or_Group_End, Line, Column };

Expecting Next_Expected(Expecting state, std::size_t count)
{
    switch (state) {
    case Expecting::Title: return Expecting::File_Or_End;
    case Expecting::File_Or_End: return Expecting::Flag; // an empty one ended the transfer already
    case Expecting::Flag: return Expecting::Text_Or_Group_End;
    case Expecting::Text_Or_Group_End: return count == 0 ? Expecting::File_Or_End : Expecting::Line;
    case Expecting::Line: return Expecting::Column;
    case Expecting::Column: return Expecting::Text_Or_Group_End;
    }
    return state;
}

// Polled: the bench creates the file from Linux, where no change notification reaches Wine.
void Wait_For_File(const std::string& path)
{
    while (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) Sleep(20);
}

int Serve(const std::string& stop_file)
{
    Windows::Pipe::Pipe_Handle pipe;
    Windows::Pipe::Open(pipe, {.Name = Protocol::Pipe_Name, .Is_Server = true,
                               .Mode = Windows::Pipe::Pipe_Mode::Duplex, .Buffer_Size = Protocol::Message_Limit,
                               .Timeout = Protocol::Transfer_Timeout});
    std::array<char, Protocol::Message_Limit> buffer;
    Expecting state = Expecting::Title;
    std::uint64_t messages = 0;
    Clock::time_point first{};
    for (;;) {
        const std::size_t count = Windows::Pipe::Read(pipe, buffer.data(), Protocol::Transfer_Timeout);
        if (messages++ == 0) first = Clock::now();
        if (state == Expecting::File_Or_End && count == 0) break;
        Windows::Pipe::Write(pipe, &Protocol::Acknowledgement, 1);
        state = Next_Expected(state, count);
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - first).count();
    Windows::Pipe::Close(pipe);
    std::printf("pipe_pair server: messages=%llu seconds=%.6f\n", static_cast<unsigned long long>(messages), seconds);
    std::fflush(stdout);
    if (!stop_file.empty()) Wait_For_File(stop_file);
    return 0;
}

// Whether Batch ends with the end record; the batch is trusted, as only our own client sends here.
bool Ends_Transfer(const std::vector<unsigned char>& batch, std::size_t count)
{
    namespace Batch = Batch_Protocol;
    std::size_t at = 0;
    auto skip_text = [&] { at += Batch::Length_Size + Batch::Number_At(&batch[at], Batch::Length_Size); };
    while (at < count) {
        switch (static_cast<Batch::Record>(batch[at++])) {
        case Batch::Record::Title: skip_text(); break;
        case Batch::Record::File:
            at += Batch::Flag_Size;
            skip_text();
            break;
        case Batch::Record::Entry:
            at += 2 * Batch::Value_Size;
            skip_text();
            break;
        case Batch::Record::Group_End: break;
        case Batch::Record::End: return true;
        }
    }
    return false;
}

int Serve_Batches(const std::string& name, std::size_t limit, const std::string& stop_file)
{
    Windows::Pipe::Pipe_Handle pipe;
    Windows::Pipe::Open(pipe, {.Name = name, .Is_Server = true, .Mode = Windows::Pipe::Pipe_Mode::Duplex,
                               .Buffer_Size = limit, .Timeout = Batch_Protocol::Transfer_Timeout, .Private = true});
    std::vector<unsigned char> buffer(limit);
    std::uint64_t messages = 0;
    Clock::time_point first{};
    for (;;) {
        const std::size_t count = Windows::Pipe::Read(pipe, buffer.data(), Batch_Protocol::Transfer_Timeout);
        if (messages++ == 0) first = Clock::now();
        if (Ends_Transfer(buffer, count)) break;
        Windows::Pipe::Write(pipe, &Batch_Protocol::Acknowledgement, 1, Batch_Protocol::Transfer_Timeout);
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - first).count();
    Windows::Pipe::Close(pipe);
    std::printf("pipe_pair batch-server: messages=%llu seconds=%.6f\n", static_cast<unsigned long long>(messages),
                seconds);
    std::fflush(stdout);
    if (!stop_file.empty()) Wait_For_File(stop_file);
    return 0;
}

// Opens the client end, waiting for a server that is still starting.
void Connect(Send::Client_Pipe::Pipe& pipe, std::string_view name = Protocol::Pipe_Name)
{
    const auto deadline = Clock::now() + Connect_Limit;
    for (;;) {
        try {
            pipe.Open(name);
            return;
        } catch (const Windows::Pipe::NO_SERVER&) {
            if (Clock::now() >= deadline) throw;
        }
        Sleep(5);
    }
}

int Send_Index(const std::string& input)
{
    const Send::Compiler::Reading reading = Send::Compiler::Read_Places(Send::Input::Read_All(input), {});
    if (!reading.Skipped.empty())
        std::fprintf(stderr, "pipe_pair client: %zu input lines skipped\n", reading.Skipped.size());
    Send::Client_Pipe::Pipe pipe;
    Connect(pipe);
    Send::Transfer::Sender sender(pipe, nullptr);
    sender.Send_Index(input, reading.Places, true);
    pipe.Close();
    const Send::Transfer::Statistics& progress = sender.Progress();
    std::printf("pipe_pair client: groups=%zu entries=%zu messages=%llu seconds=%.6f per_message_ms=%.4f %s\n",
                progress.Groups, progress.Entries, static_cast<unsigned long long>(progress.Messages),
                progress.Seconds, progress.Seconds * 1000.0 / static_cast<double>(progress.Messages),
                Send::Transfer::Round_Trip_Figures(progress.Answers).c_str());
    return 0;
}

int Send_Batches(const std::string& name, std::size_t limit, const std::string& input)
{
    const Send::Compiler::Reading reading = Send::Compiler::Read_Places(Send::Input::Read_All(input), {});
    Send::Client_Pipe::Pipe pipe;
    Connect(pipe, name);
    Send::Batch_Transfer::Batch_Sender sender(pipe, nullptr, limit);
    sender.Send_Index(input, reading.Places, true);
    pipe.Close();
    const Send::Transfer::Statistics& progress = sender.Progress();
    std::printf("pipe_pair batch-client: groups=%zu entries=%zu messages=%llu bytes=%llu seconds=%.6f %s\n",
                progress.Groups, progress.Entries, static_cast<unsigned long long>(progress.Messages),
                static_cast<unsigned long long>(progress.Bytes), progress.Seconds,
                Send::Transfer::Round_Trip_Figures(progress.Answers).c_str());
    return 0;
}

std::size_t Limit_Of(const std::string& text) { return static_cast<std::size_t>(std::stoul(text)); }

} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    try {
        if (!arguments.empty() && arguments.size() <= 2 && arguments[0] == "server")
            return Serve(arguments.size() == 2 ? arguments[1] : std::string());
        if (arguments.size() == 2 && arguments[0] == "client") return Send_Index(arguments[1]);
        if ((arguments.size() == 3 || arguments.size() == 4) && arguments[0] == "batch-server")
            return Serve_Batches(arguments[1], Limit_Of(arguments[2]), arguments.size() == 4 ? arguments[3] : "");
        if (arguments.size() == 4 && arguments[0] == "batch-client")
            return Send_Batches(arguments[1], Limit_Of(arguments[2]), arguments[3]);
        std::fputs("usage: pipe_pair server [STOP] | pipe_pair client INDEX\n"
                   "       pipe_pair batch-server NAME LIMIT [STOP] | pipe_pair batch-client NAME LIMIT INDEX\n",
                   stderr);
        return 1;
    } catch (...) {
        std::fprintf(stderr, "pipe_pair: %s\n", Failures::Current_Description().c_str());
        return 2;
    }
}
