#pragma once

#include "PackedField.h"

#include <cstdint>

struct AntAI;

// One rule compiled for the fast runners: for each cell code and heading, the
// code written back, the new heading and the index step on a PackedField.
// Headings are numbered clockwise (U, R, D, L) so a turn is an addition mod 4.
class StepTable
{
public:
    static constexpr int Headings = 4;

    explicit StepTable(const AntAI& ai);

    static int Key(int code, int heading) { return code * Headings + heading; }
    static int HeadingOf(char direction);
    static char DirectionOf(int heading);
    static int Offset(int heading);
    static int HeadingOfOffset(int offset);

    // Indexed by Key(code, heading); NextCode depends on the code alone.
    std::int32_t Delta[PackedField::CodeCount * Headings];
    std::uint8_t NextHeading[PackedField::CodeCount * Headings];
    std::uint8_t NextCode[PackedField::CodeCount];
};
