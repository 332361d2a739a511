#include "HighwayType.h"

#include "Driver.h"
#include "HighwayCourse.h"
#include "LookAheadStepper.h"
#include "PackedField.h"
#include "RunTypes.h"
#include "StepTable.h"

#include <algorithm>
#include <cstdlib>
#include <tuple>

HighwayType HighwayType::Of(std::uint64_t period, std::int64_t driftX, std::int64_t driftY,
                            const Changes& change)
{
    HighwayType type;
    type.Period = period;
    const std::int64_t x = std::llabs(driftX);
    const std::int64_t y = std::llabs(driftY);
    type.DriftA = std::max(x, y);
    type.DriftB = std::min(x, y);
    type.Change = change;
    type.Change[0] = 0;
    return type;
}

HighwayType HighwayType::Of(const HighwayCourse& course)
{
    return Of(course.PeriodLength(), course.DriftAlongX(), course.DriftAlongY(), course.Change());
}

std::optional<HighwayType> HighwayType::OfRun(const PackedField& field, const AntPosition& end,
                                              const AntAI& rule, const RunResult& result)
{
    const Highway& highway = result.Highway;
    const bool finished = result.Outcome == RunOutcome::Finished;
    std::uint64_t done = result.Iterations;
    if (!highway.Found)
        return std::nullopt;
    if (!finished && highway.CertifiedAt <= done)
    {
        const auto course = HighwayCourse::Of(field, end, rule, done, highway);
        return course ? std::optional<HighwayType>(Of(*course)) : std::nullopt;
    }
    PackedField plane(3);
    plane.CopyPart(field, field.NeededPart(end.X, end.Y));
    plane.SetUnbounded();
    AntPosition ant = end;
    if (finished)
    {
        // The edge refused the last move after its cell was written and the ant turned;
        // on the plane the move is made.
        std::ptrdiff_t at =
            plane.Index(end.X, end.Y) + plane.Offset(StepTable::HeadingOf(end.Direction));
        at = plane.Grow(at, RunOptions::DefaultMaxMemory);
        if (at < 0)
            return std::nullopt;
        ant.X = plane.X(at);
        ant.Y = plane.Y(at);
    }
    if (done < highway.CertifiedAt)
    {
        // The proof went on past the run's end: the course starts where it holds.
        LookAheadStepper<> stepper;
        RunOptions options;
        options.Cap = highway.CertifiedAt;
        options.Plane = true;
        if (DriveOne(stepper, options, plane, ant, rule, done).Iterations != options.Cap)
            return std::nullopt;
        done = options.Cap;
    }
    const auto course = HighwayCourse::Of(plane, ant, rule, done, highway);
    return course ? std::optional<HighwayType>(Of(*course)) : std::nullopt;
}

std::string HighwayType::Name(int letters) const
{
    std::string name =
        std::to_string(Period) + " (" + std::to_string(DriftA) + " " + std::to_string(DriftB) + ")";
    for (int c = 1; c <= letters && c < PackedField::ColourCount; ++c)
    {
        const std::int64_t gained = Change[static_cast<std::size_t>(c)];
        name += (gained >= 0 ? " +" : " ") + std::to_string(gained);
    }
    return name;
}

bool HighwayType::operator==(const HighwayType& other) const
{
    return std::tie(Period, DriftA, DriftB, Change) ==
           std::tie(other.Period, other.DriftA, other.DriftB, other.Change);
}

bool HighwayType::operator<(const HighwayType& other) const
{
    return std::tie(Period, DriftA, DriftB, Change) <
           std::tie(other.Period, other.DriftA, other.DriftB, other.Change);
}
