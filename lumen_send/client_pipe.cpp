#include "lumen_send/client_pipe.hpp"

#include <limits>
#include <string>

namespace Send::Client_Pipe {

namespace {

DWORD Size_Of(std::size_t count)
{
    if (count > std::numeric_limits<DWORD>::max()) throw Windows::Pipe::WRITE_INCOMPLETE("message too long");
    return static_cast<DWORD>(count);
}

} // namespace

void Pipe::Open(std::string_view name)
{
    handle_.reset();
    const std::string full_name = "\\\\.\\pipe\\" + std::string(name);
    Windows::Unique_File opened{CreateFileA(full_name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                            0, nullptr)};
    if (!opened) Windows::Pipe::Raise_Error(GetLastError());
    DWORD read_mode = PIPE_READMODE_MESSAGE;
    if (!SetNamedPipeHandleState(opened.get(), &read_mode, nullptr, nullptr)) Windows::Pipe::Raise_Error(GetLastError());
    handle_ = std::move(opened);
}

std::uint32_t Pipe::Server_Process_Id() const
{
    ULONG id = 0;
    if (!GetNamedPipeServerProcessId(handle_.get(), &id)) Windows::Pipe::Raise_Error(GetLastError());
    return id;
}

void Pipe::Write(const void* bytes, std::size_t count) const
{
    DWORD written = 0;
    if (!WriteFile(handle_.get(), bytes, Size_Of(count), &written, nullptr)) Windows::Pipe::Raise_Error(GetLastError());
    if (written != count) throw Windows::Pipe::WRITE_INCOMPLETE();
}

std::size_t Pipe::Read(void* buffer, std::size_t room) const
{
    DWORD count = 0;
    if (!ReadFile(handle_.get(), buffer, Size_Of(room), &count, nullptr)) Windows::Pipe::Raise_Error(GetLastError());
    return count;
}

} // namespace Send::Client_Pipe
