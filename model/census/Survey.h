#pragma once

#include "LaneRunner.h"
#include "MemoryPool.h"
#include "PackedField.h"
#include "Rule.h"
#include "RunState.h"
#include "RunTypes.h"
#include "StateStore.h"
#include "SurveyPlan.h"
#include "SurveyPool.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// Runs every rule of a range of lengths from the start state until it finishes, is
// proven never to finish, or reaches the cap, on a pool of worker threads: a front over
// the plan (which rules, paired with their mirrors), the pool (threads and progress) and
// the store (the states kept between surveys).
class Survey
{
public:
    static constexpr int MostLetters = Rule::MostLetters;
    using Progress = std::function<void(std::size_t done, std::size_t total)>;

    // Rules of fromLetters..toLetters letters L and R (1 <= from <= to <= MostLetters).
    Survey(int fromLetters, int toLetters, std::uint64_t cap);
    // The rules of a plan.
    Survey(SurveyPlan plan, std::uint64_t cap);

    // Works on up to `jobs` threads, or fewer when the system refuses to start more (on
    // none, the calling thread does the work). Calls progress from the calling thread
    // about every interval. Returns the number of threads that worked. A worker's failure
    // (out of memory, a state that cannot be saved) that left rules undone ends the survey
    // with the rows done so far, which Failed() then says.
    // Why the last Run left rules undone, if a failure did; null otherwise.
    std::exception_ptr Failed() const
    {
        return DoneCount() < RuleCount() ? Pool.Failure() : nullptr;
    }
    int Run(int jobs, const std::atomic<bool>* stop, const Progress& progress = {},
            std::chrono::milliseconds interval = std::chrono::milliseconds(200));

    // Runs interleaved in each thread (1..LaneRunner::Lanes, the default); rows do not
    // depend on it.
    void SetLanes(int lanes) { Lanes = lanes; }
    // Runs only the index-th of count disjoint slices of the rules (0 <= index < count),
    // so that a survey can be split over machines; a rule and its mirror stay together.
    void SetShard(int index, int count);
    // The rules this survey runs: all of them, or its shard's.
    std::size_t RuleCount() const { return Plan.RuleCount(); }
    // Their names, a rule next to its mirror.
    std::vector<std::string> Rules() const;
    // Also find each run's highway, for periods up to maxPeriod (0, the default: don't).
    void SetHighwayMaxPeriod(std::uint64_t maxPeriod) { HighwayMaxPeriod = maxPeriod; }
    // Also give each proven highway its type (HighwayType::OfRun, from the run's end).
    void SetTypes(bool types) { Types = types; }
    // A row already known (from a survey at a lower cap that ended before it): kept, not
    // run. False for a rule that is not this survey's.
    bool SetKnown(const SurveyRow& row);
    // Keeps each unfinished run's state in `directory` (one file per rule, named after it):
    // at the cap, on a stop, and at the first highway snapshot SaveInterval after the last
    // save while a run goes on; a run whose file is there continues from it, on the lanes.
    // Run refuses a file that is damaged, of another rule or field, or beyond the cap (a
    // std::runtime_error naming it) before any work, and again where it reads it.
    void SetStateDirectory(std::string directory) { StateDirectory = std::move(directory); }
    static std::string StateFile(const std::string& directory, const std::string& rule)
    {
        return StateStore::File(directory, rule);
    }
    // Iterations stepped by this survey's runs, resumed ones from their saved iteration,
    // runs again from the start counted again.
    std::uint64_t IterationsStepped() const { return Stepped.load(); }
    static constexpr std::chrono::seconds SaveInterval{30};
    // Runs on a size x size field, or on the plane with that field's coordinates, where
    // all runs in progress together keep within maxMemory; a run that outgrows its share
    // runs again at the end with all of it, so a row's outcome memory means that the run
    // outgrew maxMemory alone.
    void SetGeometry(int size, bool plane, std::uint64_t maxMemory);

    // In rule order: shortest first, each length in binary order with L as 0.
    const std::vector<SurveyRow>& Rows() const { return Rows_; }
    std::size_t DoneCount() const;

private:
    struct Ending; // a run's end as the rows need it
    class Worker;  // one thread's share of the runs
    void CheckStates();
    // The row's state, checked against this survey; none when there is no file.
    std::optional<RunState> ReadState(std::size_t row) const;
    Ending EndingOf(const RunState& state) const; // of a run that ended in an earlier survey
    // Rows entered but not counted: a failure may strike between the two.
    void CountRowsAfterFailure();
    static void Enter(SurveyRow& row, const RunResult& result, const AntPosition& position,
                      const FieldSummary& growth);
    // The type of the highway a run of the rule ended on, when types are asked for.
    std::optional<HighwayType> TypeOf(const std::string& rule, const PackedField& field,
                                      const AntPosition& end, const RunResult& result) const;
    // What every run of the survey is run with, with maxMemory for each.
    RunOptions Options(std::uint64_t maxMemory, const std::atomic<bool>* stop) const;
    // The rule's run from the start on a blank field, with the cycle proof where it can fire.
    static RunResult RunFromStart(const std::string& rule, const RunOptions& options,
                                  PackedField& field, AntPosition& position);
    // The pool's count of rows done, as the caller's progress sees it.
    SurveyPool::Progress DoneOf(const Progress& progress) const;
    // Sets the shares of MaxMemory, by Threads.
    void ShareMemory();
    // Runs again the rules that outgrew their share: side by side on `jobs` threads, each
    // with its part of MaxMemory, then one at a time with all of it those that need more.
    void RunWithAllMemory(int jobs, const std::atomic<bool>* stop, const Progress& progress,
                          std::chrono::milliseconds interval);
    // The rerun of one of them within maxMemory; false when it needs more.
    bool RunAgain(std::size_t index, std::uint64_t maxMemory, const std::atomic<bool>* stop,
                  const Progress& progress);

    SurveyPlan Plan;
    SurveyPool Pool;
    std::optional<StateStore> Store; // when states are kept
    std::vector<SurveyRow> Rows_;
    std::uint64_t Cap;
    int Lanes;
    std::uint64_t HighwayMaxPeriod = 0;
    bool Types = false;
    std::string StateDirectory; // empty: no states kept
    std::vector<bool> HasState; // per row, found by CheckStates
    std::atomic<std::uint64_t> Stepped{0};
    int Size = PackedField::DefaultSize;
    bool Plane = false;
    std::uint64_t MaxMemory = RunOptions::DefaultMaxMemory;
    int Threads = 1;
    std::uint64_t AloneMemory = 0;    // for each thread's run alone
    std::uint64_t LaneMemory = 0;     // each lane's own
    std::optional<MemoryPool> Lender; // for every lane
    std::mutex OutgrewMutex;
    std::vector<std::size_t> OutgrewShare; // rows
};
