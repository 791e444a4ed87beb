#include "windows/files_io.hpp"

#include "windows/unicode.hpp"
#include "windows/unique_handle.hpp"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <utility>

namespace Windows::Files::IO {

// Counters are 32-bit naturals: a file offset above this is out of range.
constexpr std::uint32_t Largest_Offset = 0x7FFFFFFF;

struct File_Record {
    Unique_File Os_Handle;
    std::uint32_t Buffer_Start = 0; // file offset of buffer byte 0
    std::uint32_t Buffer_Index = 0; // buffer bytes consumed; the next byte is Buffer[Buffer_Index]
    std::uint32_t Buffer_Count = 0; // valid bytes in the buffer
    std::unique_ptr<char[]> Buffer; // null once the file is closed
    File_Mode Mode = File_Mode::Reading;
    bool Dirty = false; // the buffer holds bytes given to Put that are not written yet
};

namespace {

constexpr std::uint32_t Buffer_Size = Handle::Buffer_Size;
constexpr int Bits_Per_Byte = 8;
constexpr int Dword_Bits = 32;
constexpr unsigned Low_Byte = 0xFF;
// Wide text is UTF-16, low byte first.
constexpr std::uint32_t Code_Unit_Bytes = 2;
constexpr char16_t Next_Line = 0x85;
constexpr char16_t Line_Separator = 0x2028;
constexpr char16_t Paragraph_Separator = 0x2029;

std::uint32_t Checked_Offset(std::uint64_t offset)
{
    if (offset > Largest_Offset) throw Failures::RANGE_ERROR("file offset of 2 GiB or more");
    return static_cast<std::uint32_t>(offset);
}

void Seek(File_Record& record, std::uint32_t offset)
{
    if (SetFilePointer(record.Os_Handle.get(), static_cast<LONG>(offset), nullptr, FILE_BEGIN) ==
        INVALID_SET_FILE_POINTER)
        throw UNEXPECTED_ERROR();
}

// Moves the system's position to the end and returns the file size.
std::uint32_t Seek_End(File_Record& record)
{
    LONG high = 0;
    const DWORD low = SetFilePointer(record.Os_Handle.get(), 0, &high, FILE_END);
    if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) throw UNEXPECTED_ERROR();
    return Checked_Offset((static_cast<std::uint64_t>(static_cast<DWORD>(high)) << Dword_Bits) | low);
}

// Reads up to one buffer from the system's position; the counters are the caller's business.
std::uint32_t Read_Block(File_Record& record)
{
    DWORD read = 0;
    if (!ReadFile(record.Os_Handle.get(), record.Buffer.get(), Buffer_Size, &read, nullptr)) throw END_ERROR();
    return read;
}

void Write_Back(File_Record& record);

// The buffer moves on to the next bytes of the file.
void Fill_Buffer(File_Record& record)
{
    if (record.Dirty) {
        Write_Back(record);
        // In Reading mode the write-back has already moved the buffer on.
        if (record.Mode == File_Mode::Reading) return;
    }
    const std::uint32_t next_start = Checked_Offset(std::uint64_t{record.Buffer_Start} + record.Buffer_Count);
    const std::uint32_t read = Read_Block(record);
    record.Buffer_Start = next_start;
    record.Buffer_Count = read;
    record.Buffer_Index = 0;
}

void Write_Back(File_Record& record)
{
    if (record.Buffer_Count == 0) return;
    // Nothing is written that would take the file past what the counters can hold.
    const std::uint32_t next_start = Checked_Offset(std::uint64_t{record.Buffer_Start} + record.Buffer_Count);
    if (record.Mode == File_Mode::Reading) Seek(record, record.Buffer_Start);
    DWORD written = 0;
    if (!WriteFile(record.Os_Handle.get(), record.Buffer.get(), record.Buffer_Count, &written, nullptr) ||
        written != record.Buffer_Count)
        throw END_ERROR();
    record.Dirty = false;
    if (record.Mode == File_Mode::Reading) return Fill_Buffer(record);
    record.Buffer_Start = next_start;
    record.Buffer_Index = 0;
    record.Buffer_Count = 0;
}

// Takes the next byte; refills at once when it was the last one in the buffer, so that
// End_Of_File needs no system call.
char Take_Byte(File_Record& record)
{
    const char byte = record.Buffer[record.Buffer_Index];
    if (record.Buffer_Index + 1 == record.Buffer_Count) {
        Fill_Buffer(record);
    } else {
        ++record.Buffer_Index;
    }
    return byte;
}

bool In_Buffer(const File_Record& record, std::uint32_t offset)
{
    return offset >= record.Buffer_Start && offset - record.Buffer_Start < record.Buffer_Count;
}

// LF, VT, FF, CR: four neighbouring codes.
bool Is_Terminator(char byte) { return byte >= '\n' && byte <= '\r'; }

char16_t Code_Unit(char low, char high)
{
    return static_cast<char16_t>(static_cast<unsigned char>(low) | static_cast<unsigned char>(high) << Bits_Per_Byte);
}

// LF, VT, FF, CR, NEL, LINE SEPARATOR, PARAGRAPH SEPARATOR.
bool Is_Wide_Terminator(char16_t unit)
{
    if (unit >= u'\n' && unit <= u'\r') return true;
    return unit == Next_Line || unit == Line_Separator || unit == Paragraph_Separator;
}

std::wstring Wide_Text(const std::string& bytes)
{
    if (bytes.size() % Code_Unit_Bytes != 0) throw END_ERROR();
    std::wstring text(bytes.size() / Code_Unit_Bytes, L'\0');
    for (std::size_t index = 0; index < text.size(); ++index) {
        const std::size_t low = Code_Unit_Bytes * index;
        text[index] = static_cast<wchar_t>(Code_Unit(bytes[low], bytes[low + 1]));
    }
    return text;
}

std::string Wide_Bytes(std::wstring_view text)
{
    std::string bytes;
    bytes.reserve(text.size() * Code_Unit_Bytes);
    for (const wchar_t character : text) {
        bytes += static_cast<char>(character & Low_Byte);
        bytes += static_cast<char>((character >> Bits_Per_Byte) & Low_Byte);
    }
    return bytes;
}

void Put_Bytes(File_Record& record, std::string_view item)
{
    while (!item.empty()) {
        const std::uint32_t free = Buffer_Size - record.Buffer_Index;
        const std::uint32_t count = static_cast<std::uint32_t>(std::min<std::size_t>(item.size(), free));
        std::copy_n(item.data(), count, record.Buffer.get() + record.Buffer_Index);
        record.Dirty = true;
        record.Buffer_Index += count;
        record.Buffer_Count = std::max(record.Buffer_Count, record.Buffer_Index);
        item.remove_prefix(count);
        // A buffer that has become full is written at once.
        if (count == free) Write_Back(record);
    }
}

// The last copy of a handle is gone: what is pending is written, and nobody is left to hear of a
// failure.
void Close_Last_Copy(File_Record* record) noexcept
{
    if (record->Buffer && record->Mode == File_Mode::Appending) {
        try {
            Write_Back(*record);
        } catch (...) {
        }
    }
    delete record; // closes the system handle
}

std::shared_ptr<File_Record> Make_Record(Unique_File os_handle, File_Mode mode)
{
    std::shared_ptr<File_Record> record(new File_Record, Close_Last_Copy);
    record->Os_Handle = std::move(os_handle);
    record->Buffer = std::make_unique<char[]>(Buffer_Size);
    record->Mode = mode;
    if (mode == File_Mode::Appending) {
        record->Buffer_Start = Seek_End(*record);
    } else {
        record->Buffer_Count = Read_Block(*record);
    }
    return record;
}

HANDLE Create_File(const std::wstring& name, DWORD access, DWORD share, DWORD disposition)
{
    return CreateFileW(name.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

Unique_File Create_For_Writing(const std::wstring& name, const Create_Options& options)
{
    Unique_File file(Create_File(name, GENERIC_WRITE, options.Share_Read ? FILE_SHARE_READ : 0,
                                 options.New_Only ? CREATE_NEW : CREATE_ALWAYS));
    if (!file) throw CREATION_FAILURE();
    return file;
}

Unique_File Open_Existing(const std::wstring& name, File_Mode mode)
{
    // Readers share the file with other readers; an appending handle holds it alone.
    const bool reading = mode == File_Mode::Reading;
    Unique_File file(Create_File(name, reading ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE,
                                 reading ? FILE_SHARE_READ : 0, OPEN_EXISTING));
    if (!file) throw FILE_NOT_FOUND();
    return file;
}

} // namespace

File_Record& Handle::Open_Record() const
{
    if (!record_ || !record_->Buffer) throw BAD_HANDLE();
    return *record_;
}

Handle Handle::Create(std::string_view name, const Create_Options& options)
{
    return Create(Unicode::Wide(name), options);
}

Handle Handle::Create(std::wstring_view name, const Create_Options& options)
{
    return Handle(Make_Record(Create_For_Writing(std::wstring(name), options), File_Mode::Appending));
}

Handle Handle::Open(std::string_view name, File_Mode mode) { return Open(Unicode::Wide(name), mode); }

Handle Handle::Open(std::wstring_view name, File_Mode mode)
{
    return Handle(Make_Record(Open_Existing(std::wstring(name), mode), mode));
}

bool Handle::End_Of_File() const
{
    if (!record_) throw BAD_HANDLE();
    return record_->Buffer_Index == record_->Buffer_Count;
}

std::string Handle::Get_Line()
{
    File_Record& record = Open_Record();
    std::string line;
    for (;;) {
        const char* buffer = record.Buffer.get();
        const char* begin = buffer + record.Buffer_Index;
        const char* end = buffer + record.Buffer_Count;
        const char* terminator = std::find_if(begin, end, Is_Terminator);
        line.append(begin, terminator);
        if (terminator != end) {
            record.Buffer_Index = static_cast<std::uint32_t>(terminator - buffer);
            // CR LF is one terminator, also when the two bytes are in different buffers.
            if (Take_Byte(record) == '\r' && !End_Of_File() && record.Buffer[record.Buffer_Index] == '\n')
                Take_Byte(record);
            return line;
        }
        if (record.Buffer_Count < Buffer_Size) {
            // The end of the file is in this buffer.
            record.Buffer_Index = record.Buffer_Count;
            return line;
        }
        Fill_Buffer(record);
    }
}

std::wstring Handle::Get_Wide_Line()
{
    File_Record& record = Open_Record();
    std::string bytes;
    // The last byte of Bytes is the low half of a code unit whose high half starts this buffer.
    bool split = false;
    for (;;) {
        const char* buffer = record.Buffer.get();
        std::uint32_t from = record.Buffer_Index;
        if (split) {
            if (from == record.Buffer_Count) break; // an odd number of bytes in the file
            if (Is_Wide_Terminator(Code_Unit(bytes.back(), buffer[from]))) {
                bytes.pop_back();
                Take_Byte(record);
                return Wide_Text(bytes);
            }
            bytes += buffer[from++];
            split = false;
        }
        std::uint32_t unit = from;
        while (unit + 1 < record.Buffer_Count && !Is_Wide_Terminator(Code_Unit(buffer[unit], buffer[unit + 1])))
            unit += Code_Unit_Bytes;
        if (unit + 1 < record.Buffer_Count) {
            bytes.append(buffer + from, buffer + unit);
            record.Buffer_Index = unit;
            Take_Byte(record);
            Take_Byte(record);
            return Wide_Text(bytes);
        }
        bytes.append(buffer + from, buffer + record.Buffer_Count);
        if (record.Buffer_Count < Buffer_Size) {
            record.Buffer_Index = record.Buffer_Count;
            break;
        }
        split = (record.Buffer_Count - from) % Code_Unit_Bytes != 0;
        Fill_Buffer(record);
    }
    return Wide_Text(bytes);
}

void Handle::Put(std::string_view item) { Put_Bytes(Open_Record(), item); }

void Handle::Put(std::wstring_view item) { Put_Bytes(Open_Record(), Wide_Bytes(item)); }

void Handle::Put_Line(std::string_view item)
{
    File_Record& record = Open_Record();
    std::string line(item);
    line += "\r\n";
    Put_Bytes(record, line);
}

void Handle::Put_Line(std::wstring_view item)
{
    File_Record& record = Open_Record();
    Put_Bytes(record, Wide_Bytes(item) + Wide_Bytes(L"\n"));
}

void Handle::Set_Position(std::uint32_t position)
{
    File_Record& record = Open_Record();
    if (record.Mode == File_Mode::Appending) throw WRONG_MODE();
    if (position == 0) throw Failures::RANGE_ERROR("file positions count from 1");
    const std::uint32_t offset = Checked_Offset(position - 1);
    if (In_Buffer(record, offset)) {
        record.Buffer_Index = offset - record.Buffer_Start;
        return;
    }
    if (record.Dirty) {
        Write_Back(record);
        if (In_Buffer(record, offset)) {
            record.Buffer_Index = offset - record.Buffer_Start;
            return;
        }
    }
    Seek(record, offset);
    const std::uint32_t read = Read_Block(record);
    record.Buffer_Start = offset;
    record.Buffer_Count = read;
    record.Buffer_Index = 0;
}

void Handle::Reset() { Set_Position(1); }

std::uint32_t Handle::Position() const
{
    const File_Record& record = Open_Record();
    return record.Buffer_Start + record.Buffer_Index + 1;
}

void Handle::Flush()
{
    File_Record& record = Open_Record();
    if (record.Mode == File_Mode::Appending) Write_Back(record);
    FlushFileBuffers(record.Os_Handle.get());
}

void Handle::Close()
{
    File_Record& record = Open_Record();
    // A failed write leaves the file open; the last release closes it later.
    if (record.Mode == File_Mode::Appending) Write_Back(record);
    record.Buffer.reset();
    record.Os_Handle.reset();
}

bool Handle::Is_Open() const noexcept { return record_ && record_->Buffer; }

} // namespace Windows::Files::IO
