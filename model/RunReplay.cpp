#include "RunReplay.h"

RunReplay::RunReplay(const Ant& rule, const std::atomic<bool>* stop) : Position(rule), Stop(stop)
{
    Position.ResetPosition();
    At = Position.GetPosition();
}

void RunReplay::AdvanceTo(std::uint64_t iteration)
{
    if (Ended || iteration <= Done)
        return;
    RunOptions options;
    options.Cap = iteration;
    options.Stop = Stop;
    const RunResult result = Engine.Run(Packed, At, Position.GetAI(), options, Done);
    Done = result.Iterations;
    Ended = result.Outcome != RunOutcome::Cap;
    Position.SetPosition(At);
    Stored = false;
}

AntField& RunReplay::Field()
{
    if (!Stored)
        Packed.Store(*Board);
    Stored = true;
    return *Board;
}
