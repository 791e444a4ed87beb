#pragma once
// Buffered, line-oriented file access through a handle.
//
// A Handle refers to a shared file record holding the system handle and one 500-byte buffer.
// Copies of a handle share the record (and its position); the file is closed, with pending
// bytes written, when the last copy goes away. Close closes the file for every copy: later
// operations through any of them raise BAD_HANDLE. A handle and all its copies belong to one
// thread at a time.
//
// Files are limited to less than 2 GiB (the record's counters are 32-bit); a file or a position
// beyond that raises Failures::RANGE_ERROR.

#include "support/failure.hpp"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

namespace Windows::Files::IO {

using FILE_NOT_FOUND = Failures::Failure<"WINDOWS.FILES.IO.FILE_NOT_FOUND">;
using CREATION_FAILURE = Failures::Failure<"WINDOWS.FILES.IO.CREATION_FAILURE">;
using BAD_HANDLE = Failures::Failure<"WINDOWS.FILES.IO.BAD_HANDLE">;
using WRONG_MODE = Failures::Failure<"WINDOWS.FILES.IO.WRONG_MODE">;
using END_ERROR = Failures::Failure<"WINDOWS.FILES.IO.END_ERROR">;
using UNEXPECTED_ERROR = Failures::Failure<"WINDOWS.FILES.IO.UNEXPECTED_ERROR">;

enum class File_Mode : std::uint8_t { Reading, Appending };

// The shared state of one opened file; only the handles see it.
struct File_Record;

// How Handle::Create makes its file, both fields named in the call (neither has a default, so
// -Wmissing-field-initializers reports a call that leaves one out).
struct Create_Options {
    bool New_Only;   // an existing file is CREATION_FAILURE; otherwise it is created or emptied
    bool Share_Read; // other programs may read the file meanwhile
};

class Handle {
public:
    static constexpr std::uint32_t Buffer_Size = 500;

    // A null handle: every operation on it raises BAD_HANDLE. Copies share the record, a handle
    // moved from is null, and the last copy to go writes what is pending and closes the file.
    Handle() noexcept = default;

    // A file for writing only, in Appending mode, made as Options say. A narrow name is UTF-8.
    static Handle Create(std::string_view name, const Create_Options& options);
    static Handle Create(std::wstring_view name, const Create_Options& options);
    // An existing file. Reading: read access, others may read too; the first buffer is read at
    // once. Appending: read and write access, exclusive, writes go to the end.
    static Handle Open(std::string_view name, File_Mode mode);
    static Handle Open(std::wstring_view name, File_Mode mode);

    // True when no unread byte is left (the buffer is refilled as soon as its last byte is taken).
    bool End_Of_File() const;
    // One line without its terminator: LF, VT, FF or CR, with CR LF counting as one. At the end
    // of the file the line is empty; test End_Of_File first.
    std::string Get_Line();
    // The same over UTF-16 little-endian text; terminators LF, VT, FF, CR, NEL, U+2028, U+2029,
    // with no CR LF pairing. An odd number of bytes left at the end raises END_ERROR.
    std::wstring Get_Wide_Line();

    void Put(std::string_view item);
    // The UTF-16 code units, low byte first, no byte-order mark.
    void Put(std::wstring_view item);
    // Item and CR LF.
    void Put_Line(std::string_view item);
    // Item and one wide LF.
    void Put_Line(std::wstring_view item);

    // Reading mode only (WRONG_MODE otherwise); Position counts bytes from 1.
    void Set_Position(std::uint32_t position);
    void Reset(); // Set_Position(1)
    std::uint32_t Position() const;

    // Writes pending bytes (Appending mode) and asks the system to flush its own buffers.
    void Flush();
    // Writes pending bytes (Appending mode) and closes the file for every copy of the handle.
    // A failed write raises END_ERROR and leaves the file open.
    void Close();

    // Whether the handle refers to a file that has not been closed.
    bool Is_Open() const noexcept;

    // Two handles are equal when they share one record (two null handles are equal).
    friend bool operator==(const Handle& left, const Handle& right) noexcept
    {
        return left.record_ == right.record_;
    }

private:
    explicit Handle(std::shared_ptr<File_Record> record) noexcept : record_(std::move(record)) {}
    File_Record& Open_Record() const; // BAD_HANDLE when null or closed

    std::shared_ptr<File_Record> record_;
};

} // namespace Windows::Files::IO
