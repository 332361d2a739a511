#include "RuleText.h"

#include "Ant.h"
#include "ArgumentText.h"
#include "UsageError.h"

namespace RuleText
{
void ApplyRule(Ant& ant, const std::string& rule)
{
    using ArgumentText::Quote;
    if (rule.empty())
        throw UsageError("the rule is empty; give 1 to 12 letters of L, R and -");
    const std::size_t bad = rule.find_first_not_of("LR-");
    if (bad != std::string::npos)
        throw UsageError("unknown character " + Quote(ArgumentText::CharacterAt(rule, bad)) +
                         " in rule " + Quote(rule) + "; use L, R and -");
    if (rule.size() > static_cast<std::size_t>(AntAI::MaxSteps))
        throw UsageError("the rule " + Quote(rule) + " has " + std::to_string(rule.size()) +
                         " letters; at most " + std::to_string(AntAI::MaxSteps) + " are allowed");
    if (rule.front() == '-')
        throw UsageError("the rule " + Quote(rule) +
                         " has no letter before its first '-'; nothing would run");
    const std::size_t gap = rule.find('-');
    const std::size_t dropped = rule.find_first_not_of('-', gap);
    if (gap != std::string::npos && dropped != std::string::npos)
        throw UsageError("the rule " + Quote(rule) + " would lose " + Quote(rule.substr(dropped)) +
                         ": a rule ends at its first '-', so only '-' may follow it");
    ant.SetRule(rule);
}
} // namespace RuleText
