#pragma once

#include "Record.h"
#include "Survey.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>
#include <vector>

// Survey rows as every format shows them, shared by survey and merge so that a merge of
// shard outputs prints exactly what one whole survey prints.
namespace SurveyRecords
{
// What a survey output says of itself, so that merge and --resume can check it: the head
// of the JSON document, and in CSV the same on every row, as constant columns after the
// row's own (CSV has no other place that pandas and spreadsheets read as is).
struct Description
{
    int LettersFrom = 1;
    int LettersTo = 1;
    std::uint64_t Cap = 0;
    std::uint64_t MaxPeriod = 0;
    std::uint64_t Top = 0; // 0: every row
    std::uint64_t ShardIndex = 1;
    std::uint64_t ShardCount = 1;
    std::uint64_t RulesTotal = 0;
    std::uint64_t RulesDone = 0;
    std::uint64_t Rows = 0; // rows printed: RulesDone, or up to Top
    // The field the runs had; JSON says it when it is not the window's 250 x 250.
    std::uint64_t FieldSize = 250;
    bool Plane = false;

    bool Complete() const { return RulesDone == RulesTotal; }
    std::string Letters() const;
    std::string Field() const;
    nlohmann::ordered_json Head() const;
};

// A row; with a description, its constant CSV columns too.
Record Of(const SurveyRow& row, const Description* description = nullptr);

// Outcome, then the longest runs first; ties in rule order so the output is stable. With
// top > 0, only the top longest finishers.
std::vector<const SurveyRow*> Sorted(const std::vector<SurveyRow>& rows, std::uint64_t top);
} // namespace SurveyRecords
