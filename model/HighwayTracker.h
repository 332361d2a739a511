#pragma once

#include "Highway.h"
#include "StepTable.h"

#include <cstdint>
#include <memory>
#include <vector>

// Finds a run's highway without slowing the run down: instead of recording every
// iteration, it keeps the start state and a few of the snapshots the run hands it, and
// at the end replays the last stretch from the latest one before it, recording the walk
// that ProveHighway needs. Most runs are settled by a short tail; a highway reaching
// back past it takes a longer one, and one too long even for that (rare) is settled by
// replaying the whole run. A walk that ends on a highway not yet proven goes on past the
// run's end, on a copy: a finished run on the unbounded plane, a capped one on its field.
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
    // The highway of the run that ended after `done` iterations, finished when its last
    // move was refused.
    Highway Finish(std::uint64_t done, bool finished);

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
    // Replays at least the last tail iterations (all if the run is shorter), going on
    // past the end while that may prove a highway.
    HighwayProof ProveInTail(std::uint64_t done, std::uint64_t tail, bool finished);
    // Steps on until `until` iterations are done or the next cell is a border cell,
    // recording each iteration; false when it met the border.
    bool Replay(std::uint64_t until);
    // Moves the walk onto a plane with room around the field, or grows that plane; false
    // when it would grow too large.
    bool Widen();

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
    // The replay: a copy of a snapshot's cells, or of the plane they grew into, with a
    // ring of border cells; the ant's place in it and on the plane.
    std::vector<std::uint8_t> Work;
    std::ptrdiff_t Stride = 0;
    int Margin = 0; // the field's top left cell is at (Margin, Margin) inside the ring
    std::ptrdiff_t At = 0;
    unsigned Heading = 0;
    std::uint64_t Done = 0;
    ::Walk Walk;
};
