#pragma once
// The lines of the source files that compiler messages name, read from disk when a message
// comes without the compiler's echo of its line (or with an echo whose tabs the compiler
// expanded). Each file is read whole, once, and kept while there is room; one that cannot be read
// is not tried again.
//
// The names come from the compiler's output, and so from the code it compiled ("#line" can
// name anything): a name is made the full path of a file on a local drive first, and only that
// path is read (Windows::Local_Files::Canonical). Network names in every spelling ("\\host",
// "\??\UNC\host"), the system's name spaces ("\\?\", "\\.\", "\??\"), devices (CON, NUL, COM1,
// ...), a name the system reads as another file ("x.c\."), a file whose final path (links
// followed) is not on a local drive, anything that is not a disk file, and a file over 64 MiB
// are not read.
//
// The files are kept by their full path, so "x.c", ".\x.c" and "sub\..\x.c" are read and held
// once. What is held (the text, its line index and the path, of the files that "#line" names
// too) stays within a cap: the file used least recently goes first.

#include <cstddef>
#include <cstdint>
#include <list>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace Send::Source_Files {

inline constexpr std::size_t Largest_File = 64 * 1024 * 1024;
// The shipped build is a 32-bit program: 2 GB of address space, in which the input, its places
// and the transfer live too.
inline constexpr std::size_t Default_Cap = 256 * 1024 * 1024;

struct Source_Line {
    std::string_view Text; // without its line end; valid until the next call of Line
    bool Is_Utf8 = false;  // how the file is encoded: UTF-8 (a signature or valid UTF-8 bytes) or ANSI
};

class Source_Files {
public:
    explicit Source_Files(std::size_t cap = Default_Cap) : cap_(cap) {}

    // Line Number (from 1) of the file Name (UTF-8 when valid UTF-8, else ANSI; relative to the
    // current folder); nothing when the file may not or cannot be read, or is shorter.
    std::optional<Source_Line> Line(const std::string& name, std::int32_t number);

private:
    struct File {
        std::string Text; // UTF-16 files are kept as UTF-8
        std::vector<std::uint32_t> Line_Starts;
        bool Is_Utf8 = false;
    };
    struct Held {
        std::string Path;
        std::optional<File> Content; // nothing: the file cannot be read
        std::size_t Bytes = 0;       // what it counts against the cap
    };

    const Held& Find_Or_Read(const std::string& path);
    void Make_Room();

    std::size_t cap_;
    std::size_t held_bytes_ = 0;
    std::list<Held> by_use_; // the most recently used first
    std::unordered_map<std::string_view, std::list<Held>::iterator> by_path_; // keys point into by_use_
};

} // namespace Send::Source_Files
