#include "RunReplay.h"

#include "Iteration.h"

namespace
{
// Runner::Run packs and unpacks the whole field on every call, which costs as much as tens
// of thousands of single iterations: shorter stretches go step by step.
constexpr std::uint64_t StepByStep = 16384;
} // namespace

RunReplay::RunReplay(const Ant& rule, const std::atomic<bool>* stop) : Position(rule), Stop(stop)
{
    Position.ResetPosition();
}

void RunReplay::AdvanceTo(std::uint64_t iteration)
{
    if (Ended || iteration <= Done)
        return;
    if (iteration - Done < StepByStep)
    {
        while (Done < iteration && !Ended)
        {
            const IterationResult step = Iterate(*Board, Position);
            Done += step != IterationResult::Idle;
            Ended = step != IterationResult::Moved;
        }
        return;
    }
    RunOptions options;
    options.Cap = iteration - Done;
    options.Stop = Stop;
    const RunResult result = Engine.Run(*Board, Position, options);
    Done += result.Iterations;
    Ended = result.Outcome != RunOutcome::Cap;
}
