#include "RunReplay.h"

RunReplay::RunReplay(const Ant& rule) : Position(rule)
{
    Position.ResetPosition();
}

void RunReplay::AdvanceTo(std::uint64_t iteration)
{
    if (Ended || iteration <= Done)
        return;
    RunOptions options;
    options.Cap = iteration - Done;
    const RunResult result = Engine.Run(*Board, Position, options);
    Done += result.Iterations;
    Ended = result.Outcome != RunOutcome::Cap;
}
