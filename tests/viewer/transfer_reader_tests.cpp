// The transfer's grammar over a list of messages, in the test process: what is acknowledged, what
// reaches the index, how the transfer ends and what is logged. The viewer tests keep what needs
// the real pipe and window.

#include "viewer/control.hpp"
#include "viewer/protocol.hpp"
#include "viewer/termination.hpp"
#include "viewer/transfer_reader.hpp"
#include "tests/test_support.hpp"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Control::Transfer_Phase;

// The process log goes to a file of the test's own, so that the lines the reader writes can be
// read back.
class Log_File : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_TRUE(Test_Support::Log_Process_To(Path())); }
    static std::string Path()
    {
        static const Test_Support::Temporary_Folder folder; // lives until the process ends
        return folder.File("transfer_reader.log");
    }
    // The messages of the lines written after Offset bytes.
    static std::vector<std::string> Messages_After(std::size_t offset)
    {
        std::istringstream lines(Test_Support::Read_File(Path()).substr(offset));
        std::vector<std::string> messages;
        for (std::string line; std::getline(lines, line);) {
            const std::size_t arrow = line.find(") => ");
            if (arrow != std::string::npos) messages.push_back(line.substr(arrow + 5, line.size() - arrow - 6));
        }
        return messages;
    }
};
[[maybe_unused]] auto* const log_file = ::testing::AddGlobalTestEnvironment(new Log_File);

std::string Value(std::int32_t value)
{
    const auto bytes = Protocol::Value_Bytes(value);
    return std::string(bytes.data(), bytes.size());
}

const std::string Flag_1(1, '\x01');

// After its last message the host goes silent (the pipe's TIMEOUT) or closes its end (BROKEN).
enum class Host_End { Silent, Closed };

// Plays the host from a list of messages and records what the reader does with them, in order:
// "A" for an acknowledgement, "group(a.txt)", "flag(1)", "entry(12,6,x := y;)".
class Recorded_Transfer final : public Control::Message_Source, public Control::Transfer_Target {
public:
    Recorded_Transfer(const std::vector<std::string>& messages, Host_End end, int deaf_from)
        : messages_(messages), end_(end), acknowledgements_left_(deaf_from)
    {
    }

    // A message longer than the buffer is cut off, its length told as it is.
    std::size_t Read_Message(Control::Message_Buffer& buffer) override
    {
        if (next_ == messages_.size()) {
            if (end_ == Host_End::Closed) throw Windows::Pipe::BROKEN("the host closed its end");
            throw Windows::Pipe::TIMEOUT("the host went silent");
        }
        const std::string& message = messages_[next_++];
        std::memcpy(buffer.data(), message.data(), std::min(message.size(), buffer.size()));
        return message.size();
    }
    // A host that stops reading its answers fills the pipe: the write stalls.
    void Acknowledge() override
    {
        if (acknowledgements_left_-- == 0) throw Windows::Pipe::TIMEOUT("the host does not read");
        Note("A");
    }
    void Start_Group(const std::string& file) override { Note("group(" + file + ")"); }
    void Set_Expand_Group(unsigned char flag) override { Note("flag(" + std::to_string(flag) + ")"); }
    void Add_Entry(std::uint32_t line, std::uint32_t column, const std::string& text) override
    {
        Note("entry(" + std::to_string(line) + "," + std::to_string(column) + "," + text + ")");
    }

    const std::string& Trace() const { return trace_; }
    std::size_t Unread() const { return messages_.size() - next_; }

private:
    void Note(const std::string& event) { trace_ += (trace_.empty() ? "" : " ") + event; }

    std::vector<std::string> messages_;
    Host_End end_;
    int acknowledgements_left_;
    std::size_t next_ = 0;
    std::string trace_;
};

struct Outcome {
    std::string Trace;
    std::string Ending; // "Complete", "Timed_Out" or the failure's name
    std::vector<std::string> Log;
    std::size_t Unread = 0;
    friend bool operator==(const Outcome&, const Outcome&) = default;
};

std::ostream& operator<<(std::ostream& stream, const Outcome& outcome)
{
    stream << "trace \"" << outcome.Trace << "\", " << outcome.Ending << ", log {";
    for (const std::string& line : outcome.Log) stream << " \"" << line << "\"";
    return stream << " }, " << outcome.Unread << " unread";
}

struct Transfer_Case {
    const char* Name;
    std::vector<std::string> Messages; // after the title
    Outcome Expected;
    Host_End End = Host_End::Silent;
    int Deaf_From = -1; // the acknowledgement (counted from 0) that no longer fits into the pipe
};

Outcome Read_Groups(const Transfer_Case& test)
{
    Recorded_Transfer transfer(test.Messages, test.End, test.Deaf_From);
    Control::Transfer_Reader reader(transfer, transfer);
    const std::size_t log_size = Test_Support::Read_File(Log_File::Path()).size();
    Outcome outcome;
    try {
        outcome.Ending = reader.Read_Groups() == Transfer_Phase::Complete ? "Complete" : "Timed_Out";
    } catch (const std::exception& failure) {
        outcome.Ending = failure.what();
    }
    outcome.Trace = transfer.Trace();
    outcome.Log = Log_File::Messages_After(log_size);
    outcome.Unread = transfer.Unread();
    return outcome;
}

void Expect_Outcomes(const std::vector<Transfer_Case>& cases)
{
    for (const Transfer_Case& test : cases) EXPECT_EQ(Read_Groups(test), test.Expected) << test.Name;
}

const char* const Group_Start = "A group(a.txt) A flag(1)";

TEST(Transfer_Reader, Groups_And_Entries_Reach_The_Index_In_Order_Each_Message_Answered_But_The_End)
{
    const std::string longest(Protocol::Message_Limit, 'L');
    Expect_Outcomes({
        {"the end at once", {""}, {"", "Complete", {}, 0}},
        {"nothing after the end is read", {"", "a.txt"}, {"", "Complete", {}, 1}},
        {"a group without entries", {"a.txt", Flag_1, "", ""}, {std::string(Group_Start) + " A", "Complete", {}, 0}},
        {"entries of two groups, flags as they came, values from 0 to the largest",
         {"b.txt", std::string(1, '\0'), "x := y;", Value(12), Value(6), "two", Value(0), Value(2147483647), "",
          "a.txt", "\xFF", longest, Value(1), Value(1025), "", ""},
         {"A group(b.txt) A flag(0) A A A entry(12,6,x := y;) A A A entry(0,2147483647,two) A "
          "A group(a.txt) A flag(255) A A A entry(1,1025," + longest + ") A",
          "Complete", {}, 0}},
        {"texts keep their bytes", {std::string("a\0b", 3), Flag_1, "\r\n", Value(1), Value(1), "", ""},
         {"A group(" + std::string("a\0b", 3) + ") A flag(1) A A A entry(1,1,\r\n) A", "Complete", {}, 0}},
    });
}

// Values are acknowledged before they are checked; a message of the wrong size is not.
TEST(Transfer_Reader, A_Bad_Message_Ends_The_Transfer_With_Its_Reason)
{
    const std::string entry = std::string(Group_Start) + " A";
    const std::string too_long(Protocol::Message_Limit + 1, 'x');
    Expect_Outcomes({
        {"flag of 2 bytes", {"a.txt", "\x01\x01"}, {"A group(a.txt)", "CONTROL.TERMINATION", {"!!! Flag expected"}, 0}},
        {"empty flag", {"a.txt", ""}, {"A group(a.txt)", "CONTROL.TERMINATION", {"!!! Flag expected"}, 0}},
        {"line of 2 bytes", {"a.txt", Flag_1, "t", std::string("\x0C\x00", 2)},
         {entry, "CONTROL.TERMINATION", {"!!! Value expected"}, 0}},
        {"empty line", {"a.txt", Flag_1, "t", ""}, {entry, "CONTROL.TERMINATION", {"!!! Value expected"}, 0}},
        {"column of 5 bytes", {"a.txt", Flag_1, "t", Value(1), std::string(5, '\x01')},
         {entry + " A", "CONTROL.TERMINATION", {"!!! Value expected"}, 0}},
        {"negative line", {"a.txt", Flag_1, "t", Value(-1), Value(1)}, {entry + " A", "RANGE_ERROR", {}, 1}},
        {"negative column", {"a.txt", Flag_1, "t", Value(1), Value(-2147483647 - 1)},
         {entry + " A A", "RANGE_ERROR", {}, 0}},
        {"file name beyond the buffer", {too_long}, {"", "CONTROL.TERMINATION", {"!!! Line too long"}, 0}},
        {"entry text beyond the buffer", {"a.txt", Flag_1, too_long},
         {Group_Start, "CONTROL.TERMINATION", {"!!! Line too long"}, 0}},
    });
}

// A stall inside a group ends the transfer with what has arrived; the entry being read is
// dropped. A stall where a file name or the end is due is a failure, as is a host that goes away.
TEST(Transfer_Reader, A_Stall_Inside_A_Group_Ends_The_Transfer_Normally_Others_Fail)
{
    const std::string kept = std::string(Group_Start) + " A A A entry(1,1,kept)";
    Expect_Outcomes({
        {"no flag", {"a.txt"}, {"A group(a.txt)", "Timed_Out", {"Timeout"}, 0}},
        {"no column", {"a.txt", Flag_1, "kept", Value(1), Value(1), "dropped", Value(2)},
         {kept + " A A", "Timed_Out", {"Timeout"}, 0}},
        {"no group end", {"a.txt", Flag_1, "kept", Value(1), Value(1)}, {kept, "Timed_Out", {"Timeout"}, 0}},
        {"a host that stops reading", {"a.txt", Flag_1, "kept", Value(1), Value(1), "dropped", Value(2), Value(2)},
         {kept + " A", "Timed_Out", {"Timeout"}, 1}, Host_End::Silent, 6},
        {"no first file name", {}, {"", "WINDOWS.PIPE.TIMEOUT", {}, 0}},
        {"no file name after a group", {"a.txt", Flag_1, ""}, {std::string(Group_Start) + " A", "WINDOWS.PIPE.TIMEOUT", {}, 0}},
        {"no answer room for a file name", {"a.txt", Flag_1, ""}, {"", "Timed_Out", {"Timeout"}, 2}, Host_End::Silent, 0},
        {"host closes after the last group", {"a.txt", Flag_1, ""},
         {std::string(Group_Start) + " A", "WINDOWS.PIPE.BROKEN", {}, 0}, Host_End::Closed},
        {"host closes inside a group", {"a.txt", Flag_1}, {Group_Start, "WINDOWS.PIPE.BROKEN", {}, 0}, Host_End::Closed},
    });
}

// The name doubles as the protocol's version: nothing but the exact name starts a transfer.
TEST(Transfer_Reader, Only_The_Exact_Pipe_Name_Opens_The_Pipe)
{
    const std::string name(Protocol::Pipe_Name);
    for (const std::string& wrong : {std::string("lumen_roll_v1.1"), name + "1", name.substr(0, name.size() - 1),
                                     name + std::string(1, '\0'), std::string()}) {
        const std::size_t log_size = Test_Support::Read_File(Log_File::Path()).size();
        EXPECT_FAILURE(Control::Process_Pipe(wrong), Control::Termination);
        EXPECT_EQ(Log_File::Messages_After(log_size), std::vector<std::string>{"!!! Invalid Pipe Name"}) << wrong;
    }
}

} // namespace
