#include "viewer/batch_reader.hpp"

#include "support/log.hpp"

#include <windows.h>
#undef NO_DATA

#include <algorithm>

namespace Control {

namespace {

using Batch_Protocol::Record;

// ---- texts -----------------------------------------------------------------------------------

bool Is_Ascii(std::string_view text) noexcept
{
    return std::all_of(text.begin(), text.end(), [](char character) { return static_cast<unsigned char>(character) < 0x80; });
}

[[noreturn]] void Column_Out_Of_Range() { throw BAD_BATCH("Batch column out of range"); }

// MB_ERR_INVALID_CHARS refuses what is not UTF-8: a cut-off or overlong sequence, a surrogate.
std::wstring Wide_Of(std::string_view utf8)
{
    const int size = static_cast<int>(utf8.size());
    const int count = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
    if (count <= 0) throw BAD_BATCH("Batch text not UTF-8");
    std::wstring wide(static_cast<std::size_t>(count), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, wide.data(), count);
    return wide;
}

bool Is_Low_Surrogate(wchar_t unit) noexcept { return unit >= 0xDC00 && unit <= 0xDFFF; }

// The UTF-16 position where the code point Column (from 1) starts; Column may be one past the end.
std::size_t Unit_Of_Column(std::wstring_view wide, std::uint32_t column)
{
    if (column < 1) Column_Out_Of_Range();
    std::uint32_t code_points_before = 0;
    for (std::size_t unit = 0; unit < wide.size(); ++unit) {
        if (Is_Low_Surrogate(wide[unit])) continue; // the second half of a pair
        if (code_points_before == column - 1) return unit;
        ++code_points_before;
    }
    if (code_points_before != column - 1) Column_Out_Of_Range();
    return wide.size();
}

bool Is_High_Surrogate(wchar_t unit) noexcept { return unit >= 0xD800 && unit <= 0xDBFF; }

// No ANSI code page holds a character beyond U+FFFF; left to the system, its two halves would
// become two "?".
std::wstring One_Unit_Per_Character(std::wstring_view wide)
{
    std::wstring units;
    units.reserve(wide.size());
    for (std::size_t unit = 0; unit < wide.size(); ++unit) {
        const bool pair = Is_High_Surrogate(wide[unit]) && unit + 1 < wide.size() && Is_Low_Surrogate(wide[unit + 1]);
        units += pair ? L'?' : wide[unit];
        if (pair) ++unit;
    }
    return units;
}

// Best-fit mappings ("a" for "ā") are refused, as lumen_send refuses them: a different letter would
// look like a match that is not there. The UTF-8 code page takes no flags, and holds every
// character.
std::string Ansi_Of_Wide(std::wstring_view all_units)
{
    if (all_units.empty()) return {};
    static const bool utf8_code_page = GetACP() == CP_UTF8;
    const std::wstring single_units = utf8_code_page ? std::wstring() : One_Unit_Per_Character(all_units);
    const std::wstring_view wide = utf8_code_page ? all_units : std::wstring_view(single_units);
    const DWORD flags = utf8_code_page ? 0 : WC_NO_BEST_FIT_CHARS;
    const int size = static_cast<int>(wide.size());
    const int count = WideCharToMultiByte(CP_ACP, flags, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(std::max(count, 0)), '\0');
    WideCharToMultiByte(CP_ACP, flags, wide.data(), size, text.data(), count, nullptr, nullptr);
    return text;
}

// ---- records ---------------------------------------------------------------------------------

// The fields of one batch in order, each checked against the batch's end before it is read.
class Field_Reader {
public:
    explicit Field_Reader(std::span<const unsigned char> batch) : batch_(batch) {}

    bool At_End() const noexcept { return at_ == batch_.size(); }

    std::uint32_t Number(std::size_t size)
    {
        Need(size);
        const std::uint32_t value = Batch_Protocol::Number_At(batch_.data() + at_, size);
        at_ += size;
        return value;
    }

    std::uint32_t Line()
    {
        const std::uint32_t line = Number(Batch_Protocol::Value_Size);
        if (line > Batch_Protocol::Largest_Value) throw BAD_BATCH("Batch line out of range");
        return line;
    }

    std::string_view Text()
    {
        const std::size_t length = Number(Batch_Protocol::Length_Size);
        if (length > Batch_Protocol::Text_Limit) throw BAD_BATCH("Batch text too long");
        Need(length);
        const std::string_view text(reinterpret_cast<const char*>(batch_.data() + at_), length);
        at_ += length;
        return text;
    }

private:
    void Need(std::size_t size) const
    {
        if (batch_.size() - at_ < size) throw BAD_BATCH("Batch record cut off");
    }

    std::span<const unsigned char> batch_;
    std::size_t at_ = 0;
};

void Expect_State(Batch_State state, Batch_State wanted)
{
    if (state != wanted) throw BAD_BATCH("Batch record out of order");
}

// Item's text and column from UTF-8 Text and its column; the item's room is used again, so that a
// batch's plain texts cost the heap nothing.
void Take_Text(std::string_view utf8, std::uint32_t column, Batch_Item& item)
{
    if (Is_Ascii(utf8) && utf8.find('\0') == std::string_view::npos) {
        if (column < 1 || column > utf8.size() + 1) Column_Out_Of_Range();
        item.Text.assign(utf8);
        item.Column = column;
        return;
    }
    Ansi_Text converted = Ansi_Of(utf8, column);
    item.Text = std::move(converted.Text);
    item.Column = converted.Column;
}

// One record after its kind byte, into Item; the state moves on.
void Decode_Record(Field_Reader& fields, Record kind, Batch_State& state, Batch_Item& item)
{
    item.Kind = kind;
    switch (kind) {
    case Record::Title:
        Expect_State(state, Batch_State::Title);
        Take_Text(fields.Text(), 1, item);
        state = Batch_State::Between_Groups;
        return;
    case Record::File: {
        Expect_State(state, Batch_State::Between_Groups);
        item.Flag = static_cast<unsigned char>(fields.Number(Batch_Protocol::Flag_Size));
        const std::string_view name = fields.Text();
        if (name.empty()) throw BAD_BATCH("Batch file name empty");
        Take_Text(name, 1, item);
        state = Batch_State::In_Group;
        return;
    }
    case Record::Entry: {
        Expect_State(state, Batch_State::In_Group);
        item.Line = fields.Line();
        const std::uint32_t column = fields.Number(Batch_Protocol::Value_Size);
        const std::string_view text = fields.Text();
        if (text.empty()) throw BAD_BATCH("Batch entry text empty");
        Take_Text(text, column, item);
        return;
    }
    case Record::Group_End:
        Expect_State(state, Batch_State::In_Group);
        state = Batch_State::Between_Groups;
        return;
    case Record::End:
        Expect_State(state, Batch_State::Between_Groups);
        state = Batch_State::Ended;
        return;
    }
    throw BAD_BATCH("Batch record unknown");
}

void Apply(const Batch_Item& item, Batch_Target& target)
{
    switch (item.Kind) {
    case Record::Title: target.Take_Title(item.Text); break;
    case Record::File:
        target.Start_Group(item.Text);
        target.Set_Expand_Group(item.Flag);
        break;
    case Record::Entry: target.Add_Entry(item.Line, item.Column, item.Text); break;
    case Record::Group_End:
    case Record::End: break;
    }
}

// Each record of Batch in turn, decoded and checked, to Each: the state after the batch.
template <typename Each> Batch_State For_Each_Record(std::span<const unsigned char> batch, Batch_State state, Each each)
{
    if (batch.empty()) throw BAD_BATCH("Batch empty");
    Field_Reader fields(batch);
    Batch_Item item;
    while (!fields.At_End()) {
        if (state == Batch_State::Ended) throw BAD_BATCH("Batch after end");
        const auto kind = static_cast<Record>(fields.Number(Batch_Protocol::Kind_Size));
        Decode_Record(fields, kind, state, item);
        each(item);
    }
    return state;
}

// A batch longer than the buffer fails the pipe's read (MORE_DATA); the check guards the buffer
// against any source.
std::size_t Read_One(Batch_Source& source, std::span<unsigned char> buffer)
{
    std::size_t count = 0;
    try {
        count = source.Read_Batch(buffer);
    } catch (const Windows::Pipe::MORE_DATA&) {
        throw BAD_BATCH("Batch too long");
    }
    if (count > buffer.size()) throw BAD_BATCH("Batch too long");
    return count;
}

// One batch read, checked whole, taken and answered (but the last). State moves on before the
// answer, so that a stall of the answer counts as inside the group that the batch left open.
void Take_Batch(Batch_Source& source, Batch_Target& target, std::span<unsigned char> buffer, Batch_State& state)
{
    const std::size_t count = Read_One(source, buffer);
    // Checked whole first, then read again into the target: a batch's records are never all held
    // at once (that would cost the heap a batch's worth of texts each time).
    const std::span<const unsigned char> batch = buffer.first(count);
    For_Each_Record(batch, state, [](const Batch_Item&) {});
    state = For_Each_Record(batch, state, [&target](const Batch_Item& item) { Apply(item, target); });
    if (state != Batch_State::Ended) source.Acknowledge();
}

} // namespace

std::size_t Pipe_Batch_Source::Read_Batch(std::span<unsigned char> buffer)
{
    return Windows::Pipe::Read(pipe_, buffer.data(), Batch_Protocol::Transfer_Timeout);
}

void Pipe_Batch_Source::Acknowledge()
{
    Windows::Pipe::Write(pipe_, &Batch_Protocol::Acknowledgement, 1, Batch_Protocol::Transfer_Timeout);
}

// Most texts are ASCII: the same bytes in UTF-8 and in every ANSI code page, a column the same
// count in code points and in bytes.
Ansi_Text Ansi_Of(std::string_view utf8, std::uint32_t column)
{
    if (utf8.find('\0') != std::string_view::npos) throw BAD_BATCH("Batch text holds NUL");
    if (Is_Ascii(utf8)) {
        if (column < 1 || column > utf8.size() + 1) Column_Out_Of_Range();
        return {std::string(utf8), column};
    }
    const std::wstring wide = Wide_Of(utf8);
    const std::size_t split = Unit_Of_Column(wide, column);
    // The two halves apart, so that the column lands on the first byte of its character whatever
    // length the code page gives the characters before it.
    Ansi_Text converted{Ansi_Of_Wide(std::wstring_view(wide).substr(0, split)), 1};
    converted.Column = static_cast<std::uint32_t>(converted.Text.size() + 1);
    converted.Text += Ansi_Of_Wide(std::wstring_view(wide).substr(split));
    return converted;
}

Decoded_Batch Decode_Batch(std::span<const unsigned char> batch, Batch_State state)
{
    Decoded_Batch decoded;
    decoded.State_After =
        For_Each_Record(batch, state, [&decoded](const Batch_Item& item) { decoded.Items.push_back(item); });
    return decoded;
}

Transfer_Phase Read_Batches(Batch_Source& source, Batch_Target& target)
{
    std::vector<unsigned char> buffer(Batch_Protocol::Batch_Limit);
    Batch_State state = Batch_State::Title;
    try {
        while (state != Batch_State::Ended) Take_Batch(source, target, buffer, state);
        return Transfer_Phase::Complete;
    } catch (const BAD_BATCH& failure) {
        Log::Put("!!! " + failure.Message());
        return Transfer_Phase::Broken_Off;
    } catch (const Windows::Pipe::TIMEOUT&) {
        if (state != Batch_State::In_Group) throw;
        Log::Put("Timeout");
        return Transfer_Phase::Timed_Out;
    }
}

} // namespace Control
