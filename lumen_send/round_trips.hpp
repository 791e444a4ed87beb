#pragma once
// How long the viewer took to answer each message: from the write to the answer's arrival. Kept
// as counts in steps of Step_Us up to Longest_Us (one count for all longer ones), so that a long
// transfer needs no more room than a short one. On a machine where a round trip is either quick
// or slow, depending on whether the processors were asleep, the spread of these times tells more
// than the mean: the share of slow ones moves the transfer's time.

#include <array>
#include <chrono>
#include <cstdint>
#include <string>

namespace Send::Transfer {

class Round_Trips {
public:
    static constexpr unsigned Step_Us = 10;
    static constexpr unsigned Longest_Us = 10000;

    void Add(std::chrono::steady_clock::duration round_trip) noexcept;
    std::uint64_t Count() const noexcept { return count_; }
    // The time within which Share of the round trips (above 0, at most 1) ended, in microseconds:
    // the upper end of the step that reaches the share; Longest_Us for the longer ones, and 0
    // while there are none.
    unsigned Percentile_Us(double share) const noexcept;

private:
    static constexpr unsigned Steps = Longest_Us / Step_Us;
    std::array<std::uint64_t, Steps + 1> counts_{}; // the last: Longest_Us or more
    std::uint64_t count_ = 0;
};

// "round_trip_p10_ms=0.120 round_trip_p50_ms=... p90 ... p99": the figures --stats prints.
std::string Round_Trip_Figures(const Round_Trips& round_trips);

} // namespace Send::Transfer
