#include "BatchRunner.h"

#include "Ant.h"
#include "AntField.h"
#include "Iteration.h"
#include "PackedField.h"
#include "StepTable.h"

namespace
{
// The hot loop. The chain per step is: load the cell, look up the step, add it to
// the index; everything else (the store, the heading) runs beside it.
std::uint64_t RunPacked(std::uint8_t* cells, const StepTable& table, int& index, int& heading,
                        std::uint64_t limit)
{
    int at = index;
    unsigned h = static_cast<unsigned>(heading);
    std::uint64_t done = 0;
    while (done < limit)
    {
        const unsigned code = cells[at];
        if (code == PackedField::Border)
            break;
        const unsigned key = code * StepTable::Headings + h;
        cells[at] = table.NextCode[code];
        h = table.NextHeading[key];
        at += table.Delta[key];
        ++done;
    }
    index = at;
    heading = static_cast<int>(h);
    return done;
}

BatchResult RunSlowly(AntField& field, Ant& ant, std::uint64_t maxIterations)
{
    BatchResult result;
    while (result.Iterations < maxIterations)
    {
        ++result.Iterations;
        if (Iterate(field, ant) == IterationResult::Blocked)
        {
            result.Finished = true;
            break;
        }
    }
    return result;
}
} // namespace

BatchResult BatchRunner::Run(AntField& field, Ant& ant, std::uint64_t maxIterations)
{
    const AntAI ai = ant.GetAI();
    const AntPosition start = ant.GetPosition();
    int heading = StepTable::HeadingOf(start.Direction);
    if (ai.ActiveSteps <= 0)
        return BatchResult{maxIterations, false}; // every call would be a no-op
    if (heading < 0)
        return RunSlowly(field, ant, maxIterations); // an unknown heading blocks at once

    PackedField packed;
    packed.Load(field);
    const StepTable table(ai);
    int index = PackedField::Index(start.X, start.Y);

    BatchResult result;
    result.Iterations = RunPacked(packed.Cells(), table, index, heading, maxIterations);
    if (packed.Cells()[index] == PackedField::Border)
    {
        // The last counted step went onto the border: that is the refused move.
        index -= StepTable::Offset(heading);
        result.Finished = true;
    }
    packed.Store(field);
    ant.SetPosition(
        AntPosition{PackedField::X(index), PackedField::Y(index), StepTable::DirectionOf(heading)});
    return result;
}
