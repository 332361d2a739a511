#pragma once

#include "AntAI.h"
#include "AntPosition.h"

#include <string>
#include <string_view>

class Rule;

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

    // Takes up to MaxSteps letters of L, R and -, tidied as Rule::Tidy does; anything
    // else is refused and leaves the rule as it was.
    bool SetRule(std::string_view letters);
    void SetRule(const Rule& rule);
    // The letters before the first '-': the rule as the catalogue's labels write it.
    std::string ActiveRule() const;

    // For the fast runners, which compute a state apart from the ant and hand it back.
    void SetPosition(const AntPosition& position);

private:
    void CountActiveSteps();

    AntAI AI;
    int X;
    int Y;
    char Direction;
};
