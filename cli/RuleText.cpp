#include "RuleText.h"

#include "Ant.h"
#include "AntField.h"
#include "UsageError.h"

namespace RuleText
{
void ApplyRule(Ant& ant, const std::string& rule)
{
    if (rule.empty())
        throw UsageError("the rule is empty; give 1 to 12 letters of L, R and -");
    if (rule.size() > 12)
        throw UsageError("the rule '" + rule + "' has " + std::to_string(rule.size()) +
                         " letters; at most 12 are allowed");
    const std::size_t bad = rule.find_first_not_of("LR-");
    if (bad != std::string::npos)
        throw UsageError("unknown character '" + rule.substr(bad, 1) + "' in rule '" + rule +
                         "'; use L, R and -");

    // Built with the editor's own operation: one cycle gives L, two give R.
    ant.ResetAI();
    for (std::size_t i = 0; i < rule.size(); ++i)
    {
        const int cycles = rule[i] == 'L' ? 1 : rule[i] == 'R' ? 2 : 0;
        for (int c = 0; c < cycles; ++c)
            ant.CycleStep(static_cast<int>(i));
    }
    ant.NormalizeAI();
}

std::string ActiveLetters(const AntAI& ai)
{
    return ai.Steps.substr(0, static_cast<std::size_t>(ai.ActiveSteps));
}

std::array<std::uint64_t, 13> CountColours(const AntField& field)
{
    std::array<std::uint64_t, 13> counts{};
    for (int y = 0; y < AntField::FieldSize; ++y)
    {
        for (int x = 0; x < AntField::FieldSize; ++x)
        {
            const int value = field.GetCell(x, y);
            if (value >= 0 && value <= 12)
                ++counts[static_cast<std::size_t>(value)];
        }
    }
    return counts;
}
} // namespace RuleText
