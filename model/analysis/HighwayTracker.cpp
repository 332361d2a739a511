#include "HighwayTracker.h"

#include "AntAI.h"
#include "Driver.h"
#include "PackedField.h"
#include "RecordingStepper.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>

namespace
{
// A tail this long holds every highway of period up to ~500 whole, which covers the
// ones runs end on in practice; longer ones take the full replay.
constexpr std::uint64_t LongerTail = std::uint64_t{1} << 17;
// Most runs end on no highway or a short one: this much settles them at a quarter of
// the replay.
constexpr std::uint64_t ShortTail = std::uint64_t{1} << 15;

// How far a walk may go on past the run's end to prove a highway: this many periods or
// LeastBudget iterations, whichever is more; the first step past the end is this long
// or four periods.
constexpr std::uint64_t BudgetPeriods = 20;
constexpr std::uint64_t LeastBudget = 2000000;
constexpr std::uint64_t FirstStepPast = 4096;
// The plane a finished run goes on on stays within this many bytes.
constexpr std::uint64_t MostPlaneBytes = std::uint64_t{4096} * 4096;
// A walk's memory per step. The proof's own tables come on top and are not counted.
constexpr std::uint64_t WalkBytesPerStep = sizeof(WalkStep);
// Fields kept for the next copies.
constexpr std::size_t MostSpares = 2;

} // namespace

bool HighwayTracker::Save(const PackedField& field, std::ptrdiff_t at, int heading,
                          std::uint64_t done, State& into)
{
    if (into.Cells && into.Cells.use_count() > 1)
        into.Cells.reset(); // another state's: left to it
    if (!into.Cells && !Spares.empty())
    {
        into.Cells = std::move(Spares.back());
        Spares.pop_back();
    }
    const PackedField::Part part = field.VisitedPart(field.X(at), field.Y(at));
    const std::uint64_t held = into.Cells ? into.Cells->HeldBytes() : 0;
    RunBytes = field.Bytes();
    if (part.Bytes > held && !Fits(part.Bytes - held))
    {
        Trim();
        if (part.Bytes > held && part.Bytes - held > Free())
        {
            Drop(into.Cells); // it may hold a spare's cells now, not its own state's
            into = State{};
            return false;
        }
    }
    if (!into.Cells)
        into.Cells = std::make_shared<PackedField>(3);
    into.Cells->CopyPart(field, part);
    into.Extent = field.Unbounded() ? field.StoredPart() : part;
    into.At = into.Cells->Index(field.X(at), field.Y(at));
    into.Heading = heading;
    into.Done = done;
    return true;
}

void HighwayTracker::Drop(std::shared_ptr<PackedField>& cells)
{
    if (cells && cells.use_count() == 1 && Spares.size() < MostSpares)
        Spares.push_back(std::move(cells));
    cells.reset();
}

void HighwayTracker::DropSpares()
{
    Spares.clear();
    // Onward only spares replays: results do not depend on it, so it goes before any
    // copy, replay or walk that would not fit beside it.
    Onward = State{};
}

bool HighwayTracker::Fits(std::uint64_t bytes)
{
    const std::uint64_t free = Free();
    if (bytes <= free)
        return true;
    if (!Lend || !Lend(bytes - free))
        return false;
    Room += bytes - free;
    return true;
}

bool HighwayTracker::Trim()
{
    const std::uint64_t before = Bytes();
    DropSpares();
    Work = PackedField(3);
    Walk::StepList().swap(Walk.Steps);
    return Bytes() < before;
}

HighwayTracker::HighwayTracker(std::uint64_t maxPeriod)
    : MaxPeriod_(maxPeriod), ShortTail(std::max(::ShortTail, maxPeriod + 1)),
      LongerTail(std::max(::LongerTail, 4 * maxPeriod + 1)), LeastInterval(::ShortTail)
{
}

bool HighwayTracker::Start(const PackedField& field, std::ptrdiff_t at, int heading,
                           const AntAI& rule, std::uint64_t done, std::uint64_t cap)
{
    Proven = Highway{};
    OutOfRoom = false;
    Rule = rule;
    // The last run's replay field and a whole run's walk would count against this run's
    // memory.
    Work = PackedField(3);
    if (Walk.Steps.capacity() > 4 * LongerTail)
        Walk::StepList().swap(Walk.Steps);
    for (State* saved : {&Recent, &Older, &Sparse, &OlderSparse, &Onward})
        Drop(saved->Cells);
    if (!Save(field, at, heading, done, First))
    {
        OutOfRoom = true;
        return false;
    }
    CapSnapshot = cap > done + ShortTail ? cap - ShortTail : 0;
    Next = done + LeastInterval;
    if (CapSnapshot > done)
        Next = std::min(Next, CapSnapshot);
    return true;
}

std::uint64_t HighwayTracker::Bytes() const
{
    std::uint64_t bytes = Work.HeldBytes() + Walk.Steps.capacity() * WalkBytesPerStep;
    const State* saved[] = {&First, &Recent, &Older, &Sparse, &OlderSparse, &Onward};
    for (std::size_t i = 0; i < std::size(saved); ++i)
    {
        bool counted = !saved[i]->Cells; // states share their copies
        for (std::size_t j = 0; j < i && !counted; ++j)
            counted = saved[j]->Cells == saved[i]->Cells;
        if (!counted)
            bytes += saved[i]->Cells->HeldBytes();
    }
    for (const auto& spare : Spares)
        bytes += spare->HeldBytes();
    return bytes;
}

bool HighwayTracker::Snapshot(const PackedField& field, std::ptrdiff_t at, int heading,
                              std::uint64_t done)
{
    std::swap(Older, Recent);
    if (!Save(field, at, heading, done, Recent))
    {
        OutOfRoom = true;
        return false;
    }
    const std::uint64_t sparseDone = Sparse.Cells ? Sparse.Done : 0;
    if (done - sparseDone >= LongerTail)
    {
        std::swap(OlderSparse, Sparse);
        Drop(Sparse.Cells);
        Sparse = Recent;
    }
    // A copy of the field costs about as much as a thousand replayed steps, so long runs
    // take fewer snapshots and replay a little more: the interval that cost least here
    // (bench_throughput) grows with the root of 1024 times the run's length so far.
    const auto root = static_cast<std::uint64_t>(std::sqrt(static_cast<double>(done) * 1024));
    // A large plane's copy costs more: at least as many steps as it has bytes between two,
    // and as its archive's table takes to copy.
    Next =
        done + std::max({LeastInterval, root,
                         static_cast<std::uint64_t>(field.Bytes()) + field.Archived().CopySteps()});
    // Most long runs end at the cap: one snapshot just before their tail.
    if (done < CapSnapshot)
        Next = std::min(Next, CapSnapshot);
    return true;
}

std::vector<std::uint64_t> HighwayTracker::Tails(std::uint64_t done) const
{
    // A walk from Onward, which began before the repetition, spares the whole run's
    // replay. It is no shorter than the longer tail's, so longer than two periods: a walk
    // that long ends on the same verdict from any start that the repetition does not
    // reach back to.
    if (Onward.Cells && Onward.Done > First.Done && done - Onward.Done > LongerTail)
        return {ShortTail, LongerTail, done - Onward.Done, done};
    return {ShortTail, LongerTail, done};
}

void HighwayTracker::NoRepetition(std::uint64_t done)
{
    // A repetition of period p that began 2p before now would show now, so any later one
    // begins after the latest state 2 MaxPeriod back.
    const std::uint64_t before = done - std::min(done, 2 * MaxPeriod_);
    const State* latest = Onward.Cells && Onward.Done <= before ? &Onward : nullptr;
    for (const State* saved : {&First, &Recent, &Older, &Sparse, &OlderSparse})
        if (saved->Cells && saved->Done <= before && (!latest || saved->Done > latest->Done))
            latest = saved;
    if (latest && latest != &Onward)
        Onward = *latest;
}

bool HighwayTracker::ProvenSoFar(std::uint64_t done)
{
    // The look ahead of the latest snapshot tells only about the motion from now on.
    if (OutOfRoom || (Recent.Cells && Recent.Done == done && !MayBeOnHighway()))
        return false;
    // The run itself goes on: no copy needs to.
    for (const std::uint64_t tail : Tails(done))
    {
        const HighwayProof proof = ProveInTail(done, tail, false, false);
        if (OutOfRoom)
            return false;
        if (proof.Result == HighwayProof::ReachesBack)
            continue;
        if (proof.Result == HighwayProof::Unproven && WalkFrom.Cells)
            Onward = WalkFrom; // the repetition begins after it
        WalkFrom = State{};
        if (proof.Result != HighwayProof::Proven)
            return false;
        Proven = proof.Highway;
        ProvenDone = done;
        return true;
    }
    WalkFrom = State{};
    return false;
}

Highway HighwayTracker::Finish(std::uint64_t done, bool finished)
{
    if (Proven.Found && ProvenDone == done)
        return Proven;
    for (const std::uint64_t tail : Tails(done))
    {
        const HighwayProof proof = ProveInTail(done, tail, finished);
        WalkFrom = State{};
        if (OutOfRoom)
            return {};
        if (proof.Result != HighwayProof::ReachesBack)
            return proof.Result == HighwayProof::Proven ? proof.Highway : Highway{};
    }
    return {}; // not reached: the whole run does not reach back
}

bool HighwayTracker::BeginWalk(const State& from, bool unbounded)
{
    const PackedField& start = *from.Cells;
    const std::uint64_t bytes = from.Extent.Bytes;
    // Storage kept from a larger field would count against the memory beyond what a
    // fresh copy takes, and so could end the walk; its pages go to the next blocks.
    if (Work.HeldBytes() > bytes)
        Work = PackedField(3);
    const std::uint64_t held = Work.HeldBytes();
    if (bytes > held && !Fits(bytes - held))
        DropSpares();
    if (bytes > held && bytes - held > Free())
    {
        OutOfRoom = true;
        return false;
    }
    Work.CopyPart(start, from.Extent);
    // A finished run's ant went on beyond the field's border onto the plane. The whole
    // field came first, and the plane's growth beyond it counts it, so a copy of part of
    // a field walks as one of all of it: where the field alone leaves no room to grow
    // the walk ends at its edge.
    if (unbounded && !start.Unbounded())
    {
        const auto side = static_cast<std::uint64_t>(start.BoundedSide()) + 2;
        const std::uint64_t whole = side * side;
        if (whole + (2 * side - 2) * side <= MostPlaneBytes) // its first growth fits
        {
            if (!Work.Whole() && !Fits(whole - std::min(whole, Work.HeldBytes())))
            {
                OutOfRoom = true;
                return false;
            }
            Work.MakeWhole();
            Work.SetUnbounded();
        }
    }
    Ant = AntPosition{start.X(from.At), start.Y(from.At), StepTable::DirectionOf(from.Heading)};
    Done = from.Done;
    Walk.First = from.Done;
    Walk.Steps.clear();
    Walk.Cells = start.Cells() + start.Index(start.Left(), start.Top());
    Walk.Stride = start.Stride();
    Walk.Left = start.Left();
    Walk.Top = start.Top();
    Walk.Width = start.Width();
    Walk.Height = start.Height();
    Walk.Beyond = start.Archived().Empty() ? nullptr : &start.Archived();
    return true;
}

bool HighwayTracker::MayBeOnHighway()
{
    // Proven now, the motion repeats for ever from before now, so twice the longest period
    // looked for ahead, on a copy, holds a drifting repetition; where none shows, the
    // replay of the whole interval since the last snapshot can be spared.
    const std::uint64_t ahead = 2 * MaxPeriod_;
    if (!Older.Cells || Recent.Done - Older.Done <= 2 * ahead)
        return true; // the replay costs little more than the look
    bool seen = true;
    if (BeginWalk(Recent, Recent.Cells->Unbounded()))
    {
        const bool stepped = Replay(Recent.Done + ahead);
        seen = !stepped || ProveHighway(Walk, MaxPeriod_).Result != HighwayProof::None;
        if (Work.Bytes() > Recent.Extent.Bytes)
            Work = PackedField(3);
    }
    // The look only spares replays: where its copy or walk does not fit, the replays
    // decide, each within what it needs, as they would with more memory.
    OutOfRoom = false;
    return seen;
}

HighwayProof HighwayTracker::ProveInTail(std::uint64_t done, std::uint64_t tail, bool finished,
                                         bool goOn)
{
    const std::uint64_t first = std::max(done - std::min(done, tail), First.Done);
    const State* from = &First;
    for (const State* saved : {&Recent, &Older, &Sparse, &OlderSparse, &Onward})
        if (saved->Cells && saved->Done <= first && saved->Done > from->Done)
            from = saved;
    WalkFrom = *from;
    const std::uint64_t startBytes = from->Extent.Bytes;
    if (!BeginWalk(*from, finished))
        return {};
    Replay(done); // the run got that far
    HighwayProof proof = ProveHighway(Walk, MaxPeriod_);

    // Past the end, in steps that double, as most highways are proven a few periods on.
    // Only the motion the run ended in is followed: a repetition that begins after the end
    // is another motion, and the run's own broke off. (Following those cost one preset of
    // the catalogue two million steps for nothing.)
    std::uint64_t past = 0;
    while (goOn && proof.Result == HighwayProof::Unproven && proof.Highway.Onset <= done)
    {
        const std::uint64_t period = proof.Highway.Period;
        const std::uint64_t budget = std::max(BudgetPeriods * period, LeastBudget);
        if (past >= budget)
            break;
        past += std::min(budget - past, std::max({past, 4 * period, FirstStepPast}));
        if (!Replay(done + past))
            break;
        proof = ProveHighway(Walk, MaxPeriod_);
        // A shorter repetition begun since, which the proof names first, may lie within the
        // run's own motion: that goes on while its period still repeats back to the end.
        if (proof.Result == HighwayProof::Unproven && proof.Highway.Onset > done)
            if (const auto onset = RepetitionOnset(Walk, period); onset && *onset <= done)
            {
                proof.Highway.Period = period;
                proof.Highway.Onset = *onset;
            }
    }
    if (Work.Bytes() > startBytes)
        Work = PackedField(3); // a grown plane is rare: give its memory back
    if (proof.Result == HighwayProof::Proven && proof.Highway.Onset > done)
        return {};
    return proof;
}

bool HighwayTracker::Replay(std::uint64_t until)
{
    static constexpr int StepX[StepTable::Headings] = {0, 1, 0, -1};
    static constexpr int StepY[StepTable::Headings] = {-1, 0, 1, 0};
    const std::uint64_t steps = until - Walk.First;
    // A walk begun anew drops its old storage before it takes more; one that goes on
    // holds both while its steps move.
    const std::uint64_t held = Walk.Steps.capacity();
    if (Walk.Steps.empty() && steps > held)
        Walk::StepList().swap(Walk.Steps);
    auto fits = [&](std::uint64_t size)
    { return size <= Walk.Steps.capacity() || size * WalkBytesPerStep <= Free(); };
    if (steps > Walk.Steps.capacity() && !Fits(steps * WalkBytesPerStep))
        DropSpares();
    if (!fits(steps))
    {
        OutOfRoom = true;
        return false;
    }
    // The walks of a run grow with its snapshot interval: storage that grows by half
    // again, where it fits, is taken (and faulted in) a few times a run, not every walk.
    const std::uint64_t grown = std::max(steps, held + held / 2);
    Walk.Steps.reserve(static_cast<std::size_t>(fits(grown) ? grown : steps));
    // The walk wants the cell read, the one the ant stood on. Coordinates follow the moves
    // rather than the index, which a division would turn back into them at every step.
    int x = Ant.X;
    int y = Ant.Y;
    auto record = [this, &x, &y](const StepRecord& step)
    {
        Walk.Steps.push_back({x, y, static_cast<std::uint8_t>(step.Colour),
                              static_cast<std::uint8_t>(step.Heading)});
        x += StepX[step.Heading];
        y += StepY[step.Heading];
    };
    RecordingStepper<decltype(record)> stepper(record);
    RunOptions options;
    options.Cap = until;
    // The copy grows back towards the run's field (old and new storage together while it
    // grows): room for that is borrowed where it can be; what is not found limits it.
    if (Work.Unbounded() && RunBytes > Work.Bytes())
        Fits(2 * RunBytes - std::min(2 * RunBytes, Work.HeldBytes()));
    // The replay's field grows within what is left, old and new storage together.
    // Meeting the plane's own limit ends a walk as it always did; meeting the run's is
    // a lack of memory.
    const std::uint64_t room = Free() + Work.HeldBytes();
    const bool runsLimit = !Work.Unbounded() || room < MostPlaneBytes;
    options.MaxMemory = runsLimit ? room : MostPlaneBytes;
    const RunResult result = DriveOne(stepper, options, Work, Ant, Rule, Done);
    Done = result.Iterations;
    if (result.Outcome == RunOutcome::Memory && runsLimit)
        OutOfRoom = true;
    return result.Outcome == RunOutcome::Cap;
}
