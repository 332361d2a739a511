#include "SurveyRecords.h"

#include <algorithm>

namespace SurveyRecords
{
const char* OutcomeName(RunOutcome outcome)
{
    return outcome == RunOutcome::Finished ? "finished"
           : outcome == RunOutcome::Never  ? "never"
                                           : "cap";
}

int OutcomeRank(RunOutcome outcome)
{
    return outcome == RunOutcome::Finished ? 0 : outcome == RunOutcome::Never ? 1 : 2;
}

bool ParseOutcome(const std::string& name, RunOutcome& outcome)
{
    for (const RunOutcome candidate : {RunOutcome::Finished, RunOutcome::Never, RunOutcome::Cap})
    {
        if (name == OutcomeName(candidate))
        {
            outcome = candidate;
            return true;
        }
    }
    return false;
}

Record Of(const SurveyRow& row)
{
    Record record{
        Fields::Rule(row.Rule),
        {"outcome", OutcomeName(row.Outcome), -8},
        Fields::Iterations(row.Iterations),
    };
    Fields::AddPosition(record, row.Position);
    const bool never = row.Outcome == RunOutcome::Never;
    record.push_back({"period", never ? Field::Value(row.Period) : Field::Value(nullptr), -6});
    Fields::AddHighway(record, row.Highway);
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
                  if (OutcomeRank(a->Outcome) != OutcomeRank(b->Outcome))
                      return OutcomeRank(a->Outcome) < OutcomeRank(b->Outcome);
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
