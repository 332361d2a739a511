#pragma once

#include "Record.h"
#include "Survey.h"

#include <cstdint>
#include <string>
#include <vector>

// Survey rows as every format shows them, shared by survey and merge so that a merge of
// shard outputs prints exactly what one whole survey prints.
namespace SurveyRecords
{
const char* OutcomeName(RunOutcome outcome);
// Finished, never, cap: the order rows are listed in.
int OutcomeRank(RunOutcome outcome);
bool ParseOutcome(const std::string& name, RunOutcome& outcome);

Record Of(const SurveyRow& row);

// Outcome, then the longest runs first; ties in rule order so the output is stable. With
// top > 0, only the top longest finishers.
std::vector<const SurveyRow*> Sorted(const std::vector<SurveyRow>& rows, std::uint64_t top);
} // namespace SurveyRecords
