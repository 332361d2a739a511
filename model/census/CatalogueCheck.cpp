#include "CatalogueCheck.h"

#include "Ant.h"
#include "LaneRunner.h"
#include "PresetCatalogue.h"
#include "Runner.h"

#include <atomic>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

namespace
{
PresetRun Describe(int number, const RunResult& result, const AntPosition& position,
                   const FieldView& end)
{
    Ant ant;
    ant.ApplyPreset(number);
    PresetRun run;
    run.Number = number;
    run.Rule = ant.ActiveRule();
    run.Expected = PresetCatalogue::ExpectedIterations(number);
    run.Result = result;
    run.Position = position;
    run.Colours = end.Colours();
    return run;
}

// Raises the stop flag and joins however the check ends, so that a callback's failure
// does not wait for the longest run, nor end the process with the thread running.
// Declared after everything the thread uses, so it is joined before they go.
struct SecondThread
{
    std::atomic<bool>& Stop;
    std::thread Thread;
    ~SecondThread()
    {
        Stop = true;
        if (Thread.joinable())
            Thread.join();
    }
};
} // namespace

int CatalogueCheck::Longest()
{
    int longest = 1;
    for (int number = 2; number <= PresetCatalogue::PresetCount; ++number)
        if (PresetCatalogue::ExpectedIterations(number) >
            PresetCatalogue::ExpectedIterations(longest))
            longest = number;
    return longest;
}

int CatalogueCheck::Run(const RunOptions& options, const Ended& ended, const Ready& ready)
{
    const int longest = Longest();
    std::atomic<bool> stopLongest{false};
    RunOptions longestOptions = options;
    if (longestOptions.Stop == nullptr)
        longestOptions.Stop = &stopLongest;
    PackedField longestField;
    Ant longestAnt;
    longestAnt.ApplyPreset(longest);
    AntPosition longestPosition{longestField.StartX(), longestField.StartY(), Ant::StartDirection};
    RunResult longestResult;
    auto runLongest = [&]
    {
        longestResult =
            Runner().Run(longestField, longestPosition, longestAnt.GetAI(), longestOptions);
    };
    SecondThread second{stopLongest, {}};
    try
    {
        second.Thread = std::thread(runLongest);
    }
    catch (const std::system_error&)
    {
        // No second thread: it runs here after the others.
    }

    std::vector<std::optional<PresetRun>> runs(PresetCatalogue::PresetCount + 1);
    int nextReady = 1;
    int mismatches = 0;
    auto finish = [&](int number, const RunResult& result, const AntPosition& position,
                      const PackedField& field)
    {
        const FieldView end(field);
        const PresetRun& run =
            runs[static_cast<std::size_t>(number)].emplace(Describe(number, result, position, end));
        if (ended)
            ended(run, end);
        for (; nextReady <= PresetCatalogue::PresetCount && runs[std::size_t(nextReady)];
             ++nextReady)
        {
            const PresetRun& inOrder = *runs[std::size_t(nextReady)];
            mismatches += !inOrder.Matches();
            if (ready)
                ready(inOrder);
        }
    };

    int nextPreset = 1;
    auto next = [&](LaneRunner::Job& job)
    {
        nextPreset += nextPreset == longest;
        if (nextPreset > PresetCatalogue::PresetCount)
            return false;
        Ant ant;
        ant.ApplyPreset(nextPreset);
        job.Id = static_cast<std::size_t>(nextPreset++);
        job.Rule = ant.GetAI();
        return true;
    };
    auto laneEnded = [&](const LaneRunner::Ended& end)
    { finish(static_cast<int>(end.Id), end.Result, end.Position, *end.Field); };
    LaneRunner().Run<CycleProof::Off>(next, laneEnded, options);
    if (second.Thread.joinable())
        second.Thread.join();
    else
        runLongest();
    finish(longest, longestResult, longestPosition, longestField);
    return mismatches;
}
