#pragma once
// Plays one fuzz script against a fresh viewer over the real pipe and checks what the viewer did
// against the model: every answer, the end of the run within the time-outs, the exit code, the
// log's last lines and, when the window stays open, its caption, its answers and its tree.
// The viewer's registry settings (its log) must be in place: see Viewer_Harness::Viewer_Settings.

#include "test_tools/fuzz/fuzz_script.hpp"

#include <string>
#include <vector>

namespace Bench::Fuzz {

struct Run_Report {
    std::vector<std::string> Problems; // empty when the viewer did what the model says
    double Seconds = 0.0;
    bool Passed() const { return Problems.empty(); }
};

// Log_Path is the file the viewer's "Log" value names.
Run_Report Play(const Run_Script& script, const std::string& log_path);

} // namespace Bench::Fuzz
