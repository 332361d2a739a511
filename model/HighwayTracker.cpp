#include "HighwayTracker.h"

#include "AntAI.h"
#include "PackedField.h"

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

// Runners may keep a cell's turn in its top bits; the colour code is in the low four.
constexpr std::uint8_t CodeBits = 0x0F;

// How far a walk may go on past the run's end to prove a highway: this many periods or
// LeastBudget iterations, whichever is more; the first step past the end is this long
// or four periods.
constexpr std::uint64_t BudgetPeriods = 20;
constexpr std::uint64_t LeastBudget = 2000000;
constexpr std::uint64_t FirstStepPast = 4096;
// The plane a finished run goes on on stays within this many cells a side.
constexpr std::ptrdiff_t MostPlaneSide = 4096;

constexpr int StepX[StepTable::Headings] = {0, 1, 0, -1};
constexpr int StepY[StepTable::Headings] = {-1, 0, 1, 0};

} // namespace

void HighwayTracker::Save(const std::uint8_t* cells, int at, int heading, std::uint64_t done,
                          State& into)
{
    if (!into.Cells || into.Cells.use_count() > 1)
        into.Cells = std::make_shared<std::vector<std::uint8_t>>();
    into.Cells->assign(cells, cells + PackedField::CellCount);
    into.At = at;
    into.Heading = heading;
    into.Done = done;
}

HighwayTracker::HighwayTracker(std::uint64_t maxPeriod)
    : MaxPeriod_(maxPeriod), ShortTail(std::max(::ShortTail, maxPeriod + 1)),
      LongerTail(std::max(::LongerTail, 4 * maxPeriod + 1)), Table(AntAI{})
{
}

void HighwayTracker::Start(const std::uint8_t* cells, int at, int heading, const StepTable& table,
                           std::uint64_t cap)
{
    Table = table;
    Save(cells, at, heading, 0, First);
    for (State* saved : {&Recent, &Older, &Sparse, &OlderSparse})
        saved->Cells.reset();
    CapSnapshot = cap > ShortTail ? cap - ShortTail : 0;
    Next = CapSnapshot > 0 ? std::min(ShortTail, CapSnapshot) : ShortTail;
}

void HighwayTracker::Snapshot(const std::uint8_t* cells, int at, int heading, std::uint64_t done)
{
    std::swap(Older, Recent);
    Save(cells, at, heading, done, Recent);
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
    Next = done + std::max(ShortTail, root);
    // Most long runs end at the cap: one snapshot just before their tail.
    if (done < CapSnapshot)
        Next = std::min(Next, CapSnapshot);
}

Highway HighwayTracker::Finish(std::uint64_t done, bool finished)
{
    for (const std::uint64_t tail : {ShortTail, LongerTail, done})
    {
        const HighwayProof proof = ProveInTail(done, tail, finished);
        if (proof.Result != HighwayProof::ReachesBack)
            return proof.Result == HighwayProof::Proven ? proof.Highway : Highway{};
    }
    return {}; // not reached: the whole run does not reach back
}

HighwayProof HighwayTracker::ProveInTail(std::uint64_t done, std::uint64_t tail, bool finished)
{
    const std::uint64_t first = done - std::min(done, tail);
    const State* from = &First;
    for (const State* saved : {&Recent, &Older, &Sparse, &OlderSparse})
        if (saved->Cells && saved->Done <= first && saved->Done > from->Done)
            from = saved;
    Work = *from->Cells;
    Stride = PackedField::Stride;
    Margin = 1;
    At = from->At;
    Heading = static_cast<unsigned>(from->Heading);
    Done = from->Done;
    Walk.First = from->Done;
    Walk.Steps.clear();
    Walk.Cells = from->Cells->data() + PackedField::Index(0, 0);
    Walk.Stride = PackedField::Stride;
    Walk.Left = 0;
    Walk.Top = 0;
    Walk.Width = PackedField::Size;
    Walk.Height = PackedField::Size;
    Replay(done); // the run got that far
    HighwayProof proof = ProveHighway(Walk, MaxPeriod_);

    // Past the end, in steps that double, as most highways are proven a few periods on.
    std::uint64_t past = 0;
    while (proof.Result == HighwayProof::Unproven)
    {
        const std::uint64_t period = proof.Highway.Period;
        const std::uint64_t budget = std::max(BudgetPeriods * period, LeastBudget);
        if (past >= budget)
            break;
        past += std::min(budget - past, std::max({past, 4 * period, FirstStepPast}));
        bool met = false;
        while (!met && !Replay(done + past))
            met = !finished || !Widen();
        if (met)
            break;
        proof = ProveHighway(Walk, MaxPeriod_);
    }
    if (Work.size() > PackedField::CellCount)
    {
        // A grown plane is rare: give its memory back.
        Work.clear();
        Work.shrink_to_fit();
    }
    return proof;
}

bool HighwayTracker::Replay(std::uint64_t until)
{
    const std::ptrdiff_t offsets[StepTable::Headings] = {-Stride, 1, Stride, -1};
    std::uint8_t* cells = Work.data();
    auto x = static_cast<std::int32_t>(At % Stride - Margin);
    auto y = static_cast<std::int32_t>(At / Stride - Margin);
    Walk.Steps.reserve(static_cast<std::size_t>(until - Walk.First));
    for (; Done < until; ++Done)
    {
        const unsigned code = cells[At] & CodeBits;
        if (code == PackedField::Border)
            return false;
        const unsigned key = code * StepTable::Headings + Heading;
        cells[At] = Table.NextCode[code];
        Heading = Table.NextHeading[key];
        Walk.Steps.push_back(
            {x, y, static_cast<std::uint8_t>(code), static_cast<std::uint8_t>(Heading)});
        At += offsets[Heading];
        x += StepX[Heading];
        y += StepY[Heading];
    }
    return true;
}

bool HighwayTracker::Widen()
{
    const std::ptrdiff_t inner = Stride - 2;
    const std::ptrdiff_t grow = std::max<std::ptrdiff_t>(64, inner / 2);
    const std::ptrdiff_t stride = inner + 2 * grow + 2;
    if (stride > MostPlaneSide)
        return false;
    std::vector<std::uint8_t> plane(static_cast<std::size_t>(stride * stride), 0);
    for (std::ptrdiff_t i = 0; i < stride; ++i)
    {
        plane[static_cast<std::size_t>(i)] = PackedField::Border;
        plane[static_cast<std::size_t>((stride - 1) * stride + i)] = PackedField::Border;
        plane[static_cast<std::size_t>(i * stride)] = PackedField::Border;
        plane[static_cast<std::size_t>(i * stride + stride - 1)] = PackedField::Border;
    }
    for (std::ptrdiff_t row = 1; row <= inner; ++row)
        std::copy_n(Work.begin() + row * Stride + 1, inner,
                    plane.begin() + (row + grow) * stride + 1 + grow);
    At = (At / Stride + grow) * stride + At % Stride + grow;
    Work.swap(plane);
    Stride = stride;
    Margin += static_cast<int>(grow);
    return true;
}
