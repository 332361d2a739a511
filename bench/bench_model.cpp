// Iteration speed of the model: the runner over the whole catalogue, and the
// single-step function as one Forward (50 000 iterations) uses it.
#include "Ant.h"
#include "AntField.h"
#include "BenchSupport.h"
#include "Iteration.h"
#include "PresetCatalogue.h"
#include "Runner.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

namespace
{
using Bench::Clock;
using Bench::Median;
using Bench::SecondsSince;

} // namespace

int main()
{
    constexpr int Rounds = 7;
    auto field = std::make_unique<AntField>();
    Runner runner;

    std::vector<double> catalogueNs;
    std::uint64_t total = 0;
    for (int round = 0; round < Rounds; ++round)
    {
        std::uint64_t iterations = 0;
        double seconds = 0;
        for (int n = 1; n <= PresetCatalogue::PresetCount; ++n)
        {
            field->Clear();
            Ant ant;
            ant.ApplyPreset(n);
            const auto start = Clock::now();
            const RunResult result = runner.Run(*field, ant);
            seconds += SecondsSince(start);
            if (result.Outcome != RunOutcome::Finished ||
                result.Iterations != PresetCatalogue::ExpectedIterations(n))
            {
                std::fprintf(stderr, "preset %d ended at %llu\n", n,
                             static_cast<unsigned long long>(result.Iterations));
                return 1;
            }
            iterations += result.Iterations;
        }
        total = iterations;
        catalogueNs.push_back(seconds * 1e9 / double(iterations));
    }
    std::printf("runner, whole catalogue (%llu iterations): median %.2f ns/iteration, "
                "best %.2f (%d rounds)\n",
                static_cast<unsigned long long>(total), Median(catalogueNs),
                *std::min_element(catalogueNs.begin(), catalogueNs.end()), Rounds);

    // One Forward: 50 000 single iterations of preset 05 from the start state.
    std::vector<double> forwardMs;
    for (int round = 0; round < 25; ++round)
    {
        field->Clear();
        Ant ant;
        ant.ApplyPreset(5);
        const auto start = Clock::now();
        int blocked = 0;
        for (int i = 0; i < 50000; ++i)
            blocked += Iterate(*field, ant) == IterationResult::Blocked;
        forwardMs.push_back(SecondsSince(start) * 1e3);
        if (blocked != 0)
            return 1;
    }
    std::printf("Iterate x 50 000 (one Forward of preset 05): median %.3f ms, best %.3f ms "
                "(%.2f ns/iteration)\n",
                Median(forwardMs), *std::min_element(forwardMs.begin(), forwardMs.end()),
                Median(forwardMs) * 1e6 / 50000);
    return 0;
}
