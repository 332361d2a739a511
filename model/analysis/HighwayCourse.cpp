#include "HighwayCourse.h"

#include "Driver.h"
#include "PackedField.h"
#include "RecordingStepper.h"

#include <algorithm>
#include <limits>

namespace
{
__extension__ typedef __int128 Wide;
__extension__ typedef unsigned __int128 UnsignedWide;

bool FitsInt64(Wide value)
{
    return value >= std::numeric_limits<std::int64_t>::min() &&
           value <= std::numeric_limits<std::int64_t>::max();
}
} // namespace

std::optional<HighwayCourse> HighwayCourse::Of(const PackedField& start, const AntPosition& ant,
                                               const AntAI& rule, std::uint64_t done,
                                               const Highway& highway)
{
    if (!highway.Found || highway.Period == 0 || highway.CertifiedAt > done)
        return std::nullopt;
    HighwayCourse course;
    course.Done = done;
    course.Period = highway.Period;
    course.X0 = ant.X;
    course.Y0 = ant.Y;
    course.DriftX = highway.DriftX;
    course.DriftY = highway.DriftY;
    course.Coloured = start.CountColours(); // [0] is unused: the box's blank cells vary
    course.Coloured[0] = 0;
    course.Box = start.VisitedBounds();

    // Two periods: the first is kept, the second must repeat it moved by the drift.
    std::vector<Step>& steps = course.Steps;
    steps.reserve(static_cast<std::size_t>(2 * highway.Period + 1));
    Step now;
    now.Direction = ant.Direction;
    steps.push_back(now);
    auto record = [&](const StepRecord& step)
    {
        Step next = now;
        const int written = step.Field->Colour(static_cast<int>(course.X0 + now.X),
                                               static_cast<int>(course.Y0 + now.Y));
        if (step.Colour != 0)
            --next.Changed[step.Colour];
        ++next.Changed[written];
        next.MinX = std::min(now.MinX, now.X);
        next.MinY = std::min(now.MinY, now.Y);
        next.MaxX = std::max(now.MaxX, now.X);
        next.MaxY = std::max(now.MaxY, now.Y);
        if (now.MaxX < now.MinX) // the first cell stood on
        {
            next.MinX = next.MaxX = now.X;
            next.MinY = next.MaxY = now.Y;
        }
        next.X = static_cast<std::int32_t>(step.Field->X(step.At) - course.X0);
        next.Y = static_cast<std::int32_t>(step.Field->Y(step.At) - course.Y0);
        next.Direction = StepTable::DirectionOf(step.Heading);
        steps.push_back(next);
        now = next;
    };
    // The period is stepped on the plane: a bounded field's edge would end it. Two periods
    // read no cell further off than their length, so only those cells are copied, not a
    // whole plane that a long run grew.
    PackedField field(3);
    field.CopyPart(start, start.PartAround(ant.X, ant.Y, 2 * highway.Period + 1));
    field.SetUnbounded();
    AntPosition at = ant;
    RecordingStepper<decltype(record)> stepper(record);
    RunOptions options;
    options.Cap = done + 2 * highway.Period;
    options.Plane = true;
    if (DriveOne(stepper, options, field, at, rule, done).Iterations != options.Cap)
        return std::nullopt;
    const std::size_t p = static_cast<std::size_t>(highway.Period);
    for (std::size_t i = 0; i + p < steps.size(); ++i)
    {
        const Step& a = steps[i];
        const Step& b = steps[i + p];
        bool alike =
            b.X - a.X == course.DriftX && b.Y - a.Y == course.DriftY && a.Direction == b.Direction;
        for (int c = 1; c < PackedField::ColourCount && alike; ++c)
            alike = b.Changed[c] - a.Changed[c] == steps[p].Changed[c];
        if (!alike)
            return std::nullopt;
    }
    steps.resize(p + 1);
    return course;
}

std::optional<HighwayFuture> HighwayCourse::At(std::uint64_t t) const
{
    if (t < Done)
        return std::nullopt;
    const Wide k = static_cast<Wide>((t - Done) / Period);
    const Step& step = Steps[static_cast<std::size_t>((t - Done) % Period)];
    const Step& whole = Steps.back();
    HighwayFuture future;
    future.Iterations = t;
    const Wide x = X0 + step.X + k * DriftX;
    const Wide y = Y0 + step.Y + k * DriftY;
    // The box: the run's, the first and the last whole period's cells (the ones between
    // lie between them), and the cells stood on so far in the period under way.
    bool empty = Box.MaxX < Box.MinX;
    Wide minX = Box.MinX, maxX = Box.MaxX, minY = Box.MinY, maxY = Box.MaxY;
    auto add = [&](const Step& cells, Wide shift)
    {
        if (cells.MaxX < cells.MinX)
            return;
        const Wide lowX = X0 + cells.MinX + shift * DriftX;
        const Wide highX = X0 + cells.MaxX + shift * DriftX;
        const Wide lowY = Y0 + cells.MinY + shift * DriftY;
        const Wide highY = Y0 + cells.MaxY + shift * DriftY;
        minX = empty ? lowX : std::min(minX, lowX);
        maxX = empty ? highX : std::max(maxX, highX);
        minY = empty ? lowY : std::min(minY, lowY);
        maxY = empty ? highY : std::max(maxY, highY);
        empty = false;
    };
    if (k >= 1)
    {
        add(whole, 0);
        add(whole, k - 1);
    }
    add(step, k);
    if (!FitsInt64(x) || !FitsInt64(y))
        return std::nullopt;
    for (const Wide value : {minX, minY, maxX, maxY})
        if (!empty && !FitsInt64(value))
            return std::nullopt;
    future.X = static_cast<std::int64_t>(x);
    future.Y = static_cast<std::int64_t>(y);
    future.Direction = step.Direction;
    Wide visited = 0;
    for (int c = 1; c < PackedField::ColourCount; ++c)
    {
        const Wide count = Wide{Coloured[c]} + step.Changed[c] + k * whole.Changed[c];
        if (count < 0 || count > std::numeric_limits<std::uint64_t>::max())
            return std::nullopt;
        future.Coloured[c] = static_cast<std::uint64_t>(count);
        visited += count;
    }
    if (visited > std::numeric_limits<std::uint64_t>::max())
        return std::nullopt;
    future.Visited = static_cast<std::uint64_t>(visited);
    const bool any = !empty;
    future.MinX = any ? static_cast<std::int64_t>(minX) : 0;
    future.MinY = any ? static_cast<std::int64_t>(minY) : 0;
    future.MaxX = any ? static_cast<std::int64_t>(maxX) : -1;
    future.MaxY = any ? static_cast<std::int64_t>(maxY) : -1;
    const UnsignedWide cells = any ? static_cast<UnsignedWide>(maxX - minX + 1) *
                                         static_cast<UnsignedWide>(maxY - minY + 1)
                                   : 0;
    if (cells - future.Visited <= std::numeric_limits<std::uint64_t>::max())
        future.Blank = static_cast<std::uint64_t>(cells - future.Visited);
    return future;
}

std::optional<std::uint64_t> HighwayCourse::Leaves(int size) const
{
    // Per step of the period, the first period whose copy of it stands outside; the move
    // onto the earliest such cell is refused.
    Wide first = -1;
    auto periodsUntilOut = [size](Wide at, Wide drift)
    {
        if (at < 0 || at >= size)
            return Wide{0};
        if (drift > 0)
            return (size - at + drift - 1) / drift;
        if (drift < 0)
            return (at + 1 - drift - 1) / -drift;
        return Wide{-1}; // never along this axis
    };
    for (std::size_t i = 0; i + 1 < Steps.size(); ++i)
    {
        const Wide kx = periodsUntilOut(X0 + Steps[i].X, DriftX);
        const Wide ky = periodsUntilOut(Y0 + Steps[i].Y, DriftY);
        const Wide k = kx < 0 ? ky : ky < 0 ? kx : std::min(kx, ky);
        if (k < 0)
            continue;
        const Wide t = Wide{Done} + k * Period + i;
        if (first < 0 || t < first)
            first = t;
    }
    if (first <= static_cast<Wide>(Done) || first > std::numeric_limits<std::int64_t>::max())
        return std::nullopt;
    return static_cast<std::uint64_t>(first);
}

std::array<std::int64_t, PackedField::ColourCount> HighwayCourse::Change() const
{
    std::array<std::int64_t, PackedField::ColourCount> change{};
    for (int c = 1; c < PackedField::ColourCount; ++c)
        change[static_cast<std::size_t>(c)] = Steps.back().Changed[c];
    return change;
}
