// Cost of the cycle proof per iteration (the runner with and without it over the
// whole catalogue), then the wall time of the survey command itself.
// Usage: bench_survey [--quick | --runners-only]
//   --quick skips the survey of 9 letters, --runners-only skips both surveys
#include "Ant.h"
#include "AntField.h"
#include "BenchSupport.h"
#include "PresetCatalogue.h"
#include "Runner.h"

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

#include <sys/resource.h>

namespace
{
using Bench::Clock;
using Bench::Median;
using Bench::SecondsSince;

enum class Variant
{
    Plain,
    Proof,
    ProofWithStopFlag,
};

// Nanoseconds per iteration over all 31 presets, or a negative number when a run
// disagrees with the catalogue.
double CatalogueNs(Variant variant, AntField& field, Runner& runner, std::uint64_t& total)
{
    const std::atomic<bool> stop{false};
    double seconds = 0;
    total = 0;
    for (int n = 1; n <= PresetCatalogue::PresetCount; ++n)
    {
        field.Clear();
        Ant ant;
        ant.ApplyPreset(n);
        RunOptions options;
        options.Stop = variant == Variant::ProofWithStopFlag ? &stop : nullptr;
        const auto start = Clock::now();
        const RunResult result = variant == Variant::Plain
                                     ? runner.Run<CycleProof::Off>(field, ant, options)
                                     : runner.Run<CycleProof::On>(field, ant, options);
        seconds += SecondsSince(start);
        const std::uint64_t iterations = result.Iterations;
        const bool finished = result.Outcome == RunOutcome::Finished;
        if (!finished || iterations != PresetCatalogue::ExpectedIterations(n))
            return -1;
        total += iterations;
    }
    return seconds * 1e9 / double(total);
}

double ChildCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

// Wall seconds of one survey run with its output thrown away (negative on failure),
// and the processor seconds it used, which other work on the machine hardly changes.
double TimeSurvey(const std::string& arguments, double& cpuSeconds)
{
    const std::string command =
        std::string("'") + FORMICULA_CLI + "' survey " + arguments + " --csv > /dev/null";
    const double cpuBefore = ChildCpuSeconds();
    const auto start = Clock::now();
    const int status = std::system(command.c_str());
    const double seconds = SecondsSince(start);
    cpuSeconds = ChildCpuSeconds() - cpuBefore;
    return status == 0 ? seconds : -1;
}
} // namespace

int main(int argc, char** argv)
{
    const bool runnersOnly = argc > 1 && std::strcmp(argv[1], "--runners-only") == 0;
    const bool quick = runnersOnly || (argc > 1 && std::strcmp(argv[1], "--quick") == 0);
    constexpr int Rounds = 7;
    auto field = std::make_unique<AntField>();
    Runner runner;

    // Interleaved rounds, so a burst of load elsewhere hits both runners alike.
    std::vector<double> batchNs;
    std::vector<double> cycleNs;
    std::vector<double> stopNs;
    std::uint64_t total = 0;
    for (int round = 0; round < Rounds; ++round)
    {
        batchNs.push_back(CatalogueNs(Variant::Plain, *field, runner, total));
        cycleNs.push_back(CatalogueNs(Variant::Proof, *field, runner, total));
        stopNs.push_back(CatalogueNs(Variant::ProofWithStopFlag, *field, runner, total));
        if (batchNs.back() < 0 || cycleNs.back() < 0 || stopNs.back() < 0)
        {
            std::fprintf(stderr, "a runner disagrees with the catalogue\n");
            return 1;
        }
    }
    // The best round is the one least disturbed by other work on the machine.
    const double batch = Median(batchNs);
    const double batchBest = *std::min_element(batchNs.begin(), batchNs.end());
    std::printf("whole catalogue, %llu iterations, %d rounds, ns/iteration median (best):\n",
                static_cast<unsigned long long>(total), Rounds);
    std::printf("  plain                           %.2f (%.2f)\n", batch, batchBest);
    for (const auto& [name, ns] : {std::make_pair("cycle proof                 ", &cycleNs),
                                   std::make_pair("cycle proof with a stop flag", &stopNs)})
    {
        const double median = Median(*ns);
        const double best = *std::min_element(ns->begin(), ns->end());
        std::printf("  %s    %.2f (%.2f), %.2fx (%.2fx) plain\n", name, median, best,
                    median / batch, best / batchBest);
    }

    if (runnersOnly)
        return 0;
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    std::printf("survey on %u hardware threads (--jobs default):\n", cores);
    double cpu = 0;
    const double eight = TimeSurvey("--letters 1-8", cpu);
    if (eight < 0)
        return 1;
    std::printf("  --letters 1-8: 510 rules in %.2f s wall (%.2f s CPU), %.1f rules/s\n", eight,
                cpu, 510 / eight);
    if (!quick)
    {
        const double nine = TimeSurvey("--letters 9", cpu);
        if (nine < 0)
            return 1;
        std::printf("  --letters 9 (cap 100000000): 512 rules in %.2f s wall (%.2f s CPU), "
                    "%.1f rules/s\n",
                    nine, cpu, 512 / nine);
    }
    return 0;
}
