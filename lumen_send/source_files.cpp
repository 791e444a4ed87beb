#include "lumen_send/source_files.hpp"

#include "lumen_send/utf8.hpp"
#include "windows/local_files.hpp"
#include "windows/unicode.hpp"
#include "windows/unique_handle.hpp"

#include <windows.h>

#include <algorithm>

namespace Send::Source_Files {

namespace {

// The files are opened by their UTF-8 names; a compiler that prints 8-bit names prints them in the
// ANSI code page.
std::string Utf8_Name(const std::string& name)
{
    if (Utf8::Kind_Of(name) != Utf8::Kind::Invalid) return name;
    return Utf8::From_Code_Page(name, 1).Text;
}

// The bytes of the file at Path, a canonical local path; nothing when it is not a disk file on a
// local drive, is too large or cannot be read.
std::optional<std::string> Read_Disk_File(const std::string& path)
{
    Windows::Unique_File file{CreateFileW(Windows::Unicode::Wide(path).c_str(), GENERIC_READ,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                          FILE_FLAG_SEQUENTIAL_SCAN, nullptr)};
    if (!file || GetFileType(file.get()) != FILE_TYPE_DISK) return std::nullopt;
    // A link or junction in the path may lead to a share: the name alone does not tell.
    if (!Windows::Local_Files::Is_On_Local_Drive(file.get())) return std::nullopt;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart > static_cast<LONGLONG>(Largest_File)) return std::nullopt;
    std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD count = 0;
    if (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &count, nullptr)) return std::nullopt;
    bytes.resize(count);
    return bytes;
}

// UTF-16 (little-endian, with its byte-order mark, as Windows editors save it) becomes UTF-8.
std::string Utf8_Of_Utf16(std::string_view bytes)
{
    return Windows::Unicode::Utf8(std::wstring_view(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2));
}

// Bytes is taken over.
void Decode(std::string& bytes, std::string& text, bool& is_utf8)
{
    if (bytes.starts_with("\xFF\xFE")) {
        text = Utf8_Of_Utf16(std::string_view(bytes).substr(2));
        is_utf8 = true;
    } else if (bytes.starts_with("\xEF\xBB\xBF")) {
        bytes.erase(0, 3);
        text = std::move(bytes);
        is_utf8 = true;
    } else {
        is_utf8 = Utf8::Kind_Of(bytes) == Utf8::Kind::Utf8;
        text = std::move(bytes);
    }
}

// Counted first, so that the index is allocated once at its size: growing it by doubling would
// hold half as much again for a while.
std::vector<std::uint32_t> Line_Starts_Of(std::string_view text)
{
    std::vector<std::uint32_t> starts;
    starts.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1);
    starts.push_back(0);
    for (std::size_t at = text.find('\n'); at != std::string_view::npos; at = text.find('\n', at + 1))
        starts.push_back(static_cast<std::uint32_t>(at + 1));
    return starts;
}

} // namespace

std::optional<Source_Line> Source_Files::Line(const std::string& name, std::int32_t number)
{
    const Windows::Local_Files::Decision local = Windows::Local_Files::Canonical(Utf8_Name(name));
    if (!local.Accepted()) return std::nullopt;
    const std::optional<File>& file = Find_Or_Read(local.Path).Content;
    if (!file || number < 1 || static_cast<std::size_t>(number) > file->Line_Starts.size()) return std::nullopt;
    std::string_view text = std::string_view(file->Text).substr(file->Line_Starts[static_cast<std::size_t>(number) - 1]);
    text = text.substr(0, text.find('\n'));
    if (text.ends_with('\r')) text.remove_suffix(1);
    return Source_Line{text, file->Is_Utf8};
}

const Source_Files::Held& Source_Files::Find_Or_Read(const std::string& path)
{
    if (const auto found = by_path_.find(path); found != by_path_.end()) {
        by_use_.splice(by_use_.begin(), by_use_, found->second);
        return *found->second;
    }
    Held& held = by_use_.emplace_front(Held{.Path = path});
    if (std::optional<std::string> bytes = Read_Disk_File(path)) {
        File& file = held.Content.emplace();
        Decode(*bytes, file.Text, file.Is_Utf8);
        file.Line_Starts = Line_Starts_Of(file.Text);
        held.Bytes = file.Text.size() + file.Line_Starts.size() * sizeof(std::uint32_t);
    }
    held.Bytes += held.Path.size();
    held_bytes_ += held.Bytes;
    by_path_.emplace(held.Path, by_use_.begin());
    Make_Room();
    return held;
}

// The file just read stays, whatever its size: the cap is far above the largest file read.
void Source_Files::Make_Room()
{
    while (held_bytes_ > cap_ && by_use_.size() > 1) {
        const Held& oldest = by_use_.back();
        held_bytes_ -= oldest.Bytes;
        by_path_.erase(oldest.Path);
        by_use_.pop_back();
    }
}

} // namespace Send::Source_Files
