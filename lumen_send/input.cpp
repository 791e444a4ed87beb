#include "lumen_send/input.hpp"

#include "windows/unicode.hpp"
#include "windows/unique_handle.hpp"

#include <windows.h>

namespace Send::Input {

namespace {

constexpr DWORD Chunk_Size = 64 * 1024;

[[noreturn]] void Raise(std::string_view what, std::string_view path, DWORD error)
{
    throw CANNOT_READ("cannot " + std::string(what) + " " + std::string(path) + " (system error " +
                      std::to_string(error) + ")");
}

// Reads to the end. A pipe whose writer has gone reports a broken pipe: that is its end too.
std::string Read_To_End(HANDLE source, std::string_view path)
{
    std::string bytes;
    for (;;) {
        const std::size_t filled = bytes.size();
        bytes.resize(filled + Chunk_Size);
        DWORD count = 0;
        const BOOL done = ReadFile(source, bytes.data() + filled, Chunk_Size, &count, nullptr);
        const DWORD error = done ? ERROR_SUCCESS : GetLastError();
        bytes.resize(filled + count);
        if (error == ERROR_BROKEN_PIPE || (done && count == 0)) return bytes;
        if (!done) Raise("read", path, error);
    }
}

} // namespace

std::string Read_All(std::string_view path)
{
    if (path == "-") {
        // Borrowed: standard input belongs to the process, not to this function.
        const HANDLE standard_input = GetStdHandle(STD_INPUT_HANDLE);
        if (standard_input == INVALID_HANDLE_VALUE || standard_input == nullptr)
            Raise("read", "standard input", GetLastError());
        return Read_To_End(standard_input, "standard input");
    }
    Windows::Unique_File file{CreateFileW(Windows::Unicode::Wide(path).c_str(), GENERIC_READ,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                          FILE_FLAG_SEQUENTIAL_SCAN, nullptr)};
    if (!file) Raise("open", path, GetLastError());
    return Read_To_End(file.get(), path);
}

} // namespace Send::Input
