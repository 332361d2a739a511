#include "RunReplay.h"

#include "Ant.h"

RunReplay::RunReplay(const AntAI& rule, const RunOptions& field, const ReplayStart& start)
    : Rule(rule),
      Packed(field.Size, field.Plane), At{Packed.StartX(), Packed.StartY(), Ant::StartDirection}
{
    if (start.Field)
    {
        Packed.CopyPart(*start.Field, start.Field->StoredPart());
        At = start.Ant;
    }
    Options.Stop = field.Stop;
    Options.MaxMemory = field.MaxMemory;
}

void RunReplay::AdvanceTo(std::uint64_t iteration)
{
    if (Ended || iteration <= Done)
        return;
    RunOptions options = Options;
    options.Cap = iteration;
    const RunResult result = Engine.Run(Packed, At, Rule, options, Done);
    Done = result.Iterations;
    Ended = result.Outcome != RunOutcome::Cap;
}
