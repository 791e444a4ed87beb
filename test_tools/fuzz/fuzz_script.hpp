#pragma once
// One random run of the fuzz host, derived from a seed and the run's number alone, so that a
// failing run can be played again by itself. A run is the viewer's command line and the host's
// steps (messages, a stall, an early close), each with the answer the model expects, and the
// outcome the model expects at the end.
//
//     Run_Script script = Make_Script(seed, 17, {});
//     ... play script.Steps, compare with script.Expected ...

#include "test_tools/fuzz/fuzz_model.hpp"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Bench::Fuzz {

// splitmix64: small, fast, and the same numbers on every build.
class Random {
public:
    explicit Random(std::uint64_t seed) noexcept : state_(seed) {}
    std::uint64_t Next() noexcept;
    // 0 .. Limit - 1 (0 when Limit is 0).
    std::uint64_t Below(std::uint64_t limit) noexcept;
    // Low .. High, both included.
    std::uint64_t Between(std::uint64_t low, std::uint64_t high) noexcept { return low + Below(high - low + 1); }
    bool Chance(double probability) noexcept;

private:
    std::uint64_t state_;
};

// A pause is shorter than the viewer's time-out and must change nothing; a stall is longer.
enum class Step_Kind { Message, Pause, Stall, Close };
inline constexpr unsigned Pause_Milliseconds = 4000;

struct Step {
    Step_Kind Kind = Step_Kind::Message;
    std::string Bytes;  // the message
    std::string What;   // for reports: "entry text", "bad flag", ...
    Reaction Expected = Reaction::Acknowledgement;
};

// Which protocol the runs speak: messages one by one, batches, or each in turn (batches on odd runs).
enum class Protocols { Messages, Batches, Both };

struct Script_Options {
    // Probability that a run stops sending for longer than the viewer's time-out (5 s or more
    // each); 0 leaves stalls out.
    double Stall_Chance = 0.06;
    double Pause_Chance = 0.03; // 4 s each
    double Close_Chance = 0.06;
    double Bad_Command_Chance = 0.03;
    Protocols Protocol = Protocols::Messages;
};

struct Run_Script {
    std::vector<std::string> Arguments; // the viewer's command line after the program
    std::string Pipe_Name = "Lumen_Roll_V1.1"; // where the host connects
    bool Connects = true;               // the host opens the pipe
    std::vector<Step> Steps;
    Outcome Expected;
    std::string Profile;                // a few words on what this run exercises
};

Run_Script Make_Script(std::uint64_t seed, std::uint64_t run, const Script_Options& options);

// The first Count steps, then Ending (a stall or a close) in place of the rest, with the answers
// worked out anew by a fresh Model (Viewer_Model or Batch_Model).
template <typename Model>
void Cut(Run_Script& script, std::size_t count, Step_Kind ending)
{
    script.Steps.resize(count);
    Model model;
    for (Step& step : script.Steps) step.Expected = model.Message(step.Bytes);
    if (ending == Step_Kind::Stall) model.Stall();
    else model.Close();
    script.Steps.push_back({ending, "", ending == Step_Kind::Stall ? "stall" : "early close", Reaction::No_Answer});
    script.Expected = model.Expected();
}

// Now and then a pause shorter than the viewer's time-out before one of the steps. Decided last in
// a run, so that adding pauses left every other choice of a run as it was.
void Maybe_Pause(Run_Script& script, Random& random, const Script_Options& options);
// A run of the batch protocol (batch_script.cpp); Make_Script calls it where Options say so.
Run_Script Make_Batch_Script(std::uint64_t seed, std::uint64_t run, const Script_Options& options);

// The kind of end the model expects, in a few words: "Complete", "Timeout, Complete",
// "!!! Flag expected", "!!! WINDOWS.PIPE.MORE_DATA", ...
std::string Ending_Kind(const Run_Script& script);

// The steps in a compact, readable form (texts abbreviated), one a line.
std::string Describe(const Run_Script& script);

// Bytes for a report: printable ASCII as it is, everything else as \xNN, cut after Limit bytes.
std::string Printable(std::string_view bytes, std::size_t limit = 40);

} // namespace Bench::Fuzz
