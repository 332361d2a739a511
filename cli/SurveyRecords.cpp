#include "SurveyRecords.h"

#include <algorithm>

namespace SurveyRecords
{
bool Shown(const AboutColumn& column, const Description& description)
{
    return !column.Optional || column.Get(description) != column.Get(Description{});
}

std::string Description::Letters() const
{
    return LettersFrom == LettersTo ? std::to_string(LettersFrom)
                                    : std::to_string(LettersFrom) + "-" + std::to_string(LettersTo);
}

std::string Description::Numbers() const
{
    if (NumbersFrom == 0)
        return "none";
    return NumbersFrom == NumbersTo ? std::to_string(NumbersFrom)
                                    : std::to_string(NumbersFrom) + "-" + std::to_string(NumbersTo);
}

SurveyPlan PlanOf(const Description& description)
{
    if (description.NumbersFrom > 0)
        return SurveyPlan::OfNumbers(description.NumbersFrom, description.NumbersTo);
    return SurveyPlan(description.LettersFrom, description.LettersTo);
}

std::string Description::Field() const
{
    return std::to_string(FieldSize) + " x " + std::to_string(FieldSize) +
           (Plane ? " on the plane" : "");
}

nlohmann::ordered_json Description::Head() const
{
    nlohmann::ordered_json head = {{"letters", {{"from", LettersFrom}, {"to", LettersTo}}},
                                   {"max_iterations", Cap},
                                   {"max_period", MaxPeriod},
                                   {"top", Top},
                                   {"complete", Complete()},
                                   {"rules_total", RulesTotal},
                                   {"rules_done", RulesDone}};
    if (ShardCount > 1)
        head["shard"] = {{"index", ShardIndex}, {"count", ShardCount}};
    if (FieldSize != PackedField::DefaultSize || Plane)
        head["field"] = {{"size", FieldSize}, {"plane", Plane}};
    if (MaxMemory != RunOptions::DefaultMaxMemory)
        head["max_memory"] = MaxMemory;
    if (NumbersFrom > 0)
        head["numbers"] = {{"from", NumbersFrom}, {"to", NumbersTo}};
    if (Types)
        head["types"] = true;
    return head;
}

Record Of(const SurveyRow& row, const Description* description, bool numbered)
{
    Record record{Fields::Rule(row.Rule)};
    if (numbered)
        Fields::AddNumber(record, row.Rule);
    record.push_back({"outcome", TraitsOf(row.Outcome).Name, -8});
    record.push_back(Fields::Iterations(row.Iterations));
    Fields::AddPosition(record, row.Position);
    const bool never = row.Outcome == RunOutcome::Never;
    record.push_back({"period", never ? Field::Value(row.Period) : Field::Value(nullptr), -6});
    Fields::AddHighway(record, row.Highway);
    if (description && description->Types)
    {
        const int letters = static_cast<int>(row.Rule.size());
        record.push_back({"highway_type",
                          row.Type ? Field::Value(row.Type->Name(letters)) : Field::Value(nullptr),
                          -(10 + 4 * description->LettersTo)});
    }
    Fields::AddGrowth(record, row.Growth);
    if (description)
    {
        for (const AboutColumn& column : AboutColumns)
            if (Shown(column, *description))
                record.push_back({column.Name, column.Get(*description), 0, Field::Csv});
    }
    return record;
}

std::vector<const SurveyRow*> Sorted(const std::vector<SurveyRow>& rows, std::uint64_t top)
{
    std::vector<const SurveyRow*> sorted;
    for (const SurveyRow& row : rows)
        if (row.Done && (top == 0 || row.Outcome == RunOutcome::Finished))
            sorted.push_back(&row);
    std::sort(sorted.begin(), sorted.end(),
              [](const SurveyRow* a, const SurveyRow* b)
              {
                  const int rankA = TraitsOf(a->Outcome).Rank;
                  const int rankB = TraitsOf(b->Outcome).Rank;
                  if (rankA != rankB)
                      return rankA < rankB;
                  if (a->Iterations != b->Iterations)
                      return a->Iterations > b->Iterations;
                  if (a->Rule.size() != b->Rule.size())
                      return a->Rule.size() < b->Rule.size();
                  return a->Rule < b->Rule;
              });
    if (top > 0 && sorted.size() > top)
        sorted.resize(static_cast<std::size_t>(top));
    return sorted;
}
} // namespace SurveyRecords
