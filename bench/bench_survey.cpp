// Cost of the cycle proof per iteration (CycleRunner against BatchRunner over the
// whole catalogue), then the wall time of the survey command itself.
// Usage: bench_survey [--quick | --runners-only]
//   --quick skips the survey of 9 letters, --runners-only skips both surveys
#include "Ant.h"
#include "AntField.h"
#include "BatchRunner.h"
#include "CycleRunner.h"
#include "PresetCatalogue.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace
{
using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

enum class Runner
{
    Batch,
    Cycle,
    CycleWithStopFlag,
};

// Nanoseconds per iteration over all 31 presets, or a negative number when a run
// disagrees with the catalogue.
double CatalogueNs(Runner runner, AntField& field, CycleRunner& cycle, std::uint64_t& total)
{
    const std::atomic<bool> stop{false};
    double seconds = 0;
    total = 0;
    for (int n = 1; n <= PresetCatalogue::PresetCount; ++n)
    {
        field.Clear();
        Ant ant;
        ant.ApplyPreset(n);
        std::uint64_t iterations = 0;
        bool finished = false;
        const auto start = Clock::now();
        if (runner == Runner::Batch)
        {
            const BatchResult result = BatchRunner::Run(field, ant);
            iterations = result.Iterations;
            finished = result.Finished;
        }
        else
        {
            const CycleResult result = cycle.Run(
                field, ant, UINT64_MAX, runner == Runner::CycleWithStopFlag ? &stop : nullptr);
            iterations = result.Iterations;
            finished = result.Outcome == CycleOutcome::Finished;
        }
        seconds += SecondsSince(start);
        if (!finished || iterations != PresetCatalogue::ExpectedIterations(n))
            return -1;
        total += iterations;
    }
    return seconds * 1e9 / double(total);
}

// Wall seconds of one survey run with its output thrown away; negative on failure.
double TimeSurvey(const std::string& arguments)
{
    const std::string command =
        std::string("'") + FORMICULA_CLI + "' survey " + arguments + " --csv > /dev/null";
    const auto start = Clock::now();
    const int status = std::system(command.c_str());
    const double seconds = SecondsSince(start);
    return status == 0 ? seconds : -1;
}
} // namespace

int main(int argc, char** argv)
{
    const bool runnersOnly = argc > 1 && std::strcmp(argv[1], "--runners-only") == 0;
    const bool quick = runnersOnly || (argc > 1 && std::strcmp(argv[1], "--quick") == 0);
    constexpr int Rounds = 5;
    auto field = std::make_unique<AntField>();
    CycleRunner cycle;

    // Interleaved rounds, so a burst of load elsewhere hits both runners alike.
    std::vector<double> batchNs;
    std::vector<double> cycleNs;
    std::vector<double> stopNs;
    std::uint64_t total = 0;
    for (int round = 0; round < Rounds; ++round)
    {
        batchNs.push_back(CatalogueNs(Runner::Batch, *field, cycle, total));
        cycleNs.push_back(CatalogueNs(Runner::Cycle, *field, cycle, total));
        stopNs.push_back(CatalogueNs(Runner::CycleWithStopFlag, *field, cycle, total));
        if (batchNs.back() < 0 || cycleNs.back() < 0 || stopNs.back() < 0)
        {
            std::fprintf(stderr, "a runner disagrees with the catalogue\n");
            return 1;
        }
    }
    const double batch = Median(batchNs);
    const double withProof = Median(cycleNs);
    const double withStop = Median(stopNs);
    std::printf("whole catalogue, %llu iterations, median of %d rounds:\n",
                static_cast<unsigned long long>(total), Rounds);
    std::printf("  BatchRunner                     %.2f ns/iteration\n", batch);
    std::printf("  CycleRunner                     %.2f ns/iteration (%.2fx)\n", withProof,
                withProof / batch);
    std::printf("  CycleRunner with a stop flag    %.2f ns/iteration (%.2fx)\n", withStop,
                withStop / batch);

    if (runnersOnly)
        return 0;
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    std::printf("survey on %u hardware threads (--jobs default):\n", cores);
    const double eight = TimeSurvey("--letters 1-8");
    if (eight < 0)
        return 1;
    std::printf("  --letters 1-8: 510 rules in %.2f s, %.1f rules/s\n", eight, 510 / eight);
    if (!quick)
    {
        const double nine = TimeSurvey("--letters 9");
        if (nine < 0)
            return 1;
        std::printf("  --letters 9 (cap 100000000): 512 rules in %.2f s, %.1f rules/s\n", nine,
                    512 / nine);
    }
    return 0;
}
