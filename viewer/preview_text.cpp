#include "viewer/preview_text.hpp"

#include "viewer/entry_text.hpp"

#include "support/paths.hpp"
#include "support/utf8.hpp"
#include "windows/local_files.hpp"
#include "windows/unicode.hpp"
#include "windows/unique_handle.hpp"

#include <windows.h>

#include <algorithm>
#include <deque>
#include <tuple>
#include <vector>

namespace Control::Preview_Text {

namespace {

// Read this much at a time: the read ends at most this far beyond the last line shown.
constexpr std::size_t Block_Size = 64 * 1024;
// Bytes enough for more than Longest_Line characters in any of the encodings.
constexpr std::size_t Line_Byte_Limit = 4 * Longest_Line + 4;
constexpr std::wstring_view Cut_Mark = L"...";
constexpr std::wstring_view Number_Gap = L"  ";

enum class Encoding { Utf8, Utf16_Little, Utf16_Big, Ansi };

std::size_t Unit_Size(Encoding encoding)
{
    return encoding == Encoding::Utf16_Little || encoding == Encoding::Utf16_Big ? 2 : 1;
}

// Why the file is not shown; becomes the pane's only line.
struct Not_Shown {
    std::wstring Text;
};

using Gui::Widened;

std::wstring System_Message(DWORD error)
{
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                            FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message = length ? std::wstring(text, length) : L"System error " + std::to_wstring(error);
    if (text) LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' '))
        message.pop_back();
    return message;
}

[[noreturn]] void Refuse(std::wstring text) { throw Not_Shown{std::move(text)}; }

[[noreturn]] void Refuse_System_Error(DWORD error, const std::string& file)
{
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) Refuse(L"File not found: " + Widened(file));
    Refuse(L"Cannot read " + Widened(file) + L": " + System_Message(error));
}

// A name as the pane may show it: a control character would break the line, so it shows as its
// picture ("\u2400" for NUL).
std::wstring Shown_Name(const std::string& file)
{
    std::wstring name = Widened(file);
    for (wchar_t& c : name)
        if (c < 0x20) c = static_cast<wchar_t>(0x2400 + c);
    return name;
}

bool Starts_With_Unc(std::string_view rest)
{
    return rest.size() >= 4 && (rest[0] == 'U' || rest[0] == 'u') && (rest[1] == 'N' || rest[1] == 'n') &&
           (rest[2] == 'C' || rest[2] == 'c') && Paths::Is_Separator(rest[3]);
}

// Of a name outside the drives: "\\host" and "//host" name a share, and so does what follows a
// name-space prefix ("\\?\", "\\.\", "\??\", with either separator) when it is "UNC\host";
// the rest of the name spaces reach devices and pipes.
bool Is_On_Another_Computer(std::string_view name)
{
    const bool name_space =
        name.size() >= 4 && (name[1] == '?' || name[2] == '.' || name[2] == '?') && Paths::Is_Separator(name[3]);
    return !name_space || Starts_With_Unc(name.substr(4));
}

// Only files on this computer's drives are read: a name from the host must not open a pipe or a
// device (which may wait for ever or act on being opened), nor make the viewer connect to
// another computer just because an entry was selected.
void Refuse_By_Spelling(const std::string& file)
{
    if (file.empty()) Refuse(L"File not found: "); // as the system says it
    if (Paths::Has_Control_Character(file))
        Refuse(L"Not read, the name holds a control character: " + Shown_Name(file));
    if (Paths::Starts_Outside_Drives(file)) {
        if (Is_On_Another_Computer(file)) Refuse(L"Not read, the file is on another computer: " + Widened(file));
        Refuse(L"Not a file: " + Widened(file));
    }
    if (Paths::Names_A_Device(file)) Refuse(L"Not a file: " + Widened(file));
}

// The one full path that is checked and then read: a name that the system would read as another
// file than the one it spells ("x.txt\.", "x.txt ") is refused, not read in that other file's place.
std::string Local_Path(const std::string& file)
{
    Refuse_By_Spelling(file);
    const Windows::Local_Files::Decision decision = Windows::Local_Files::Canonical(file);
    if (!decision.Accepted()) Refuse(L"Not read: " + Widened(file) + L" " + Widened(decision.Refusal));
    return decision.Path;
}

// A link or junction on the way may still lead to a share: what was opened decides.
Windows::Unique_File Open_File(const std::string& file)
{
    const std::string path = Local_Path(file);
    const std::wstring wide_path = Widened(path);
    const DWORD attributes = GetFileAttributesW(wide_path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) Refuse_System_Error(GetLastError(), file);
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) Refuse(L"Not a file but a folder: " + Widened(file));
    Windows::Unique_File handle{CreateFileW(wide_path.c_str(), GENERIC_READ,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                            OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr)};
    if (!handle) Refuse_System_Error(GetLastError(), file);
    if (GetFileType(handle.get()) != FILE_TYPE_DISK) Refuse(L"Not a file: " + Widened(file));
    if (!Windows::Local_Files::Is_On_Local_Drive(handle.get()))
        Refuse(L"Not read, the file is on another computer: " + Widened(file));
    return handle;
}

// Up to Count bytes from Offset; fewer at the end of the file.
std::string Read_At(HANDLE file, std::uint64_t offset, std::size_t count, const std::string& name)
{
    std::string bytes(count, '\0');
    OVERLAPPED position{};
    position.Offset = static_cast<DWORD>(offset);
    position.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD read = 0;
    if (!ReadFile(file, bytes.data(), static_cast<DWORD>(count), &read, &position)) {
        const DWORD error = GetLastError();
        if (error != ERROR_HANDLE_EOF) Refuse_System_Error(error, name);
        read = 0;
    }
    bytes.resize(read);
    return bytes;
}

// The encoding that the file's first bytes tell, and where its text starts.
struct Start {
    Encoding Kind = Encoding::Ansi;
    std::uint64_t Text_Offset = 0;
};

Start Start_Of(std::string_view probe)
{
    if (probe.starts_with("\xEF\xBB\xBF")) return {Encoding::Utf8, 3};
    if (probe.starts_with("\xFF\xFE")) return {Encoding::Utf16_Little, 2};
    if (probe.starts_with("\xFE\xFF")) return {Encoding::Utf16_Big, 2};
    return {Utf8::Is_Valid(probe, Utf8::Ending::May_Be_Cut) ? Encoding::Utf8 : Encoding::Ansi, 0};
}

bool Has_Nul(std::string_view probe, Encoding encoding, std::uint64_t text_offset)
{
    probe.remove_prefix(static_cast<std::size_t>(text_offset));
    if (Unit_Size(encoding) == 1) return probe.find('\0') != std::string_view::npos;
    for (std::size_t at = 0; at + 1 < probe.size(); at += 2)
        if (probe[at] == '\0' && probe[at + 1] == '\0') return true;
    return false;
}

// A line as bytes of the file, its terminator left out.
struct Line_Span {
    std::uint64_t Start = 0;
    std::uint64_t End = 0;
};

struct Scan_Result {
    std::uint64_t Lines_Seen = 0; // the file's line count when the scan reached its end
    std::deque<Line_Span> Last_Lines;
};

// Walks the file's lines block by block, keeping where the last Keep of them lie, and stops at the
// end of line Last_Wanted or of the file. Lines end at a line feed (the carriage return before it
// is taken off later); a last line without one counts too.
class Line_Scanner {
public:
    Line_Scanner(HANDLE file, Encoding encoding, const std::string& name, const Superseded_Test& superseded)
        : file_(file), unit_(Unit_Size(encoding)), big_endian_(encoding == Encoding::Utf16_Big), name_(name),
          superseded_(superseded)
    {
    }

    Scan_Result Scan(std::uint64_t text_offset, std::uint64_t last_wanted, std::size_t keep)
    {
        keep_ = keep;
        std::uint64_t offset = text_offset;
        line_start_ = text_offset;
        for (;;) {
            if (superseded_ && superseded_()) throw SUPERSEDED();
            const std::string block = Read_At(file_, offset, Block_Size, name_);
            const std::size_t usable = block.size() - block.size() % unit_;
            if (usable == 0) break;
            if (Scan_Block(std::string_view(block.data(), usable), offset, last_wanted)) return std::move(result_);
            offset += usable;
            if (usable < Block_Size) break;
        }
        if (line_start_ < offset) Add_Line(offset); // the last line has no line feed
        return std::move(result_);
    }

private:
    // True once line Last_Wanted has ended.
    bool Scan_Block(std::string_view block, std::uint64_t offset, std::uint64_t last_wanted)
    {
        for (std::size_t at = Next_Line_Feed(block, 0); at != std::string_view::npos;
             at = Next_Line_Feed(block, at + unit_)) {
            Add_Line(offset + at);
            line_start_ = offset + at + unit_;
            if (result_.Lines_Seen == last_wanted) return true;
        }
        return false;
    }

    std::size_t Next_Line_Feed(std::string_view block, std::size_t from) const
    {
        if (unit_ == 1) return block.find('\n', from);
        const char low = big_endian_ ? '\0' : '\n';
        const char high = big_endian_ ? '\n' : '\0';
        for (std::size_t at = from; at + 1 < block.size(); at += 2)
            if (block[at] == low && block[at + 1] == high) return at;
        return std::string_view::npos;
    }

    void Add_Line(std::uint64_t end)
    {
        ++result_.Lines_Seen;
        result_.Last_Lines.push_back({line_start_, end});
        if (result_.Last_Lines.size() > keep_) result_.Last_Lines.pop_front();
    }

    HANDLE file_;
    const std::size_t unit_;
    const bool big_endian_;
    const std::string& name_;
    const Superseded_Test& superseded_;
    std::size_t keep_ = 0;
    std::uint64_t line_start_ = 0;
    Scan_Result result_;
};

// The raw bytes of a shown line, at most Line_Byte_Limit of them.
struct Raw_Line {
    std::uint64_t Number = 0;
    std::string Bytes;
    bool Cut = false;
};

std::vector<Raw_Line> Read_Lines(HANDLE file, const Scan_Result& scan, const std::string& name)
{
    std::vector<Raw_Line> lines;
    std::uint64_t number = scan.Lines_Seen - scan.Last_Lines.size();
    for (const Line_Span& span : scan.Last_Lines) {
        const std::uint64_t length = span.End - span.Start;
        const auto kept = static_cast<std::size_t>(std::min<std::uint64_t>(length, Line_Byte_Limit));
        lines.push_back({++number, Read_At(file, span.Start, kept, name), length > Line_Byte_Limit});
    }
    return lines;
}

std::wstring Decoded_Bytes(std::string_view bytes, UINT code_page)
{
    if (bytes.empty()) return {};
    const int size = static_cast<int>(bytes.size());
    const int length = MultiByteToWideChar(code_page, 0, bytes.data(), size, nullptr, 0);
    std::wstring text(static_cast<std::size_t>(std::max(length, 0)), L'\0');
    MultiByteToWideChar(code_page, 0, bytes.data(), size, text.data(), length);
    return text;
}

std::wstring Decoded(std::string_view bytes, Encoding encoding)
{
    switch (encoding) {
    case Encoding::Utf8:
        return Decoded_Bytes(bytes, CP_UTF8);
    case Encoding::Utf16_Little:
    case Encoding::Utf16_Big:
        return Windows::Unicode::Wide_Of_Utf16_Bytes(bytes, encoding == Encoding::Utf16_Big);
    case Encoding::Ansi:
        break;
    }
    return Decoded_Bytes(bytes, CP_ACP);
}

// A character that would end or break the pane's line (a carriage return, a form feed, a NUL) is
// shown by its picture instead, one character for one, so columns stay where they are.
void Show_Controls_As_Pictures(std::wstring& line)
{
    for (wchar_t& c : line) {
        if (c < 0x20 && c != L'\t') c = static_cast<wchar_t>(0x2400 + c);
        else if (c == 0x2028 || c == 0x2029) c = 0xFFFD;
    }
}

// The line as the pane shows it: at most Longest_Line characters, a cut one ending in "...".
std::wstring Shown_Line(const Raw_Line& raw, Encoding encoding, bool& cut)
{
    std::wstring line = Decoded(raw.Bytes, encoding);
    if (!raw.Cut && !line.empty() && line.back() == L'\r') line.pop_back(); // of a CR LF line end
    Show_Controls_As_Pictures(line);
    cut = raw.Cut || line.size() > Longest_Line;
    if (!cut) return line;
    std::size_t keep = Longest_Line;
    if (IS_HIGH_SURROGATE(line[keep - 1])) --keep; // never half a character
    line.resize(keep);
    line += Cut_Mark;
    return line;
}

// Two units for a surrogate pair, else one.
std::size_t Character_Length(std::wstring_view text, std::size_t at)
{
    return IS_HIGH_SURROGATE(text[at]) && at + 1 < text.size() && IS_LOW_SURROGATE(text[at + 1]) ? 2 : 1;
}

std::wstring Number_Image(std::uint64_t number, std::size_t width)
{
    std::wstring image = std::to_wstring(number);
    if (image.size() < width) image.insert(0, width - image.size(), L' ');
    return image;
}

char32_t Code_Point_At(std::wstring_view text, std::size_t at)
{
    if (Character_Length(text, at) == 1) return text[at];
    return 0x10000 + ((static_cast<char32_t>(text[at]) - 0xD800) << 10) + (text[at + 1] - 0xDC00);
}

// The character as the eye sees it: a letter with the accents that follow it. The tree's marker
// stands before the letter, so the selection starts there too.
std::pair<std::size_t, std::size_t> Seen_Character(std::wstring_view text, std::size_t at)
{
    while (at > 0 && at < text.size() && Joins_The_One_Before(Code_Point_At(text, at))) {
        --at;
        if (at > 0 && IS_LOW_SURROGATE(text[at]) && IS_HIGH_SURROGATE(text[at - 1])) --at;
    }
    std::size_t end = at + Character_Length(text, at);
    while (end < text.size() && Joins_The_One_Before(Code_Point_At(text, end))) end += Character_Length(text, end);
    return {at, end - at};
}

// Where the character at Column lies in the shown line, and how long it is: the cut mark when it
// lies beyond the cut, nothing at the line's end.
void Select_Column(Gui::Pane_Text& text, const std::wstring& line, bool cut, std::uint32_t column,
                   std::size_t prefix)
{
    const std::size_t content = cut ? line.size() - Cut_Mark.size() : line.size();
    const std::wstring_view shown = std::wstring_view(line).substr(0, content);
    std::size_t offset = Offset_Of_Column(shown, column);
    std::size_t length = 0;
    if (offset < content) std::tie(offset, length) = Seen_Character(shown, offset);
    if (cut && offset >= content) length = Cut_Mark.size();
    text.Selection_Start = prefix + offset;
    text.Selection_Length = length;
}

Gui::Pane_Text Pane_Text_Of(const std::vector<Raw_Line>& lines, Encoding encoding, const Place& place)
{
    Gui::Pane_Text text;
    const std::size_t width = lines.empty() ? 1 : std::to_wstring(lines.back().Number).size();
    for (const Raw_Line& raw : lines) {
        bool cut = false;
        const std::wstring line = Shown_Line(raw, encoding, cut);
        const std::wstring prefix = Number_Image(raw.Number, width) + std::wstring(Number_Gap);
        if (raw.Number == place.Line) {
            text.Highlighted_Line = static_cast<std::ptrdiff_t>(text.Lines.size());
            Select_Column(text, line, cut, place.Column, prefix.size());
        }
        text.Lines.push_back(prefix + line);
    }
    return text;
}

// UTF-8 when the file's start and the shown lines all are; one reading for all of them.
Encoding Encoding_Of_Lines(const Start& start, const std::vector<Raw_Line>& lines)
{
    if (start.Kind != Encoding::Utf8 || start.Text_Offset != 0) return start.Kind;
    const bool all_utf8 = std::all_of(lines.begin(), lines.end(), [](const Raw_Line& line) {
        return Utf8::Is_Valid(line.Bytes, Utf8::Ending::May_Be_Cut); // a cut line may end inside a character
    });
    return all_utf8 ? Encoding::Utf8 : Encoding::Ansi;
}

Gui::Pane_Text Read_Shown(const Place& place, int fitting_lines, const Superseded_Test& superseded)
{
    Windows::Unique_File file = Open_File(place.File);
    const std::string probe = Read_At(file.get(), 0, Binary_Probe, place.File);
    const Start start = Start_Of(probe);
    if (Has_Nul(probe, start.Kind, start.Text_Offset)) Refuse(L"Binary file: " + Widened(place.File));

    // The place's line among the middle ones; near the file's start its first lines.
    const std::uint64_t count = std::max<std::uint64_t>(std::max(fitting_lines, 0), 2 * Least_Context + 1);
    const std::uint64_t after = count - 1 - (count - 1) / 2;
    const std::uint64_t last_wanted = std::max<std::uint64_t>(place.Line + after, count);
    Line_Scanner scanner(file.get(), start.Kind, place.File, superseded);
    const Scan_Result scan = scanner.Scan(start.Text_Offset, last_wanted, static_cast<std::size_t>(count));
    if (place.Line > scan.Lines_Seen)
        Refuse(L"Line " + std::to_wstring(place.Line) + L" is past the end of " + Widened(place.File) + L" (" +
               std::to_wstring(scan.Lines_Seen) + (scan.Lines_Seen == 1 ? L" line)" : L" lines)"));
    const std::vector<Raw_Line> lines = Read_Lines(file.get(), scan, place.File);
    return Pane_Text_Of(lines, Encoding_Of_Lines(start, lines), place);
}

} // namespace

Gui::Pane_Text Read(const Place& place, int fitting_lines, const Superseded_Test& superseded)
{
    try {
        return Read_Shown(place, fitting_lines, superseded);
    } catch (const Not_Shown& reason) {
        return Gui::Pane_Text{.Lines = {reason.Text}};
    }
}

std::size_t Offset_Of_Column(std::wstring_view line, std::uint32_t column)
{
    const std::size_t wanted = column > 1 ? column - 1 : 0;
    std::size_t characters = 0;
    std::size_t at = 0;
    while (at < line.size() && characters < wanted) {
        at += Character_Length(line, at);
        ++characters;
    }
    return at;
}

} // namespace Control::Preview_Text
