#include "StepTable.h"

#include "AntAI.h"
#include "Iteration.h"
#include "PackedField.h"

namespace
{
constexpr char Directions[StepTable::Headings] = {'U', 'R', 'D', 'L'};
}

StepTable::StepTable(const AntAI& ai, std::ptrdiff_t stride) : Delta{}, NextHeading{}, NextCode{}
{
    for (int code = 0; code < PackedField::CodeCount; ++code)
    {
        // Foreign stands for any value outside the cycle; -1 behaves like all of them.
        const int colour = code == PackedField::Foreign ? -1 : code;
        const ColourTransition t = NextTransition(colour, ai.Steps.data(), ai.ActiveSteps);
        NextCode[code] = static_cast<std::uint8_t>(t.NextColour);
        const int turn = t.TurnLetter == 'R' ? 1 : t.TurnLetter == 'L' ? 3 : 0;
        for (int heading = 0; heading < Headings; ++heading)
            NextHeading[Key(code, heading)] =
                static_cast<std::uint8_t>((heading + turn) % Headings);
    }
    SetStride(stride);
}

void StepTable::SetStride(std::ptrdiff_t stride)
{
    Stride_ = stride;
    for (int key = 0; key < PackedField::CodeCount * Headings; ++key)
        Delta[key] = PackedField::Offset(NextHeading[key], stride);
}

std::uint64_t StepTable::TurningCodes() const
{
    std::uint64_t codes = 0;
    for (int code = 0; code < PackedField::CodeCount; ++code)
        codes |= std::uint64_t{NextHeading[Key(code, 0)] != 0} << code;
    return codes;
}

std::uint64_t StepTable::RightCodes() const
{
    std::uint64_t codes = 0;
    for (int code = 0; code < PackedField::CodeCount; ++code)
        codes |= std::uint64_t{NextHeading[Key(code, 0)] == 1} << code;
    return codes;
}

int StepTable::HeadingOf(char direction)
{
    for (int heading = 0; heading < Headings; ++heading)
        if (Directions[heading] == direction)
            return heading;
    return -1;
}

char StepTable::DirectionOf(int heading)
{
    return Directions[heading & 3];
}
