#pragma once

#include "PackedField.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

class HighwayCourse;
class PackedField;
struct AntAI;
struct AntPosition;
struct RunResult;

// What a highway is, wherever and however it runs: its period, its drift up to the eight
// symmetries of the square, and what one period does to the colour counts. A rotated or
// mirrored copy of a highway reads and writes the same colours, so it is the same type.
struct HighwayType
{
    using Changes = std::array<std::int64_t, PackedField::ColourCount>;

    std::uint64_t Period = 0;
    // The drift's larger and smaller distance along the axes: A >= B >= 0.
    std::int64_t DriftA = 0;
    std::int64_t DriftB = 0;
    Changes Change{}; // cells gained per colour per period; Change[0] is 0

    static HighwayType Of(std::uint64_t period, std::int64_t driftX, std::int64_t driftY,
                          const Changes& change);
    static HighwayType Of(const HighwayCourse& course);
    // The type of the highway a run ended on, from its end state on any field; nothing
    // when none is proven. Beyond a bounded field's edge the course is the plane's.
    static std::optional<HighwayType> OfRun(const PackedField& field, const AntPosition& end,
                                            const AntAI& rule, const RunResult& result);

    // "104 (2 2) +10 +12": period, drift, then the change of colours 1..letters (no comma,
    // so that a CSV cell needs no quotes).
    std::string Name(int letters) const;

    bool operator==(const HighwayType& other) const;
    bool operator!=(const HighwayType& other) const { return !(*this == other); }
    // Shorter periods first, then smaller drifts, then the changes.
    bool operator<(const HighwayType& other) const;
};
