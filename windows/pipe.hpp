#pragma once
// Named pipes in message mode: a server that creates the pipe and waits for one client, or a
// client that opens an existing pipe. Whole messages are read and written; every failure is a
// named failure of this module, never a status code.
//
//     Windows::Pipe::Pipe_Handle pipe;
//     Windows::Pipe::Open(pipe, {.Name = "Lumen_Roll_V1.1", .Is_Server = true, .Buffer_Size = 1024,
//                                .Timeout = Seconds{5.0}});
//     std::size_t count = Windows::Pipe::Read(pipe, buffer, Seconds{5.0});
//     Windows::Pipe::Close(pipe);   // also done by the handle's destructor
//
// A pipe is used by one thread at a time; nothing here is locked.

#include "support/failure.hpp"

// <windows.h> defines NO_DATA (a socket error); include it first so a later include cannot bring
// it back.
#include <windows.h>
#undef NO_DATA

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

namespace Windows::Pipe {

using ACCESS_DENIED = Failures::Failure<"WINDOWS.PIPE.ACCESS_DENIED">;
using BAD_PIPE = Failures::Failure<"WINDOWS.PIPE.BAD_PIPE">;
using BROKEN = Failures::Failure<"WINDOWS.PIPE.BROKEN">;
using INVALID_NAME = Failures::Failure<"WINDOWS.PIPE.INVALID_NAME">;
using MORE_DATA = Failures::Failure<"WINDOWS.PIPE.MORE_DATA">;
using NAME_IN_USE = Failures::Failure<"WINDOWS.PIPE.NAME_IN_USE">;
using NO_DATA = Failures::Failure<"WINDOWS.PIPE.NO_DATA">;
using NO_HANDLE = Failures::Failure<"WINDOWS.PIPE.NO_HANDLE">;
using NO_SERVER = Failures::Failure<"WINDOWS.PIPE.NO_SERVER">;
using NOT_SERVER = Failures::Failure<"WINDOWS.PIPE.NOT_SERVER">;
// The caller's stop event ended a server's wait (see Open).
using STOPPED = Failures::Failure<"WINDOWS.PIPE.STOPPED">;
using TIMEOUT = Failures::Failure<"WINDOWS.PIPE.TIMEOUT">;
using UNKNOWN_ERROR = Failures::Failure<"WINDOWS.PIPE.UNKNOWN_ERROR">;
using WRITE_INCOMPLETE = Failures::Failure<"WINDOWS.PIPE.WRITE_INCOMPLETE">;

// Direction seen from the server: Inbound means the client writes and the server reads.
enum class Pipe_Mode { Duplex, Inbound, Outbound };

// Time-outs in seconds; 0 means "wait for ever".
using Seconds = std::chrono::duration<double>;

// The record behind an open pipe; only this module looks inside.
struct Pipe_Record;
struct Pipe_Record_Closer {
    void operator()(Pipe_Record* record) const noexcept; // the whole of Close
};
// Owns the pipe record; null when no pipe is open. Move-only; destroying or resetting it closes
// the pipe.
using Pipe_Handle = std::unique_ptr<Pipe_Record, Pipe_Record_Closer>;

// The pipe Open makes, written in the call with each field named. Name, Is_Server and
// Buffer_Size have no default, so -Wmissing-field-initializers reports a call that leaves one
// out. Name is only read during the call.
struct Open_Options {
    std::string_view Name;
    bool Is_Server;
    Pipe_Mode Mode = Pipe_Mode::Duplex;
    std::size_t Buffer_Size;
    Seconds Timeout{0};
    HANDLE Stop_Event = nullptr;
    // A server pipe that is its run's alone: only the first instance of the name (ACCESS_DENIED
    // when a pipe of that name exists already, whoever made it), open to the current user only.
    bool Private = false;
};

// Creates the pipe "\\.\pipe\" + Name (server) or opens it (client). A pipe still held in Pipe
// is closed first. A server waits at most Timeout for its client (TIMEOUT); a client must pass
// a time-out of 0 (NOT_SERVER) and does not wait for a busy pipe. Every read asks for
// Buffer_Size bytes. When Open fails, Pipe is null. Only programs on this machine may connect.
// A server given a Stop_Event (an event the caller owns and keeps for the pipe's life) gives up
// every wait, the connection's included, as soon as that event is set: STOPPED, with the pending
// operation cancelled. An operation that would not wait begins unless the event was seen set, which
// it looks for at most every 50 ms (looking costs a call into the system); once seen, none begins.
void Open(Pipe_Handle& pipe, const Open_Options& options);

// Releases everything and leaves Pipe null; never fails. Pending I/O is cancelled first.
void Close(Pipe_Handle& pipe) noexcept;

// Reads one message into Buffer (room for Buffer_Size bytes) and returns its length. A longer
// message raises MORE_DATA. Server reads wait at most Timeout (TIMEOUT); a client must pass 0.
std::size_t Read(const Pipe_Handle& pipe, void* buffer, Seconds timeout);

// Writes Count bytes as one message. A server's write waits at most Timeout (TIMEOUT) for room in
// the pipe, which a client that never reads leaves full; a client must pass 0 (NOT_SERVER).
void Write(const Pipe_Handle& pipe, const void* buffer, std::size_t count, Seconds timeout = Seconds{0});

// A time-out as the system's waits take it: INFINITE for 0, otherwise whole milliseconds,
// halves rounded up, after the duration is taken to its resolution of 2^-14 s. A negative
// time-out or one of 2^32 ms or more is a RANGE_ERROR.
std::uint32_t Timeout_Milliseconds(Seconds timeout);

// Maps a system error code to this module's failure. Codes it does not know are logged
// ("Windows.Pipe - Unknown_Error: " and the code) and raised as UNKNOWN_ERROR.
[[noreturn]] void Raise_Error(std::uint32_t code);

} // namespace Windows::Pipe
