#pragma once

#include "CellAllocator.h"
#include "Highway.h"
#include "PackedField.h"

#include <climits>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// One iteration of a recorded walk: the cell the ant stood on, the colour it read there
// and its heading after the turn (0..3 clockwise from up).
struct WalkStep
{
    std::int32_t X = 0;
    std::int32_t Y = 0;
    std::uint8_t Colour = 0;
    std::uint8_t Heading = 0;
};

// A stretch of a run on the unbounded plane: its steps, and the cells before the first of
// them as a stored rectangle of a PackedField's bytes (or of plain colours), every cell
// outside it blank but those kept Beyond.
struct Walk
{
    // Taken as the field's storage is: a long walk's pages fault in by the huge page.
    using StepList = std::vector<WalkStep, CellAllocator<WalkStep>>;

    std::uint64_t First = 0; // the iteration of Steps[0]
    StepList Steps;
    const std::uint8_t* Cells = nullptr; // the rectangle's top left cell
    std::ptrdiff_t Stride = 0;
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    // The cells beyond the rectangle that a plane keeps, where its rectangle moved on.
    const FieldArchive* Beyond = nullptr;

    bool BlankAtFirst(std::int64_t x, std::int64_t y) const
    {
        if (x < Left || y < Top || x >= std::int64_t{Left} + Width ||
            y >= std::int64_t{Top} + Height)
            return !Beyond || x < INT32_MIN || x > INT32_MAX || y < INT32_MIN || y > INT32_MAX ||
                   Beyond->Code(static_cast<int>(x), static_cast<int>(y)) == 0;
        return PackedField::CodeOf(Cells[(y - Top) * Stride + (x - Left)]) == 0;
    }
};

struct HighwayProof
{
    enum Verdict
    {
        None,        // the walk does not end in a drifting repetition
        Proven,      // Highway holds it
        Unproven,    // it ends in one of Period, not yet proven: a longer walk may prove it
        ReachesBack, // proven or not, its repetition reaches back to the walk's first step
    };
    Verdict Result = None;
    ::Highway Highway; // Proven; Unproven and ReachesBack give the period
};

// Whether the walk ends on a highway of period up to maxPeriod, and its onset and the
// iteration it is proven from. Costs time about linear in the walk's length.
HighwayProof ProveHighway(const Walk& walk, std::uint64_t maxPeriod);
// The iteration from which the walk's steps repeat with `period` to its end, as the proof
// compares them (blank read as colour 1); none when its last 2 periods do not.
std::optional<std::uint64_t> RepetitionOnset(const Walk& walk, std::uint64_t period);
