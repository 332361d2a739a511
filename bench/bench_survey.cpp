// Cost of the cycle proof per iteration (the runner with and without it over the
// whole catalogue), then the wall time of the survey command itself.
// Usage: bench_survey [--quick | --runners-only | --resumed [CAP [PLANE_CAP [PLANE_LETTERS]]]]
//   --quick skips the survey of 9 letters, --runners-only skips both surveys;
//   --resumed only compares surveys continued from their states at CAP (on the 250 x 250
//   field, 1-8 letters; default 1000000) and at PLANE_CAP (on the plane, 1-PLANE_LETTERS
//   letters; default 100000 and 7) to ten times the cap with ones from the start
#include "Ant.h"
#include "AntField.h"
#include "BenchSupport.h"
#include "PresetCatalogue.h"
#include "Runner.h"
#include "Survey.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
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
// A survey of the rules that a survey to cap / 10 left capped, taken to cap: from the states
// it left in `states` (copied first, as a survey writes over them), or from the start when
// states is empty, keeping states too so that both write the same files. Returns wall
// nanoseconds per iteration stepped, on one thread, and the processor's in cpuNs (which
// leaves out the waits for the disk).
double ContinuedNs(const Survey& lower, std::uint64_t cap, int size, bool plane,
                   const std::string& states, const std::string& into, std::uint64_t& stepped,
                   double& cpuNs)
{
    const std::string copy = into;
    std::filesystem::remove_all(copy);
    if (states.empty())
        std::filesystem::create_directory(copy);
    else
        std::filesystem::copy(states, copy);
    Survey survey(1, lower.Rows().back().Rule.size(), cap);
    survey.SetHighwayMaxPeriod(20000);
    survey.SetGeometry(size, plane, RunOptions::DefaultMaxMemory);
    for (const SurveyRow& row : lower.Rows())
        if (row.Outcome != RunOutcome::Cap && row.Outcome != RunOutcome::Highway)
            survey.SetKnown(row);
    survey.SetStateDirectory(copy);
    const auto start = Clock::now();
    const std::clock_t cpuStart = std::clock();
    survey.Run(1, nullptr);
    const double seconds = SecondsSince(start);
    const double cpuSeconds = double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    stepped = survey.IterationsStepped();
    const double steps = double(std::max<std::uint64_t>(stepped, 1));
    cpuNs = cpuSeconds * 1e9 / steps;
    return seconds * 1e9 / steps;
}

int Continued(std::uint64_t fieldCap, std::uint64_t planeCap, int planeLetters)
{
    constexpr int Rounds = 5;
    struct Case
    {
        const char* Name;
        int Letters;
        std::uint64_t Cap;
        int Size;
        bool Plane;
    };
    const std::string directory =
        (std::filesystem::temp_directory_path() / "bench_survey_states").string();
    for (const Case& c : {Case{"250 x 250", 8, fieldCap, 250, false},
                          Case{"plane", planeLetters, planeCap, 250, true}})
    {
        std::filesystem::remove_all(directory);
        std::filesystem::create_directory(directory);
        Survey lower(1, c.Letters, c.Cap);
        lower.SetHighwayMaxPeriod(20000);
        lower.SetGeometry(c.Size, c.Plane, RunOptions::DefaultMaxMemory);
        lower.SetStateDirectory(directory);
        lower.Run(1, nullptr);
        std::vector<double> continuedNs;
        std::vector<double> freshNs;
        std::vector<double> continuedCpu;
        std::vector<double> freshCpu;
        double cpu = 0;
        std::uint64_t continuedSteps = 0;
        std::uint64_t freshSteps = 0;
        // Interleaved rounds, so a burst of load elsewhere hits both alike.
        for (int round = 0; round < Rounds; ++round)
        {
            continuedNs.push_back(ContinuedNs(lower, 10 * c.Cap, c.Size, c.Plane, directory,
                                              directory + ".copy", continuedSteps, cpu));
            continuedCpu.push_back(cpu);
            freshNs.push_back(ContinuedNs(lower, 10 * c.Cap, c.Size, c.Plane, "",
                                          directory + ".copy", freshSteps, cpu));
            freshCpu.push_back(cpu);
        }
        std::printf("%s, 1-%d letters, capped at %llu taken to %llu, one thread, %d rounds, ns per "
                    "stepped iteration, median (best), wall and processor:\n",
                    c.Name, c.Letters, static_cast<unsigned long long>(c.Cap),
                    static_cast<unsigned long long>(10 * c.Cap), Rounds);
        for (const auto& [name, wall, processor, steps] :
             {std::make_tuple("from their states", &continuedNs, &continuedCpu, continuedSteps),
              std::make_tuple("from the start   ", &freshNs, &freshCpu, freshSteps)})
            std::printf("  %s  wall %.2f (%.2f), processor %.2f (%.2f), %llu iterations\n", name,
                        Median(*wall), *std::min_element(wall->begin(), wall->end()),
                        Median(*processor), *std::min_element(processor->begin(), processor->end()),
                        static_cast<unsigned long long>(steps));
    }
    std::filesystem::remove_all(directory);
    std::filesystem::remove_all(directory + ".copy");
    return 0;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--resumed") == 0)
        return Continued(argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1000000,
                         argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 100000,
                         argc > 4 ? std::atoi(argv[4]) : 7);
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
