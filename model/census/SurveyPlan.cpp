#include "SurveyPlan.h"

#include "PackedField.h"
#include "RuleNumber.h"

#include <algorithm>

SurveyPlan::SurveyPlan(int fromLetters, int toLetters) : All(RulesOf(fromLetters, toLetters))
{
    // In binary order the mirror of the rule at offset b of a block of 2^n rules is at
    // offset 2^n - 1 - b.
    for (std::size_t base = 0; base < All.size();)
    {
        const std::size_t count = std::size_t{1} << All[base].size();
        for (std::size_t b = 0; b < count / 2; ++b)
            Pairs_.emplace_back(base + b, base + count - 1 - b);
        base += count;
    }
    Taken.assign(All.size(), true);
}

SurveyPlan SurveyPlan::OfNumbers(std::uint64_t from, std::uint64_t to)
{
    SurveyPlan plan;
    plan.FirstNumber = from;
    for (std::uint64_t number = std::max<std::uint64_t>(from, 1);
         number <= std::min(to, RuleNumber::MostNumber); ++number)
    {
        plan.Pairs_.emplace_back(plan.All.size(), NoMirror);
        plan.All.push_back(*RuleNumber::Letters(number));
    }
    plan.Taken.assign(plan.All.size(), true);
    return plan;
}

std::uint64_t SurveyPlan::CountOf(int fromLetters, int toLetters)
{
    std::uint64_t count = 0;
    for (int n = fromLetters; n <= toLetters; ++n)
        count += std::uint64_t{1} << n;
    return count;
}

std::size_t SurveyPlan::RuleCount() const
{
    std::size_t count = 0;
    for (const auto& [first, mirror] : Pairs_)
        count += mirror == NoMirror ? 1 : 2;
    return count;
}

std::vector<std::string> SurveyPlan::RulesOf(int fromLetters, int toLetters)
{
    std::vector<std::string> rules;
    for (int n = fromLetters; n <= toLetters; ++n)
    {
        for (std::uint64_t bits = 0; bits < (std::uint64_t{1} << n); ++bits)
        {
            std::string rule;
            for (int i = n - 1; i >= 0; --i)
                rule += (bits >> i) & 1u ? 'R' : 'L';
            rules.push_back(std::move(rule));
        }
    }
    return rules;
}

std::size_t SurveyPlan::IndexOf(const std::string& rule) const
{
    if (FirstNumber > 0)
    {
        const std::optional<RuleNumber> number = RuleNumber::Of(rule);
        if (!number || number->OfMirror || number->Number < FirstNumber ||
            number->Number - FirstNumber >= All.size())
            return All.size();
        return static_cast<std::size_t>(number->Number - FirstNumber);
    }
    if (All.empty())
        return 0;
    const auto from = All.front().size();
    if (rule.size() < from || rule.size() > All.back().size())
        return All.size();
    std::size_t index = 0;
    for (std::size_t n = from; n < rule.size(); ++n)
        index += std::size_t{1} << n;
    std::size_t bits = 0;
    for (const char letter : rule)
    {
        if (letter != 'L' && letter != 'R')
            return All.size();
        bits = bits * 2 + (letter == 'R' ? 1 : 0);
    }
    return index + bits;
}

void SurveyPlan::SetShard(int index, int count)
{
    // Every count-th pair, so each slice gets rules of every length, short and long.
    std::vector<Pair> slice;
    for (std::size_t i = static_cast<std::size_t>(index); i < Pairs_.size();
         i += static_cast<std::size_t>(count))
        slice.push_back(Pairs_[i]);
    Pairs_ = std::move(slice);
    Taken.assign(All.size(), false);
    for (const auto& [first, mirror] : Pairs_)
    {
        Taken[first] = true;
        if (mirror != NoMirror)
            Taken[mirror] = true;
    }
}

// A visited cell never turns blank again, so blank columns show they were not touched.
bool SurveyPlan::TouchedUnmirrored(const PackedField& field, const AntPosition& position)
{
    if (field.Unbounded())
        return false;
    // Column x mirrors to 2 * start - x, outside the field from x <= 2 * start - width on.
    const int last = 2 * field.StartX() - field.Width();
    if (position.X <= last)
        return true;
    for (int x = 0; x <= last; ++x)
        for (int y = 0; y < field.Height(); ++y)
            if (field.Colour(x, y) != 0)
                return true;
    return false;
}

SurveyRow SurveyPlan::MirrorRow(const SurveyRow& row, int startX)
{
    SurveyRow mirror = row;
    mirror.Rule = MirrorRule(row.Rule);
    mirror.Highway.DriftX = -row.Highway.DriftX;
    if (row.Growth.Visited > 0)
    {
        mirror.Growth.MinX = 2 * startX - row.Growth.MaxX;
        mirror.Growth.MaxX = 2 * startX - row.Growth.MinX;
    }
    mirror.Position = row.Position.MirroredAbout(startX);
    return mirror;
}

std::string SurveyPlan::MirrorRule(const std::string& rule)
{
    std::string mirror = rule;
    for (char& letter : mirror)
        letter = letter == 'L' ? 'R' : letter == 'R' ? 'L' : letter;
    return mirror;
}
