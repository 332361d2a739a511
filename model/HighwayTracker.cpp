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

} // namespace

void HighwayTracker::Save(const PackedField& field, std::ptrdiff_t at, int heading,
                          std::uint64_t done, State& into)
{
    if (!into.Cells || into.Cells.use_count() > 1 || into.Cells->Bytes() != field.Bytes())
        into.Cells = std::make_shared<PackedField>(field);
    else
        *into.Cells = field;
    into.At = at;
    into.Heading = heading;
    into.Done = done;
}

HighwayTracker::HighwayTracker(std::uint64_t maxPeriod)
    : MaxPeriod_(maxPeriod), ShortTail(std::max(::ShortTail, maxPeriod + 1)),
      LongerTail(std::max(::LongerTail, 4 * maxPeriod + 1))
{
}

void HighwayTracker::Start(const PackedField& field, std::ptrdiff_t at, int heading,
                           const AntAI& rule, std::uint64_t done, std::uint64_t cap)
{
    Proven = Highway{};
    Rule = rule;
    // The last run's replay field would count against this run's memory.
    Work = PackedField(3);
    Save(field, at, heading, done, First);
    for (State* saved : {&Recent, &Older, &Sparse, &OlderSparse})
        saved->Cells.reset();
    CapSnapshot = cap > done + ShortTail ? cap - ShortTail : 0;
    Next = done + ShortTail;
    if (CapSnapshot > done)
        Next = std::min(Next, CapSnapshot);
}

std::uint64_t HighwayTracker::Bytes() const
{
    std::uint64_t bytes = Work.Bytes();
    for (const State* saved : {&First, &Recent, &Older, &Sparse, &OlderSparse})
        if (saved->Cells)
            bytes += saved->Cells->Bytes();
    return bytes;
}

void HighwayTracker::Snapshot(const PackedField& field, std::ptrdiff_t at, int heading,
                              std::uint64_t done)
{
    std::swap(Older, Recent);
    Save(field, at, heading, done, Recent);
    const std::uint64_t sparseDone = Sparse.Cells ? Sparse.Done : 0;
    if (done - sparseDone >= LongerTail)
    {
        std::swap(OlderSparse, Sparse);
        Sparse = Recent;
    }
    // A copy of the field costs about as much as a thousand replayed steps, so long runs
    // take fewer snapshots and replay a little more: the interval that cost least here
    // (bench_throughput) grows with the root of 1024 times the run's length so far.
    const auto root = static_cast<std::uint64_t>(std::sqrt(static_cast<double>(done) * 1024));
    // A large plane's copy costs more: at least as many steps as it has bytes between two.
    Next = done + std::max({ShortTail, root, static_cast<std::uint64_t>(field.Bytes())});
    // Most long runs end at the cap: one snapshot just before their tail.
    if (done < CapSnapshot)
        Next = std::min(Next, CapSnapshot);
}

bool HighwayTracker::ProvenSoFar(std::uint64_t done)
{
    if (!MayBeOnHighway())
        return false;
    // The run itself goes on: no copy needs to.
    for (const std::uint64_t tail : {ShortTail, LongerTail, done})
    {
        const HighwayProof proof = ProveInTail(done, tail, false, false);
        if (proof.Result == HighwayProof::ReachesBack)
            continue;
        if (proof.Result != HighwayProof::Proven)
            return false;
        Proven = proof.Highway;
        ProvenDone = done;
        return true;
    }
    return false;
}

Highway HighwayTracker::Finish(std::uint64_t done, bool finished)
{
    if (Proven.Found && ProvenDone == done)
        return Proven;
    for (const std::uint64_t tail : {ShortTail, LongerTail, done})
    {
        const HighwayProof proof = ProveInTail(done, tail, finished);
        if (proof.Result != HighwayProof::ReachesBack)
            return proof.Result == HighwayProof::Proven ? proof.Highway : Highway{};
    }
    return {}; // not reached: the whole run does not reach back
}

void HighwayTracker::BeginWalk(const State& from, bool unbounded)
{
    const PackedField& start = *from.Cells;
    Work = start;
    // A finished run's ant went on beyond the field's border onto the plane.
    if (unbounded)
        Work.SetUnbounded();
    Ant = AntPosition{Work.X(from.At), Work.Y(from.At), StepTable::DirectionOf(from.Heading)};
    Done = from.Done;
    Walk.First = from.Done;
    Walk.Steps.clear();
    Walk.Cells = start.Cells() + start.Index(start.Left(), start.Top());
    Walk.Stride = start.Stride();
    Walk.Left = start.Left();
    Walk.Top = start.Top();
    Walk.Width = start.Width();
    Walk.Height = start.Height();
}

bool HighwayTracker::MayBeOnHighway()
{
    // Proven now, the motion repeats for ever from before now, so twice the longest period
    // looked for ahead, on a copy, holds a drifting repetition; where none shows, the
    // replay of the whole interval since the last snapshot can be spared.
    const std::uint64_t ahead = 2 * MaxPeriod_;
    if (!Older.Cells || Recent.Done - Older.Done <= 2 * ahead)
        return true; // the replay costs little more than the look
    BeginWalk(Recent, Recent.Cells->Unbounded());
    const bool stepped = Replay(Recent.Done + ahead);
    const bool seen = !stepped || ProveHighway(Walk, MaxPeriod_).Result != HighwayProof::None;
    if (Work.Bytes() > Recent.Cells->Bytes())
        Work = PackedField(3);
    return seen;
}

HighwayProof HighwayTracker::ProveInTail(std::uint64_t done, std::uint64_t tail, bool finished,
                                         bool goOn)
{
    const std::uint64_t first = std::max(done - std::min(done, tail), First.Done);
    const State* from = &First;
    for (const State* saved : {&Recent, &Older, &Sparse, &OlderSparse})
        if (saved->Cells && saved->Done <= first && saved->Done > from->Done)
            from = saved;
    const PackedField& start = *from->Cells;
    BeginWalk(*from, finished);
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
    }
    if (Work.Bytes() > start.Bytes())
        Work = PackedField(3); // a grown plane is rare: give its memory back
    if (proof.Result == HighwayProof::Proven && proof.Highway.Onset > done)
        return {};
    return proof;
}

bool HighwayTracker::Replay(std::uint64_t until)
{
    static constexpr int StepX[StepTable::Headings] = {0, 1, 0, -1};
    static constexpr int StepY[StepTable::Headings] = {-1, 0, 1, 0};
    Walk.Steps.reserve(static_cast<std::size_t>(until - Walk.First));
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
    options.MaxMemory = MostPlaneBytes;
    const RunResult result = DriveOne(stepper, options, Work, Ant, Rule, Done);
    Done = result.Iterations;
    return result.Outcome == RunOutcome::Cap;
}
