#include "HighwayTracker.h"

#include "AntAI.h"
#include "PackedField.h"

#include <algorithm>
#include <cmath>
#include <cstring>

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

Highway HighwayTracker::Finish(std::uint64_t lastIteration)
{
    for (const std::uint64_t tail : {ShortTail, LongerTail})
    {
        const Highway highway = FindInTail(lastIteration, tail);
        if (!highway.Undecided)
            return highway;
    }
    return FindInTail(lastIteration, HighwayTailLength(MaxPeriod_));
}

Highway HighwayTracker::FindInTail(std::uint64_t lastIteration, std::uint64_t tail)
{
    tail = std::min(lastIteration, tail);
    const std::uint64_t first = lastIteration - tail + 1;
    const State* from = &First;
    for (const State* saved : {&Recent, &Older, &Sparse, &OlderSparse})
        if (saved->Cells && saved->Done < first && saved->Done > from->Done)
            from = saved;
    Replay(*from, lastIteration, first);
    return FindHighway(Tail.data(), Tail.size(), lastIteration, MaxPeriod_);
}

// Runs the table loop from a saved state to lastIteration, keeping the heading after
// each turn from iteration first on. The run got that far, so no step meets the border.
void HighwayTracker::Replay(const State& from, std::uint64_t lastIteration, std::uint64_t first)
{
    Work = *from.Cells;
    Tail.resize(static_cast<std::size_t>(lastIteration - first + 1));
    std::uint8_t* cells = Work.data();
    int at = from.At;
    unsigned heading = static_cast<unsigned>(from.Heading);
    for (std::uint64_t t = from.Done + 1; t <= lastIteration; ++t)
    {
        const unsigned code = cells[at] & CodeBits;
        const unsigned key = code * StepTable::Headings + heading;
        cells[at] = Table.NextCode[code];
        heading = Table.NextHeading[key];
        at += Table.Delta[key];
        if (t >= first)
            Tail[static_cast<std::size_t>(t - first)] = static_cast<std::uint8_t>(heading);
    }
}
