#pragma once
// The host's end of the viewer's pipe, in message mode. lumen_send keeps the system's handle
// itself, as it must ask the pipe which process serves it: with one pipe name for every viewer,
// that is how a run knows it reached the viewer it started and not another run's. Failures are
// the pipe module's (Windows::Pipe::BROKEN, NO_SERVER, NAME_IN_USE, ...).

#include "windows/pipe.hpp"
#include "windows/unique_handle.hpp"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace Send::Client_Pipe {

class Pipe {
public:
    // Opens "\\.\pipe\" + Name: NO_SERVER when there is none, NAME_IN_USE when its one instance
    // serves another host. A pipe still open here is closed first.
    void Open(std::string_view name);
    bool Is_Open() const noexcept { return static_cast<bool>(handle_); }
    void Close() noexcept { handle_.reset(); }

    // The process that created the pipe's server end.
    std::uint32_t Server_Process_Id() const;

    // One message each; a client reads and writes without a time-out.
    void Write(const void* bytes, std::size_t count) const;
    std::size_t Read(void* buffer, std::size_t room) const;

private:
    Windows::Unique_File handle_;
};

} // namespace Send::Client_Pipe
