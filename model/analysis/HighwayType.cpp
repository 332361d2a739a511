#include "HighwayType.h"

#include "HighwayCourse.h"

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
