#pragma once
// What the viewer must do with whatever a host sends it, worked out from the message grammar
// alone: which messages it answers, where the transfer ends, what its log then says last, and
// which tree a window that stays open must show. The fuzz host plays a script against the real
// viewer and compares what it sees with this model; nothing here looks at the viewer's code.
//
//     Viewer_Model model;
//     model.Message("Results");          // Acknowledgement, the title is logged
//     model.Message("");                  // No_Answer: the end, "Complete"
//     model.Expected().Window_Stays_Open  // true

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Bench::Fuzz {

// The longest message the viewer takes; one byte more fails its read.
inline constexpr std::size_t Message_Limit = 1024;
inline constexpr char Marker = '\x95';

// Where the viewer stands in the grammar: what it reads next.
enum class Protocol_State { Title, File_Or_End, Flag, Text_Or_Group_End, Line, Column, Ended };

// What the viewer must answer to one message.
enum class Reaction {
    Acknowledgement,              // 0x06, and the transfer goes on
    Acknowledgement_Then_Failure, // 0x06, then it gives up (values are checked after their answer)
    No_Answer,                    // the transfer is over: the viewer closes its end without answering
};
const char* Reaction_Name(Reaction reaction);

// A file node as the tree must show it: texts as the tree control keeps them (up to a NUL).
struct Shown_Group {
    std::string File;
    bool Expanded = false;
    std::vector<std::string> Entries;

    bool operator==(const Shown_Group&) const = default;
    auto operator<=>(const Shown_Group&) const = default;
};

struct Outcome {
    bool Window_Stays_Open = false;
    // The log's last message, exactly or (Last_Is_Prefix) its start.
    std::string Last_Message;
    bool Last_Is_Prefix = false;
    bool Timeout_Logged = false; // "Timeout" right before "Complete"
    // The "Index for " line, once the title was taken.
    std::optional<std::string> Title_Message;
    std::string Caption; // the window's caption once the title was taken (Title_Message tells)
    std::vector<Shown_Group> Tree; // in arrival order; the tree sorts the file nodes itself
    // As the README gives them: 0 once the window (closed by the host's user) stayed open, 1 for
    // a bad command line, 2 for a failed transfer, 3 when the host did not come or fell silent.
    unsigned long Exit_Code = 0;
};

// The text of an entry node: the marker in front of the column, tabs as blanks, spaces removed at both ends,
// cut at the first NUL (the tree takes NUL-terminated texts).
std::string Shown_Entry(std::string_view text, std::uint32_t column);
// A text as a NUL-terminated copy shows it.
std::string Up_To_Nul(std::string_view text);
// A 4-byte value message read as the viewer reads it: signed, lowest byte first.
std::int32_t Value_Of(std::string_view bytes);
// A text as a log line carries it: NUL, CR and LF written as \0, \r and \n.
std::string Logged(std::string_view text);
// The viewer's exit codes, as its README gives them.
inline constexpr unsigned long Bad_Command_Line = 1;
inline constexpr unsigned long Transfer_Failed = 2;
inline constexpr unsigned long No_Host = 3;
// How the log begins the line of a failure that reached the viewer's main procedure.
inline const std::string Exception_Prefix = "!!! Exception: Exception = ";

class Viewer_Model {
public:
    Protocol_State State() const noexcept { return state_; }
    bool Has_Ended() const noexcept { return state_ == Protocol_State::Ended; }
    const Outcome& Expected() const noexcept { return outcome_; }
    // The length of the entry text whose values are being read (for choosing columns).
    std::size_t Pending_Text_Length() const noexcept { return pending_text_.size(); }

    // One whole message from the host.
    Reaction Message(std::string_view bytes);
    // The host sends nothing for longer than the viewer's time-out.
    void Stall();
    // The host closes its end.
    void Close();
    // The viewer was started with a bad command line (the log's reason) or no host came.
    void Refused(std::string_view reason);
    void No_Client();

private:
    Reaction Fail(std::string message, bool is_prefix, unsigned long exit_code,
                  Reaction reaction = Reaction::No_Answer);
    void Finish(bool timed_out);
    Reaction Take_Title(std::string_view bytes);
    Reaction Take_File_Or_End(std::string_view bytes);
    Reaction Take_Flag(std::string_view bytes);
    Reaction Take_Text_Or_Group_End(std::string_view bytes);
    Reaction Take_Line(std::string_view bytes);
    Reaction Take_Column(std::string_view bytes);

    Protocol_State state_ = Protocol_State::Title;
    unsigned char expand_ = 0;
    std::string pending_text_;
    Outcome outcome_;
};

} // namespace Bench::Fuzz
