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
// offsets, forward and right, which a turn swaps with a sign. With Trails, it writes the
// code of every step into a trail too.
template <bool WithTrails = false> class LookAheadStepper
{
public:
    static constexpr int Lanes = 1;
    static constexpr bool Proof = false;
    static constexpr bool Trails = WithTrails;

    // Whether the field suits the step; marks it if so.
    static bool Prepare(PackedField& field, const StepTable& steps)
    {
        return field.MarkedFor(steps.TurningCodes(), steps.RightCodes()) ||
               field.MarkTurns(steps.TurningCodes(), steps.RightCodes());
    }

    void Place(int, PackedField& field, std::ptrdiff_t at, int heading, const StepTable& steps)
    {
        Prepare(field, steps);
        const std::uint64_t right = steps.RightCodes();
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
    void Leave(int, PackedField&) {} // the marks stay: PackedField masks them
    void TrailTo(int, std::uint8_t* to) { TrailEnd = to; }

    StepAdvance Advance(std::uint64_t limit)
    {
        std::uint8_t* at = Cells + Position;
        std::ptrdiff_t forward = Forward;
        std::ptrdiff_t right = Right;
        std::uint64_t byte = *at;
        std::uint64_t left = limit;
        [[maybe_unused]] std::uint8_t* trail = TrailEnd;
        for (; left != 0 && byte != PackedField::Border; --left)
        {
            std::uint8_t* const toRight = at + right;
            std::uint8_t* to = at - right;
            const std::uint64_t rightByte = *toRight;
            std::uint64_t next = *to;
            *at = NextByte[byte];
            if constexpr (Trails)
                *trail++ = NextByte[byte];
            // A left turn unless the cell turns right. The turn is as good as random: it
            // takes selects, not a branch that would be mispredicted half the time.
            std::ptrdiff_t nextForward = -right;
            std::ptrdiff_t nextRight = forward;
            const std::ptrdiff_t back = -forward;
#if defined(__GNUC__) && defined(__x86_64__)
            // GCC makes a branch of several selects on one condition.
            asm("test %[mark], %k[byte]\n\t"
                "cmovnz %[toRight], %[to]\n\t"
                "cmovnz %[rightByte], %[next]\n\t"
                "cmovnz %[right], %[nextForward]\n\t"
                "cmovnz %[back], %[nextRight]"
                : [to] "+&r"(to), [next] "+&r"(next), [nextForward] "+&r"(nextForward),
                  [nextRight] "+&r"(nextRight)
                : [byte] "r"(byte), [mark] "i"(int{PackedField::TurnMark}), [toRight] "r"(toRight),
                  [rightByte] "r"(rightByte), [right] "r"(right), [back] "r"(back)
                : "cc");
#else
            if (byte & PackedField::TurnMark)
            {
                to = toRight;
                next = rightByte;
                nextForward = right;
                nextRight = back;
            }
#endif
            at = to;
            byte = next;
            forward = nextForward;
            right = nextRight;
        }
        Position = at - Cells;
        Forward = forward;
        Right = right;
        return StepAdvance{limit - left, 0};
    }

private:
    std::uint8_t NextByte[256]{};
    std::uint8_t* Cells = nullptr;
    std::ptrdiff_t Stride = 0;
    std::ptrdiff_t Position = 0;
    std::ptrdiff_t Forward = 0;
    std::ptrdiff_t Right = 0;
    std::uint8_t* TrailEnd = nullptr;
};
