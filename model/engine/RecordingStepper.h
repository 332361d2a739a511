#pragma once

#include "Driver.h"
#include "PackedField.h"
#include "StepTable.h"

#include <cstdint>

// What one iteration did, for a recorder: the colour the ant read, its heading after
// the turn and the cell it stepped onto.
struct StepRecord
{
    unsigned Colour;
    int Heading;
    std::ptrdiff_t At;
    const PackedField* Field; // for the cell's coordinates: Field->X(At), Field->Y(At)
};

// The plain table step, handing every iteration to a Recorder (a callable taking a
// StepRecord): for replays and exports. On a field without turn marks.
template <class Recorder> class RecordingStepper
{
public:
    static constexpr int Lanes = 1;
    static constexpr bool Proof = false;
    static constexpr bool Trails = false;

    explicit RecordingStepper(Recorder& record) : Record(record) {}

    void Place(int, PackedField& field, std::ptrdiff_t at, int heading, const StepTable& steps)
    {
        field.UnmarkTurns();
        Field = &field;
        Table = &steps;
        Position = at;
        Direction = static_cast<unsigned>(heading);
    }
    void Park(int) {}
    void Aim(int, const std::uint8_t*) {}
    std::ptrdiff_t At(int) const { return Position; }
    int Heading(int) const { return static_cast<int>(Direction); }
    void Leave(int, PackedField&) {}
    void TrailTo(int, std::uint8_t*) {}

    StepAdvance Advance(std::uint64_t limit)
    {
        std::uint8_t* const cells = Field->Cells();
        std::uint64_t done = 0;
        while (done < limit && cells[Position] != PackedField::Border)
        {
            const unsigned code = cells[Position];
            const int key = StepTable::Key(static_cast<int>(code), static_cast<int>(Direction));
            cells[Position] = Table->NextCode[code];
            Direction = Table->NextHeading[key];
            Position += Table->Delta[key];
            ++done;
            Record(StepRecord{code, static_cast<int>(Direction), Position, Field});
        }
        return StepAdvance{done, 0};
    }

private:
    Recorder& Record;
    PackedField* Field = nullptr;
    const StepTable* Table = nullptr;
    std::ptrdiff_t Position = 0;
    unsigned Direction = 0;
};
