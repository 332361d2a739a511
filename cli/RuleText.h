#pragma once

#include <string>

class Ant;

// Conversions between the command line's words and the model.
namespace RuleText
{
// Gives the ant the rule "LR-..." (1 to 12 letters), tidied as NormalizeAI does.
void ApplyRule(Ant& ant, const std::string& rule);
} // namespace RuleText
