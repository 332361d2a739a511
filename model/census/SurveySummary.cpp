#include "SurveySummary.h"

#include "RuleNumber.h"

#include <algorithm>
#include <utility>

namespace
{
// A rule and its mirror share a number; the one numbered itself comes first.
std::pair<std::uint64_t, bool> CensusOrder(const std::string& rule)
{
    const std::optional<RuleNumber> number = RuleNumber::Of(rule);
    return number ? std::pair{number->Number, number->OfMirror} : std::pair{UINT64_MAX, true};
}
} // namespace

void SurveySummary::Add(const std::vector<SurveyRow>& rows, bool typed)
{
    for (const SurveyRow& row : rows)
    {
        if (!row.Done)
            continue;
        const int letters = static_cast<int>(row.Rule.size());
        Tally& tally = ByLetters[letters];
        Length& counts = tally.Counts;
        counts.Letters = letters;
        ++counts.Rules;
        ++counts.Ended[static_cast<std::size_t>(TraitsOf(row.Outcome).Rank)];
        counts.Proven += row.Highway.Found;
        counts.Typed = counts.Typed && typed;
        if (!row.Type)
            continue;
        auto [at, added] =
            tally.Types.try_emplace(*row.Type, TypeCount{letters, *row.Type, 0, row.Rule});
        TypeCount& type = at->second;
        ++type.Rules;
        if (added || CensusOrder(row.Rule) < CensusOrder(type.First))
            type.First = row.Rule;
    }
}

std::vector<SurveySummary::Length> SurveySummary::Lengths() const
{
    std::vector<Length> lengths;
    for (const auto& [letters, tally] : ByLetters)
    {
        lengths.push_back(tally.Counts);
        lengths.back().Types = tally.Counts.Typed ? tally.Types.size() : 0;
    }
    return lengths;
}

std::vector<SurveySummary::TypeCount> SurveySummary::Types() const
{
    std::vector<TypeCount> types;
    for (const auto& [letters, tally] : ByLetters)
    {
        if (!tally.Counts.Typed)
            continue;
        const auto from = static_cast<std::ptrdiff_t>(types.size());
        for (const auto& entry : tally.Types)
            types.push_back(entry.second);
        // The map holds them in type order, which the stable sort keeps among equals.
        std::stable_sort(types.begin() + from, types.end(),
                         [](const TypeCount& a, const TypeCount& b) { return a.Rules > b.Rules; });
    }
    return types;
}
