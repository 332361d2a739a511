#pragma once

#include "Highway.h"
#include "StepTable.h"

#include <cstdint>
#include <vector>

// Finds a run's highway without slowing the run down: instead of recording a heading
// per iteration, it keeps the start state and the two latest of the snapshots the run
// hands it every Interval() iterations, and at the end replays the last stretch from
// one of them, recording just the tail that FindHighway needs. A highway too long for
// that tail (rare) is settled by replaying the whole run for the longest tail needed.
class HighwayTracker
{
public:
    explicit HighwayTracker(std::uint64_t maxPeriod);

    std::uint64_t MaxPeriod() const { return MaxPeriod_; }

    // The run's first state: packed cells (a turn may be kept in the top bit) and heading.
    void Start(const std::uint8_t* cells, int at, int heading, const StepTable& table);
    // The iteration count at which the runner should call Snapshot next.
    std::uint64_t NextSnapshot() const { return Next; }
    void Snapshot(const std::uint8_t* cells, int at, int heading, std::uint64_t done);
    // The highway of the run that ended after lastIteration iterations.
    Highway Finish(std::uint64_t lastIteration);

private:
    struct State
    {
        std::vector<std::uint8_t> Cells;
        int At = 0;
        int Heading = 0;
        std::uint64_t Done = 0;
    };

    static void Save(const std::uint8_t* cells, int at, int heading, std::uint64_t done,
                     State& into);
    void Replay(const State& from, std::uint64_t lastIteration, std::uint64_t first);

    std::uint64_t MaxPeriod_;
    std::uint64_t Interval;
    std::uint64_t Next = 0;
    StepTable Table;
    State First;
    State Recent;
    State Older;
    std::vector<std::uint8_t> Work;
    std::vector<std::uint8_t> Tail;
};
