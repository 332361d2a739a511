#pragma once

#include "AntAI.h"
#include "AntPosition.h"
#include "Highway.h"
#include "HighwayType.h"
#include "RunTypes.h"
#include "Soup.h"
#include "SurveyPool.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

// One soup's run and what became of it.
struct SoupRow
{
    std::uint64_t Index = 0;
    RunOutcome Outcome = RunOutcome::Cap;
    std::uint64_t Iterations = 0;
    std::uint64_t Period = 0; // Never only
    AntPosition Position;
    ::Highway Highway;
    std::optional<HighwayType> Type; // of a proven highway
    bool Done = false;
};

// Runs soups 0..count-1 of one rule and seed on the plane, on a pool of threads: each from
// its own patch, so the rows do not depend on the threads, their order or the shard.
class SoupBatch
{
public:
    using Progress = std::function<void(std::size_t done, std::size_t total)>;

    SoupBatch(const AntAI& rule, const Soup& soup, std::uint64_t seed, std::uint64_t count,
              std::uint64_t cap);

    void SetHighwayMaxPeriod(std::uint64_t maxPeriod) { MaxPeriod = maxPeriod; }
    // All runs in progress together keep within maxMemory; one that outgrows its share
    // runs again at the end with all of it, so outcome memory means it outgrew it alone.
    void SetMaxMemory(std::uint64_t maxMemory) { MaxMemory = maxMemory; }
    // Only the soups whose index is index modulo count (0 <= index < count).
    void SetShard(std::uint64_t index, std::uint64_t count);

    // The soups this batch runs, in index order.
    std::size_t SoupCount() const { return Rows_.size(); }
    // Works on up to `jobs` threads (fewer when the system refuses some); returns how many
    // worked. A stop leaves the soups in progress undone.
    int Run(int jobs, const std::atomic<bool>* stop, const Progress& progress = {},
            std::chrono::milliseconds interval = std::chrono::milliseconds(200));
    const std::vector<SoupRow>& Rows() const { return Rows_; }
    std::size_t DoneCount() const;
    std::exception_ptr Failed() const
    {
        return DoneCount() < SoupCount() ? Pool.Failure() : nullptr;
    }

    // Soup `index`'s run on its own, as the batch runs it (field: its start, then its end).
    static SoupRow RunOne(const AntAI& rule, const Soup& soup, std::uint64_t seed,
                          std::uint64_t index, const RunOptions& options);

private:
    AntAI Rule;
    Soup Patch;
    std::uint64_t Seed;
    std::uint64_t Cap;
    std::uint64_t Count;
    std::uint64_t MaxPeriod = 0;
    std::uint64_t MaxMemory = RunOptions::DefaultMaxMemory;
    std::vector<SoupRow> Rows_;
    SurveyPool Pool;
    std::mutex OutgrewMutex;
    std::vector<std::size_t> Outgrew; // rows
};
