#pragma once
// The lines of the source files that compiler messages name, read from disk when a message
// comes without the compiler's echo of its line (or with an echo whose tabs the compiler
// expanded). Each file is read once, whole, and kept; one that cannot be read is not tried
// again.
//
// The names come from the compiler's output, and so from the code it compiled ("#line" can
// name anything): only plain files on local or mapped drives are read. Names of the network
// ("\\host\share"), of the device space ("\\.\", "\\?\") and of devices (CON, NUL, COM1, ...)
// are not opened, nor is anything that turns out not to be a disk file, nor a file over 64 MiB.

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Send::Source_Files {

inline constexpr std::size_t Largest_File = 64 * 1024 * 1024;

struct Source_Line {
    std::string_view Text; // without its line end; valid while the Source_Files lives
    bool Is_Utf8 = false;  // how the file is encoded: UTF-8 (a signature or valid UTF-8 bytes) or ANSI
};

// Whether Name may be opened at all (see above); a relative name is taken against the current
// folder.
bool Is_Readable_Name(std::string_view name) noexcept;

class Source_Files {
public:
    // Line Number (from 1) of the file Name (UTF-8 when valid UTF-8, else ANSI); nothing when
    // the file cannot be read or is shorter.
    std::optional<Source_Line> Line(const std::string& name, std::int32_t number);

private:
    struct File {
        std::string Bytes; // UTF-16 files are kept as UTF-8
        std::vector<std::size_t> Line_Starts;
        bool Is_Utf8 = false;
    };
    std::map<std::string, std::optional<File>> files_;
};

} // namespace Send::Source_Files
