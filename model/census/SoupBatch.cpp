#include "SoupBatch.h"

#include "Ant.h"
#include "Rule.h"
#include "Runner.h"

#include <algorithm>
#include <stdexcept>

namespace
{
// Cells around the soups, in the coordinates of the window's field on the plane.
constexpr int PlaneSize = PackedField::DefaultSize;
} // namespace

SoupBatch::SoupBatch(const AntAI& rule, const Soup& soup, std::uint64_t seed, std::uint64_t count,
                     std::uint64_t cap)
    : Rule(rule), Patch(soup), Seed(seed), Cap(cap), Count(count)
{
    SetShard(0, 1);
}

void SoupBatch::SetShard(std::uint64_t index, std::uint64_t count)
{
    Rows_.clear();
    for (std::uint64_t i = index; i < Count; i += count)
    {
        SoupRow row;
        row.Index = i;
        Rows_.push_back(row);
    }
}

SoupRow SoupBatch::RunOne(const AntAI& rule, const Soup& soup, std::uint64_t seed,
                          std::uint64_t index, const RunOptions& options)
{
    SoupRow row;
    row.Index = index;
    PackedField field(PackedField::MinSize);
    const int middle = PlaneSize / 2;
    const StartField patch = soup.Make(seed, index, rule.ActiveSteps, middle, middle);
    const std::string problem =
        patch.Place(field, PlaneSize, true, options.MaxMemory, middle, middle);
    if (!problem.empty())
    {
        row.Outcome = RunOutcome::Memory;
        row.Done = true;
        return row;
    }
    AntPosition position{middle, middle, Ant::StartDirection};
    RunOptions plane = options;
    plane.Plane = true;
    plane.Size = PlaneSize;
    const RunResult result = Rule::CanCycle(rule.Steps.substr(0, rule.ActiveSteps))
                                 ? Runner().Run<CycleProof::On>(field, position, rule, plane)
                                 : Runner().Run(field, position, rule, plane);
    if (result.Outcome == RunOutcome::Stopped)
        return row;
    row.Outcome = result.Outcome;
    row.Iterations = result.Iterations;
    row.Period = result.Period;
    row.Position = position;
    row.Highway = result.Highway;
    row.Type = HighwayType::OfRun(field, position, rule, result);
    row.Done = true;
    return row;
}

int SoupBatch::Run(int jobs, const std::atomic<bool>* stop, const Progress& progress,
                   std::chrono::milliseconds interval)
{
    const std::size_t total = Rows_.size();
    jobs = static_cast<int>(std::max<std::size_t>(1, std::min<std::size_t>(jobs, total)));
    RunOptions options;
    options.Cap = Cap;
    options.Stop = stop;
    options.HighwayMaxPeriod = MaxPeriod;
    options.MaxMemory = MaxMemory / static_cast<std::uint64_t>(jobs);
    const bool shared = jobs > 1;
    options.ProveAtMemory = !shared;
    auto work = [&]
    {
        for (std::size_t i = Pool.TakeNext(); i < total; i = Pool.TakeNext())
        {
            if (stop && stop->load())
                return;
            SoupRow row = RunOne(Rule, Patch, Seed, Rows_[i].Index, options);
            if (!row.Done)
                return;
            if (shared && row.Outcome == RunOutcome::Memory)
            {
                const std::lock_guard<std::mutex> lock(OutgrewMutex);
                Outgrew.push_back(i);
                continue;
            }
            Rows_[i] = row;
            Pool.CountDone(1);
        }
    };
    auto told = [&](std::size_t done)
    {
        if (progress)
            progress(done, total);
    };
    const int workers = Pool.Run(jobs, work, told, interval);
    // Those that outgrew a share, one at a time with all of it.
    std::sort(Outgrew.begin(), Outgrew.end());
    options.MaxMemory = MaxMemory;
    options.ProveAtMemory = true;
    for (const std::size_t i : Outgrew)
    {
        if (stop && stop->load())
            break;
        const SoupRow row = RunOne(Rule, Patch, Seed, Rows_[i].Index, options);
        if (!row.Done)
            break;
        Rows_[i] = row;
        Pool.CountDone(1);
    }
    return workers;
}

std::size_t SoupBatch::DoneCount() const
{
    return Pool.DoneCount();
}
