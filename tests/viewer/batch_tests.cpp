// The batch protocol. In the test process: which names select it, the UTF-8 boundary (the column
// must name the same character in the window), and the checks that refuse a malformed batch. Then
// the real viewer, fed over the run's own pipe: the same tree as the message-by-message protocol
// gives, what a malformed batch and a stall leave, and a pipe name that no other process can take.

#include "viewer/batch_protocol.hpp"
#include "viewer/batch_reader.hpp"
#include "test_tools/harness/viewer_harness.hpp"
#include "tests/test_support.hpp"

#include <gtest/gtest.h>

#include <aclapi.h>

#include <span>

namespace {

using namespace Viewer_Harness;
using namespace std::chrono_literals;
namespace Batch = Batch_Protocol;
using Control::Batch_State;

[[maybe_unused]] const bool viewer_chosen = (Use_Viewer_Program(LUMEN_ROLL_EXE), true);

const std::string Prefix(Batch::Pipe_Name_Prefix);

std::span<const unsigned char> Bytes_Of(const std::string& batch)
{
    return {reinterpret_cast<const unsigned char*>(batch.data()), batch.size()};
}

std::string Number_Bytes(std::uint32_t value, std::size_t size)
{
    std::string bytes;
    Batch::Append_Number(bytes, value, size);
    return bytes;
}

// ---- in the test process ---------------------------------------------------------------------

TEST(Batch_Names, The_Prefix_And_A_Run_Name_Of_8_To_64_Safe_Characters_Select_The_Batch_Protocol)
{
    for (const std::string& good : {Prefix + "0123abcd", Prefix + "Run-2_of_3", Prefix + std::string(64, 'z')})
        EXPECT_TRUE(Batch::Is_Pipe_Name(good)) << good;
    for (const std::string& bad :
         {std::string("Lumen_Roll_V1.1"), std::string("Lumen_Roll_V1.1x"), Prefix, Prefix + "0123abc",
          Prefix + std::string(65, 'z'), Prefix + "0123 abcd", Prefix + "..\\abcdef", Prefix + "0123.abcd",
          std::string("lumen_roll_v2.0_0123abcd"), "x" + Prefix + "0123abcd"})
        EXPECT_FALSE(Batch::Is_Pipe_Name(bad)) << bad;
}

// A column counts code points on the wire and UTF-8 bytes in the index: it must name the same character.
TEST(Batch_Texts, The_Column_Moves_To_The_First_Byte_Of_Its_Character_And_Bad_Texts_Are_Refused)
{
    struct Case {
        std::string Utf8;
        std::uint32_t Column;
        std::uint32_t Byte_Column; // 0: refused
        std::string Reason = {};
    };
    const Case cases[] = {
        {"x := y;", 6, 6},
        {"caf\xC3\xA9 := y", 9, 10},                // two bytes before the column
        {"\xE6\x97\xA5\xE6\x9C\xAC x", 4, 8},        // three bytes each
        {"\xF0\x9F\x98\x80x", 2, 5},                 // beyond U+FFFF: four bytes
        {"\xC3\xA9", 2, 3},                            // one past the end
        {"ab\xE2\x82", 1, 0, "Batch text not UTF-8"},   // cut off
        {"\xC0\xAF", 1, 0, "Batch text not UTF-8"},     // overlong
        {"\xED\xA0\x80", 1, 0, "Batch text not UTF-8"}, // a surrogate
        {"\xF4\x90\x80\x80", 1, 0, "Batch text not UTF-8"}, // beyond U+10FFFF
        {std::string("a\0b", 3), 1, 0, "Batch text holds NUL"},
        {"abc", 0, 0, "Batch column out of range"},
        {"abc", 5, 0, "Batch column out of range"},
        {"\xC3\xA9", 3, 0, "Batch column out of range"},
    };
    for (const Case& test : cases) {
        try {
            EXPECT_EQ(Control::Checked_Byte_Column(test.Utf8, test.Column), test.Byte_Column) << test.Utf8;
            EXPECT_TRUE(test.Reason.empty()) << test.Utf8 << " at " << test.Column << " was taken";
        } catch (const Control::BAD_BATCH& failure) {
            EXPECT_EQ(failure.Message(), test.Reason) << test.Utf8 << " at " << test.Column;
        }
    }
}

TEST(Batch_Decoding, A_Group_Runs_Over_Batches)
{
    std::string first;
    Batch::Append_Title(first, "Search");
    Batch::Append_File(first, Batch::Expanded_Flag, "a.txt");
    Batch::Append_Entry(first, 12, 6, "x := y;");
    const Control::Decoded_Batch opened = Control::Decode_Batch(Bytes_Of(first), Batch_State::Title);
    EXPECT_EQ(opened.State_After, Batch_State::In_Group);
    ASSERT_EQ(opened.Items.size(), 3u);
    EXPECT_EQ(opened.Items[2].Line, 12u);
    EXPECT_EQ(opened.Items[2].Column, 6u);

    std::string second;
    Batch::Append_Entry(second, 0, 1, "zero");
    Batch::Append_Group_End(second);
    Batch::Append_End(second);
    EXPECT_EQ(Control::Decode_Batch(Bytes_Of(second), Batch_State::In_Group).State_After, Batch_State::Ended);
}

// Every length is checked against the batch's end before it is read, every record against where
// the transfer stands.
TEST(Batch_Decoding, Malformed_Batches_Are_Refused_With_Their_Reason)
{
    auto file = [](std::string_view name) {
        std::string batch;
        Batch::Append_File(batch, Batch::Expanded_Flag, name);
        return batch;
    };
    auto entry = [](std::uint32_t line, std::uint32_t column, std::string_view text) {
        std::string batch;
        Batch::Append_Entry(batch, line, column, text);
        return batch;
    };
    struct Case {
        const char* What;
        Batch_State State;
        std::string Batch;
        const char* Reason;
    };
    const Case cases[] = {
        {"a name's length past the end", Batch_State::Between_Groups, file("a.txt").substr(0, 6), "Batch record cut off"},
        {"an entry's fields cut", Batch_State::In_Group, entry(1, 1, "x").substr(0, 7), "Batch record cut off"},
        {"a length of 65535", Batch_State::In_Group, "\x03" + Number_Bytes(1, 4) + Number_Bytes(1, 4) + "\xFF\xFF" + "x", "Batch text too long"},
        {"a text of 4097 bytes", Batch_State::In_Group, entry(1, 1, std::string(4097, 'x')), "Batch text too long"},
        {"UTF-8 cut off", Batch_State::Between_Groups, file("caf\xC3"), "Batch text not UTF-8"},
        {"a NUL in a name", Batch_State::Between_Groups, file(std::string("a\0b", 3)), "Batch text holds NUL"},
        {"an unknown record", Batch_State::Between_Groups, "\x09", "Batch record unknown"},
        {"an entry outside a group", Batch_State::Between_Groups, entry(1, 1, "x"), "Batch record out of order"},
        {"a file inside a group", Batch_State::In_Group, file("b.txt"), "Batch record out of order"},
        {"no title first", Batch_State::Title, file("a.txt"), "Batch record out of order"},
        {"a record after the end", Batch_State::Between_Groups, "\x05\x05", "Batch after end"},
        {"an empty batch", Batch_State::Between_Groups, "", "Batch empty"},
        {"a line above 2^31 - 1", Batch_State::In_Group, entry(0x80000000u, 1, "x"), "Batch line out of range"},
        {"an empty file name", Batch_State::Between_Groups, file(""), "Batch file name empty"},
        {"an empty entry text", Batch_State::In_Group, entry(1, 1, ""), "Batch entry text empty"},
    };
    for (const Case& test : cases) {
        try {
            Control::Decode_Batch(Bytes_Of(test.Batch), test.State);
            ADD_FAILURE() << test.What << " was taken";
        } catch (const Control::BAD_BATCH& failure) {
            EXPECT_EQ(failure.Message(), test.Reason) << test.What;
        }
    }
}

// ---- the real viewer -------------------------------------------------------------------------

class Batch_Viewer_Test : public ::testing::Test {
public:
    Test_Support::Temporary_Folder folder_;
    std::string log_path_ = folder_.File("viewer.log");
    Viewer_Settings settings_{log_path_};

    Viewer_Log Log() const { return Read_Log(log_path_); }
    bool Log_Ends_With(const std::string& message) const
    {
        const Viewer_Log log = Log();
        return !log.Messages.empty() && log.Messages.back() == message;
    }
};

std::string Run_Pipe_Name()
{
    static int serial = 0;
    return Prefix + "test-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(serial++);
}

// The tree as text: a file per line with "+" when expanded, its entries indented below it.
std::string Shape_Of(const Viewer_Process& viewer)
{
    std::string shape;
    for (const Tree_Node& file : Remote_Tree(viewer, viewer.Tree_Window()).Read()) {
        shape += file.Text + (file.Expanded ? " +\n" : "\n");
        for (const Tree_Node& entry : file.Children) shape += "    " + entry.Text + "\n";
    }
    return shape;
}

// One place in both forms: ANSI with a byte column for the message-by-message protocol, UTF-8 with
// a column in code points for batches.
struct Place {
    std::string Ansi;
    std::int32_t Ansi_Column;
    std::string Utf8;
    std::uint32_t Column;
    std::int32_t Line;
};

struct File_Group {
    std::string Ansi;
    std::string Utf8;
    char Flag;
    std::vector<Place> Places;
};

const std::vector<File_Group> Sample_Groups = {
    {"b.txt", "b.txt", 0, {{"beta one", 1, "beta one", 1, 1}, {"  beta two  ", 8, "  beta two  ", 8, 2}}},
    {"caf\xE9.txt", "caf\xC3\xA9.txt", 1,
     {{"x := \xE9t\xE9;", 6, "x := \xC3\xA9t\xC3\xA9;", 6, 12}, {"\xE9t\xE9 := y", 8, "\xC3\xA9t\xC3\xA9 := y", 8, 3}}},
    {"a.txt", "a.txt", 1, {}},
    {"b.txt", "b.txt", 1, {{"beta again", 11, "beta again", 11, 4}}},
};

// The records of Groups cut into batches of Records_Per_Batch records, so that groups run over
// batch boundaries.
std::vector<std::string> Batches_Of(const std::string& title, const std::vector<File_Group>& groups,
                                    std::size_t records_per_batch)
{
    std::vector<std::string> records(1);
    Batch::Append_Title(records.back(), title);
    for (const File_Group& group : groups) {
        Batch::Append_File(records.emplace_back(), group.Flag, group.Utf8);
        for (const Place& place : group.Places)
            Batch::Append_Entry(records.emplace_back(), place.Line, place.Column, place.Utf8);
        Batch::Append_Group_End(records.emplace_back());
    }
    Batch::Append_End(records.emplace_back());
    std::vector<std::string> batches;
    for (std::size_t record = 0; record < records.size(); ++record) {
        if (record % records_per_batch == 0) batches.emplace_back();
        batches.back() += records[record];
    }
    return batches;
}

struct Seen {
    std::string Caption;
    std::string Shape;
    std::string Status;
};

Seen Seen_After_Complete(const Viewer_Process& viewer, const Batch_Viewer_Test& test)
{
    EXPECT_TRUE(Wait_Until([&] { return test.Log().Contains("Complete"); }, 10s));
    return {viewer.Caption(), Shape_Of(viewer), viewer.Status_Text()};
}

TEST_F(Batch_Viewer_Test, Batches_Show_The_Same_Tree_As_The_Message_By_Message_Protocol)
{
    Seen by_messages;
    {
        Viewer_Process viewer({"Lumen_Roll_V1.1"});
        Host host(viewer);
        ASSERT_TRUE(host.Is_Connected());
        host.Text("Search", "title");
        for (const File_Group& group : Sample_Groups) {
            std::vector<Host::Entry> entries;
            for (const Place& place : group.Places) entries.push_back({place.Ansi, place.Line, place.Ansi_Column});
            host.Group(group.Ansi, static_cast<std::uint8_t>(group.Flag), entries);
        }
        EXPECT_EQ(host.Send_Text(""), Answer::Closed);
        by_messages = Seen_After_Complete(viewer, *this);
    }
    const std::string name = Run_Pipe_Name();
    Viewer_Process viewer({name});
    Host host(viewer, 10s, name);
    ASSERT_TRUE(host.Is_Connected());
    const std::vector<std::string> batches = Batches_Of("Search", Sample_Groups, 3);
    for (std::size_t index = 0; index + 1 < batches.size(); ++index)
        ASSERT_EQ(host.Send_Bytes(batches[index]), Answer::Acknowledgement) << "batch " << index;
    EXPECT_EQ(host.Send_Bytes(batches.back()), Answer::Closed) << "the last batch is not answered";
    const Seen by_batches = Seen_After_Complete(viewer, *this);

    EXPECT_EQ(by_batches.Caption, "Search");
    EXPECT_EQ(by_batches.Status, "5 entries in 4 files");
    EXPECT_EQ(by_batches.Shape, by_messages.Shape);
    EXPECT_EQ(by_batches.Shape, "a.txt\nb.txt\n    \x95" "beta one\n    beta \x95two\nb.txt +\n    beta again\x95\n"
                                "caf\xE9.txt +\n    x := \x95\xE9t\xE9;\n    \xE9t\xE9 := \x95y\n");
    EXPECT_EQ(by_batches.Status, by_messages.Status);
    EXPECT_TRUE(Log().Contains("Index for Search"));
}

// The first batch opens a group and is answered; the second breaks the protocol.
TEST_F(Batch_Viewer_Test, A_Malformed_Batch_Ends_The_Transfer_And_The_Window_Keeps_What_Came_Before)
{
    std::string first;
    Batch::Append_Title(first, "Broken");
    Batch::Append_File(first, Batch::Expanded_Flag, "a.txt");
    Batch::Append_Entry(first, 12, 6, "x := y;");
    std::string truncated_utf8;
    Batch::Append_Entry(truncated_utf8, 1, 1, "ab\xE2\x82");
    std::string nul_in_name;
    Batch::Append_Group_End(nul_in_name);
    Batch::Append_File(nul_in_name, Batch::Expanded_Flag, std::string("b\0.txt", 6));
    struct Case {
        const char* What;
        std::string Batch;
        const char* Logged;
    };
    const Case cases[] = {
        {"a length past the batch's end", "\x03" + Number_Bytes(1, 4) + Number_Bytes(1, 4) + Number_Bytes(200, 2) + "short",
         "!!! Batch record cut off"},
        {"truncated UTF-8", truncated_utf8, "!!! Batch text not UTF-8"},
        {"a NUL in a name", nul_in_name, "!!! Batch text holds NUL"},
        {"an unknown record", "\x07", "!!! Batch record unknown"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.What);
        const std::string name = Run_Pipe_Name();
        Viewer_Process viewer({name});
        Host host(viewer, 10s, name);
        ASSERT_TRUE(host.Is_Connected());
        ASSERT_EQ(host.Send_Bytes(first), Answer::Acknowledgement);
        EXPECT_EQ(host.Send_Bytes(test.Batch), Answer::Closed);
        EXPECT_TRUE(Wait_Until([&] { return Log_Ends_With(test.Logged); }, 10s)) << Log().Messages.back();
        EXPECT_FALSE(viewer.Wait_For_End(300ms)) << "the window should stay";
        EXPECT_EQ(Shape_Of(viewer), "a.txt +\n    x := \x95y;\n");
        EXPECT_EQ(viewer.Status_Text(), "Broken off - 1 entry in 1 file");
        EXPECT_TRUE(viewer.Close_Window());
        EXPECT_FALSE(Log().Contains("Complete"));
    }
}

TEST_F(Batch_Viewer_Test, A_Stall_Inside_A_Group_Ends_With_Timeout_And_Keeps_The_Window)
{
    std::string first;
    Batch::Append_Title(first, "Stalled");
    Batch::Append_File(first, Batch::Expanded_Flag, "a.txt");
    Batch::Append_Entry(first, 1, 1, "one");
    Batch::Append_Entry(first, 2, 4, "two");
    const std::string name = Run_Pipe_Name();
    Viewer_Process viewer({name});
    Host host(viewer, 10s, name);
    ASSERT_TRUE(host.Is_Connected());
    ASSERT_EQ(host.Send_Bytes(first), Answer::Acknowledgement);
    EXPECT_EQ(host.Await_Answer(10s), Answer::Closed) << "the viewer gives up after its 5 s time-out";
    EXPECT_TRUE(Wait_Until([&] { return Log_Ends_With("Complete"); }, 5s));
    const Viewer_Log log = Log();
    ASSERT_GE(log.Messages.size(), 2u);
    EXPECT_EQ(log.Messages[log.Messages.size() - 2], "Timeout");
    EXPECT_FALSE(viewer.Has_Ended());
    EXPECT_EQ(Shape_Of(viewer), "a.txt +\n    \x95one\n    two\x95\n");
    EXPECT_EQ(viewer.Status_Text(), "Timed out - 2 entries in 1 file");
}

// The one access-list entry of the pipe's security descriptor names the current user.
bool Only_The_Current_User_May_Open(HANDLE pipe)
{
    PACL acl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(pipe, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &acl, nullptr,
                        &descriptor) != ERROR_SUCCESS)
        return false;
    Windows::Unique_Handle token;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put());
    char user[256];
    DWORD size = sizeof user;
    GetTokenInformation(token.get(), TokenUser, user, size, &size);
    void* ace = nullptr;
    const bool only_user = acl && acl->AceCount == 1 && GetAce(acl, 0, &ace) &&
                           static_cast<ACE_HEADER*>(ace)->AceType == ACCESS_ALLOWED_ACE_TYPE &&
                           EqualSid(&static_cast<ACCESS_ALLOWED_ACE*>(ace)->SidStart,
                                    reinterpret_cast<TOKEN_USER*>(user)->User.Sid);
    LocalFree(descriptor);
    return only_user;
}

HANDLE Create_Pipe(const std::string& name, DWORD open_mode)
{
    return CreateNamedPipeA(("\\\\.\\pipe\\" + name).c_str(), open_mode, PIPE_TYPE_MESSAGE, PIPE_UNLIMITED_INSTANCES,
                            1024, 1024, 0, nullptr);
}

TEST_F(Batch_Viewer_Test, The_Run_s_Pipe_Is_Its_Own)
{
    const std::string name = Run_Pipe_Name();
    Viewer_Process viewer({name});
    Host probe(viewer, 10s, name); // only to know that the pipe is there
    ASSERT_TRUE(probe.Is_Connected());
    EXPECT_TRUE(Only_The_Current_User_May_Open(probe.Handle()));
    for (const DWORD open_mode : {DWORD{PIPE_ACCESS_DUPLEX}, DWORD{PIPE_ACCESS_DUPLEX | FILE_FLAG_FIRST_PIPE_INSTANCE}}) {
        Windows::Unique_File second{Create_Pipe(name, open_mode)};
        EXPECT_FALSE(second) << "another instance of " << name << " was created (open mode " << open_mode << ")";
    }

    // A name taken before the viewer came is not served by the viewer.
    probe.Close();
    ASSERT_TRUE(viewer.Wait_For_End(10s)) << "a host gone before the title ends the run";
    const std::string taken = Run_Pipe_Name();
    Windows::Unique_File squatter{Create_Pipe(taken, PIPE_ACCESS_DUPLEX)};
    ASSERT_TRUE(squatter);
    Viewer_Process late({taken});
    EXPECT_TRUE(late.Wait_For_End(10s));
    const Viewer_Log log = Log();
    EXPECT_TRUE(log.Contains_Prefix("!!! Exception: Exception = WINDOWS.PIPE.ACCESS_DENIED")) << log.Messages.back();
}

} // namespace
