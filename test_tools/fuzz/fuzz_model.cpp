#include "test_tools/fuzz/fuzz_model.hpp"

#include <utility>

namespace Bench::Fuzz {

namespace {

std::string Without_Trailing_Nuls(std::string_view text)
{
    while (!text.empty() && text.back() == '\0') text.remove_suffix(1);
    return std::string(text);
}

std::string Trimmed(std::string_view text)
{
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return std::string(text);
}

} // namespace

// A line end from the host must not end the record early.
std::string Logged(std::string_view text)
{
    std::string line;
    for (const char character : text) {
        switch (character) {
        case '\0': line += "\\0"; break;
        case '\r': line += "\\r"; break;
        case '\n': line += "\\n"; break;
        default: line += character; break;
        }
    }
    return line;
}

const char* Reaction_Name(Reaction reaction)
{
    switch (reaction) {
    case Reaction::Acknowledgement: return "acknowledgement";
    case Reaction::Acknowledgement_Then_Failure: return "acknowledgement, then the end";
    case Reaction::No_Answer: return "no answer, the pipe closed";
    }
    return "?";
}

std::string Up_To_Nul(std::string_view text) { return std::string(text.substr(0, text.find('\0'))); }

// A tab shows as blanks up to the next multiple of 8 of the text's own width (the marker takes no
// room).
std::string Shown_Entry(std::string_view text, std::uint32_t column)
{
    std::string shown;
    std::size_t width = 0;
    for (std::size_t index = 0; index < text.size(); ++index) {
        if (index + 1 == column) shown += Marker;
        const std::size_t room = text[index] == '\t' ? 8 - width % 8 : 1;
        shown += text[index] == '\t' ? std::string(room, ' ') : std::string(1, text[index]);
        width += room;
    }
    if (column == text.size() + 1) shown += Marker;
    return Up_To_Nul(Trimmed(shown));
}

std::int32_t Value_Of(std::string_view bytes)
{
    std::uint32_t bits = 0;
    for (std::size_t index = 0; index < 4; ++index)
        bits |= std::uint32_t(static_cast<unsigned char>(bytes[index])) << (8 * index);
    return static_cast<std::int32_t>(bits);
}

Reaction Viewer_Model::Fail(std::string message, bool is_prefix, unsigned long exit_code, Reaction reaction)
{
    state_ = Protocol_State::Ended;
    outcome_.Window_Stays_Open = false;
    outcome_.Exit_Code = exit_code;
    outcome_.Last_Message = std::move(message);
    outcome_.Last_Is_Prefix = is_prefix;
    return reaction;
}

void Viewer_Model::Finish(bool timed_out)
{
    state_ = Protocol_State::Ended;
    outcome_.Window_Stays_Open = true;
    outcome_.Last_Message = "Complete";
    outcome_.Last_Is_Prefix = false;
    outcome_.Timeout_Logged = timed_out;
}

Reaction Viewer_Model::Message(std::string_view bytes)
{
    // Every read asks for the buffer's size; a longer message fails the read itself.
    if (bytes.size() > Message_Limit) return Fail(Exception_Prefix + "WINDOWS.PIPE.MORE_DATA", true, Transfer_Failed);
    switch (state_) {
    case Protocol_State::Title: return Take_Title(bytes);
    case Protocol_State::File_Or_End: return Take_File_Or_End(bytes);
    case Protocol_State::Flag: return Take_Flag(bytes);
    case Protocol_State::Text_Or_Group_End: return Take_Text_Or_Group_End(bytes);
    case Protocol_State::Line: return Take_Line(bytes);
    case Protocol_State::Column: return Take_Column(bytes);
    case Protocol_State::Ended: break;
    }
    return Reaction::No_Answer;
}

Reaction Viewer_Model::Take_Title(std::string_view bytes)
{
    // The caption keeps the title up to its first NUL; the log takes all of it but the trailing NULs.
    outcome_.Title_Message = "Index for " + Logged(Without_Trailing_Nuls(bytes));
    outcome_.Caption = Up_To_Nul(bytes);
    state_ = Protocol_State::File_Or_End;
    return Reaction::Acknowledgement;
}

Reaction Viewer_Model::Take_File_Or_End(std::string_view bytes)
{
    if (bytes.empty()) {
        Finish(false);
        return Reaction::No_Answer;
    }
    outcome_.Tree.push_back({Up_To_Nul(bytes), false, {}});
    state_ = Protocol_State::Flag;
    return Reaction::Acknowledgement;
}

Reaction Viewer_Model::Take_Flag(std::string_view bytes)
{
    if (bytes.size() != 1) return Fail("!!! Flag expected", false, Transfer_Failed);
    expand_ = static_cast<unsigned char>(bytes[0]);
    state_ = Protocol_State::Text_Or_Group_End;
    return Reaction::Acknowledgement;
}

Reaction Viewer_Model::Take_Text_Or_Group_End(std::string_view bytes)
{
    state_ = bytes.empty() ? Protocol_State::File_Or_End : Protocol_State::Line;
    pending_text_ = bytes;
    return Reaction::Acknowledgement;
}

Reaction Viewer_Model::Take_Line(std::string_view bytes)
{
    if (bytes.size() != 4) return Fail("!!! Value expected", false, Transfer_Failed);
    if (Value_Of(bytes) < 0)
        return Fail(Exception_Prefix + "RANGE_ERROR", true, Transfer_Failed, Reaction::Acknowledgement_Then_Failure);
    state_ = Protocol_State::Column;
    return Reaction::Acknowledgement;
}

Reaction Viewer_Model::Take_Column(std::string_view bytes)
{
    if (bytes.size() != 4) return Fail("!!! Value expected", false, Transfer_Failed);
    const std::int32_t column = Value_Of(bytes);
    if (column < 0)
        return Fail(Exception_Prefix + "RANGE_ERROR", true, Transfer_Failed, Reaction::Acknowledgement_Then_Failure);
    if (column == 0 || static_cast<std::size_t>(column) > pending_text_.size() + 1)
        return Fail(Exception_Prefix + "INDEX_ERROR", true, Transfer_Failed, Reaction::Acknowledgement_Then_Failure);
    Shown_Group& group = outcome_.Tree.back();
    group.Entries.push_back(Shown_Entry(pending_text_, static_cast<std::uint32_t>(column)));
    if (expand_ != 0) group.Expanded = true;
    state_ = Protocol_State::Text_Or_Group_End;
    return Reaction::Acknowledgement;
}

void Viewer_Model::Stall()
{
    // Inside a group a stall ends the transfer with what has arrived; elsewhere it is a failure.
    if (state_ == Protocol_State::Title || state_ == Protocol_State::File_Or_End) {
        Fail(Exception_Prefix + "WINDOWS.PIPE.TIMEOUT", true, No_Host);
        return;
    }
    Finish(true);
}

void Viewer_Model::Close()
{
    // BROKEN as a rule; any failure of the pipe is a fair report of a vanished host.
    Fail(Exception_Prefix + "WINDOWS.PIPE.", true, Transfer_Failed);
}

void Viewer_Model::Refused(std::string_view reason) { Fail("!!! " + std::string(reason), false, Bad_Command_Line); }

void Viewer_Model::No_Client() { Fail(Exception_Prefix + "WINDOWS.PIPE.TIMEOUT", true, No_Host); }

} // namespace Bench::Fuzz
