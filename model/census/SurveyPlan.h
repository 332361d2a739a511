#pragma once

#include "Ant.h"
#include "AntPosition.h"
#include "FieldSummary.h"
#include "Highway.h"
#include "HighwayType.h"
#include "RunOutcome.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class PackedField;

struct SurveyRow
{
    std::string Rule;
    RunOutcome Outcome = RunOutcome::Cap;
    std::uint64_t Iterations = 0;
    std::uint64_t Period = 0; // Never only
    AntPosition Position;
    ::Highway Highway;               // when the survey looks for highways
    std::optional<HighwayType> Type; // of a proven highway, when the survey asks for types
    // The growth at the end: visited cells and the box around them (colours not kept).
    FieldSummary Growth;
    bool Done = false;
};

// Which rules a survey runs and in which order: every rule of a range of lengths, each
// paired with its mirror, and the slice of the pairs a shard takes.
class SurveyPlan
{
public:
    using Pair = std::pair<std::size_t, std::size_t>; // a rule's row and its mirror's
    // The mirror's row of a rule whose mirror is not in the plan.
    static constexpr std::size_t NoMirror = static_cast<std::size_t>(-1);

    // A plan holds every rule's letters, so a larger one is refused before it is made.
    static constexpr std::uint64_t MostRules = std::uint64_t{1} << 24;
    // How many rules of fromLetters..toLetters letters there are (to at most 63).
    static std::uint64_t CountOf(int fromLetters, int toLetters);

    // Rules of fromLetters..toLetters letters L and R, at most MostRules.
    SurveyPlan(int fromLetters, int toLetters);
    // The rules of census numbers from..to, in number order, one row each (a numbered rule's
    // mirror has no number); none beyond RuleNumber::MostNumber.
    static SurveyPlan OfNumbers(std::uint64_t from, std::uint64_t to);

    // Every rule of from..to letters L and R, shortest first, each length in binary order
    // with L as 0: the order of the rows.
    static std::vector<std::string> RulesOf(int fromLetters, int toLetters);
    const std::vector<std::string>& AllRules() const { return All; }
    // The row of a rule of the plan, or AllRules().size() for any other.
    std::size_t IndexOf(const std::string& rule) const;

    // Keeps only the index-th of count disjoint slices (0 <= index < count); a rule and its
    // mirror stay together.
    void SetShard(int index, int count);
    const std::vector<Pair>& Pairs() const { return Pairs_; }
    // The rules in the pairs.
    std::size_t RuleCount() const;
    // Whether the row's rule is in the plan's pairs (its shard's).
    bool Takes(std::size_t row) const { return Taken[row]; }

    // A rule with L and R swapped walks the mirror image of the rule's walk about the
    // start column, for as long as the rule's ant keeps off the columns whose images lie
    // outside the field (column 0 of a field of even size; none on the plane). So a capped
    // run that never touched them gives its mirror rule's row without running it.
    static bool TouchedUnmirrored(const PackedField& field, const AntPosition& position);
    static SurveyRow MirrorRow(const SurveyRow& row, int startX = Ant::StartX);
    static std::string MirrorRule(const std::string& rule);

private:
    SurveyPlan() = default;

    std::uint64_t FirstNumber = 0; // of a plan of numbers; 0 for one of letters
    std::vector<std::string> All;
    std::vector<Pair> Pairs_;
    std::vector<bool> Taken; // per row
};
