#pragma once

#include "Driver.h"
#include "PackedField.h"
#include "StepTable.h"

#include <cstdint>
#include <cstring>

// Lanes independent runs stepped in turn, for the Driver. One run's step is a chain of
// dependent loads (cell, table row, next cell) that leaves most of the core idle;
// interleaving independent runs fills it. With Proof, a lane also stops after a step
// onto its target's cell and heading amid the target's neighbours (the driver compares
// the fields). With Trails, each lane writes the code of every step into its trail too.
// One lane without the proof is the plain table step.
template <int K, bool WithProof, bool WithTrails = false> class LaneStepper
{
public:
    static constexpr int Lanes = K;
    static constexpr bool Proof = WithProof;
    static constexpr bool Trails = WithTrails;

    LaneStepper() = default;
    // The tables point into themselves.
    LaneStepper(const LaneStepper&) = delete;
    LaneStepper& operator=(const LaneStepper&) = delete;

    void Place(int j, PackedField& field, std::ptrdiff_t at, int heading, const StepTable& steps)
    {
        Compile(steps, Tables[j]);
        field.UnmarkTurns(); // the tables take whole bytes
        Cells[j] = field.Cells();
        Stride[j] = field.Stride();
        Regs[j] = Registers{Cells[j] + at, RowAt(Tables[j], heading)};
        Targets[j] = Registers{nullptr, 0};
    }

    // A lane with no job stands still: every entry writes the cell back unchanged.
    void Park(int j)
    {
        Table& table = Tables[j];
        for (Row& row : table.Rows)
            for (int code = 0; code < PackedField::CodeCount; ++code)
            {
                row.Delta[code] = 0;
                row.Next[code] = reinterpret_cast<std::uintptr_t>(&row) | code;
            }
        Parked[j] = 0;
        Cells[j] = &Parked[j];
        Regs[j] = Registers{&Parked[j], RowAt(table, 0)};
        Targets[j] = Registers{nullptr, 0};
    }

    void Aim(int j, const std::uint8_t* checkpoint)
    {
        Targets[j] = Regs[j];
        Shift[j] = checkpoint - Cells[j];
    }

    std::ptrdiff_t At(int j) const { return Regs[j].At - Cells[j]; }
    int Heading(int j) const
    {
        return static_cast<int>((Regs[j].Row - RowAt(Tables[j], 0)) / sizeof(Row));
    }
    void Leave(int, PackedField&) {}
    // Where lane j writes its next codes: one a step, room for the next Advance's limit.
    void TrailTo(int j, std::uint8_t* to) { TrailEnd[j] = to; }

    // Kept out of line: inlined into its caller it shares the registers with the caller's
    // state and spills the chains' values to the stack.
    [[gnu::noinline]] StepAdvance Advance(std::uint64_t limit)
    {
        // Cell pointer and table row of every lane stay in registers: they carry the chains.
        std::uint8_t* at[K];
        std::uintptr_t row[K];
        // The trails' ends carry no chain: kept on the stack, they leave every chain its
        // registers (held in this object, they cost a register for `this` and spilled two
        // chains, 9 % of a plane survey's time).
        std::uint8_t* trail[K];
#pragma GCC unroll 8
        for (int j = 0; j < K; ++j)
        {
            at[j] = Regs[j].At;
            row[j] = Regs[j].Row;
            trail[j] = TrailEnd[j];
        }
        // Counted down: one register for the count instead of two.
        std::uint64_t left = limit;
        int ahead = 0;
        for (; left != 0; --left)
        {
            [[maybe_unused]] const std::uint64_t round = limit - left;
#pragma GCC unroll 8
            for (int j = 0; j < K; ++j)
            {
                const unsigned code = *at[j];
                if (code == PackedField::Border)
                {
                    ahead = j;
                    goto out;
                }
                // The row's address carries the code to write in its low byte: an integer
                // on the chain saves a load a step.
                const Row& from =
                    *reinterpret_cast<const Row*>(row[j]); // NOLINT(performance-no-int-to-ptr)
                const std::uintptr_t next = from.Next[code];
                *at[j] = static_cast<std::uint8_t>(next);
                at[j] += from.Delta[code];
                // After the move: the code's register is free then to hold the trail's end.
                if constexpr (Trails)
                    trail[j][round] = static_cast<std::uint8_t>(next);
                row[j] = next & ~CodeBits;
                // The ant's cell and heading are a cheap filter: a field can only equal the
                // checkpoint's when the ant stands where it stood then, amid the same cells.
                if constexpr (Proof)
                {
                    if (at[j] == Targets[j].At && row[j] == Targets[j].Row &&
                        SameNeighbours(at[j], at[j] + Shift[j], Stride[j]))
                    {
                        ahead = j + 1;
                        goto out;
                    }
                }
            }
        }
    out:
#pragma GCC unroll 8
        for (int j = 0; j < K; ++j)
        {
            Regs[j].At = at[j];
            Regs[j].Row = row[j];
        }
        return StepAdvance{limit - left, ahead};
    }

private:
    // One heading's row: for each cell code, the index step to the next cell, and the
    // next heading's row with the code to write in its low byte. The row's alignment
    // leaves that byte free, so a step takes three loads: cell, step, next. Both arrays
    // are indexed by the plain code, scaled in the address, so no instruction on the
    // chain computes an index.
    struct alignas(256) Row
    {
        std::int64_t Delta[PackedField::CodeCount];
        std::uintptr_t Next[PackedField::CodeCount];
    };
    static_assert(alignof(Row) > PackedField::CodeCount - 1,
                  "the code to write fits below a row's address");
    static constexpr std::uintptr_t CodeBits = 0xFF;
    struct Table
    {
        Row Rows[StepTable::Headings];
    };

    struct Registers
    {
        std::uint8_t* At;
        std::uintptr_t Row;
    };

    static std::uintptr_t RowAt(const Table& table, int heading)
    {
        return reinterpret_cast<std::uintptr_t>(&table.Rows[heading]);
    }

    static void Compile(const StepTable& steps, Table& table)
    {
        for (int h = 0; h < StepTable::Headings; ++h)
        {
            for (int code = 0; code < PackedField::CodeCount; ++code)
            {
                const int key = StepTable::Key(code, h);
                Row& row = table.Rows[h];
                row.Delta[code] = steps.Delta[key];
                row.Next[code] = RowAt(table, steps.NextHeading[key]) | steps.NextCode[code];
            }
        }
    }

    // The cells around an inner cell, the ant's last writes among them, against the
    // checkpoint's.
    static bool SameNeighbours(const std::uint8_t* cell, const std::uint8_t* checkpoint,
                               std::ptrdiff_t stride)
    {
        for (const std::ptrdiff_t row : {-stride - 1, std::ptrdiff_t{-1}, stride - 1})
            if (std::memcmp(cell + row, checkpoint + row, 3) != 0)
                return false;
        return true;
    }

    Table Tables[K]{};
    Registers Regs[K]{};
    Registers Targets[K]{};
    std::uint8_t* Cells[K]{};
    std::ptrdiff_t Stride[K]{};
    std::ptrdiff_t Shift[K]{};
    std::uint8_t Parked[K]{};
    std::uint8_t* TrailEnd[K]{};
};
