#pragma once

#include "Highway.h"
#include "StepTable.h"

#include <cstdint>
#include <memory>
#include <vector>

// Finds a run's highway without slowing the run down: instead of recording a heading
// per iteration, it keeps the start state and a few of the snapshots the run hands it,
// and at the end replays the last stretch from the latest one
// before it, recording just the tail that FindHighway needs. Most runs are settled by a
// short tail; a highway reaching back past it takes a longer one, and one too long even
// for that (rare) is settled by replaying the whole run for the longest tail needed.
class HighwayTracker
{
public:
    explicit HighwayTracker(std::uint64_t maxPeriod);

    std::uint64_t MaxPeriod() const { return MaxPeriod_; }

    // The run's first state: packed cells (a turn may be kept in the top bit) and heading,
    // and its cap: a run that reaches it replays no more than the tail it needs.
    void Start(const std::uint8_t* cells, int at, int heading, const StepTable& table,
               std::uint64_t cap);
    // The iteration count at which the runner should call Snapshot next.
    std::uint64_t NextSnapshot() const { return Next; }
    void Snapshot(const std::uint8_t* cells, int at, int heading, std::uint64_t done);
    // The highway of the run that ended after lastIteration iterations.
    Highway Finish(std::uint64_t lastIteration);

private:
    struct State
    {
        std::shared_ptr<std::vector<std::uint8_t>> Cells; // null: not taken; shared by copies
        int At = 0;
        int Heading = 0;
        std::uint64_t Done = 0;
    };

    static void Save(const std::uint8_t* cells, int at, int heading, std::uint64_t done,
                     State& into);
    // Replays the last tail iterations (fewer if the run is shorter) and looks for a highway.
    Highway FindInTail(std::uint64_t lastIteration, std::uint64_t tail);
    void Replay(const State& from, std::uint64_t lastIteration, std::uint64_t first);

    std::uint64_t MaxPeriod_;
    std::uint64_t ShortTail; // also the least snapshot interval
    std::uint64_t LongerTail;
    std::uint64_t Next = 0;
    std::uint64_t CapSnapshot = 0; // where the short tail of a run ending at its cap begins
    StepTable Table;
    State First;
    // The two latest snapshots serve the short tail; two that lie LongerTail apart or
    // more, often the same ones, serve the longer one.
    State Recent;
    State Older;
    State Sparse;
    State OlderSparse;
    std::vector<std::uint8_t> Work;
    std::vector<std::uint8_t> Tail;
};
