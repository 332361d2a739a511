#include "RuleText.h"

#include "Ant.h"
#include "ArgumentText.h"
#include "Rule.h"
#include "UsageError.h"

namespace RuleText
{
std::string Refusal(const std::string& text, const Rule::Parsed& parsed)
{
    using ArgumentText::Quote;
    switch (parsed.Why)
    {
    case Rule::Refusal::Empty:
        return "the rule is empty; give 1 to " + std::to_string(Rule::MostLetters) +
               " letters of L, R and -";
    case Rule::Refusal::UnknownCharacter:
        return "unknown character " + Quote(ArgumentText::CharacterAt(text, parsed.Position)) +
               " in rule " + Quote(text) + "; use L, R and -";
    case Rule::Refusal::TooLong:
        return "the rule " + Quote(text) + " has " + std::to_string(text.size()) +
               " letters; at most " + std::to_string(Rule::MostLetters) + " are allowed";
    case Rule::Refusal::NoLetterFirst:
        return "the rule " + Quote(text) + " has no letter before its first '-'; nothing would run";
    case Rule::Refusal::LettersAfterGap:
        return "the rule " + Quote(text) + " would lose " + Quote(text.substr(parsed.Position)) +
               ": a rule ends at its first '-', so only '-' may follow it";
    case Rule::Refusal::None:
        break;
    }
    return "the rule " + Quote(text) + " is no rule";
}

Rule Parse(const std::string& text)
{
    const Rule::Parsed parsed = Rule::Parse(text, Rule::MostLetters);
    if (!parsed.Value)
        throw UsageError(Refusal(text, parsed));
    return *parsed.Value;
}

void ApplyRule(Ant& ant, const std::string& text)
{
    ant.SetRule(Parse(text));
}
} // namespace RuleText
