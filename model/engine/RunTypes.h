#pragma once

#include "AntAI.h"
#include "AntPosition.h"
#include "Highway.h"
#include "PackedField.h"
#include "RunOutcome.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>

class MemoryPool;

struct RunResult
{
    RunOutcome Outcome = RunOutcome::Cap;
    std::uint64_t Iterations = 0; // done when the run ended, counting a refused step
    // Never: the state after Iterations equals the state Period iterations earlier,
    // and Period is the shortest such distance.
    std::uint64_t Period = 0;
    // Checkpoint matches by cell, heading and neighbours that the full comparison rejected.
    std::uint64_t FalseMatches = 0;
    ::Highway Highway; // when RunOptions asked for it
};

struct RunOptions
{
    static constexpr std::uint64_t NoCap = UINT64_MAX;
    // The largest cap a command takes: iteration counts stay signed 64-bit values in
    // every output and for the readers of them.
    static constexpr std::uint64_t MostIterations = INT64_MAX;
    static constexpr std::uint64_t DefaultMaxMemory = std::uint64_t{1} << 30;

    std::uint64_t Cap = NoCap;
    // Polled every few milliseconds; the run ends as Stopped once it is raised.
    const std::atomic<bool>* Stop = nullptr;
    // Find the highway the run ends on, for periods up to this; 0 skips the analysis.
    std::uint64_t HighwayMaxPeriod = 0;
    // The blank field a job without a field of its own starts on: size x size, or the
    // plane with the coordinates of that field.
    int Size = PackedField::DefaultSize;
    bool Plane = false;
    // The most one run's field (with its checkpoint and highway snapshots) may take on
    // the plane; a run that needs more ends as Memory.
    std::uint64_t MaxMemory = DefaultMaxMemory;
    // Where a run that needs more than MaxMemory may borrow it while it holds it; none
    // where MaxMemory is all of a command's limit.
    MemoryPool* Lender = nullptr;
    // Ends a run on a bounded field as Highway too once its highway is proven, as on the
    // plane: the proof holds there until the ant reaches the edge, which its course tells.
    bool ProveOnField = false;
    // A run that ends as Memory within the whole of a command's limit still has its
    // highway sought where it stopped. Off where a run had only a share of the limit: it
    // runs again with more, and its row must not depend on the share.
    bool ProveAtMemory = true;
    // Called at every highway snapshot (so only with HighwayMaxPeriod) with the job's Id
    // and the run's state there: a survey saves its states from it.
    std::function<void(std::size_t id, const PackedField& field, const AntPosition& ant,
                       std::uint64_t done)>
        AtSnapshot;
};

// Whether a run also proves that it never finishes. A compile-time choice, so the plain
// loop carries none of the proof's work.
enum class CycleProof
{
    Off,
    On,
};

// One run for the driver: a rule from a blank field, or from a given state.
struct RunJob
{
    std::size_t Id = 0;
    AntAI Rule;
    // Null: a blank field of the options' geometry, the ant at its start heading up.
    // Otherwise the run steps this field from Position and leaves its end state in it.
    PackedField* Field = nullptr;
    AntPosition Position;
    std::uint64_t Done = 0; // iterations done before, counted against the cap
    // Field holds the run from the options' blank field after Done iterations: its highway
    // may reach back before them, so the analysis keeps that start to replay from, as the
    // run from the start does.
    bool Resumed = false;
};

struct RunEnded
{
    std::size_t Id = 0;
    RunResult Result; // Iterations counts RunJob::Done too
    AntPosition Position;
    const PackedField* Field = nullptr; // the end state; valid during the callback
};
