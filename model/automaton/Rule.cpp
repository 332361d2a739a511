#include "Rule.h"

#include <algorithm>

namespace
{
constexpr std::string_view Places = "LR-";
}

Rule::Parsed Rule::Parse(std::string_view text, int maxLetters)
{
    Parsed result;
    const std::size_t bad = text.find_first_not_of(Places);
    const std::size_t gap = text.find('-');
    const std::size_t dropped =
        gap == std::string_view::npos ? gap : text.find_first_not_of('-', gap);
    if (text.empty())
        result.Why = Refusal::Empty;
    else if (bad != std::string_view::npos)
        result.Why = Refusal::UnknownCharacter, result.Position = bad;
    else if (text.size() > static_cast<std::size_t>(maxLetters))
        result.Why = Refusal::TooLong;
    else if (gap == 0)
        result.Why = Refusal::NoLetterFirst;
    else if (dropped != std::string_view::npos)
        result.Why = Refusal::LettersAfterGap, result.Position = dropped;
    else
        result.Value = Rule(text.substr(0, gap));
    return result;
}

std::optional<Rule> Rule::Tidy(std::string_view places)
{
    if (places.size() > static_cast<std::size_t>(MaxLetters) ||
        places.find_first_not_of(Places) != std::string_view::npos)
        return std::nullopt;
    return Rule(places.substr(0, places.find('-')));
}

std::string Rule::Padded() const
{
    std::string places = Text;
    places.resize(std::max(places.size(), static_cast<std::size_t>(MaxLetters)), '-');
    return places;
}

AntAI Rule::AI() const
{
    AntAI ai;
    ai.Steps = Padded();
    ai.Size = static_cast<int>(ai.Steps.size());
    ai.ActiveSteps = Size();
    return ai;
}
