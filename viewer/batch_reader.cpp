#include "viewer/batch_reader.hpp"

#include "support/log.hpp"
#include "support/utf8.hpp"


namespace Control {

namespace {

using Batch_Protocol::Record;

// ---- texts -----------------------------------------------------------------------------------

[[noreturn]] void Column_Out_Of_Range() { throw BAD_BATCH("Batch column out of range"); }

bool Is_Continuation(char byte) noexcept { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }

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
    item.Column = Checked_Byte_Column(utf8, column);
    item.Text.assign(utf8);
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

// One pass: NULs, UTF-8 and the column together; most texts are short.
std::uint32_t Checked_Byte_Column(std::string_view utf8, std::uint32_t column)
{
    if (utf8.find('\0') != std::string_view::npos) throw BAD_BATCH("Batch text holds NUL");
    if (!Utf8::Is_Valid(utf8, Utf8::Ending::Whole)) throw BAD_BATCH("Batch text not UTF-8");
    if (column < 1) Column_Out_Of_Range();
    std::uint32_t characters_before = 0;
    for (std::size_t at = 0; at < utf8.size(); ++at) {
        if (Is_Continuation(utf8[at])) continue;
        if (characters_before == column - 1) return static_cast<std::uint32_t>(at + 1);
        ++characters_before;
    }
    if (characters_before != column - 1) Column_Out_Of_Range();
    return static_cast<std::uint32_t>(utf8.size() + 1);
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
