#include "HighwayProof.h"

#include "DriftLine.h"

#include <algorithm>
#include <limits>
#include <map>
#include <utility>

// The proof. Let a walk repeat with period P from a period boundary t0: period k are the
// iterations t0 + kP .. t0 + (k+1)P - 1, a_k the ant's cell when it begins. Let F be the
// cells period 0 stands on, relative to a_0, d != 0 the drift, and D the largest j >= 1
// with F and F + jd sharing a cell (0 if none). Suppose
//   (i)  periods 0..D are alike: the same colours read and the same headings, so a_k =
//        a_0 + kd and each writes the same colours into its cells, shifted by kd;
//   (ii) at t0 every cell of a_0 + F + jd, for every j >= D, is blank.
// Then every period k > D is like period 0. By induction on k: say periods 0..k-1 are.
// A period writes only the cells it stands on, so period m can have written a cell x of
// a_0 + F + kd only if F + md meets F + kd, that is k - m <= D: x's colour when period k
// begins is its colour at t0 (blank by (ii)) overwritten by periods k-D..k-1. Its image
// y = x - (k-D)d lies in a_0 + F + Dd, also blank at t0, and was written, in the same
// order and with the same colours, by the images 0..D-1 of those periods, the only ones
// that can reach it. So the cells of period k begin as those of period D, shifted; the ant
// begins with the same heading (the last turn of period k-1 is that of period D-1), and
// a period's moves depend on nothing else: period k repeats period D, hence period 0.
// Both conditions are needed as stated: comparing the cells at the start of the period,
// rather than the colours read, covers the cells a period rewrites before it reads them
// again, and the cells of F + jd for j > D that periods 0..D-1 write after t0 are part of
// the induction, not of (ii). Starting (ii) at j = D + 1 would leave no blank reference
// for period D's cells; at j = 0 it would ask for the period's own trail to be blank.
// (ii) is infinite but finite to check: once F + jd lies beyond the box that holds every
// cell the walk's start stored or the walk visited before t0, all its cells are blank.
// The start need not be blank (a start field, a soup): the box holds every cell the walk's
// start stores, and blankAhead reads those as they were there, so a non-blank cell ahead
// fails (ii) until the ant has been over it. Outside the box every cell is blank, so once
// the ant has left a finite patch for good, the induction runs as from a blank plane.
// If (ii) holds at t0 it holds at t0 + P, when (i) still does: the cells it asks for then
// are those of F + jd, j >= D + 1, and period 0 writes none of them. So the earliest
// proving boundary of a phase is found by bisection.

namespace
{
constexpr int StepX[4] = {0, 1, 0, -1};
constexpr int StepY[4] = {-1, 0, 1, 0};

// Colour and heading in one byte; a blank cell acts as colour 1 and is read as one.
std::uint8_t MergedSymbol(const WalkStep& step)
{
    const unsigned colour = step.Colour == 0 ? 1u : step.Colour;
    return static_cast<std::uint8_t>(colour << 2 | (step.Heading & 3u));
}

std::uint8_t ExactSymbol(const WalkStep& step)
{
    return static_cast<std::uint8_t>(step.Colour << 2 | (step.Heading & 3u));
}

struct Box
{
    std::int64_t MinX = std::numeric_limits<std::int64_t>::max();
    std::int64_t MinY = std::numeric_limits<std::int64_t>::max();
    std::int64_t MaxX = std::numeric_limits<std::int64_t>::min();
    std::int64_t MaxY = std::numeric_limits<std::int64_t>::min();

    void Add(std::int64_t x, std::int64_t y)
    {
        MinX = std::min(MinX, x);
        MinY = std::min(MinY, y);
        MaxX = std::max(MaxX, x);
        MaxY = std::max(MaxY, y);
    }
};

// Cells to indices, the first one given kept: an open-addressing table, as a walk may
// stand on millions of cells.
class CellIndex
{
public:
    static constexpr std::size_t Never = std::numeric_limits<std::size_t>::max();

    CellIndex() { Resize(1024); }

    void Insert(std::int32_t x, std::int32_t y, std::size_t index)
    {
        const std::size_t slot = Find(x, y);
        if (Slots[slot].Index != Never)
            return;
        Slots[slot] = {Key(x, y), index};
        if (++Used * 2 > Slots.size())
            Resize(Slots.size() * 2);
    }

    std::size_t Of(std::int64_t x, std::int64_t y) const
    {
        if (x < std::numeric_limits<std::int32_t>::min() ||
            x > std::numeric_limits<std::int32_t>::max() ||
            y < std::numeric_limits<std::int32_t>::min() ||
            y > std::numeric_limits<std::int32_t>::max())
            return Never;
        return Slots[Find(static_cast<std::int32_t>(x), static_cast<std::int32_t>(y))].Index;
    }

private:
    struct Slot
    {
        std::uint64_t Key = 0;
        std::size_t Index = Never;
    };

    static std::uint64_t Key(std::int32_t x, std::int32_t y)
    {
        return std::uint64_t{static_cast<std::uint32_t>(x)} << 32 | static_cast<std::uint32_t>(y);
    }

    std::size_t Find(std::int32_t x, std::int32_t y) const
    {
        const std::uint64_t key = Key(x, y);
        std::size_t slot = (key * 0x9E3779B97F4A7C15u) >> Shift;
        while (Slots[slot].Index != Never && Slots[slot].Key != key)
            slot = (slot + 1) & (Slots.size() - 1);
        return slot;
    }

    void Resize(std::size_t size)
    {
        std::vector<Slot> old = std::move(Slots);
        Slots.assign(size, Slot{});
        Shift = 64;
        for (std::size_t s = size; s > 1; s /= 2)
            --Shift;
        for (const Slot& slot : old)
        {
            if (slot.Index == Never)
                continue;
            std::size_t to = (slot.Key * 0x9E3779B97F4A7C15u) >> Shift;
            while (Slots[to].Index != Never)
                to = (to + 1) & (Slots.size() - 1);
            Slots[to] = slot;
        }
    }

    std::vector<Slot> Slots;
    std::size_t Used = 0;
    int Shift = 64;
};

// The cells of F + jd, j >= D: F falls into lines r + qd; on each line they are the cells
// from the footprint's least q plus D on.
struct Line
{
    std::int64_t RX;
    std::int64_t RY;
    std::int64_t From;
};

struct Footprint
{
    std::vector<Line> Lines;
    std::int64_t Reach = 0; // D
};

Footprint FootprintOf(const WalkStep* period, std::size_t p, int dx, int dy)
{
    std::map<std::pair<std::int64_t, std::int64_t>, std::pair<std::int64_t, std::int64_t>> lines;
    for (std::size_t i = 0; i < p; ++i)
    {
        const DriftLine on = DriftLine::Of(std::int64_t{period[i].X} - period[0].X,
                                           std::int64_t{period[i].Y} - period[0].Y, dx, dy);
        const auto found = lines.try_emplace({on.RX, on.RY}, on.Q, on.Q).first;
        found->second.first = std::min(found->second.first, on.Q);
        found->second.second = std::max(found->second.second, on.Q);
    }
    Footprint footprint;
    for (const auto& line : lines)
        footprint.Reach = std::max(footprint.Reach, line.second.second - line.second.first);
    for (const auto& line : lines)
        footprint.Lines.push_back(
            {line.first.first, line.first.second, line.second.first + footprint.Reach});
    return footprint;
}
} // namespace

HighwayProof ProveHighway(const Walk& walk, std::uint64_t maxPeriod)
{
    HighwayProof proof;
    const Walk::StepList& steps = walk.Steps;
    const std::size_t n = steps.size();
    if (n < 2)
        return proof;
    const auto periods = static_cast<std::size_t>(std::min<std::uint64_t>(maxPeriod, n / 2));

    // match[p]: how many steps before the last p agree with the step p later (merged
    // colour and heading), by the Z-algorithm on the walk read backwards; linear in
    // n + maxPeriod: each comparison that succeeds pushes boxEnd on, and each period ends
    // with at most one that fails.
    std::vector<std::size_t> match(periods + 1, 0);
    auto symbol = [&](std::size_t back) { return MergedSymbol(steps[n - 1 - back]); };
    std::size_t boxStart = 0;
    std::size_t boxEnd = 0;
    std::size_t triedSpan = 0;
    HighwayProof unproven; // the shortest period not yet proven
    for (std::size_t p = 1; p <= periods; ++p)
    {
        std::size_t k = p < boxEnd ? std::min(boxEnd - p, match[p - boxStart]) : 0;
        while (p + k < n && symbol(k) == symbol(p + k))
            ++k;
        match[p] = k;
        if (p + k > boxEnd)
        {
            boxStart = p;
            boxEnd = p + k;
        }
        const std::size_t span = p + k;
        const int dx = steps[n - 1].X - steps[n - 1 - p].X;
        const int dy = steps[n - 1].Y - steps[n - 1 - p].Y;
        // A period whose stretch lies within that of a shorter one already tried says
        // nothing new.
        if (span < 2 * p || span <= triedSpan || (dx == 0 && dy == 0))
            continue;
        triedSpan = span;
        proof.Highway.Period = p;
        proof.Highway.DriftX = dx;
        proof.Highway.DriftY = dy;
        if (span == n && walk.First > 0)
        {
            proof.Result = HighwayProof::ReachesBack;
            return proof;
        }
        proof.Highway.Onset = walk.First + (n - span);
        proof.Result = HighwayProof::Unproven;

        // Periods alike in colours read, blank and colour 1 apart, from exactFrom on.
        std::size_t exactFrom = n - p;
        while (exactFrom > 0 &&
               ExactSymbol(steps[exactFrom - 1]) == ExactSymbol(steps[exactFrom - 1 + p]))
            --exactFrom;
        const Footprint footprint = FootprintOf(&steps[exactFrom], p, dx, dy);
        const std::size_t needed = static_cast<std::size_t>(footprint.Reach + 1) * p;
        if (n - exactFrom < needed)
        {
            unproven = unproven.Result == HighwayProof::None ? proof : unproven;
            continue;
        }
        const std::size_t lastK = (n - exactFrom - needed) / p;

        // The box of the cells possibly not blank at each boundary.
        std::vector<Box> boxes(lastK + 1);
        Box box;
        if (walk.Width > 0 && walk.Height > 0)
        {
            box.Add(walk.Left, walk.Top);
            box.Add(std::int64_t{walk.Left} + walk.Width - 1,
                    std::int64_t{walk.Top} + walk.Height - 1);
        }
        if (walk.Beyond && !walk.Beyond->Empty())
        {
            const FieldArchive::Box kept = walk.Beyond->Extent();
            box.Add(kept.MinX, kept.MinY);
            box.Add(kept.MaxX, kept.MaxY);
        }
        for (std::size_t i = 0, k = 0; k <= lastK; ++i)
        {
            if (i == exactFrom + k * p)
                boxes[k++] = box;
            box.Add(steps[i].X, steps[i].Y);
        }
        // The walk's first visit of each cell that blankAhead asks about, those on the
        // footprint's lines from their From on; visits from the last boundary on come too
        // late to matter.
        CellIndex lineOf;
        for (std::size_t i = 0; i < footprint.Lines.size(); ++i)
            lineOf.Insert(static_cast<std::int32_t>(footprint.Lines[i].RX),
                          static_cast<std::int32_t>(footprint.Lines[i].RY), i);
        CellIndex visits;
        const WalkStep& anchor = steps[exactFrom];
        for (std::size_t i = 0, until = exactFrom + lastK * p; i < until; ++i)
        {
            const DriftLine on = DriftLine::Of(std::int64_t{steps[i].X} - anchor.X,
                                               std::int64_t{steps[i].Y} - anchor.Y, dx, dy);
            const std::size_t line = lineOf.Of(on.RX, on.RY);
            if (line != CellIndex::Never && on.Q >= footprint.Lines[line].From)
                visits.Insert(steps[i].X, steps[i].Y, i);
        }
        auto blankAhead = [&](std::size_t k)
        {
            const std::size_t t0 = exactFrom + k * p;
            const Box& b = boxes[k];
            for (const Line& line : footprint.Lines)
            {
                std::int64_t x = steps[t0].X + line.RX + line.From * dx;
                std::int64_t y = steps[t0].Y + line.RY + line.From * dy;
                for (;; x += dx, y += dy)
                {
                    const bool leftX = (dx > 0 && x > b.MaxX) || (dx < 0 && x < b.MinX) ||
                                       (dx == 0 && (x > b.MaxX || x < b.MinX));
                    const bool leftY = (dy > 0 && y > b.MaxY) || (dy < 0 && y < b.MinY) ||
                                       (dy == 0 && (y > b.MaxY || y < b.MinY));
                    if (leftX || leftY)
                        break;
                    if (x < b.MinX || x > b.MaxX || y < b.MinY || y > b.MaxY)
                        continue;
                    if (!walk.BlankAtFirst(x, y) || visits.Of(x, y) < t0)
                        return false;
                }
            }
            return true;
        };
        if (!blankAhead(lastK))
        {
            unproven = unproven.Result == HighwayProof::None ? proof : unproven;
            continue;
        }
        std::size_t low = 0;
        std::size_t high = lastK;
        while (low < high)
        {
            const std::size_t mid = low + (high - low) / 2;
            if (blankAhead(mid))
                high = mid;
            else
                low = mid + 1;
        }
        proof.Result = HighwayProof::Proven;
        proof.Highway.Found = true;
        proof.Highway.CertifiedAt = walk.First + exactFrom + low * p;
        return proof;
    }
    return unproven;
}

std::optional<std::uint64_t> RepetitionOnset(const Walk& walk, std::uint64_t period)
{
    const Walk::StepList& steps = walk.Steps;
    const std::size_t n = steps.size();
    const auto p = static_cast<std::size_t>(period);
    if (p == 0 || n < 2 * p)
        return std::nullopt;
    std::size_t span = p;
    while (span < n && MergedSymbol(steps[n - 1 - span]) == MergedSymbol(steps[n - 1 - span + p]))
        ++span;
    if (span < 2 * p)
        return std::nullopt;
    return walk.First + (n - span);
}
