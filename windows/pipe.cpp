#include "windows/pipe.hpp"

#include "support/log.hpp"
#include "windows/unique_handle.hpp"

#include <windows.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace Windows::Pipe {

namespace {

// How often an operation that does not wait looks at the stop event.
constexpr ULONGLONG Stop_Check_Interval_Ms = 50;
// Only programs on this machine may connect (PIPE_REJECT_REMOTE_CLIENTS, missing from older
// MinGW headers).
constexpr DWORD Reject_Remote_Clients = 0x00000008;
// Message type, message read mode, blocking.
constexpr DWORD Server_Pipe_Mode = PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT | Reject_Remote_Clients;
// One client at a time: while it is connected a second one is refused (NAME_IN_USE).
constexpr DWORD One_Instance = 1;
// The time-out WaitNamedPipe takes when a client asks for the pipe's default; 0 gives the
// system's own. Our clients never wait for a busy pipe.
constexpr DWORD Default_Client_Wait = 0;
// Looks at an event's state without waiting for it.
constexpr DWORD Without_Waiting = 0;
constexpr std::int64_t Ticks_Per_Second = 16384; // the duration's resolution is 2^-14 s
constexpr std::int64_t Milliseconds_Per_Second = 1000;
// 2^32 ms: the first time-out that a DWORD of milliseconds cannot hold.
constexpr double Too_Long_Seconds = 4294967.296;

// One overlapped operation of the server and the event it signals. While Pending is true the
// system may still write into the block (and into the caller's buffer); nothing may free either.
struct Overlapped_Block {
    OVERLAPPED Overlapped{};
    Unique_Handle Event;
    bool Pending = false;
};

} // namespace

struct Pipe_Record {
    std::string Name; // without the "\\.\pipe\" prefix
    bool Is_Server = false;
    Unique_File Handle;
    DWORD Timeout_Ms = INFINITE;
    Pipe_Mode Mode = Pipe_Mode::Duplex;
    DWORD Buffer_Size = 0;
    bool Private = false;
    HANDLE Stop_Event = nullptr; // the caller's; not owned
    ULONGLONG Next_Stop_Check = 0; // tick count
    bool Stopped = false;          // once seen set, the stop event stays set
    Overlapped_Block Connect;
    Overlapped_Block Write;
    Overlapped_Block Read;
};

namespace {

std::string Full_Name(std::string_view name) { return "\\\\.\\pipe\\" + std::string(name); }

DWORD To_Dword(std::size_t count, const char* what)
{
    if (count > std::numeric_limits<DWORD>::max())
        throw Failures::RANGE_ERROR(std::string(what) + " " + std::to_string(count) + " too large");
    return static_cast<DWORD>(count);
}

// Manual-reset and signalled, as every overlapped call resets it when it starts.
void Create_Event(Overlapped_Block& block)
{
    block.Event.reset(CreateEventA(nullptr, TRUE, TRUE, nullptr));
    if (!block.Event) Raise_Error(GetLastError());
    block.Overlapped.hEvent = block.Event.get();
}

// Waits until the system is done with Block's operation, cancelling it first. Returns whether
// the operation succeeded after all (it may have completed just before the cancel), with the
// byte count; otherwise the operation's error is in Error.
bool Finish_Pending(Pipe_Record& record, Overlapped_Block& block, DWORD& bytes, DWORD& error) noexcept
{
    CancelIoEx(record.Handle.get(), &block.Overlapped);
    const BOOL done = GetOverlappedResult(record.Handle.get(), &block.Overlapped, &bytes, TRUE);
    error = done ? ERROR_SUCCESS : GetLastError();
    block.Pending = false;
    return done;
}

void Cancel_Pending(Pipe_Record& record, Overlapped_Block& block) noexcept
{
    DWORD bytes = 0;
    DWORD error = ERROR_SUCCESS;
    if (block.Pending) Finish_Pending(record, block, bytes, error);
}

// The result of an operation that completed (at once or after its event was signalled).
DWORD Completed_Bytes(Pipe_Record& record, Overlapped_Block& block)
{
    DWORD bytes = 0;
    block.Pending = false;
    if (!GetOverlappedResult(record.Handle.get(), &block.Overlapped, &bytes, FALSE)) Raise_Error(GetLastError());
    return bytes;
}

DWORD Open_Mode(Pipe_Mode mode)
{
    switch (mode) {
    case Pipe_Mode::Inbound: return FILE_FLAG_OVERLAPPED | PIPE_ACCESS_INBOUND;
    case Pipe_Mode::Outbound: return FILE_FLAG_OVERLAPPED | PIPE_ACCESS_OUTBOUND;
    case Pipe_Mode::Duplex: break;
    }
    return FILE_FLAG_OVERLAPPED | PIPE_ACCESS_DUPLEX;
}

DWORD Client_Access(Pipe_Mode mode)
{
    switch (mode) {
    case Pipe_Mode::Inbound: return GENERIC_WRITE;
    // Write-attributes is needed to switch the handle to message read mode.
    case Pipe_Mode::Outbound: return GENERIC_READ | FILE_WRITE_ATTRIBUTES;
    case Pipe_Mode::Duplex: break;
    }
    return GENERIC_READ | GENERIC_WRITE;
}

// The process's user, as the token tells it: the one account a private pipe lets in.
std::vector<unsigned char> Current_User()
{
    Unique_Handle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) Raise_Error(GetLastError());
    DWORD needed = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &needed);
    std::vector<unsigned char> user(needed);
    if (!GetTokenInformation(token.get(), TokenUser, user.data(), needed, &needed)) Raise_Error(GetLastError());
    return user;
}

// A security descriptor whose access list grants everything to the current user and nothing to
// anyone else, protected from inherited entries. Its parts live as long as the object.
class User_Only_Security {
public:
    User_Only_Security() : user_(Current_User())
    {
        const PSID sid = reinterpret_cast<const TOKEN_USER*>(user_.data())->User.Sid;
        acl_.resize(sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + GetLengthSid(sid));
        const auto acl = reinterpret_cast<PACL>(acl_.data());
        if (!InitializeAcl(acl, static_cast<DWORD>(acl_.size()), ACL_REVISION) ||
            !AddAccessAllowedAce(acl, ACL_REVISION, GENERIC_ALL, sid) ||
            !InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) ||
            !SetSecurityDescriptorDacl(&descriptor_, TRUE, acl, FALSE) ||
            !SetSecurityDescriptorControl(&descriptor_, SE_DACL_PROTECTED, SE_DACL_PROTECTED))
            Raise_Error(GetLastError());
        attributes_.lpSecurityDescriptor = &descriptor_;
    }
    User_Only_Security(const User_Only_Security&) = delete;
    User_Only_Security& operator=(const User_Only_Security&) = delete;

    SECURITY_ATTRIBUTES* Attributes() noexcept { return &attributes_; }

private:
    std::vector<unsigned char> user_;
    std::vector<unsigned char> acl_;
    SECURITY_DESCRIPTOR descriptor_{};
    SECURITY_ATTRIBUTES attributes_{sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
};

// Wine creates the pipe despite FILE_FLAG_FIRST_PIPE_INSTANCE when another process already holds
// an instance of the name; so the count of instances is asked, and a pipe that is not the only
// one fails as the flag would have it fail.
void Refuse_Unless_First_Instance(Pipe_Record& record)
{
    DWORD instances = 0;
    if (!GetNamedPipeHandleStateA(record.Handle.get(), nullptr, &instances, nullptr, nullptr, nullptr, 0))
        Raise_Error(GetLastError());
    if (instances == 1) return;
    record.Handle.reset();
    Raise_Error(ERROR_ACCESS_DENIED);
}

void Create_Server(Pipe_Record& record)
{
    std::optional<User_Only_Security> security;
    DWORD open_mode = Open_Mode(record.Mode);
    if (record.Private) {
        security.emplace();
        open_mode |= FILE_FLAG_FIRST_PIPE_INSTANCE;
    }
    record.Handle.reset(CreateNamedPipeA(Full_Name(record.Name).c_str(), open_mode, Server_Pipe_Mode, One_Instance,
                                         record.Buffer_Size, record.Buffer_Size, Default_Client_Wait,
                                         security ? security->Attributes() : nullptr));
    if (!record.Handle) Raise_Error(GetLastError());
    if (record.Private) Refuse_Unless_First_Instance(record);
}

// The caller's stop event, when it has one, ends every wait. Operations that complete at once never
// wait, so they look at the event too, but only every Stop_Check_Interval_Ms: looking costs a
// call into the system, as much as the operation itself.
void Raise_If_Stopped(Pipe_Record& record)
{
    if (record.Stopped) throw STOPPED();
    if (!record.Stop_Event) return;
    const ULONGLONG now = GetTickCount64();
    if (now < record.Next_Stop_Check) return;
    record.Next_Stop_Check = now + Stop_Check_Interval_Ms;
    if (WaitForSingleObject(record.Stop_Event, Without_Waiting) != WAIT_OBJECT_0) return;
    record.Stopped = true;
    throw STOPPED();
}

// Waits for Block's pending operation, at most the record's time-out (TIMEOUT) and only until the
// stop event is set (STOPPED), and returns its byte count. An operation that is not finished is
// cancelled before this returns, so the system never writes into the caller's buffer afterwards.
DWORD Await_Pending(Pipe_Record& record, Overlapped_Block& block)
{
    block.Pending = true;
    const HANDLE events[] = {block.Event.get(), record.Stop_Event};
    const DWORD event_count = record.Stop_Event ? 2 : 1;
    const DWORD waited = WaitForMultipleObjects(event_count, events, FALSE, record.Timeout_Ms);
    const DWORD wait_error = waited == WAIT_FAILED ? GetLastError() : ERROR_SUCCESS;
    if (waited == WAIT_OBJECT_0) return Completed_Bytes(record, block);
    DWORD bytes = 0;
    DWORD operation_error = ERROR_SUCCESS;
    if (Finish_Pending(record, block, bytes, operation_error)) return bytes; // done just in time
    if (waited == WAIT_TIMEOUT) throw TIMEOUT();
    if (waited == WAIT_OBJECT_0 + 1) {
        record.Stopped = true;
        throw STOPPED();
    }
    Raise_Error(waited == WAIT_FAILED ? wait_error : operation_error);
}

// Waits for the one client; TIMEOUT when none comes within the record's time-out.
void Connect(Pipe_Record& record)
{
    Raise_If_Stopped(record);
    Overlapped_Block& block = record.Connect;
    if (ConnectNamedPipe(record.Handle.get(), &block.Overlapped)) return;
    const DWORD error = GetLastError();
    if (error == ERROR_PIPE_CONNECTED) return; // the client came between creation and this call
    if (error != ERROR_IO_PENDING) Raise_Error(error);
    Await_Pending(record, block);
}

void Open_Client(Pipe_Record& record)
{
    record.Handle.reset(CreateFileA(Full_Name(record.Name).c_str(), Client_Access(record.Mode),
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!record.Handle) Raise_Error(GetLastError());
    DWORD read_mode = PIPE_READMODE_MESSAGE;
    if (!SetNamedPipeHandleState(record.Handle.get(), &read_mode, nullptr, nullptr)) Raise_Error(GetLastError());
}

Pipe_Record& Open_Record(const Pipe_Handle& pipe)
{
    if (!pipe) throw NO_HANDLE();
    return *pipe;
}

std::size_t Client_Read(Pipe_Record& record, void* buffer)
{
    DWORD bytes = 0;
    if (!ReadFile(record.Handle.get(), buffer, record.Buffer_Size, &bytes, nullptr)) Raise_Error(GetLastError());
    return bytes;
}

std::size_t Server_Read(Pipe_Record& record, void* buffer)
{
    Raise_If_Stopped(record);
    Overlapped_Block& block = record.Read;
    if (ReadFile(record.Handle.get(), buffer, record.Buffer_Size, nullptr, &block.Overlapped))
        return Completed_Bytes(record, block);
    const DWORD error = GetLastError();
    if (error != ERROR_IO_PENDING) Raise_Error(error);
    return Await_Pending(record, block);
}

DWORD Client_Write(Pipe_Record& record, const void* buffer, DWORD count)
{
    DWORD written = 0;
    if (!WriteFile(record.Handle.get(), buffer, count, &written, nullptr)) Raise_Error(GetLastError());
    return written;
}

// A client that does not read its answers fills the pipe's buffer, and the write then waits: for
// the record's time-out at most, as a read does.
DWORD Server_Write(Pipe_Record& record, const void* buffer, DWORD count)
{
    Raise_If_Stopped(record);
    Overlapped_Block& block = record.Write;
    if (WriteFile(record.Handle.get(), buffer, count, nullptr, &block.Overlapped)) return Completed_Bytes(record, block);
    const DWORD error = GetLastError();
    if (error != ERROR_IO_PENDING) Raise_Error(error);
    return Await_Pending(record, block);
}

std::string Unknown_Error_Line(std::uint32_t code)
{
    return "Windows.Pipe - Unknown_Error: " + std::to_string(code);
}

} // namespace

void Pipe_Record_Closer::operator()(Pipe_Record* record) const noexcept
{
    // Pending operations end before anything they write into goes away.
    if (record->Handle) {
        Cancel_Pending(*record, record->Connect);
        Cancel_Pending(*record, record->Read);
        Cancel_Pending(*record, record->Write);
        DisconnectNamedPipe(record->Handle.get()); // fails harmlessly for a client
        record->Handle.reset();
    }
    delete record; // and with it the events
}

std::uint32_t Timeout_Milliseconds(Seconds timeout)
{
    const double seconds = timeout.count();
    if (!(seconds >= 0.0)) throw Failures::RANGE_ERROR("negative time-out");
    if (seconds == 0.0) return INFINITE;
    if (seconds >= Too_Long_Seconds) throw Failures::RANGE_ERROR("time-out of 2**32 ms or more");
    const auto ticks = static_cast<std::int64_t>(std::llround(seconds * Ticks_Per_Second));
    const std::int64_t milliseconds = (ticks * Milliseconds_Per_Second + Ticks_Per_Second / 2) / Ticks_Per_Second;
    if (milliseconds > std::numeric_limits<std::uint32_t>::max())
        throw Failures::RANGE_ERROR("time-out of 2**32 ms or more");
    return static_cast<std::uint32_t>(milliseconds);
}

void Open(Pipe_Handle& pipe, const Open_Options& options)
{
    if (!options.Is_Server && options.Timeout.count() != 0.0) throw NOT_SERVER();
    Close(pipe);
    if (options.Name.empty()) throw Failures::RANGE_ERROR("empty pipe name");
    Pipe_Handle opened(new Pipe_Record);
    Pipe_Record& record = *opened;
    record.Name = options.Name;
    record.Is_Server = options.Is_Server;
    record.Mode = options.Mode;
    record.Buffer_Size = To_Dword(options.Buffer_Size, "buffer size");
    record.Stop_Event = options.Stop_Event;
    record.Private = options.Private;
    if (options.Is_Server) {
        for (Overlapped_Block* block : {&record.Connect, &record.Write, &record.Read}) Create_Event(*block);
        record.Timeout_Ms = Timeout_Milliseconds(options.Timeout);
        Create_Server(record);
        Connect(record);
    } else {
        Open_Client(record);
    }
    pipe = std::move(opened); // on any failure above, Opened closes what was made
}

void Close(Pipe_Handle& pipe) noexcept { pipe.reset(); }

std::size_t Read(const Pipe_Handle& pipe, void* buffer, Seconds timeout)
{
    Pipe_Record& record = Open_Record(pipe);
    if (!record.Is_Server) {
        if (timeout.count() != 0.0) throw NOT_SERVER();
        return Client_Read(record, buffer);
    }
    record.Timeout_Ms = Timeout_Milliseconds(timeout);
    return Server_Read(record, buffer);
}

void Write(const Pipe_Handle& pipe, const void* buffer, std::size_t count, Seconds timeout)
{
    Pipe_Record& record = Open_Record(pipe);
    const DWORD wanted = To_Dword(count, "message length");
    if (!record.Is_Server && timeout.count() != 0.0) throw NOT_SERVER();
    if (record.Is_Server) record.Timeout_Ms = Timeout_Milliseconds(timeout);
    const DWORD written = record.Is_Server ? Server_Write(record, buffer, wanted) : Client_Write(record, buffer, wanted);
    if (written != wanted) throw WRITE_INCOMPLETE();
}

void Raise_Error(std::uint32_t code)
{
    switch (code) {
    case ERROR_FILE_NOT_FOUND: throw NO_SERVER();
    case ERROR_ACCESS_DENIED: throw ACCESS_DENIED();
    case ERROR_BROKEN_PIPE: throw BROKEN();
    case ERROR_INVALID_NAME: throw INVALID_NAME();
    case ERROR_BAD_PIPE: throw BAD_PIPE();
    case ERROR_PIPE_BUSY: throw NAME_IN_USE();
    case ERROR_NO_DATA: throw NO_DATA();
    case ERROR_PIPE_NOT_CONNECTED: throw NO_SERVER();
    case ERROR_MORE_DATA: throw MORE_DATA();
    default: break;
    }
    Log::Put(Unknown_Error_Line(code));
    throw UNKNOWN_ERROR(std::to_string(code));
}

} // namespace Windows::Pipe
