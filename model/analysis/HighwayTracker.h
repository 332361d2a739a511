#pragma once

#include "AntAI.h"
#include "AntPosition.h"
#include "HighwayProof.h"
#include "PackedField.h"
#include "SnapshotObserver.h"

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
class HighwayTracker final : public SnapshotObserver
{
public:
    explicit HighwayTracker(std::uint64_t maxPeriod);

    std::uint64_t MaxPeriod() const { return MaxPeriod_; }

    // The memory the tracker may hold, kept fields, replay and walk together; the driver
    // sets it before each call below, from what the run's own field leaves.
    void SetRoom(std::uint64_t bytes) override
    {
        Room = bytes;
        OutOfRoom = false;
    }
    // Whether a call since SetRoom found too little room: the run must then end as
    // Memory, as its highway could not be settled.
    bool Short() const override { return OutOfRoom; }
    void SetLender(Lender lender) override { Lend = std::move(lender); }
    // Frees what only speeds later calls up (spare copies, the last replay's field and
    // walk); false when there was nothing to free.
    bool Trim() override;

    // The run's first state after `done` iterations (the field may carry turn marks), and
    // its cap: a run that reaches it replays no more than the tail it needs. False when
    // its copy does not fit.
    bool Start(const PackedField& field, std::ptrdiff_t at, int heading, const AntAI& rule,
               std::uint64_t done, std::uint64_t cap) override;
    // The iteration count of the first state, where the walks replayed begin at the earliest.
    std::uint64_t Begun() const override { return First.Done; }
    // The iteration count at which the runner should call Snapshot next.
    std::uint64_t NextSnapshot() const override { return Next; }
    // False when the snapshot does not fit.
    bool Snapshot(const PackedField& field, std::ptrdiff_t at, int heading,
                  std::uint64_t done) override;
    // The memory the kept fields, the replay's field and the walk take.
    std::uint64_t Bytes() const override;
    // Whether a run on the plane is proven to be on a highway after `done` iterations, at
    // a snapshot just taken or at the end of a run out of memory; Finish(done, false)
    // then gives it.
    bool ProvenSoFar(std::uint64_t done) override;
    // The run's last 2 MaxPeriod steps before `done` hold no drifting repetition (the
    // stepper's trail showed it): a later highway begins after the states kept until now.
    void NoRepetition(std::uint64_t done) override;
    // The highway of the run that ended after `done` iterations, finished when its last
    // move was refused.
    Highway Finish(std::uint64_t done, bool finished) override;

private:
    struct State
    {
        std::shared_ptr<PackedField> Cells; // null: not taken; shared by copies
        // What a walk from here copies: on the plane the field's stored part, of which
        // Cells keep only the visited part.
        PackedField::Part Extent;
        std::ptrdiff_t At = 0;
        int Heading = 0;
        std::uint64_t Done = 0;
    };

    // Copies keep only the field's visited part, so a snapshot of a large field or plane
    // costs what the run has touched, not all that is stored.
    bool Save(const PackedField& field, std::ptrdiff_t at, int heading, std::uint64_t done,
              State& into);
    // Frees the spare copies and Onward, which only speed later calls up.
    void DropSpares();
    // Gives a field no state uses any more back to the spares, for the next copy.
    void Drop(std::shared_ptr<PackedField>& cells);
    std::uint64_t Free() const { return Room > Bytes() ? Room - Bytes() : 0; }
    // Whether `bytes` more fit, borrowed where they do not.
    bool Fits(std::uint64_t bytes);

    // A copy of the field and the ant, where a walk of them begins, on the plane if
    // unbounded; false (Short) when it does not fit.
    bool BeginWalk(const State& from, bool unbounded);
    // False when the motion that follows the latest snapshot cannot be a proven highway.
    bool MayBeOnHighway();
    // Replays at least the last tail iterations (all if the run is shorter), going on
    // past the end while that may prove a highway.
    HighwayProof ProveInTail(std::uint64_t done, std::uint64_t tail, bool finished,
                             bool goOn = true);
    // The tails ProveInTail tries in turn, the shortest first.
    std::vector<std::uint64_t> Tails(std::uint64_t done) const;
    // Steps on with the driver's plain step until `until` iterations are done, recording
    // each iteration; false when the walk met the border of a bounded field or the plane
    // would grow too large.
    bool Replay(std::uint64_t until);

    std::uint64_t MaxPeriod_;
    std::uint64_t ShortTail;
    std::uint64_t LongerTail;
    // Snapshots are no further apart at first than the short tail of the default limit, so
    // that a long limit does not put off the proof of a short period (on the plane, past
    // the memory its growth takes meanwhile).
    std::uint64_t LeastInterval;
    std::uint64_t Next = 0;
    std::uint64_t CapSnapshot = 0; // where the short tail of a run ending at its cap begins
    AntAI Rule;
    State First;
    // The two latest snapshots serve the short tail; two that lie LongerTail apart or
    // more, often the same ones, serve the longer one.
    State Recent;
    State Older;
    State Sparse;
    State OlderSparse;
    // A state before the repetition the run may be in, or before any it may begin.
    State Onward;
    State WalkFrom; // where the last walk began
    // The replay: a copy of a snapshot's field, unbounded for a finished run; the ant on it.
    PackedField Work{3};
    AntPosition Ant;
    std::uint64_t Done = 0;
    ::Walk Walk;
    Highway Proven; // by ProvenSoFar
    std::uint64_t ProvenDone = 0;
    std::vector<std::shared_ptr<PackedField>> Spares;
    std::uint64_t Room = UINT64_MAX;
    Lender Lend;
    // The run's own field at the last call: a replay grows its copy up to it.
    std::uint64_t RunBytes = 0;
    bool OutOfRoom = false;
};
