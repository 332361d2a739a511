#pragma once

class Ant;
class AntField;
struct AntAI;

// What one iteration did to the ant.
enum class IterationResult
{
    Moved,   // the cell was recoloured and the ant stepped forward
    Idle,    // the rule has no active step: nothing changed
    Blocked, // the step after the turn would leave the field: the run is over
};

// The colour a cell takes and the letter the ant turns by, for a cell of the given
// colour under a rule of activeSteps letters. Defined for every int colour.
struct ColourTransition
{
    int NextColour;
    char TurnLetter;
};
ColourTransition NextTransition(int colour, const char* steps, int activeSteps);

// One iteration of the automaton; the single definition shared by the window,
// the command line and the fast runners (which are tested against it).
IterationResult Iterate(AntField& field, Ant& ant);
