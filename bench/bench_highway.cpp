// Highway proofs on long walks (maxPeriod 20 000, 5 000 001 steps) of the kinds that are
// slow for a per-period scan, and the cost of keeping a heading tail during a run; then the
// jump to a far iteration from a proven highway (LR to 10^18), as `run --plane` makes it.
#include "Ant.h"
#include "BenchSupport.h"
#include "HighwayProof.h"
#include "HighwayFuture.h"
#include "PackedField.h"
#include "Runner.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

namespace
{
using Bench::Clock;
using Bench::Median;
using Bench::SecondsSince;
using Headings = std::vector<std::uint8_t>;

constexpr std::uint64_t MaxPeriod = 20000;
constexpr std::size_t WalkLength = 5000001;
constexpr int Rounds = 9;

// Random headings, then a random pattern of the given period repeated up to the end; the
// pattern is drawn again until it drifts.
Headings RandomThenPeriodic(std::size_t length, std::size_t period, std::size_t repeats)
{
    std::mt19937 rng(static_cast<std::mt19937::result_type>(period));
    std::uniform_int_distribution<int> heading(0, 3);
    Headings pattern(period);
    int dx = 0;
    int dy = 0;
    while (period > 0 && dx == 0 && dy == 0)
    {
        dx = 0;
        dy = 0;
        for (std::uint8_t& h : pattern)
        {
            h = static_cast<std::uint8_t>(heading(rng));
            dx += h == 1 ? 1 : h == 3 ? -1 : 0;
            dy += h == 2 ? 1 : h == 0 ? -1 : 0;
        }
    }
    Headings run(length);
    const std::size_t periodicFrom = length - period * repeats;
    for (std::size_t i = 0; i < length; ++i)
        run[i] = i < periodicFrom ? static_cast<std::uint8_t>(heading(rng))
                                  : pattern[(i - periodicFrom) % period];
    return run;
}

// The headings as a walk on a blank plane, each step reading the colour its heading
// names, so colours repeat where headings do.
Walk WalkOf(const Headings& headings)
{
    Walk walk;
    walk.First = 1;
    walk.Steps.resize(headings.size());
    std::int32_t x = 0;
    std::int32_t y = 0;
    for (std::size_t i = 0; i < headings.size(); ++i)
    {
        walk.Steps[i] = {x, y, static_cast<std::uint8_t>(headings[i] + 1), headings[i]};
        x += headings[i] == 1 ? 1 : headings[i] == 3 ? -1 : 0;
        y += headings[i] == 2 ? 1 : headings[i] == 0 ? -1 : 0;
    }
    return walk;
}

void Time(const char* name, const Headings& headings)
{
    std::vector<double> ms;
    const Walk walk = WalkOf(headings);
    Highway w;
    for (int round = 0; round < Rounds; ++round)
    {
        const auto start = Clock::now();
        w = ProveHighway(walk, MaxPeriod).Highway;
        ms.push_back(SecondsSince(start) * 1e3);
    }
    std::printf("%-44s median %7.2f ms, best %7.2f  -> ", name, Median(ms),
                *std::min_element(ms.begin(), ms.end()));
    if (w.Found)
        std::printf("proven: period %llu from %llu, drift (%d, %d)\n",
                    static_cast<unsigned long long>(w.Period),
                    static_cast<unsigned long long>(w.Onset), w.DriftX, w.DriftY);
    else
        std::printf("none\n");
}
} // namespace

int main()
{
    const std::size_t length = WalkLength;
    std::printf("walk of %zu steps, maxPeriod %llu, %d rounds\n", length,
                static_cast<unsigned long long>(MaxPeriod), Rounds);

    Headings turningLeft(length);
    for (std::size_t i = 0; i < length; ++i)
        turningLeft[i] = static_cast<std::uint8_t>(3 - i % 4);
    Time("(a) period 4 without drift, whole walk", turningLeft);
    Time("(b) random, then period 104 for 240 periods", RandomThenPeriodic(length, 104, 240));
    Time("(c) random, then period 19999 for 249 periods", RandomThenPeriodic(length, 19999, 249));
    Time("(d) random", RandomThenPeriodic(length, 0, 0));

    // The run to the proof, as the command makes it, and then the jump alone.
    Ant ant;
    ant.SetRule("LR");
    RunOptions options;
    options.Plane = true;
    options.HighwayMaxPeriod = MaxPeriod;
    std::vector<double> run, jump;
    std::uint64_t colour2 = 0;
    for (int round = 0; round < Rounds; ++round)
    {
        PackedField field(PackedField::DefaultSize, true);
        AntPosition position{field.StartX(), field.StartY(), 'U'};
        auto start = Clock::now();
        const RunResult result = Runner().Run(field, position, ant.GetAI(), options);
        run.push_back(SecondsSince(start) * 1e3);
        start = Clock::now();
        const auto future = HighwayFuture::Of(field, position, ant.GetAI(), result.Iterations,
                                              result.Highway, 1000000000000000000ull);
        jump.push_back(SecondsSince(start) * 1e3);
        colour2 = future ? future->Coloured[2] : 0;
    }
    std::printf("LR on the plane to its proof: median %.2f ms; the jump to 10^18: median %.3f ms "
                "(colour-2 cells then: %llu)\n",
                Median(run), Median(jump), static_cast<unsigned long long>(colour2));
    return 0;
}
