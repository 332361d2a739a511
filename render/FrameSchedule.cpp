#include "FrameSchedule.h"

#include <algorithm>
#include <cmath>

namespace FrameSchedule
{
namespace
{
// round(i * last / steps) without the product, which overflows for long runs.
std::uint64_t LinearFrame(std::uint64_t last, std::uint64_t steps, std::uint64_t i)
{
    const std::uint64_t whole = last / steps;
    const std::uint64_t rest = last % steps;
    return i * whole + (i * rest + steps / 2) / steps;
}

std::uint64_t LogarithmicFrame(std::uint64_t last, std::uint64_t steps, std::uint64_t i)
{
    const double exponent = double(i) / double(steps);
    const double value = std::round(std::exp(std::log1p(double(last)) * exponent)) - 1.0;
    // double(last) may round above last; converting such a value would be undefined.
    if (!(value < double(last)))
        return last;
    return value <= 0.0 ? 0 : static_cast<std::uint64_t>(value);
}
} // namespace

std::vector<std::uint64_t> FrameIterations(std::uint64_t lastIteration, int frames, Spacing spacing)
{
    const std::uint64_t count = static_cast<std::uint64_t>(std::max(frames, 2));
    std::vector<std::uint64_t> result;
    if (lastIteration < count)
    {
        result.resize(lastIteration + 1);
        for (std::uint64_t i = 0; i <= lastIteration; ++i)
            result[i] = i;
        return result;
    }

    const std::uint64_t steps = count - 1;
    result.reserve(count);
    result.push_back(0);
    for (std::uint64_t i = 1; i < steps; ++i)
    {
        if (spacing == Spacing::Linear)
        {
            // A step of at least one iteration keeps rounded values apart.
            result.push_back(LinearFrame(lastIteration, steps, i));
            continue;
        }
        const std::uint64_t wanted = LogarithmicFrame(lastIteration, steps, i);
        const std::uint64_t latest = lastIteration - (steps - i);
        result.push_back(std::min(std::max(wanted, result.back() + 1), latest));
    }
    result.push_back(lastIteration);
    return result;
}
} // namespace FrameSchedule
