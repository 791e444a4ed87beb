// fuzz_host: a bounded, seeded robustness run of the viewer. Each run starts a fresh viewer,
// plays one random script (malformed messages, stalls, early closes among normal ones) and
// checks what the viewer did against the grammar's model (see fuzz_model.hpp).
//     fuzz_host --viewer EXE [--runs N] [--seed S] [--first K] [--stall-chance P]
//               [--pause-chance P] [--close-chance P] [--protocol 1.1|2.0|both] [--keep DIR] [--verbose]
// --protocol: messages one by one (1.1), batches (2.0), or both in turn (the default).
// Run K of seed S is the same wherever it is played: --runs 1 --first K plays it alone.
// Prints a line per failing run (with its script) and a summary; exit status 1 when a run failed.

#include "test_tools/harness/viewer_harness.hpp"
#include "test_tools/fuzz/fuzz_play.hpp"
#include "test_tools/fuzz/fuzz_script.hpp"

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Settings {
    std::string Viewer;
    std::uint64_t Runs = 200;
    std::uint64_t Seed = 1;
    std::uint64_t First = 0;
    Bench::Fuzz::Script_Options Script{.Protocol = Bench::Fuzz::Protocols::Both};
    std::string Keep; // folder for the logs of failing runs
    bool Verbose = false;
};

std::uint64_t Number(const std::string& text)
{
    std::size_t used = 0;
    const unsigned long long value = std::stoull(text, &used, 0);
    if (used != text.size()) throw std::invalid_argument("not a number: " + text);
    return value;
}

Bench::Fuzz::Protocols Protocol_Of(const std::string& text)
{
    if (text == "1.1") return Bench::Fuzz::Protocols::Messages;
    if (text == "2.0") return Bench::Fuzz::Protocols::Batches;
    if (text == "both") return Bench::Fuzz::Protocols::Both;
    throw std::invalid_argument("--protocol takes 1.1, 2.0 or both");
}

Settings Parse(const std::vector<std::string>& arguments)
{
    Settings settings;
    for (std::size_t index = 0; index < arguments.size(); ++index) {
        const std::string& option = arguments[index];
        if (option == "--verbose") {
            settings.Verbose = true;
            continue;
        }
        if (index + 1 >= arguments.size()) throw std::invalid_argument("missing value after " + option);
        const std::string& value = arguments[++index];
        if (option == "--viewer") settings.Viewer = value;
        else if (option == "--runs") settings.Runs = Number(value);
        else if (option == "--seed") settings.Seed = Number(value);
        else if (option == "--first") settings.First = Number(value);
        else if (option == "--stall-chance") settings.Script.Stall_Chance = std::stod(value);
        else if (option == "--pause-chance") settings.Script.Pause_Chance = std::stod(value);
        else if (option == "--close-chance") settings.Script.Close_Chance = std::stod(value);
        else if (option == "--keep") settings.Keep = value;
        else if (option == "--protocol") settings.Script.Protocol = Protocol_Of(value);
        else throw std::invalid_argument("unknown option " + option);
    }
    if (settings.Viewer.empty()) throw std::invalid_argument("--viewer EXE is required");
    return settings;
}

std::string Temporary_Log()
{
    char folder[MAX_PATH] = {};
    GetTempPathA(sizeof folder, folder);
    return std::string(folder) + "lumen_fuzz_" + std::to_string(GetCurrentProcessId()) + ".log";
}

void Keep_Log(const Settings& settings, const std::string& log_path, std::uint64_t run)
{
    if (settings.Keep.empty()) return;
    CreateDirectoryA(settings.Keep.c_str(), nullptr);
    const std::string copy = settings.Keep + "\\run-" + std::to_string(run) + ".log";
    CopyFileA(log_path.c_str(), copy.c_str(), FALSE);
}

int Run(const Settings& settings)
{
    Viewer_Harness::Use_Viewer_Program(settings.Viewer);
    const std::string log_path = Temporary_Log();
    Viewer_Harness::Viewer_Settings registry(Viewer_Harness::Windows_Path(log_path));
    std::map<std::string, unsigned> endings;
    std::uint64_t failed = 0;
    std::uint64_t stalls = 0;
    const auto start = Clock::now();
    for (std::uint64_t run = settings.First; run < settings.First + settings.Runs; ++run) {
        const Bench::Fuzz::Run_Script script = Bench::Fuzz::Make_Script(settings.Seed, run, settings.Script);
        const Bench::Fuzz::Run_Report report = Bench::Fuzz::Play(script, log_path);
        ++endings[Bench::Fuzz::Ending_Kind(script)];
        if (!script.Steps.empty() && script.Steps.back().Kind == Bench::Fuzz::Step_Kind::Stall) ++stalls;
        const bool no_host = !script.Connects && script.Expected.Last_Message.ends_with("TIMEOUT");
        if (no_host) ++stalls; // the connection times out
        if (report.Passed() && !settings.Verbose) continue;
        std::printf("run %llu: %s, %.1f s, %s, %zu steps, expected end: %s\n", static_cast<unsigned long long>(run),
                    report.Passed() ? "ok" : "FAILED", report.Seconds, script.Profile.c_str(), script.Steps.size(),
                    Bench::Fuzz::Ending_Kind(script).c_str());
        for (const std::string& problem : report.Problems) std::printf("    %s\n", problem.c_str());
        if (!report.Passed()) {
            ++failed;
            std::printf("%s    replay: --seed %llu --first %llu --runs 1\n", Bench::Fuzz::Describe(script).c_str(),
                        static_cast<unsigned long long>(settings.Seed), static_cast<unsigned long long>(run));
            Keep_Log(settings, log_path, run);
        }
        std::fflush(stdout);
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("endings:");
    for (const auto& [ending, count] : endings) std::printf(" [%s] %u;", ending.c_str(), count);
    std::printf("\nfuzz: runs=%llu passed=%llu failed=%llu stalls=%llu seconds=%.1f seed=%llu\n",
                static_cast<unsigned long long>(settings.Runs), static_cast<unsigned long long>(settings.Runs - failed),
                static_cast<unsigned long long>(failed), static_cast<unsigned long long>(stalls), seconds,
                static_cast<unsigned long long>(settings.Seed));
    DeleteFileA(log_path.c_str());
    return failed == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    try {
        return Run(Parse(std::vector<std::string>(argv + 1, argv + argc)));
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "fuzz_host: %s\n", failure.what());
        return 2;
    }
}
