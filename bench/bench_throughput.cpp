// Throughput of the survey and the catalogue, as ratios measured in one run:
//   lanes     survey rows per second with 1 lane and with LaneRunner::Lanes lanes,
//             one thread, and the cost of the highway analysis on top;
//   baseline  with --baseline CLI, whole `catalogue` and `survey` processes of this
//             build's formicula-cli against another build's (say, an older commit's);
//   sweep     with --sweep 1, the survey with highways (as the command runs it) for every
//             lane count from 1 to LaneRunner::MostLanes, to choose the default;
//   plane     with --plane 1, nanoseconds per stepped iteration (user and system CPU, and
//             wall) of the survey with highways on the plane at caps 10^7 and 10^8, next
//             to the 250 field's at 10^8, as the survey command runs them.
// Usage: bench_throughput [--letters N] [--cap N] [--rounds N] [--baseline PATH] [--sweep 1]
//                         [--plane 1]
#include "BenchSupport.h"
#include "Survey.h"

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

namespace
{
using Bench::Clock;
using Bench::Median;
using Bench::SecondsSince;

double TimeSurvey(int letters, std::uint64_t cap, int lanes, std::uint64_t maxPeriod)
{
    Survey survey(letters, letters, cap);
    survey.SetLanes(lanes);
    survey.SetHighwayMaxPeriod(maxPeriod);
    const auto start = Clock::now();
    survey.Run(1, nullptr);
    return SecondsSince(start);
}

struct Cost
{
    double User = 0, System = 0, Wall = 0; // seconds
};

double Seconds(const timeval& t)
{
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
}

// The survey as the command runs it, and the iterations its runs stepped.
Cost TimePlaneSurvey(int letters, std::uint64_t cap, bool plane, std::uint64_t& stepped)
{
    Survey survey(letters, letters, cap);
    survey.SetHighwayMaxPeriod(20000);
    survey.SetGeometry(250, plane, RunOptions::DefaultMaxMemory);
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    const auto start = Clock::now();
    survey.Run(1, nullptr);
    Cost cost;
    cost.Wall = SecondsSince(start);
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    cost.User = Seconds(after.ru_utime) - Seconds(before.ru_utime);
    cost.System = Seconds(after.ru_stime) - Seconds(before.ru_stime);
    stepped = survey.IterationsStepped();
    return cost;
}

int PlaneReport(int rounds)
{
    struct Case
    {
        const char* Name;
        int Letters;
        std::uint64_t Cap;
        bool Plane;
    };
    static constexpr Case cases[] = {{"250 field, 9 letters, cap 10^8", 9, 100000000, false},
                                     {"plane, 9 letters, cap 10^7", 9, 10000000, true},
                                     {"plane, 7 letters, cap 10^8", 7, 100000000, true}};
    std::printf("survey with highways up to 20000, one thread, %d rounds, median ns per stepped "
                "iteration:\n",
                rounds);
    // Round by round across the cases: a shared machine's speed drifts over minutes, and
    // the ratios should not.
    constexpr std::size_t caseCount = std::size(cases);
    std::vector<double> user[caseCount], system[caseCount], wall[caseCount];
    std::uint64_t stepped[caseCount] = {};
    for (int round = 0; round < rounds; ++round)
    {
        for (std::size_t i = 0; i < caseCount; ++i)
        {
            const Case& c = cases[i];
            const Cost cost = TimePlaneSurvey(c.Letters, c.Cap, c.Plane, stepped[i]);
            const double perStep =
                1e9 / static_cast<double>(std::max<std::uint64_t>(stepped[i], 1));
            user[i].push_back(cost.User * perStep);
            system[i].push_back(cost.System * perStep);
            wall[i].push_back(cost.Wall * perStep);
        }
    }
    const double field = Median(user[0]);
    for (std::size_t i = 0; i < caseCount; ++i)
        std::printf("  %-32s %.3g iterations  user %.2f  system %.2f  wall %.2f  (user %.2fx the "
                    "250 field's)\n",
                    cases[i].Name, static_cast<double>(stepped[i]), Median(user[i]),
                    Median(system[i]), Median(wall[i]), Median(user[i]) / field);
    return 0;
}

// Wall seconds of one command with its output thrown away; negative on failure.
double TimeCommand(const std::string& program, const std::string& arguments)
{
    const std::string command = "'" + program + "' " + arguments + " > /dev/null 2>&1";
    const auto start = Clock::now();
    const int status = std::system(command.c_str());
    return status == 0 ? SecondsSince(start) : -1;
}
} // namespace

int main(int argc, char** argv)
{
    int letters = 9;
    std::uint64_t cap = 10000000;
    int rounds = 5;
    std::string baseline;
    bool sweep = false;
    bool plane = false;
    for (int i = 1; i + 1 < argc; i += 2)
    {
        if (std::strcmp(argv[i], "--letters") == 0)
            letters = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--cap") == 0)
            cap = std::strtoull(argv[i + 1], nullptr, 10);
        else if (std::strcmp(argv[i], "--rounds") == 0)
            rounds = std::max(1, std::atoi(argv[i + 1]));
        else if (std::strcmp(argv[i], "--baseline") == 0)
            baseline = argv[i + 1];
        else if (std::strcmp(argv[i], "--sweep") == 0)
            sweep = std::atoi(argv[i + 1]) != 0;
        else if (std::strcmp(argv[i], "--plane") == 0)
            plane = std::atoi(argv[i + 1]) != 0;
    }
    if (plane)
        return PlaneReport(rounds);

    if (sweep)
    {
        std::vector<std::vector<double>> seconds(LaneRunner::MostLanes);
        for (int round = 0; round < rounds; ++round)
            for (int lanes = 1; lanes <= LaneRunner::MostLanes; ++lanes)
                seconds[lanes - 1].push_back(TimeSurvey(letters, cap, lanes, 20000));
        std::printf("survey of %d letters, cap %llu, highways up to 20000, one thread, %d rounds, "
                    "median seconds:\n",
                    letters, static_cast<unsigned long long>(cap), rounds);
        for (int lanes = 1; lanes <= LaneRunner::MostLanes; ++lanes)
            std::printf("  %d lane(s)  %.3f  (%.2fx 1 lane)%s\n", lanes, Median(seconds[lanes - 1]),
                        Median(seconds[0]) / Median(seconds[lanes - 1]),
                        lanes == LaneRunner::Lanes ? "  default" : "");
        return 0;
    }

    // Interleaved rounds, so a burst of load elsewhere hits every variant alike.
    std::vector<double> one, many, analysed;
    for (int round = 0; round < rounds; ++round)
    {
        one.push_back(TimeSurvey(letters, cap, 1, 0));
        many.push_back(TimeSurvey(letters, cap, LaneRunner::Lanes, 0));
        analysed.push_back(TimeSurvey(letters, cap, LaneRunner::Lanes, 20000));
    }
    std::printf("survey of %d letters, cap %llu, one thread, %d rounds, median seconds:\n", letters,
                static_cast<unsigned long long>(cap), rounds);
    std::printf("  1 lane                         %.3f\n", Median(one));
    std::printf("  %d lanes                        %.3f  (%.2fx faster)\n", LaneRunner::Lanes,
                Median(many), Median(one) / Median(many));
    std::printf("  %d lanes, highways up to 20000  %.3f  (%.3fx the time without)\n",
                LaneRunner::Lanes, Median(analysed), Median(analysed) / Median(many));

    if (baseline.empty())
        return 0;
    const std::string survey = "survey --letters " + std::to_string(letters) +
                               " --jobs 1 --csv --max-iterations " + std::to_string(cap);
    for (const std::string& arguments : {std::string("catalogue --csv"), survey})
    {
        std::vector<double> ours, theirs;
        for (int round = 0; round < rounds; ++round)
        {
            ours.push_back(TimeCommand(FORMICULA_CLI, arguments));
            theirs.push_back(TimeCommand(baseline, arguments));
            if (ours.back() < 0 || theirs.back() < 0)
            {
                std::fprintf(stderr, "'%s' failed\n", arguments.c_str());
                return 1;
            }
        }
        std::printf("formicula-cli %s: %.3f s, baseline %.3f s: %.2fx faster\n", arguments.c_str(),
                    Median(ours), Median(theirs), Median(theirs) / Median(ours));
    }
    return 0;
}
