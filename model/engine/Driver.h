#pragma once

#include "MemoryPool.h"
#include "PackedField.h"
#include "RunTypes.h"
#include "SnapshotObserver.h"
#include "StepTable.h"
#include "Trail.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <optional>
#include <vector>

// How far a stepper got: every lane made Rounds steps, lanes 0 .. Ahead-1 one more.
struct StepAdvance
{
    std::uint64_t Rounds = 0;
    int Ahead = 0;
};

// The one loop around every way of stepping the ant. It owns what a run is beyond its
// steps: the cap, the stop flag, the cycle proof's checkpoints, the highway snapshots,
// the step back from the border of a bounded field and the growth of the plane. The
// Stepper policy owns the steps: it runs its lanes until one of them meets a border
// cell, reaches its proof target, or the limit is reached, and knows nothing else.
//
// A Stepper has: static constexpr int Lanes; static constexpr bool Proof (whether it
// stops on its targets); Place(lane, field, at, heading, table) to start or move a lane;
// Park(lane) for a lane without a job; Aim(lane, checkpoint) to make the lane's current
// state its target; Advance(limit); At(lane) and Heading(lane); Leave(lane, field) before
// the field is handed out; static constexpr bool Trails, and TrailTo(lane, to): where the
// lane writes the code of each step, for a stepper that keeps trails.
template <class Stepper> class Driver
{
public:
    static constexpr int K = Stepper::Lanes;
    using NextJob = std::function<bool(RunJob& job)>;
    using JobEnded = std::function<void(const RunEnded& ended)>;
    // The observer of lane j's snapshots, for options that ask for highways; null for none.
    using Observers = std::function<SnapshotObserver*(int lane)>;

    Driver(Stepper& stepper, const RunOptions& options, Observers observers = {})
        : Stepping(stepper), Options(options), ObserverOf(std::move(observers))
    {
    }
    Driver(const Driver&) = delete;
    Driver& operator=(const Driver&) = delete;
    ~Driver()
    {
        for (Slot& slot : Slots)
        {
            if (slot.Observer)
                slot.Observer->SetLender(nullptr);
            if (slot.Borrowed > 0)
                Options.Lender->Give(slot.Borrowed);
        }
    }

    // Takes jobs until next returns false and reports each as it ends, in the order they
    // end. A raised stop flag ends the runs in progress as Stopped.
    void Run(const NextJob& next, const JobEnded& ended)
    {
        for (int j = 0; j < K; ++j)
            Start(j, next, ended);
        for (;;)
        {
            const bool stopped = Options.Stop && Options.Stop->load(std::memory_order_relaxed);
            std::uint64_t limit = Options.Stop ? StopSlice : RunOptions::NoCap;
            bool anyActive = false;
            for (int j = 0; j < K; ++j)
            {
                Slot& slot = Slots[j];
                if (!slot.Active)
                    continue;
                if (stopped)
                {
                    Report(j, RunOutcome::Stopped, 0, ended);
                    continue;
                }
                anyActive = true;
                limit = std::min(limit, Options.Cap - slot.Done);
                if constexpr (Stepper::Proof)
                    limit = std::min(limit, slot.SavedDone + slot.Power - slot.Done);
                if (slot.Observer)
                    limit = std::min(limit, slot.Observer->NextSnapshot() - slot.Done);
            }
            if (!anyActive)
                return;

            if constexpr (Stepper::Trails)
                for (int j = 0; j < K; ++j) // parked lanes write too
                {
                    limit = std::min(limit, Slots[j].Trail.Room());
                    Stepping.TrailTo(j, Slots[j].Trail.End());
                }
            const StepAdvance advance = Stepping.Advance(limit);
            for (int j = 0; j < K; ++j)
            {
                const std::uint64_t steps = advance.Rounds + (j < advance.Ahead ? 1 : 0);
                if constexpr (Stepper::Trails)
                    Slots[j].TrailGrew = Slots[j].Trail.Wrote(steps);
                if (Slots[j].Active)
                    After(j, steps, next, ended);
            }
        }
    }

private:
    // Between two looks at the stop flag: a few milliseconds of work.
    static constexpr std::uint64_t StopSlice = std::uint64_t{1} << 20;
    // Beyond a copy of the field: a short replay's walk and the proof's tables.
    static constexpr std::uint64_t AnalysisSlack = std::uint64_t{2} << 20;

    struct Slot
    {
        bool Active = false;
        std::size_t Id = 0;
        PackedField Own{3};
        PackedField* Field = nullptr;
        std::optional<StepTable> Table;
        std::uint64_t Done = 0;
        // The cycle proof's checkpoint (Brent's method): taken after SavedDone
        // iterations, replaced Power iterations later.
        std::vector<std::uint8_t> Checkpoint;
        std::ptrdiff_t SavedAt = 0;
        int SavedHeading = 0;
        std::uint64_t SavedDone = 0;
        std::uint64_t Power = 1;
        std::uint64_t FalseMatches = 0;
        SnapshotObserver* Observer = nullptr; // when the options ask for highways
        std::uint64_t Borrowed = 0;           // from Options.Lender, beyond MaxMemory
        ::Trail Trail;                        // with a stepper that keeps trails
        bool TrailGrew = false;               // in the last advance
    };

    // Gives lane j its next job, or parks it when there is none.
    void Start(int j, const NextJob& next, const JobEnded& ended)
    {
        Slot& slot = Slots[j];
        for (;;)
        {
            RunJob job;
            if (!next(job))
            {
                slot.Active = false;
                Stepping.Park(j);
                if constexpr (Stepper::Trails)
                    slot.Trail.Reset(0); // a parked lane steps, and writes, too
                return;
            }
            slot.Id = job.Id;
            slot.Done = job.Done;
            slot.FalseMatches = 0;
            // What a large run kept for the next one would hold its loan.
            const bool dropKept = slot.Borrowed > 0;
            if (dropKept)
                slot.Own = PackedField(3);
            if (job.Field)
            {
                slot.Field = job.Field;
            }
            else
            {
                // The lane's storage is kept: a plane grows in it again without faulting
                // in fresh pages.
                slot.Own.Reset(Options.Size, Options.Plane);
                slot.Field = &slot.Own;
                job.Position = AntPosition{slot.Own.StartX(), slot.Own.StartY(), 'U'};
            }
            PackedField& field = *slot.Field;
            const int heading = StepTable::HeadingOf(job.Position.Direction);
            const std::ptrdiff_t at = field.Index(job.Position.X, job.Position.Y);
            slot.Table.emplace(job.Rule, field.Stride());
            Stepping.Place(j, field, at, heading, *slot.Table);
            slot.Checkpoint.clear();
            if constexpr (Stepper::Trails)
                slot.Trail.Reset(
                    field.Unbounded() || Options.ProveOnField ? 2 * Options.HighwayMaxPeriod : 0);
            bool fits = true;
            slot.Observer = Options.HighwayMaxPeriod > 0 && ObserverOf ? ObserverOf(j) : nullptr;
            if (slot.Observer)
            {
                if (Options.Lender)
                    slot.Observer->SetLender([this, &slot](std::uint64_t bytes)
                                             { return Borrow(slot, Limit(slot) + bytes); });
                else
                    slot.Observer->SetLender(nullptr);
                BorrowForAnalysis(slot);
                if (job.Resumed && slot.Done > 0)
                {
                    // The analysis replays from the blank start, as the run from the start
                    // does, so a highway begun before the state gets its own onset.
                    const PackedField blank(Options.Size, Options.Plane);
                    fits =
                        slot.Observer->Start(blank, blank.Index(blank.StartX(), blank.StartY()),
                                             StepTable::HeadingOf('U'), job.Rule, 0, Options.Cap) &&
                        slot.Observer->Snapshot(field, at, heading, slot.Done);
                }
                else
                {
                    fits =
                        slot.Observer->Start(field, at, heading, job.Rule, slot.Done, Options.Cap);
                }
                if (dropKept)
                    slot.Observer->Trim();
            }
            Repay(slot);
            slot.Active = true;
            // Nothing runs for an empty rule or a reached cap: report at once.
            if (job.Rule.ActiveSteps <= 0)
                Report(j, RunOutcome::Idle, 0, ended);
            else if (slot.Done >= Options.Cap)
                Report(j, RunOutcome::Cap, 0, ended);
            else if (!fits || !TakeCheckpoint(j, 1))
                Report(j, RunOutcome::Memory, 0, ended);
            else
                break;
        }
    }

    // False when the copy does not fit beside the field and the snapshots.
    bool TakeCheckpoint(int j, std::uint64_t power)
    {
        if constexpr (!Stepper::Proof)
            return true;
        Slot& slot = Slots[j];
        const PackedField& field = *slot.Field;
        const std::uint64_t tracker = slot.Observer ? slot.Observer->Bytes() : 0;
        // A larger copy is made before the smaller one is freed.
        if (field.Bytes() > slot.Checkpoint.capacity() &&
            field.Bytes() > Room(slot) - std::min(Room(slot), tracker))
            return false;
        slot.Checkpoint.assign(field.Cells(), field.Cells() + field.Bytes());
        slot.SavedAt = Stepping.At(j);
        slot.SavedHeading = Stepping.Heading(j);
        slot.SavedDone = slot.Done;
        slot.Power = power;
        Stepping.Aim(j, slot.Checkpoint.data());
        return true;
    }

    // Lane j made `steps` steps: decides whether its run goes on.
    void After(int j, std::uint64_t steps, const NextJob& next, const JobEnded& ended)
    {
        Slot& slot = Slots[j];
        PackedField& field = *slot.Field;
        slot.Done += steps;
        // A trail for a long period limit grows with the run, within the memory.
        if (slot.TrailGrew && !Borrow(slot, field.Bytes() + Others(slot)))
            return Finish(j, RunOutcome::Memory, 0, next, ended);
        std::ptrdiff_t at = Stepping.At(j);
        if (field.IsBorder(at))
        {
            if (field.AtEdge(at))
                return Finish(j, RunOutcome::Finished, 0, next, ended);
            // The plane (or a partly stored field) goes on beyond the stored part: store
            // more of it.
            const std::ptrdiff_t from = at;
            Borrow(slot, field.GrowthBytes(from) + Others(slot));
            at = field.Grow(from, Budget(slot));
            if (at < 0 && slot.Observer && slot.Observer->Trim())
                at = field.Grow(from, Budget(slot));
            if (at < 0)
                return Finish(j, RunOutcome::Memory, 0, next, ended);
            slot.Table->SetStride(field.Stride());
            Stepping.Place(j, field, at, Stepping.Heading(j), *slot.Table);
            // A checkpoint of the smaller field no longer compares.
            if (!TakeCheckpoint(j, 1))
                return Finish(j, RunOutcome::Memory, 0, next, ended);
            Repay(slot);
        }
        if constexpr (Stepper::Proof)
        {
            if (slot.Done > slot.SavedDone && at == slot.SavedAt &&
                Stepping.Heading(j) == slot.SavedHeading)
            {
                if (std::memcmp(field.Cells(), slot.Checkpoint.data(), field.Bytes()) == 0)
                    return Finish(j, RunOutcome::Never, slot.Done - slot.SavedDone, next, ended);
                ++slot.FalseMatches;
            }
        }
        if (slot.Observer && slot.Done == slot.Observer->NextSnapshot())
        {
            BorrowForAnalysis(slot);
            if (!slot.Observer->Snapshot(field, at, Stepping.Heading(j), slot.Done))
                return Finish(j, RunOutcome::Memory, 0, next, ended);
            if ((field.Unbounded() || Options.ProveOnField) && MayBeOnHighway(slot, j) &&
                slot.Observer->ProvenSoFar(slot.Done))
                return Finish(j, RunOutcome::Highway, 0, next, ended);
            if (slot.Observer->Short())
                return Finish(j, RunOutcome::Memory, 0, next, ended);
            Repay(slot);
            if (Options.AtSnapshot)
                Options.AtSnapshot(slot.Id, field, Position(j, at), slot.Done);
        }
        if (slot.Done >= Options.Cap)
            return Finish(j, RunOutcome::Cap, 0, next, ended);
        if constexpr (Stepper::Proof)
            if (slot.Done == slot.SavedDone + slot.Power && !TakeCheckpoint(j, 2 * slot.Power))
                return Finish(j, RunOutcome::Memory, 0, next, ended);
    }

    // False when lane j's trail shows that no walk the tracker could replay now ends on a
    // highway. Its walks reach back to the tracker's start at most. The tracker hears of
    // the walks that end in no repetition at all, whose later ones it may then start later.
    bool MayBeOnHighway(Slot& slot, int j)
    {
        const Trail::Ending ending = TrailEnding(slot, j);
        if (ending == Trail::Ending::None)
            slot.Observer->NoRepetition(slot.Done);
        return ending == Trail::Ending::Maybe;
    }

    // What the trail shows of the walks ending now (none reaching back beyond the
    // tracker's start): ProveHighway's first test, and the blank cells ahead a proof needs.
    Trail::Ending TrailEnding(const Slot& slot, int j) const
    {
        if constexpr (Stepper::Trails)
        {
            const std::uint64_t reach = slot.Done - slot.Observer->Begun();
            if (slot.Trail.HeldSteps() < std::min(2 * Options.HighwayMaxPeriod, reach))
                return Trail::Ending::Maybe;
            const PackedField& field = *slot.Field;
            const std::ptrdiff_t at = Stepping.At(j);
            return slot.Trail.EndsInRepetition(Options.HighwayMaxPeriod, Stepping.Heading(j),
                                               *slot.Table, field, field.X(at), field.Y(at));
        }
        else
        {
            (void)slot;
            (void)j;
            return Trail::Ending::Maybe;
        }
    }

    // All a run holds counts against MaxMemory: its field, the cycle proof's checkpoint,
    // the highway tracker's snapshots, replay field and walk.
    std::uint64_t Others(const Slot& slot) const
    {
        return slot.Checkpoint.capacity() + (slot.Observer ? slot.Observer->Bytes() : 0) +
               (Stepper::Trails ? slot.Trail.Bytes() : 0);
    }
    // What lane j's field may take besides the rest, old and new storage together.
    std::uint64_t Budget(const Slot& slot) const
    {
        const std::uint64_t others = Others(slot);
        return Limit(slot) > others ? Limit(slot) - others : 0;
    }
    // What the field and the checkpoint leave for the tracker.
    std::uint64_t Room(const Slot& slot) const
    {
        const std::uint64_t held = slot.Field->HeldBytes() + slot.Checkpoint.capacity() +
                                   (Stepper::Trails ? slot.Trail.Bytes() : 0);
        return Limit(slot) > held ? Limit(slot) - held : 0;
    }
    std::uint64_t Limit(const Slot& slot) const { return Options.MaxMemory + slot.Borrowed; }
    std::uint64_t Held(const Slot& slot) const { return slot.Field->HeldBytes() + Others(slot); }

    // Borrows what lane j needs to hold `bytes` in all; false when that is more than its
    // share and the lender has. A run that borrows holds what it would on its own with
    // all of the memory, so its result is the same, whenever and whatever it gets.
    bool Borrow(Slot& slot, std::uint64_t bytes)
    {
        if (bytes <= Limit(slot))
            return true;
        if (!Options.Lender || bytes - Options.MaxMemory > Options.Lender->MostLoan() ||
            !Options.Lender->Take(bytes - Limit(slot)))
            return false;
        slot.Borrowed = bytes - Options.MaxMemory;
        return true;
    }
    // Room for a snapshot and a replay from a copy of the field, where the lender has it
    // (what the analysis does not find ends the run as Memory, as on the share alone);
    // then the tracker's room.
    void BorrowForAnalysis(Slot& slot)
    {
        const std::uint64_t held = Held(slot);
        const std::uint64_t copy = slot.Field->Bytes() + AnalysisSlack;
        if (!Borrow(slot, held + 3 * copy))
            Borrow(slot, held + copy);
        slot.Observer->SetRoom(Room(slot));
    }
    // Gives back what lane j holds no longer.
    void Repay(Slot& slot)
    {
        if (slot.Borrowed == 0)
            return;
        const std::uint64_t held = Held(slot);
        const std::uint64_t keep = held > Options.MaxMemory ? held - Options.MaxMemory : 0;
        if (keep < slot.Borrowed)
        {
            Options.Lender->Give(slot.Borrowed - keep);
            slot.Borrowed = keep;
        }
    }

    AntPosition Position(int j, std::ptrdiff_t at) const
    {
        const PackedField& field = *Slots[j].Field;
        return AntPosition{field.X(at), field.Y(at), StepTable::DirectionOf(Stepping.Heading(j))};
    }

    void Finish(int j, RunOutcome outcome, std::uint64_t period, const NextJob& next,
                const JobEnded& ended)
    {
        Report(j, outcome, period, ended);
        Start(j, next, ended);
    }

    void Report(int j, RunOutcome outcome, std::uint64_t period, const JobEnded& ended)
    {
        Slot& slot = Slots[j];
        PackedField& field = *slot.Field;
        std::ptrdiff_t at = Stepping.At(j);
        if (outcome == RunOutcome::Memory && Options.ProveAtMemory && slot.Observer &&
            (field.Unbounded() || Options.ProveOnField) &&
            TrailEnding(slot, j) == Trail::Ending::Maybe)
        {
            // A highway running off diagonally grows the stored box as a square, and may
            // outgrow the memory between two snapshots; where it stops, with the cycle
            // proof's copy given back, its tail may still prove it.
            std::vector<std::uint8_t>().swap(slot.Checkpoint);
            BorrowForAnalysis(slot);
            if (slot.Observer->ProvenSoFar(slot.Done))
            {
                outcome = RunOutcome::Highway;
                slot.Observer->Trim(); // what comes after the run needs the memory
            }
        }
        // At the cap every walk the analysis could make ends now, so where the trail shows
        // no repetition none is a highway: the replays of the run's tail, and the copies
        // of its field they take (which a large filled field may not fit), are spared.
        const bool analysed =
            slot.Observer && TraitsOf(outcome).Analysed &&
            !(outcome == RunOutcome::Cap && (field.Unbounded() || Options.ProveOnField) &&
              TrailEnding(slot, j) == Trail::Ending::None);
        if (outcome == RunOutcome::Finished)
            at -= field.Offset(Stepping.Heading(j)); // the refused move
        Stepping.Leave(j, field);
        RunEnded end;
        end.Id = slot.Id;
        end.Result.Outcome = outcome;
        end.Result.Iterations = slot.Done;
        end.Result.Period = period;
        end.Result.FalseMatches = slot.FalseMatches;
        if (analysed)
        {
            BorrowForAnalysis(slot);
            end.Result.Highway = slot.Observer->Finish(slot.Done, outcome == RunOutcome::Finished);
            // A highway not settled for want of memory is no result.
            if (slot.Observer->Short())
                end.Result.Outcome = RunOutcome::Memory;
        }
        end.Position = Position(j, at);
        end.Field = &field;
        slot.Active = false;
        ended(end);
    }

    Stepper& Stepping;
    const RunOptions& Options;
    Observers ObserverOf;
    Slot Slots[K];
};

// One run of a single-lane stepper on a given field from a given state, which it leaves
// at the end state; the result counts the iterations done before too.
template <class Stepper>
RunResult DriveOne(Stepper& stepper, const RunOptions& options, PackedField& field,
                   AntPosition& ant, const AntAI& rule, std::uint64_t done,
                   SnapshotObserver* observer = nullptr)
{
    static_assert(Stepper::Lanes == 1);
    RunResult result;
    bool handed = false;
    Driver<Stepper>(stepper, options, [observer](int) { return observer; })
        .Run(
            [&](RunJob& job)
            {
                if (handed)
                    return false;
                handed = true;
                job.Rule = rule;
                job.Field = &field;
                job.Position = ant;
                job.Done = done;
                return true;
            },
            [&](const RunEnded& end)
            {
                result = end.Result;
                ant = end.Position;
            });
    return result;
}
