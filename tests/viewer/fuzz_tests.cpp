// A short version of scripts/fuzz. The model of the grammar is checked on the known exchanges
// first, since every verdict of the fuzz host rests on it, and the scripts on what they must
// carry; then 20 runs of a fixed seed (without stalls, which cost 5 s each), among them one of
// every kind of ending and one of every kind of awkward input, are played against fresh viewers
// and checked: answers, end of the run, exit code, log and tree. So the model cannot fall out of
// step with the viewer unnoticed: the real viewer decides each of its verdicts here.

#include "test_tools/harness/viewer_harness.hpp"
#include "tests/test_support.hpp"
#include "test_tools/fuzz/fuzz_model.hpp"
#include "test_tools/fuzz/fuzz_play.hpp"
#include "test_tools/fuzz/fuzz_script.hpp"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string_view>
#include <vector>

namespace {

[[maybe_unused]] const bool viewer_chosen = (Viewer_Harness::Use_Viewer_Program(LUMEN_ROLL_EXE), true);

using namespace Bench::Fuzz;

constexpr std::uint64_t Seed = 20240611;
constexpr std::uint64_t Runs_To_Choose_From = 200;
constexpr std::size_t Runs_To_Play_Count = 20;

std::string Value(std::int32_t value)
{
    std::string bytes(4, '\0');
    const auto bits = static_cast<std::uint32_t>(value);
    for (int index = 0; index < 4; ++index) bytes[index] = static_cast<char>((bits >> (8 * index)) & 0xFF);
    return bytes;
}

TEST(Fuzz_Model, The_Example_Exchange_Ends_Complete_With_One_Expanded_Entry)
{
    Viewer_Model model;
    for (const std::string& message : {std::string("Results"), std::string("src\\a.txt"), std::string(1, '\x01'),
                                       std::string("x := y;"), Value(12), Value(6), std::string()})
        EXPECT_EQ(model.Message(message), Reaction::Acknowledgement) << Printable(message);
    EXPECT_EQ(model.Message(""), Reaction::No_Answer);
    const Outcome& outcome = model.Expected();
    EXPECT_TRUE(outcome.Window_Stays_Open);
    EXPECT_EQ(outcome.Last_Message, "Complete");
    EXPECT_EQ(outcome.Title_Message, "Index for Results");
    ASSERT_EQ(outcome.Tree.size(), 1u);
    EXPECT_EQ(outcome.Tree[0], (Shown_Group{"src\\a.txt", true, {"x := \x95y;"}}));
}

TEST(Fuzz_Model, Shown_Entries_Put_The_Marker_Trim_Blanks_And_End_At_A_Nul)
{
    EXPECT_EQ(Shown_Entry("  foo(bar)", 7), "foo(\x95" "bar)");
    EXPECT_EQ(Shown_Entry("abc", 4), "abc\x95");
    EXPECT_EQ(Shown_Entry("  ab", 1), "\x95  ab");
    EXPECT_EQ(Shown_Entry(std::string("ab\0cd", 5), 5), "ab");
    EXPECT_EQ(Shown_Entry(std::string("\0  ", 3), 1), std::string("\x95"));
}

// The log writes control characters out, so that a host's line end cannot forge a record; the
// caption stops at the first NUL.
TEST(Fuzz_Model, A_Title_Is_Logged_With_Its_Control_Characters_Written_Out)
{
    struct Case {
        std::string Title;
        std::string Logged;
        std::string Caption;
    };
    const std::vector<Case> cases{
        {std::string("a\0b", 3), "Index for a\\0b", "a"},
        {"one\r\ntwo\n", "Index for one\\r\\ntwo\\n", "one\r\ntwo\n"},
        {std::string("t\0\0", 3), "Index for t", "t"},
        {std::string("\0t", 2), "Index for \\0t", ""},
    };
    for (const Case& test : cases) {
        Viewer_Model model;
        model.Message(test.Title);
        EXPECT_EQ(model.Expected().Title_Message, test.Logged) << Printable(test.Title);
        EXPECT_EQ(model.Expected().Caption, test.Caption) << Printable(test.Title);
    }
}

TEST(Fuzz_Model, Broken_Messages_End_The_Transfer_Where_The_Grammar_Says)
{
    struct Case {
        std::vector<std::string> Messages; // the last one breaks the grammar
        Reaction Last_Reaction;
        std::string Last_Message;
    };
    const std::string title = "t", file = "f", flag(1, '\0'), text = "abc";
    const std::vector<Case> cases{
        {{std::string(1025, 'x')}, Reaction::No_Answer, "!!! Exception: Exception = WINDOWS.PIPE.MORE_DATA"},
        {{title, file, ""}, Reaction::No_Answer, "!!! Flag expected"},
        {{title, file, flag, text, Value(1).substr(0, 2)}, Reaction::No_Answer, "!!! Value expected"},
        {{title, file, flag, text, Value(-1)}, Reaction::Acknowledgement_Then_Failure,
         "!!! Exception: Exception = RANGE_ERROR"},
        {{title, file, flag, text, Value(1), Value(5)}, Reaction::Acknowledgement_Then_Failure,
         "!!! Exception: Exception = INDEX_ERROR"},
        {{title, file, flag, text, Value(1), Value(0)}, Reaction::Acknowledgement_Then_Failure,
         "!!! Exception: Exception = INDEX_ERROR"},
    };
    for (const Case& test : cases) {
        Viewer_Model model;
        for (std::size_t index = 0; index + 1 < test.Messages.size(); ++index)
            ASSERT_EQ(model.Message(test.Messages[index]), Reaction::Acknowledgement);
        EXPECT_EQ(model.Message(test.Messages.back()), test.Last_Reaction) << test.Last_Message;
        EXPECT_FALSE(model.Expected().Window_Stays_Open) << test.Last_Message;
        EXPECT_EQ(model.Expected().Last_Message, test.Last_Message);
    }
}

TEST(Fuzz_Model, A_Stall_Ends_Normally_Only_Inside_A_Group)
{
    Viewer_Model between;
    between.Message("t");
    between.Stall();
    EXPECT_FALSE(between.Expected().Window_Stays_Open);

    Viewer_Model inside;
    for (const std::string& message : {std::string("t"), std::string("f"), std::string(1, '\x01'), std::string("ab"),
                                       Value(3), Value(2), std::string("dropped"), Value(4)})
        inside.Message(message);
    inside.Stall();
    const Outcome& outcome = inside.Expected();
    EXPECT_TRUE(outcome.Window_Stays_Open);
    EXPECT_TRUE(outcome.Timeout_Logged);
    ASSERT_EQ(outcome.Tree.size(), 1u);
    EXPECT_EQ(outcome.Tree[0].Entries, std::vector<std::string>{"a\x95" "b"}); // the entry being read is dropped
}

std::vector<Run_Script> First_Scripts(const Script_Options& options)
{
    std::vector<Run_Script> scripts;
    for (std::uint64_t run = 0; run < Runs_To_Choose_From; ++run) scripts.push_back(Make_Script(Seed, run, options));
    return scripts;
}

TEST(Fuzz_Scripts, A_Run_Is_The_Same_Wherever_It_Is_Played)
{
    const Run_Script first = Make_Script(Seed, 17, {});
    const Run_Script again = Make_Script(Seed, 17, {});
    EXPECT_EQ(Describe(first), Describe(again));
    ASSERT_EQ(first.Steps.size(), again.Steps.size());
    for (std::size_t index = 0; index < first.Steps.size(); ++index)
        EXPECT_EQ(first.Steps[index].Bytes, again.Steps[index].Bytes) << index;
    EXPECT_NE(Describe(first), Describe(Make_Script(Seed, 18, {})));
    EXPECT_NE(Describe(first), Describe(Make_Script(Seed + 1, 17, {})));
}

// Only the last step may end the transfer, and every answer is the model's for that prefix
// (scripts cut short for a stall or a close have theirs worked out anew).
TEST(Fuzz_Scripts, Only_The_Last_Step_Ends_The_Transfer_And_Answers_Follow_The_Model)
{
    for (const Run_Script& script : First_Scripts({})) {
        Viewer_Model model;
        for (std::size_t index = 0; index < script.Steps.size(); ++index) {
            const Step& step = script.Steps[index];
            const bool last = index + 1 == script.Steps.size();
            if (step.Kind == Step_Kind::Pause) continue;
            if (step.Kind != Step_Kind::Message) {
                EXPECT_TRUE(last) << Describe(script);
                continue;
            }
            EXPECT_EQ(model.Message(step.Bytes), step.Expected) << index << "\n" << Describe(script);
            EXPECT_EQ(step.Expected != Reaction::Acknowledgement, last) << index << "\n" << Describe(script);
        }
    }
}

// The awkward inputs a script carries, by name.
std::set<std::string> Awkward_Inputs(const Run_Script& script)
{
    std::set<std::string> kinds;
    std::size_t groups = 0;
    for (const Step& step : script.Steps) {
        const std::string_view bytes = step.Bytes;
        const bool control = bytes.find_first_of(std::string_view("\0\r\n", 3)) != std::string_view::npos;
        if (step.What == "file name") ++groups;
        if (step.What == "empty title") kinds.insert("empty title");
        if (step.What == "title" && control) kinds.insert("control character in a title");
        if (step.What == "file name" && control) kinds.insert("control character in a file name");
        if (step.Kind == Step_Kind::Pause) kinds.insert("pause");
        if (bytes.size() == 1024 || bytes.size() == 1025) kinds.insert(std::to_string(bytes.size()) + " bytes");
        if (step.What.starts_with("entry text") && bytes.find('\0') != std::string_view::npos) kinds.insert("NUL in a text");
        if (step.What.starts_with("entry text") && bytes.find(Marker) != std::string_view::npos) kinds.insert("marker in a text");
        if (step.What.starts_with("line -") || step.What.starts_with("column -")) kinds.insert("negative value");
        if (step.What.starts_with("bad column")) kinds.insert("bad column");
        if (step.What.find(" bytes") != std::string::npos && step.What.starts_with("flag")) kinds.insert("bad flag size");
    }
    if (groups >= 100) kinds.insert("many groups");
    return kinds;
}

const std::vector<std::string> Awkward_Kinds{"empty title", "control character in a title", "control character in a file name",
                                             "1024 bytes", "1025 bytes", "NUL in a text", "marker in a text",
                                             "negative value", "bad column", "bad flag size", "many groups"};

TEST(Fuzz_Scripts, The_Scripts_Carry_Every_Kind_Of_Awkward_Input)
{
    std::set<std::string> seen;
    for (const Run_Script& script : First_Scripts({})) seen.merge(Awkward_Inputs(script));
    EXPECT_TRUE(seen.contains("pause"));
    for (const std::string& kind : Awkward_Kinds) EXPECT_TRUE(seen.contains(kind)) << kind;
}

// The first run of each kind of ending among the seed's first runs.
std::map<std::string, std::uint64_t> One_Run_Per_Ending(const Script_Options& options)
{
    std::map<std::string, std::uint64_t> chosen;
    const std::vector<Run_Script> scripts = First_Scripts(options);
    for (std::uint64_t run = 0; run < scripts.size(); ++run) chosen.emplace(Ending_Kind(scripts[run]), run);
    return chosen;
}

// The runs played against the real viewer, each with why it was chosen: the first of each kind of
// ending and of each kind of awkward input, then the seed's first runs, Runs_To_Play_Count in all.
std::map<std::uint64_t, std::string> Runs_To_Play(const Script_Options& options)
{
    std::map<std::uint64_t, std::string> chosen;
    for (const auto& [ending, run] : One_Run_Per_Ending(options)) chosen.emplace(run, ending);
    const std::vector<Run_Script> scripts = First_Scripts(options);
    std::set<std::string> kinds;
    for (std::uint64_t run = 0; run < scripts.size(); ++run)
        for (const std::string& kind : Awkward_Inputs(scripts[run]))
            if (kinds.insert(kind).second) chosen.emplace(run, kind);
    for (std::uint64_t run = 0; chosen.size() < Runs_To_Play_Count; ++run) chosen.emplace(run, "one of the first runs");
    return chosen;
}

TEST(Fuzz_Runs, Every_Kind_Of_Ending_Happens_Among_The_First_Runs)
{
    std::set<std::string> endings;
    for (const auto& [ending, run] : One_Run_Per_Ending({})) endings.insert(ending);
    for (const char* ending : {"Complete", "Timeout, Complete", "!!! Flag expected", "!!! Value expected",
                               "!!! RANGE_ERROR", "!!! INDEX_ERROR", "!!! WINDOWS.PIPE.MORE_DATA",
                               "!!! WINDOWS.PIPE.TIMEOUT", "!!! WINDOWS.PIPE.", "!!! Invalid Pipe Name"})
        EXPECT_TRUE(endings.contains(ending)) << ending;
}

TEST(Fuzz_Runs, The_Viewer_Does_What_The_Model_Says_For_Every_Kind_Of_Ending_And_Input)
{
    Test_Support::Temporary_Folder folder;
    const std::string log_path = folder.File("viewer.log");
    Viewer_Harness::Viewer_Settings settings(log_path);
    Script_Options options;
    options.Stall_Chance = 0.0;
    options.Pause_Chance = 0.0;
    for (const auto& [run, what] : Runs_To_Play(options)) {
        const Run_Script script = Make_Script(Seed, run, options);
        const Run_Report report = Play(script, log_path);
        std::string problems;
        for (const std::string& problem : report.Problems) problems += "\n    " + problem;
        EXPECT_TRUE(report.Passed()) << "run " << run << " (" << what << "; replay: scripts/fuzz 1 " << Seed << " "
                                     << run << ", with FUZZ_OPTIONS=\"--stall-chance 0 --pause-chance 0\"):" << problems << "\n"
                                     << Describe(script);
    }
}

} // namespace
