#pragma once
// What the viewer must do with batches (the batch protocol), worked out from the protocol's
// description alone, as fuzz_model.hpp does for the message-by-message protocol: which batches it
// answers, where the transfer ends, what its log then says last, and which tree its window shows.
// The record layout and the limits are copied here on purpose, and so is the reading of UTF-8:
// nothing here looks at the viewer's code or its protocol header.
//
//     Batch_Model model;
//     model.Message(Batch_Wire::Title_Record("Results"));   // Acknowledgement, the title is logged
//     model.Message(Batch_Wire::End_Record());               // No_Answer: the end, "Complete"
//     model.Expected().Window_Stays_Open                     // true

#include "test_tools/fuzz/fuzz_model.hpp"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace Bench::Fuzz {

// The batch protocol as its description gives it.
namespace Batch_Wire {

inline constexpr std::string_view Pipe_Name_Prefix = "Lumen_Roll_V2.0_";
inline constexpr std::size_t Batch_Limit = 65536;
inline constexpr std::size_t Text_Limit = 4096;
inline constexpr std::uint32_t Largest_Line = 0x7FFFFFFF;
enum Kind : unsigned char { Title = 1, File = 2, Entry = 3, Group_End = 4, End = 5 };

// Size bytes, lowest first.
std::string Number(std::uint32_t value, std::size_t size);
std::string Title_Record(std::string_view title);
std::string File_Record(char flag, std::string_view name);
std::string Entry_Record(std::uint32_t line, std::uint32_t column, std::string_view text);
std::string Group_End_Record();
std::string End_Record();

} // namespace Batch_Wire

// A UTF-8 text as the window shows it: each character the ANSI code page lacks (every one beyond
// U+FFFF among them) as one "?". Nothing when the text is not UTF-8 (cut off, overlong, a
// surrogate, beyond U+10FFFF).
std::optional<std::string> Window_Text(std::string_view utf8);
// The number of characters of a UTF-8 text.
std::size_t Code_Points(std::string_view utf8);

class Batch_Model {
public:
    enum class State { Title, Between_Groups, In_Group, Ended };

    State Where() const noexcept { return state_; }
    bool Has_Ended() const noexcept { return state_ == State::Ended; }
    const Outcome& Expected() const noexcept { return outcome_; }

    // One whole batch from the host: Acknowledgement, or No_Answer when the transfer is over (the
    // end record, or a malformed batch: then the window keeps what came before).
    Reaction Message(std::string_view batch);
    void Stall();
    void Close();

private:
    Reaction Broken(std::string reason);
    void Finish(bool timed_out);

    State state_ = State::Title;
    bool expand_ = false;
    Outcome outcome_;
};

} // namespace Bench::Fuzz
