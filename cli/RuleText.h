#pragma once

#include <string>

class Ant;

// Conversions between the command line's words and the model.
namespace RuleText
{
// Gives the ant the rule "LR-..." (1 to 12 letters). Refuses, as a UsageError, whatever the
// model would quietly change: a rule must start with a letter, and anything after its first
// '-' must be '-' padding, as in the catalogue's "LR----------".
void ApplyRule(Ant& ant, const std::string& rule);
} // namespace RuleText
