#include "HighwayFuture.h"

#include "Driver.h"
#include "HighwayCourse.h"
#include "Iteration.h"
#include "PackedField.h"
#include "RecordingStepper.h"

#include <algorithm>
#include <limits>
#include <map>
#include <utility>
#include <vector>

namespace
{
// Period counts times drifts, before they are checked to fit.
__extension__ typedef __int128 Wide;
} // namespace

std::optional<HighwayFuture> HighwayFuture::Of(const PackedField& start, const AntPosition& ant,
                                               const AntAI& rule, std::uint64_t done,
                                               const Highway& highway, std::uint64_t target)
{
    if (target < done || !start.Unbounded())
        return std::nullopt;
    const std::optional<HighwayCourse> course = HighwayCourse::Of(start, ant, rule, done, highway);
    if (!course)
        return std::nullopt;
    return course->At(target);
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
