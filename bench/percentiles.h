#pragma once
// How a benchmark of single keystrokes reports them: the median and the tail
// say more about a typist's feel than the mean google-benchmark gives.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace typetoki::bench {

// Nearest-rank percentile of samples already sorted.
inline double Percentile(const std::vector<double> &sorted, double p)
{
    if (sorted.empty())
        return 0;
    const auto rank = std::size_t(std::ceil(p / 100.0 * double(sorted.size())));
    return sorted[std::clamp<std::size_t>(rank, 1, sorted.size()) - 1];
}

// Sorts the samples, then reports them as prefix + "p50_us", "p99_us" and
// "max_us".
inline void ReportPercentiles(benchmark::State &state, const std::string &prefix,
                              std::vector<double> &micros)
{
    std::sort(micros.begin(), micros.end());
    state.counters[prefix + "p50_us"] = Percentile(micros, 50);
    state.counters[prefix + "p99_us"] = Percentile(micros, 99);
    state.counters[prefix + "max_us"] = micros.empty() ? 0 : micros.back();
}

}  // namespace typetoki::bench
