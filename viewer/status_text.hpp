#pragma once
// The status line's texts: the counts of what the tree holds while the transfer runs and after it,
// and of what is in view while the results are narrowed.

#include "viewer/transfer_reader.hpp"

#include <cstdint>
#include <string>

namespace Control {

struct Counts {
    std::uint64_t Entries = 0;
    std::uint64_t Files = 0;
};

// "Receiving - 3 entries in 1 file", "12 entries in 4 files" (complete), "Timed out - ..." after a
// stall inside a group.
std::string Status_Text(Transfer_Phase phase, std::uint64_t entries, std::uint64_t files);
// The same prefixes before "S of N entries in T of M files".
std::string Narrowed_Status_Text(Transfer_Phase phase, const Counts& shown, const Counts& received);

} // namespace Control
