#pragma once

#include "Driver.h"
#include "PackedField.h"
#include "StepTable.h"

#include <cstdint>

// The single ant's step on a field where every cell's colour turns the ant (always so
// from a blank field). A turn is then always left or right, and the two cells the ant
// may step onto next are its left and right neighbours: both are loaded before the turn
// is known, so the chain per step shrinks to a select and one load instead of load,
// table lookup and add. For the select to hang off the loaded byte alone, the field
// marks each cell with its turn while the ant runs; the heading is kept as two index
// offsets, forward and right, which a turn swaps with a sign.
class LookAheadStepper
{
public:
    static constexpr int Lanes = 1;
    static constexpr bool Proof = false;

    // Whether the field suits the step; marks it if so.
    static bool Prepare(PackedField& field, const StepTable& steps)
    {
        return field.Marked() || field.MarkTurns(steps.TurningCodes(), steps.RightCodes());
    }

    void Place(int, PackedField& field, std::ptrdiff_t at, int heading, const StepTable& steps)
    {
        Prepare(field, steps);
        const unsigned right = steps.RightCodes();
        for (unsigned b = 0; b < 256; ++b)
            NextByte[b] =
                PackedField::MarkedCode(steps.NextCode[b % PackedField::CodeCount], right);
        Cells = field.Cells();
        Stride = field.Stride();
        Position = at;
        Forward = PackedField::Offset(heading, Stride);
        Right = PackedField::Offset(heading + 1, Stride);
    }
    void Park(int) {}
    void Aim(int, const std::uint8_t*) {}
    std::ptrdiff_t At(int) const { return Position; }
    int Heading(int) const
    {
        return Forward == -Stride ? 0 : Forward == 1 ? 1 : Forward == Stride ? 2 : 3;
    }
    void Leave(int, PackedField& field) { field.UnmarkTurns(); }

    StepAdvance Advance(std::uint64_t limit)
    {
        std::uint8_t* const cells = Cells;
        std::ptrdiff_t at = Position;
        std::ptrdiff_t forward = Forward;
        std::ptrdiff_t right = Right;
        std::ptrdiff_t byte = cells[at];
        std::uint64_t done = 0;
        while (done < limit && byte != PackedField::Border)
        {
            const std::ptrdiff_t toRight = at + right;
            const std::ptrdiff_t toLeft = at - right;
            const std::ptrdiff_t rightByte = cells[toRight];
            const std::ptrdiff_t leftByte = cells[toLeft];
            cells[at] = NextByte[byte];
            // All ones for a right turn, else zero. Masks, not conditions: the turn is as
            // good as random, and a branch on it would be mispredicted half the time.
            const std::ptrdiff_t turnsRight = -(byte >> 7);
            const std::ptrdiff_t turnsLeft = ~turnsRight;
            const std::ptrdiff_t nextForward = (right ^ turnsLeft) - turnsLeft; // right or -right
            right = (forward ^ turnsRight) - turnsRight; // -forward or forward
            forward = nextForward;
            at = toLeft + ((toRight - toLeft) & turnsRight);
            byte = leftByte ^ ((leftByte ^ rightByte) & turnsRight);
            ++done;
        }
        Position = at;
        Forward = forward;
        Right = right;
        return StepAdvance{done, 0};
    }

private:
    static_assert(PackedField::TurnMark == 0x80, "the turn is read as the byte's top bit");

    std::uint8_t NextByte[256]{};
    std::uint8_t* Cells = nullptr;
    std::ptrdiff_t Stride = 0;
    std::ptrdiff_t Position = 0;
    std::ptrdiff_t Forward = 0;
    std::ptrdiff_t Right = 0;
};
