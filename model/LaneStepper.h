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
// the fields). One lane without the proof is the plain table step.
template <int K, bool WithProof> class LaneStepper
{
public:
    static constexpr int Lanes = K;
    static constexpr bool Proof = WithProof;

    void Place(int j, PackedField& field, std::ptrdiff_t at, int heading, const StepTable& steps)
    {
        Compile(steps, Tables[j]);
        Cells[j] = field.Cells();
        Stride[j] = field.Stride();
        Regs[j] = Registers{Cells[j] + at, &Tables[j].Rows[heading][0]};
        Targets[j] = Registers{nullptr, nullptr};
    }

    void Park(int j)
    {
        Parked[j] = 0;
        Cells[j] = &Parked[j];
        Regs[j] = Registers{&Parked[j], &Idle().Rows[0][0]};
        Targets[j] = Registers{nullptr, nullptr};
    }

    void Aim(int j, const std::uint8_t* checkpoint)
    {
        Targets[j] = Regs[j];
        Shift[j] = checkpoint - Cells[j];
    }

    std::ptrdiff_t At(int j) const { return Regs[j].At - Cells[j]; }
    int Heading(int j) const
    {
        return static_cast<int>((reinterpret_cast<const char*>(Regs[j].Row) -
                                 reinterpret_cast<const char*>(&Tables[j].Rows[0][0])) /
                                RowBytes);
    }
    void Leave(int, PackedField&) {}

    // Kept out of line: inlined into its caller it shares the registers with the caller's
    // state and spills the chains' values to the stack.
    [[gnu::noinline]] StepAdvance Advance(std::uint64_t limit)
    {
        // Cell pointer and table row of every lane stay in registers: they carry the chains.
        std::uint8_t* at[K];
        const Step* row[K];
#pragma GCC unroll 8
        for (int j = 0; j < K; ++j)
        {
            at[j] = Regs[j].At;
            row[j] = Regs[j].Row;
        }
        StepAdvance advance;
        for (; advance.Rounds < limit; ++advance.Rounds)
        {
#pragma GCC unroll 8
            for (int j = 0; j < K; ++j)
            {
                const unsigned code = *at[j];
                if (code == PackedField::Border)
                {
                    advance.Ahead = j;
                    goto out;
                }
                const Step step = row[j][code];
                *at[j] = step.NextCode;
                at[j] += step.Delta;
                row[j] = reinterpret_cast<const Step*>(reinterpret_cast<const char*>(row[j]) +
                                                       step.RowStep);
                // The ant's cell and heading are a cheap filter: a field can only equal the
                // checkpoint's when the ant stands where it stood then, amid the same cells.
                if constexpr (Proof)
                {
                    if (at[j] == Targets[j].At && row[j] == Targets[j].Row &&
                        SameNeighbours(at[j], at[j] + Shift[j], Stride[j]))
                    {
                        advance.Ahead = j + 1;
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
        return advance;
    }

private:
    // One step with the heading folded into the table row: the entry for the cell's code
    // says where to go, which row (heading) comes next, and what to write.
    struct Step
    {
        std::int32_t Delta;    // index step to the next cell
        std::int16_t RowStep;  // bytes from this row to the next heading's row
        std::uint8_t NextCode; // written into the cell
    };
    static_assert(sizeof(Step) == 8, "one scaled load per step");
    struct Table
    {
        Step Rows[StepTable::Headings][PackedField::CodeCount];
    };
    static constexpr std::int16_t RowBytes = sizeof(Step) * PackedField::CodeCount;

    struct Registers
    {
        std::uint8_t* At;
        const Step* Row;
    };

    static void Compile(const StepTable& steps, Table& table)
    {
        for (int h = 0; h < StepTable::Headings; ++h)
        {
            for (int code = 0; code < PackedField::CodeCount; ++code)
            {
                const int key = StepTable::Key(code, h);
                Step& step = table.Rows[h][code];
                step.Delta = static_cast<std::int32_t>(steps.Delta[key]);
                step.RowStep = static_cast<std::int16_t>((steps.NextHeading[key] - h) * RowBytes);
                step.NextCode = steps.NextCode[code];
            }
        }
    }

    // A lane with no job stands still: every entry writes the cell back unchanged.
    static const Table& Idle()
    {
        static const Table table = []
        {
            Table idle{};
            for (auto& row : idle.Rows)
                for (int code = 0; code < PackedField::CodeCount; ++code)
                    row[code] = Step{0, 0, static_cast<std::uint8_t>(code)};
            return idle;
        }();
        return table;
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

    Registers Regs[K]{};
    Registers Targets[K]{};
    std::uint8_t* Cells[K]{};
    std::ptrdiff_t Stride[K]{};
    std::ptrdiff_t Shift[K]{};
    std::uint8_t Parked[K]{};
    Table Tables[K]{};
};
