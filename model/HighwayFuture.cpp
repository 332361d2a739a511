#include "HighwayFuture.h"

#include "Driver.h"
#include "PackedField.h"
#include "RecordingStepper.h"

#include "Iteration.h"

#include <algorithm>
#include <limits>
#include <map>
#include <utility>
#include <vector>

namespace
{
// Products of a period count and a drift, and a box's cells, before they are checked to fit.
__extension__ typedef __int128 Wide;
__extension__ typedef unsigned __int128 UnsignedWide;

struct Snapshot
{
    AntField::ColourCounts Colours{};
    AntPosition Ant;
    PackedField::Bounds Box;
};

bool FitsInt64(Wide value)
{
    return value >= std::numeric_limits<std::int64_t>::min() &&
           value <= std::numeric_limits<std::int64_t>::max();
}
} // namespace

std::optional<HighwayFuture> HighwayFuture::Of(const PackedField& start, const AntPosition& ant,
                                               const AntAI& rule, std::uint64_t done,
                                               const Highway& highway, std::uint64_t target)
{
    if (!highway.Found || highway.Period == 0 || highway.CertifiedAt > done || target < done ||
        !start.Unbounded())
        return std::nullopt;
    const std::uint64_t period = highway.Period;

    PackedField field = start;
    AntPosition at = ant;
    std::uint64_t now = done;
    // Cells stood on during the period being stepped, for the box of its copies.
    bool recording = false;
    std::int64_t minX = 0, minY = 0, maxX = 0, maxY = 0;
    auto record = [&](const StepRecord& step)
    {
        if (!recording)
            return;
        const std::int64_t x = step.Field->X(step.At);
        const std::int64_t y = step.Field->Y(step.At);
        minX = std::min(minX, x);
        minY = std::min(minY, y);
        maxX = std::max(maxX, x);
        maxY = std::max(maxY, y);
    };
    RecordingStepper<decltype(record)> stepper(record);
    auto stepTo = [&](std::uint64_t until)
    {
        RunOptions options;
        options.Cap = until;
        options.Plane = true;
        const RunResult result = DriveOne(stepper, options, field, at, rule, now);
        now = result.Iterations;
        return result.Outcome == RunOutcome::Cap && now == until;
    };
    auto snapshot = [&]
    {
        Snapshot taken;
        taken.Colours = field.CountColours();
        taken.Ant = at;
        taken.Box = field.VisitedBounds();
        return taken;
    };

    // Close by, the state is stepped to: a period must fit twice before the arithmetic pays.
    if (target - now < 3 * period)
    {
        if (!stepTo(target))
            return std::nullopt;
        const Snapshot end = snapshot();
        HighwayFuture future;
        future.Iterations = target;
        future.X = end.Ant.X;
        future.Y = end.Ant.Y;
        future.Direction = end.Ant.Direction;
        for (int c = 1; c < AntField::ColourCount; ++c)
        {
            future.Coloured[c] = end.Colours[c];
            future.Visited += end.Colours[c];
        }
        future.MinX = end.Box.MinX;
        future.MinY = end.Box.MinY;
        future.MaxX = end.Box.MaxX;
        future.MaxY = end.Box.MaxY;
        future.Blank = end.Colours[0];
        return future;
    }

    // To the iteration of target's phase in the period, then two periods on: the first
    // gives one period's cells and changes, the second checks that they repeat.
    if (!stepTo(now + (target - now) % period))
        return std::nullopt;
    const Snapshot first = snapshot();
    minX = maxX = first.Ant.X;
    minY = maxY = first.Ant.Y;
    recording = true;
    // The record of a step is the cell stepped onto: the period's last one belongs to the next.
    if (!stepTo(now + period - 1))
        return std::nullopt;
    recording = false;
    if (!stepTo(now + 1))
        return std::nullopt;
    const Snapshot second = snapshot();
    if (!stepTo(now + period))
        return std::nullopt;
    const Snapshot third = snapshot();
    const std::int64_t driftX = highway.DriftX;
    const std::int64_t driftY = highway.DriftY;
    auto moved = [&](const Snapshot& from, const Snapshot& to)
    {
        return to.Ant.X - from.Ant.X == driftX && to.Ant.Y - from.Ant.Y == driftY &&
               to.Ant.Direction == from.Ant.Direction;
    };
    if (!moved(first, second) || !moved(second, third))
        return std::nullopt;
    for (int c = 1; c < AntField::ColourCount; ++c)
        if (second.Colours[c] < first.Colours[c] ||
            third.Colours[c] - second.Colours[c] != second.Colours[c] - first.Colours[c])
            return std::nullopt;

    const std::uint64_t phase = now - 2 * period; // the iteration of `first`
    const Wide k = static_cast<Wide>((target - phase) / period);
    HighwayFuture future;
    future.Iterations = target;
    const Wide x = first.Ant.X + k * driftX;
    const Wide y = first.Ant.Y + k * driftY;
    // The last copy of the period's cells is the (k-1)th.
    const Wide lastMinX = minX + (k - 1) * driftX, lastMaxX = maxX + (k - 1) * driftX;
    const Wide lastMinY = minY + (k - 1) * driftY, lastMaxY = maxY + (k - 1) * driftY;
    for (const Wide value : {x, y, lastMinX, lastMaxX, lastMinY, lastMaxY})
        if (!FitsInt64(value))
            return std::nullopt;
    future.X = static_cast<std::int64_t>(x);
    future.Y = static_cast<std::int64_t>(y);
    future.Direction = first.Ant.Direction;
    Wide visited = 0;
    for (int c = 1; c < AntField::ColourCount; ++c)
    {
        const Wide count = first.Colours[c] + k * (second.Colours[c] - first.Colours[c]);
        if (count > std::numeric_limits<std::uint64_t>::max())
            return std::nullopt;
        future.Coloured[c] = static_cast<std::uint64_t>(count);
        visited += count;
    }
    if (visited > std::numeric_limits<std::uint64_t>::max())
        return std::nullopt;
    future.Visited = static_cast<std::uint64_t>(visited);
    const bool had = first.Box.MaxX >= first.Box.MinX;
    future.MinX = std::min<std::int64_t>(
        {minX, static_cast<std::int64_t>(lastMinX), had ? first.Box.MinX : minX});
    future.MaxX = std::max<std::int64_t>(
        {maxX, static_cast<std::int64_t>(lastMaxX), had ? first.Box.MaxX : maxX});
    future.MinY = std::min<std::int64_t>(
        {minY, static_cast<std::int64_t>(lastMinY), had ? first.Box.MinY : minY});
    future.MaxY = std::max<std::int64_t>(
        {maxY, static_cast<std::int64_t>(lastMaxY), had ? first.Box.MaxY : maxY});
    const auto side = [](std::int64_t low, std::int64_t high)
    { return static_cast<UnsignedWide>(Wide{high} - low + 1); };
    const UnsignedWide cells = side(future.MinX, future.MaxX) * side(future.MinY, future.MaxY);
    if (cells - future.Visited <= std::numeric_limits<std::uint64_t>::max())
        future.Blank = static_cast<std::uint64_t>(cells - future.Visited);
    return future;
}

std::optional<PackedField> HighwayFuture::Window(const PackedField& start, const AntPosition& ant,
                                                 const AntAI& rule, std::uint64_t done,
                                                 const Highway& highway, std::uint64_t target,
                                                 int left, int top, int width, int height)
{
    if (!Of(start, ant, rule, done, highway, target))
        return std::nullopt;
    const std::uint64_t period = highway.Period;
    PackedField field = start;
    AntPosition at = ant;
    std::uint64_t now = done;
    // The cells stood on in the period stepped, and the colours read there.
    std::vector<std::pair<std::int64_t, std::int64_t>> cells;
    std::vector<int> read;
    std::int64_t x = 0, y = 0;
    bool recording = false;
    auto record = [&](const StepRecord& step)
    {
        if (!recording)
            return;
        cells.emplace_back(x, y);
        read.push_back(static_cast<int>(step.Colour));
        x = step.Field->X(step.At);
        y = step.Field->Y(step.At);
    };
    RecordingStepper<decltype(record)> stepper(record);
    auto stepTo = [&](std::uint64_t until)
    {
        RunOptions options;
        options.Cap = until;
        options.Plane = true;
        now = DriveOne(stepper, options, field, at, rule, now).Iterations;
        return now == until;
    };
    PackedField window(PackedField::DefaultSize, true);
    window.SetBox(left, top, width, height);
    // Close by, or in target's phase with whole periods to go.
    const bool near = target - done < 3 * period;
    if (!stepTo(near ? target : done + (target - done) % period))
        return std::nullopt;
    const std::int64_t x0 = at.X, y0 = at.Y;
    const Wide k = near ? 0 : static_cast<Wide>((target - now) / period);
    if (!near)
    {
        x = x0;
        y = y0;
        recording = true;
        if (!stepTo(now + period))
            return std::nullopt;
    }

    // Each cell the period stands on, relative to where it began, with the last time in
    // the period it does; grouped by the line of cells f + j drift it lies on, keyed by j.
    const std::int64_t dx = highway.DriftX, dy = highway.DriftY;
    auto lineOf = [&](std::int64_t fx, std::int64_t fy)
    {
        const std::int64_t along = dx != 0 ? dx : dy;
        const std::int64_t coordinate = dx != 0 ? fx : fy;
        const std::int64_t j = (coordinate >= 0) == (along > 0) || coordinate % along == 0
                                   ? coordinate / along
                                   : coordinate / along - 1; // rounded down
        return std::make_pair(std::make_pair(fx - j * dx, fy - j * dy), j);
    };
    std::map<std::pair<std::int64_t, std::int64_t>, std::map<std::int64_t, std::size_t>> lines;
    for (std::size_t i = 0; i < cells.size(); ++i)
    {
        const auto [line, j] = lineOf(cells[i].first - x0, cells[i].second - y0);
        lines[line][j] = i; // the later visit wins
    }
    for (int cy = top; cy < top + height; ++cy)
        for (int cx = left; cx < left + width; ++cx)
        {
            int colour = field.Colour(cx, cy);
            const auto [line, q] = lineOf(cx - x0, cy - y0);
            const auto found = lines.find(line);
            if (found != lines.end() && k > 0)
            {
                // The last period m < k on this cell: the one whose cell f = c - m drift
                // has the least j at or above q - (k - 1).
                const Wide lowest = Wide{q} - (k - 1);
                const auto& onLine = found->second;
                const auto last = lowest <= std::numeric_limits<std::int64_t>::min()
                                      ? onLine.begin()
                                      : onLine.lower_bound(static_cast<std::int64_t>(lowest));
                if (last != onLine.end() && last->first <= q)
                    colour = NextTransition(read[last->second], rule.Steps.data(), rule.ActiveSteps)
                                 .NextColour;
            }
            window.SetColour(cx, cy, colour);
        }
    return window;
}
