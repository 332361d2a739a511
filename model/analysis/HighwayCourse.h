#pragma once

#include "AntAI.h"
#include "AntField.h"
#include "AntPosition.h"
#include "Highway.h"
#include "HighwayFuture.h"
#include "PackedField.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

class PackedField;

// A proven highway's course from a run's end on: the state at any later iteration in
// constant time, for many iterations at once (a trace). One period is stepped, on a copy,
// and every later one repeats it moved by the drift (see HighwayFuture for why).
class HighwayCourse
{
public:
    // From a run that ended at `done` with its highway proven (on the plane, or on a field
    // whose edge it has not reached: the course is the plane's); nothing when it is not,
    // or when the next period does not repeat the first as the proof says.
    static std::optional<HighwayCourse> Of(const PackedField& field, const AntPosition& ant,
                                           const AntAI& rule, std::uint64_t done,
                                           const Highway& highway);

    std::uint64_t Begin() const { return Done; }
    // On a size x size field whose cells the run has not left: the iteration the ant
    // first stands outside it, so the one whose move the field refuses; nothing if never.
    std::optional<std::uint64_t> Leaves(int size) const;
    // The state at iteration t >= Begin(); nothing beyond 64-bit coordinates or counts.
    std::optional<HighwayFuture> At(std::uint64_t t) const;
    // Per colour, the cells of it that one period adds (fewer where negative); a period
    // makes no blank cells, so colour 0's is 0.
    std::array<std::int64_t, PackedField::ColourCount> Change() const;
    std::uint64_t PeriodLength() const { return Period; }
    std::int64_t DriftAlongX() const { return DriftX; }
    std::int64_t DriftAlongY() const { return DriftY; }

private:
    struct Step // the state i steps into the period
    {
        std::int32_t X = 0, Y = 0; // from the ant at Done
        char Direction = 'U';
        std::int32_t Changed[PackedField::ColourCount] = {};   // coloured cells since Done
        std::int32_t MinX = 0, MinY = 0, MaxX = -1, MaxY = -1; // cells stood on so far
    };

    std::uint64_t Done = 0;
    std::uint64_t Period = 0;
    std::int64_t X0 = 0, Y0 = 0;
    std::int64_t DriftX = 0, DriftY = 0;
    PackedField::ColourCounts Coloured{};
    PackedField::Bounds Box; // at Done
    std::vector<Step> Steps; // 0 .. Period
};
