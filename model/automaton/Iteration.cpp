#include "Iteration.h"

#include "Ant.h"
#include "AntField.h"

ColourTransition NextTransition(int colour, const char* steps, int activeSteps)
{
    const int n = activeSteps;
    if (colour == 0 || colour == 1)
        return {n == 1 ? 1 : 2, steps[0]};
    // Beyond the window's twelve colours the cycle simply goes on; within them it keeps
    // the window's behaviour for colours a shorter rule does not have.
    if (n > 12 && colour >= 2 && colour <= n)
        return {colour == n ? 1 : colour + 1, steps[colour - 1]};
    if (colour >= 2 && colour <= 11)
    {
        if (n > colour)
            return {colour + 1, steps[colour - 1]};
        if (n == colour)
            return {1, steps[colour - 1]};
        return {colour + 1, '-'};
    }
    if (colour == 12)
        return {1, n == 12 ? steps[11] : '-'};
    return {0, '-'};
}

IterationResult Iterate(AntField& field, Ant& ant)
{
    const AntAI ai = ant.GetAI();
    const AntPosition position = ant.GetPosition();
    const int colour = field.GetCell(position.X, position.Y);
    if (ai.ActiveSteps <= 0)
        return IterationResult::Idle;

    const ColourTransition next = NextTransition(colour, ai.Steps.data(), ai.ActiveSteps);
    field.SetCell(position.X, position.Y, next.NextColour);
    ant.Turn(next.TurnLetter);
    return ant.Move() ? IterationResult::Moved : IterationResult::Blocked;
}
