// A short run of the fuzz host's batches (the long one is scripts/fuzz): the first run of each kind
// of ending among a seed's first runs, played against fresh viewers and checked against the fuzz
// host's own model of the batch protocol: answers, end of the run, log and tree. So the model and
// the viewer cannot part ways unnoticed, and every refusal the description lists is met once.

#include "test_tools/harness/viewer_harness.hpp"
#include "tests/test_support.hpp"
#include "test_tools/fuzz/fuzz_play.hpp"
#include "test_tools/fuzz/fuzz_script.hpp"

#include <gtest/gtest.h>

#include <map>

namespace {

using namespace Bench::Fuzz;

constexpr std::uint64_t Seed = 7;
constexpr std::uint64_t Runs_To_Choose_From = 300;

TEST(Batch_Fuzz, The_Viewer_Does_What_The_Model_Says_For_Every_Kind_Of_Ending)
{
    Script_Options options{.Stall_Chance = 0.0, .Pause_Chance = 0.0, .Protocol = Protocols::Batches};
    std::map<std::string, std::uint64_t> first_of_ending;
    for (std::uint64_t run = 0; run < Runs_To_Choose_From; ++run)
        first_of_ending.emplace(Ending_Kind(Make_Script(Seed, run, options)), run);
    for (const char* ending : {"Complete", "!!! Batch record cut off", "!!! Batch text not UTF-8", "!!! Batch text holds NUL",
                               "!!! Batch record unknown", "!!! Batch record out of order", "!!! Batch too long",
                               "!!! Batch text too long", "!!! Batch column out of range", "!!! Invalid Pipe Name",
                               "!!! WINDOWS.PIPE."})
        EXPECT_TRUE(first_of_ending.contains(ending)) << ending;

    Test_Support::Temporary_Folder folder;
    const std::string log_path = folder.File("viewer.log");
    Viewer_Harness::Viewer_Settings settings(log_path);
    for (const auto& [ending, run] : first_of_ending) {
        const Run_Script script = Make_Script(Seed, run, options);
        const Run_Report report = Play(script, log_path);
        std::string problems;
        for (const std::string& problem : report.Problems) problems += "\n    " + problem;
        EXPECT_TRUE(report.Passed()) << "run " << run << " (" << ending << "; replay: scripts/fuzz 1 " << Seed << " " << run
                                     << " with FUZZ_OPTIONS=\"--protocol 2.0 --stall-chance 0 --pause-chance 0\"):"
                                     << problems << "\n"
                                     << Describe(script);
    }
}

} // namespace
