#pragma once

#include <algorithm>
#include <chrono>
#include <vector>

// What every benchmark measures with: a steady clock, and the median of its rounds, which
// a burst of other work on the machine moves less than the mean.
namespace Bench
{
using Clock = std::chrono::steady_clock;

inline double SecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

inline double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}
} // namespace Bench
