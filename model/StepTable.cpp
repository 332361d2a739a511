#include "StepTable.h"

#include "AntAI.h"
#include "Iteration.h"
#include "PackedField.h"

namespace
{
constexpr char Directions[StepTable::Headings] = {'U', 'R', 'D', 'L'};
}

StepTable::StepTable(const AntAI& ai) : Delta{}, NextHeading{}, NextCode{}
{
    for (int code = 0; code < PackedField::CodeCount; ++code)
    {
        // Foreign stands for any value outside the cycle; -1 behaves like all of them.
        const int colour = code == PackedField::Foreign ? -1 : code;
        const ColourTransition t = NextTransition(colour, ai.Steps.data(), ai.ActiveSteps);
        NextCode[code] = static_cast<std::uint8_t>(t.NextColour);
        const int turn = t.TurnLetter == 'R' ? 1 : t.TurnLetter == 'L' ? 3 : 0;
        for (int heading = 0; heading < Headings; ++heading)
        {
            const int next = (heading + turn) % Headings;
            NextHeading[Key(code, heading)] = static_cast<std::uint8_t>(next);
            Delta[Key(code, heading)] = Offset(next);
        }
    }
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

int StepTable::Offset(int heading)
{
    static constexpr int Offsets[Headings] = {-PackedField::Stride, 1, PackedField::Stride, -1};
    return Offsets[heading & 3];
}

int StepTable::HeadingOfOffset(int offset)
{
    return offset == -PackedField::Stride  ? 0
           : offset == 1                   ? 1
           : offset == PackedField::Stride ? 2
                                           : 3;
}
