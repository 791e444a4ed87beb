#pragma once
// Helpers shared by the platform library's own tests.

#include <windows.h>
#include <winternl.h>

#include <string>
#include <vector>

namespace Platform_Test_Support {

// Handles of this process as the system counts them (files, keys, processes, threads...); 0 when
// the system does not tell, which callers must not take for a count.
inline ULONG Open_Handle_Count()
{
    struct Handle_Entry {
        ULONG Owner;
        BYTE Type;
        BYTE Flags;
        USHORT Value;
        PVOID Object;
        ULONG Access;
    };
    constexpr auto System_Handle_Information = static_cast<SYSTEM_INFORMATION_CLASS>(16);
    std::vector<ULONG_PTR> buffer(1 << 18);
    ULONG returned = 0;
    if (NtQuerySystemInformation(System_Handle_Information, buffer.data(),
                                 static_cast<ULONG>(buffer.size() * sizeof(ULONG_PTR)), &returned) != 0)
        return 0;
    const auto count = static_cast<ULONG>(buffer[0]);
    const auto* entries = reinterpret_cast<const Handle_Entry*>(buffer.data() + 1);
    ULONG own = 0;
    for (ULONG index = 0; index < count; ++index) own += entries[index].Owner == GetCurrentProcessId();
    return own;
}

// Full path of the running test program.
inline std::string Own_Path()
{
    char path[MAX_PATH];
    return std::string(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
}

} // namespace Platform_Test_Support
