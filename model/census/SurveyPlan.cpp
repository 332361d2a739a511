#include "SurveyPlan.h"

#include "PackedField.h"

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

std::vector<std::string> SurveyPlan::RulesOf(int fromLetters, int toLetters)
{
    std::vector<std::string> rules;
    for (int n = fromLetters; n <= toLetters; ++n)
    {
        for (unsigned bits = 0; bits < (1u << n); ++bits)
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
        Taken[first] = Taken[mirror] = true;
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
