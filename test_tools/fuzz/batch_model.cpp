#include "test_tools/fuzz/batch_model.hpp"

#include <windows.h>

#include <utility>
#include <vector>

namespace Bench::Fuzz {

namespace Batch_Wire {

std::string Number(std::uint32_t value, std::size_t size)
{
    std::string bytes;
    for (std::size_t index = 0; index < size; ++index) bytes += static_cast<char>((value >> (8 * index)) & 0xFF);
    return bytes;
}

namespace {

std::string Text_Field(std::string_view text) { return Number(static_cast<std::uint32_t>(text.size()), 2) + std::string(text); }

} // namespace

std::string Title_Record(std::string_view title) { return char(Title) + Text_Field(title); }
std::string File_Record(char flag, std::string_view name) { return std::string{char(File), flag} + Text_Field(name); }
std::string Entry_Record(std::uint32_t line, std::uint32_t column, std::string_view text)
{
    return char(Entry) + Number(line, 4) + Number(column, 4) + Text_Field(text);
}
std::string Group_End_Record() { return std::string(1, char(Group_End)); }
std::string End_Record() { return std::string(1, char(End)); }

} // namespace Batch_Wire

namespace {

unsigned Byte(std::string_view text, std::size_t at) { return static_cast<unsigned char>(text[at]); }

// The code points of a UTF-8 text, or nothing when it is not UTF-8. Written from the standard's
// table of well-formed sequences: the second byte's range rules out overlong forms, surrogates and
// values beyond U+10FFFF.
std::optional<std::vector<char32_t>> Decoded(std::string_view text)
{
    std::vector<char32_t> code_points;
    for (std::size_t at = 0; at < text.size();) {
        const unsigned lead = Byte(text, at);
        std::size_t length = 1;
        unsigned low = 0x80, high = 0xBF;
        if (lead < 0x80) length = 1;
        else if (lead >= 0xC2 && lead <= 0xDF) length = 2;
        else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0) low = 0xA0;
            if (lead == 0xED) high = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0) low = 0x90;
            if (lead == 0xF4) high = 0x8F;
        } else {
            return std::nullopt;
        }
        if (at + length > text.size()) return std::nullopt;
        char32_t value = length == 1 ? lead : lead & (0xFF >> (length + 1));
        for (std::size_t next = 1; next < length; ++next) {
            const unsigned byte = Byte(text, at + next);
            if (next == 1 ? (byte < low || byte > high) : (byte < 0x80 || byte > 0xBF)) return std::nullopt;
            value = value << 6 | (byte & 0x3F);
        }
        code_points.push_back(value);
        at += length;
    }
    return code_points;
}

// One character as the window's code page holds it, or "?".
std::string Window_Character(char32_t code_point)
{
    if (code_point < 0x80) return std::string(1, static_cast<char>(code_point));
    if (code_point > 0xFFFF) return "?";
    const wchar_t wide = static_cast<wchar_t>(code_point);
    char bytes[8];
    BOOL used_default = FALSE;
    const int count = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, &wide, 1, bytes, sizeof bytes, "?", &used_default);
    if (count <= 0 || used_default) return "?";
    return std::string(bytes, static_cast<std::size_t>(count));
}

// The records of one batch, read in order; the first fault found is the one the log gets.
class Batch_Reader {
public:
    explicit Batch_Reader(std::string_view batch) : batch_(batch) {}
    bool At_End() const { return at_ == batch_.size(); }
    // Nothing when the field runs past the batch's end.
    std::optional<std::uint32_t> Number(std::size_t size)
    {
        if (batch_.size() - at_ < size) return std::nullopt;
        std::uint32_t value = 0;
        for (std::size_t index = 0; index < size; ++index) value |= std::uint32_t(Byte(batch_, at_ + index)) << (8 * index);
        at_ += size;
        return value;
    }
    // A text field; Fault tells what was wrong when there is none.
    std::optional<std::string_view> Text(std::string& fault)
    {
        const std::optional<std::uint32_t> length = Number(2);
        fault = !length ? "Batch record cut off" : *length > Batch_Wire::Text_Limit ? "Batch text too long" : "";
        if (!fault.empty()) return std::nullopt;
        if (batch_.size() - at_ < *length) {
            fault = "Batch record cut off";
            return std::nullopt;
        }
        const std::string_view text = batch_.substr(at_, *length);
        at_ += *length;
        return text;
    }

private:
    std::string_view batch_;
    std::size_t at_ = 0;
};

// What a batch does once it is found whole and well-formed.
struct Taken {
    Batch_Wire::Kind Kind;
    char Flag = 0;
    std::string Text; // as the window shows it
    std::uint32_t Column = 1; // in bytes of Text
};

// The text's fault ("" when none) and its window form.
std::string Text_Fault(std::string_view utf8, std::string& shown)
{
    if (utf8.find('\0') != std::string_view::npos) return "Batch text holds NUL";
    const std::optional<std::string> window = Window_Text(utf8);
    if (!window) return "Batch text not UTF-8";
    shown = *window;
    return "";
}

} // namespace

std::optional<std::string> Window_Text(std::string_view utf8)
{
    const std::optional<std::vector<char32_t>> code_points = Decoded(utf8);
    if (!code_points) return std::nullopt;
    std::string shown;
    for (const char32_t code_point : *code_points) shown += Window_Character(code_point);
    return shown;
}

std::size_t Code_Points(std::string_view utf8)
{
    const std::optional<std::vector<char32_t>> code_points = Decoded(utf8);
    return code_points ? code_points->size() : utf8.size();
}

Reaction Batch_Model::Broken(std::string reason)
{
    state_ = State::Ended;
    outcome_.Window_Stays_Open = true;
    outcome_.Exit_Code = Transfer_Failed; // once the user has closed the window
    outcome_.Last_Message = "!!! " + std::move(reason);
    outcome_.Last_Is_Prefix = false;
    return Reaction::No_Answer;
}

void Batch_Model::Finish(bool timed_out)
{
    state_ = State::Ended;
    outcome_.Window_Stays_Open = true;
    outcome_.Last_Message = "Complete";
    outcome_.Last_Is_Prefix = false;
    outcome_.Timeout_Logged = timed_out;
}

Reaction Batch_Model::Message(std::string_view batch)
{
    if (state_ == State::Ended) return Reaction::No_Answer;
    if (batch.size() > Batch_Wire::Batch_Limit) return Broken("Batch too long");
    if (batch.empty()) return Broken("Batch empty");
    Batch_Reader reader(batch);
    State state = state_;
    std::vector<Taken> taken;
    std::string fault;
    auto out_of_order = [&](State wanted) { return state != wanted ? (fault = "Batch record out of order", true) : false; };
    while (!reader.At_End()) {
        if (state == State::Ended) return Broken("Batch after end");
        const auto kind = static_cast<Batch_Wire::Kind>(*reader.Number(1));
        Taken item{kind};
        switch (kind) {
        case Batch_Wire::Title: {
            if (out_of_order(State::Title)) return Broken(fault);
            const auto title = reader.Text(fault);
            if (!title) return Broken(fault);
            if (fault = Text_Fault(*title, item.Text); !fault.empty()) return Broken(fault);
            state = State::Between_Groups;
            break;
        }
        case Batch_Wire::File: {
            if (out_of_order(State::Between_Groups)) return Broken(fault);
            const auto flag = reader.Number(1);
            if (!flag) return Broken("Batch record cut off");
            item.Flag = static_cast<char>(*flag);
            const auto name = reader.Text(fault);
            if (!name) return Broken(fault);
            if (name->empty()) return Broken("Batch file name empty");
            if (fault = Text_Fault(*name, item.Text); !fault.empty()) return Broken(fault);
            state = State::In_Group;
            break;
        }
        case Batch_Wire::Entry: {
            if (out_of_order(State::In_Group)) return Broken(fault);
            const auto line = reader.Number(4);
            if (!line) return Broken("Batch record cut off");
            if (*line > Batch_Wire::Largest_Line) return Broken("Batch line out of range");
            const auto column = reader.Number(4);
            if (!column) return Broken("Batch record cut off");
            const auto text = reader.Text(fault);
            if (!text) return Broken(fault);
            if (text->empty()) return Broken("Batch entry text empty");
            if (fault = Text_Fault(*text, item.Text); !fault.empty()) return Broken(fault);
            const std::size_t count = Code_Points(*text);
            if (*column < 1 || *column > count + 1) return Broken("Batch column out of range");
            // The column lands on the first byte of its character in the window's text.
            const std::vector<char32_t> code_points = *Decoded(*text);
            for (std::size_t before = 0; before + 1 < *column; ++before)
                item.Column += static_cast<std::uint32_t>(Window_Character(code_points[before]).size());
            break;
        }
        case Batch_Wire::Group_End:
            if (out_of_order(State::In_Group)) return Broken(fault);
            state = State::Between_Groups;
            break;
        case Batch_Wire::End:
            if (out_of_order(State::Between_Groups)) return Broken(fault);
            state = State::Ended;
            break;
        default: return Broken("Batch record unknown");
        }
        taken.push_back(std::move(item));
    }
    for (const Taken& item : taken) {
        if (item.Kind == Batch_Wire::Title) {
            outcome_.Title_Message = "Index for " + Logged(item.Text);
            outcome_.Caption = item.Text;
        } else if (item.Kind == Batch_Wire::File) {
            outcome_.Tree.push_back({item.Text, false, {}});
            expand_ = item.Flag != 0;
        } else if (item.Kind == Batch_Wire::Entry) {
            outcome_.Tree.back().Entries.push_back(Shown_Entry(item.Text, item.Column));
            if (expand_) outcome_.Tree.back().Expanded = true;
        }
    }
    state_ = state;
    if (state_ != State::Ended) return Reaction::Acknowledgement;
    Finish(false);
    return Reaction::No_Answer;
}

void Batch_Model::Stall()
{
    if (state_ == State::In_Group) return Finish(true);
    state_ = State::Ended;
    outcome_.Window_Stays_Open = false;
    outcome_.Exit_Code = No_Host;
    outcome_.Last_Message = Exception_Prefix + "WINDOWS.PIPE.TIMEOUT";
    outcome_.Last_Is_Prefix = true;
}

void Batch_Model::Close()
{
    state_ = State::Ended;
    outcome_.Window_Stays_Open = false;
    outcome_.Exit_Code = Transfer_Failed;
    outcome_.Last_Message = Exception_Prefix + "WINDOWS.PIPE.";
    outcome_.Last_Is_Prefix = true;
}

} // namespace Bench::Fuzz
