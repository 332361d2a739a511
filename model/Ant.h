#pragma once

#include "AntAI.h"
#include "AntPosition.h"

// The walker: rule, cell position and heading. It never leaves the field because
// Move refuses any step across the border.
class Ant
{
public:
    static constexpr int StartX = 125;
    static constexpr int StartY = 125;
    static constexpr char StartDirection = 'U';

    Ant();

    AntAI GetAI() const { return AI; }
    AntPosition GetPosition() const { return AntPosition{X, Y, Direction}; }

    void ResetPosition();
    void ResetAI();
    void ApplyPreset(int number);
    void CycleStep(int index);
    void NormalizeAI();
    void Turn(char letter);
    bool Move();

    // For the command-line runner, which restores a state it computed elsewhere.
    void SetPosition(const AntPosition& position);

private:
    void CountActiveSteps();

    AntAI AI;
    int X;
    int Y;
    char Direction;
};
