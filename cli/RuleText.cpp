#include "RuleText.h"

#include "Ant.h"
#include "UsageError.h"

namespace RuleText
{
void ApplyRule(Ant& ant, const std::string& rule)
{
    if (rule.empty())
        throw UsageError("the rule is empty; give 1 to 12 letters of L, R and -");
    if (rule.size() > static_cast<std::size_t>(AntAI::MaxSteps))
        throw UsageError("the rule '" + rule + "' has " + std::to_string(rule.size()) +
                         " letters; at most " + std::to_string(AntAI::MaxSteps) + " are allowed");
    const std::size_t bad = rule.find_first_not_of("LR-");
    if (bad != std::string::npos)
        throw UsageError("unknown character '" + rule.substr(bad, 1) + "' in rule '" + rule +
                         "'; use L, R and -");

    if (rule.front() == '-')
        throw UsageError("the rule '" + rule +
                         "' has no letter before its first '-'; nothing would run");
    ant.SetRule(rule);
}
} // namespace RuleText
