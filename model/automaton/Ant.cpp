#include "Ant.h"

#include "AntField.h"
#include "PresetCatalogue.h"
#include "Rule.h"

Ant::Ant() : X(StartX), Y(StartY), Direction(StartDirection)
{
    ResetAI();
}

void Ant::ResetPosition()
{
    X = StartX;
    Y = StartY;
    Direction = StartDirection;
}

void Ant::ResetAI()
{
    AI.Steps.assign(PresetCatalogue::PresetRow(0), PresetCatalogue::LettersPerRow);
    AI.ActiveSteps = 0;
    AI.Size = static_cast<int>(AI.Steps.size());
}

void Ant::ApplyPreset(int number)
{
    ResetAI();
    AI.Steps.assign(PresetCatalogue::PresetRow(number), PresetCatalogue::LettersPerRow);
    AI.Size = static_cast<int>(AI.Steps.size());
    CountActiveSteps();
}

void Ant::CycleStep(int index)
{
    if (index < 0 || index >= AI.Size)
        return;
    char& letter = AI.Steps[static_cast<std::size_t>(index)];
    switch (letter)
    {
    case '-':
        letter = 'L';
        break;
    case 'L':
        letter = 'R';
        break;
    case 'R':
        letter = '-';
        break;
    default:
        break;
    }
}

void Ant::NormalizeAI()
{
    // The editor's places hold only L, R and '-', so the tidy never refuses them.
    if (const std::optional<Rule> rule = Rule::Tidy(AI.Steps))
        AI.Steps = rule->Padded();
    CountActiveSteps();
}

void Ant::Turn(char letter)
{
    if (letter != 'L' && letter != 'R')
        return;
    const bool left = letter == 'L';
    switch (Direction)
    {
    case 'U':
        Direction = left ? 'L' : 'R';
        break;
    case 'L':
        Direction = left ? 'D' : 'U';
        break;
    case 'D':
        Direction = left ? 'R' : 'L';
        break;
    case 'R':
        Direction = left ? 'U' : 'D';
        break;
    default:
        break;
    }
}

bool Ant::Move()
{
    constexpr int Last = AntField::FieldSize - 1;
    switch (Direction)
    {
    case 'U':
        if (Y <= 0)
            return false;
        --Y;
        return true;
    case 'D':
        if (Y >= Last)
            return false;
        ++Y;
        return true;
    case 'L':
        if (X <= 0)
            return false;
        --X;
        return true;
    case 'R':
        if (X >= Last)
            return false;
        ++X;
        return true;
    default:
        return false;
    }
}

bool Ant::SetRule(std::string_view letters)
{
    const std::optional<Rule> rule = Rule::Tidy(letters);
    if (!rule)
        return false;
    SetRule(*rule);
    return true;
}

void Ant::SetRule(const Rule& rule)
{
    AI = rule.AI();
}

std::string Ant::ActiveRule() const
{
    return AI.Steps.substr(0, static_cast<std::size_t>(AI.ActiveSteps));
}

void Ant::SetPosition(const AntPosition& position)
{
    X = position.X;
    Y = position.Y;
    Direction = position.Direction;
}

void Ant::CountActiveSteps()
{
    int count = 0;
    while (count < AI.Size && AI.Steps[static_cast<std::size_t>(count)] != '-')
        ++count;
    AI.ActiveSteps = count;
}
