#pragma once
// Move-only owners of operating-system handles; the destructor closes what the owner holds.
// Each kind says what "no handle" looks like: most kernel calls return NULL on failure, but
// CreateFile, CreateNamedPipe and CreateToolhelp32Snapshot return INVALID_HANDLE_VALUE, and
// closing either of those "empty" values would be a fault.
//
//     Windows::Unique_Handle event{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
//     if (!event) ...                       // failed: capture GetLastError now
//     WaitForSingleObject(event.get(), 0);  // borrow; the owner still closes it

#include <windows.h>

#include <cstdint>
#include <utility>

namespace Windows {

// Traits: `Value` (the handle type), `Empty()` (the value that owns nothing), `Close(value)`.
template <typename Traits>
class Unique_Resource {
public:
    using Value = typename Traits::Value;

    Unique_Resource() noexcept = default;
    explicit Unique_Resource(Value value) noexcept : value_(value) {}
    ~Unique_Resource() { reset(); }

    Unique_Resource(const Unique_Resource&) = delete;
    Unique_Resource& operator=(const Unique_Resource&) = delete;
    Unique_Resource(Unique_Resource&& other) noexcept : value_(other.release()) {}
    Unique_Resource& operator=(Unique_Resource&& other) noexcept
    {
        if (this != &other) reset(other.release());
        return *this;
    }

    Value get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return value_ != Traits::Empty(); }

    // Gives up ownership without closing.
    Value release() noexcept { return std::exchange(value_, Traits::Empty()); }

    // Closes the current value (if any) and takes Value.
    void reset(Value value = Traits::Empty()) noexcept
    {
        const Value old = std::exchange(value_, value);
        if (old != Traits::Empty()) Traits::Close(old);
    }

    // For calls that return the handle through an out parameter: closes the current value first.
    Value* put() noexcept
    {
        reset();
        return &value_;
    }

private:
    Value value_ = Traits::Empty();
};

struct Kernel_Handle_Traits {
    using Value = HANDLE;
    static Value Empty() noexcept { return nullptr; }
    static void Close(Value value) noexcept { CloseHandle(value); }
};

struct File_Handle_Traits {
    using Value = HANDLE;
    static Value Empty() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Value value) noexcept { CloseHandle(value); }
};

struct Registry_Key_Traits {
    using Value = HKEY;
    static Value Empty() noexcept { return nullptr; }
    static void Close(Value value) noexcept { RegCloseKey(value); }
};

// Events, processes, threads, tokens, mutexes: empty is NULL.
using Unique_Handle = Unique_Resource<Kernel_Handle_Traits>;
// Files, named pipes, tool-help snapshots: empty is INVALID_HANDLE_VALUE.
using Unique_File = Unique_Resource<File_Handle_Traits>;
// A registry key opened or created by the program; never one of the predefined roots.
using Unique_Key = Unique_Resource<Registry_Key_Traits>;

// Both handles that CreateProcess returns.
struct Unique_Process_Information {
    Unique_Handle Process;
    Unique_Handle Thread;
    std::uint32_t Process_Id = 0;
    std::uint32_t Thread_Id = 0;

    Unique_Process_Information() = default;
    explicit Unique_Process_Information(const PROCESS_INFORMATION& information) noexcept
        : Process(information.hProcess), Thread(information.hThread),
          Process_Id(information.dwProcessId), Thread_Id(information.dwThreadId)
    {
    }
};

} // namespace Windows
