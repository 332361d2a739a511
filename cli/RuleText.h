#pragma once

#include "Rule.h"

#include <string>

class Ant;

// Conversions between the command line's words and the model.
namespace RuleText
{
// Why Rule::Parse refused the text, in the command line's words.
std::string Refusal(const std::string& text, const Rule::Parsed& parsed);
// The rule "LR-..." (1 to 12 letters), or a UsageError saying why not: whatever the editor
// would quietly change is refused.
Rule Parse(const std::string& text);
// Gives the ant the parsed rule.
void ApplyRule(Ant& ant, const std::string& text);
} // namespace RuleText
