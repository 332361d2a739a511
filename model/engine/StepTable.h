#pragma once

#include "PackedField.h"

#include <cstddef>
#include <cstdint>

struct AntAI;

// One rule compiled for the fast runners: for each cell code and heading, the code
// written back, the new heading and the index step on a PackedField of a given stride.
// Headings are numbered clockwise (U, R, D, L) so a turn is an addition mod 4.
class StepTable
{
public:
    static constexpr int Headings = 4;

    explicit StepTable(const AntAI& ai, std::ptrdiff_t stride = PackedField::DefaultSize + 2);
    // The index steps for a field of another stride (a grown plane).
    void SetStride(std::ptrdiff_t stride);
    std::ptrdiff_t Stride() const { return Stride_; }

    static int Key(int code, int heading) { return code * Headings + heading; }
    static int HeadingOf(char direction);
    static char DirectionOf(int heading);

    // Codes that turn the ant, and those that turn it right: one bit per code.
    std::uint64_t TurningCodes() const;
    std::uint64_t RightCodes() const;

    // Indexed by Key(code, heading); NextCode depends on the code alone.
    std::ptrdiff_t Delta[PackedField::CodeCount * Headings];
    std::uint8_t NextHeading[PackedField::CodeCount * Headings];
    std::uint8_t NextCode[PackedField::CodeCount];

private:
    std::ptrdiff_t Stride_ = 0;
};
