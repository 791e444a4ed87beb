#include "lumen_send/round_trips.hpp"

#include <cmath>
#include <cstdio>

namespace Send::Transfer {

void Round_Trips::Add(std::chrono::steady_clock::duration round_trip) noexcept
{
    const auto microseconds = std::chrono::duration_cast<std::chrono::microseconds>(round_trip).count();
    const auto step = microseconds < 0 ? 0 : static_cast<std::uint64_t>(microseconds) / Step_Us;
    ++counts_[step < Steps ? step : Steps];
    ++count_;
}

unsigned Round_Trips::Percentile_Us(double share) const noexcept
{
    if (count_ == 0) return 0;
    // The rank of the round trip that the share reaches, counted from 1.
    const double wanted = std::ceil(share * static_cast<double>(count_));
    const std::uint64_t rank = wanted < 1.0 ? 1 : static_cast<std::uint64_t>(wanted);
    std::uint64_t seen = 0;
    for (unsigned step = 0; step < Steps; ++step) {
        seen += counts_[step];
        if (seen >= rank) return (step + 1) * Step_Us;
    }
    return Longest_Us;
}

std::string Round_Trip_Figures(const Round_Trips& round_trips)
{
    char figures[160];
    auto ms = [&](double share) { return round_trips.Percentile_Us(share) / 1000.0; };
    std::snprintf(figures, sizeof figures,
                  "round_trip_p10_ms=%.3f round_trip_p50_ms=%.3f round_trip_p90_ms=%.3f round_trip_p99_ms=%.3f",
                  ms(0.10), ms(0.50), ms(0.90), ms(0.99));
    return figures;
}

} // namespace Send::Transfer
