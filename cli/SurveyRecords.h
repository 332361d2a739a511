#pragma once

#include "PackedField.h"
#include "Record.h"
#include "RuleNumber.h"
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
    std::uint64_t FieldSize = PackedField::DefaultSize;
    bool Plane = false;
    // What the runs in progress could hold together: rows that end as memory, and the
    // highways proven before that, depend on it.
    std::uint64_t MaxMemory = RunOptions::DefaultMaxMemory;
    // A survey of census numbers: its first and last; 0 for a survey of letters. Letters
    // then give the bit lengths of the two.
    std::uint64_t NumbersFrom = 0;
    std::uint64_t NumbersTo = 0;
    // Rows give their highway's type (survey --types).
    bool Types = false;

    bool Complete() const { return RulesDone == RulesTotal; }
    std::string Letters() const;
    std::string Numbers() const; // "none" for a survey of letters
    std::string Field() const;
    nlohmann::ordered_json Head() const;
};

// The description's columns in CSV, after the row's own, in this order: the one table the
// writer and the reader (merge, --resume) walk. Most is the largest value a reader takes; an
// Optional column is written only when it differs from its default, so outputs of earlier
// versions, which lack it, read as what they are.
struct AboutColumn
{
    const char* Name = nullptr;
    std::uint64_t Most = 0;
    std::uint64_t (*Get)(const Description&) = nullptr;
    void (*Set)(Description&, std::uint64_t) = nullptr;
    bool Optional = false;
};
bool Shown(const AboutColumn& column, const Description& description);
inline constexpr AboutColumn AboutColumns[] = {
    {"letters_from", Survey::MostLetters,
     [](const Description& d) -> std::uint64_t
     { return static_cast<std::uint64_t>(d.LettersFrom); },
     [](Description& d, std::uint64_t v) { d.LettersFrom = static_cast<int>(v); }},
    {"letters_to", Survey::MostLetters,
     [](const Description& d) -> std::uint64_t { return static_cast<std::uint64_t>(d.LettersTo); },
     [](Description& d, std::uint64_t v) { d.LettersTo = static_cast<int>(v); }},
    {"max_iterations", UINT64_MAX, [](const Description& d) { return d.Cap; },
     [](Description& d, std::uint64_t v) { d.Cap = v; }},
    {"max_period", UINT64_MAX, [](const Description& d) { return d.MaxPeriod; },
     [](Description& d, std::uint64_t v) { d.MaxPeriod = v; }},
    {"top", UINT64_MAX, [](const Description& d) { return d.Top; },
     [](Description& d, std::uint64_t v) { d.Top = v; }},
    {"shard_index", UINT64_MAX, [](const Description& d) { return d.ShardIndex; },
     [](Description& d, std::uint64_t v) { d.ShardIndex = v; }},
    {"shard_count", UINT64_MAX, [](const Description& d) { return d.ShardCount; },
     [](Description& d, std::uint64_t v) { d.ShardCount = v; }},
    {"field_size", PackedField::MaxSize, [](const Description& d) { return d.FieldSize; },
     [](Description& d, std::uint64_t v) { d.FieldSize = v; }},
    {"plane", 1, [](const Description& d) -> std::uint64_t { return d.Plane ? 1 : 0; },
     [](Description& d, std::uint64_t v) { d.Plane = v == 1; }},
    {"rules_total", UINT64_MAX, [](const Description& d) { return d.RulesTotal; },
     [](Description& d, std::uint64_t v) { d.RulesTotal = v; }},
    {"rules_done", UINT64_MAX, [](const Description& d) { return d.RulesDone; },
     [](Description& d, std::uint64_t v) { d.RulesDone = v; }},
    {"rows", UINT64_MAX, [](const Description& d) { return d.Rows; },
     [](Description& d, std::uint64_t v) { d.Rows = v; }},
    {"max_memory", UINT64_MAX, [](const Description& d) { return d.MaxMemory; },
     [](Description& d, std::uint64_t v) { d.MaxMemory = v; }, true},
    {"numbers_from", RuleNumber::MostNumber, [](const Description& d) { return d.NumbersFrom; },
     [](Description& d, std::uint64_t v) { d.NumbersFrom = v; }, true},
    {"numbers_to", RuleNumber::MostNumber, [](const Description& d) { return d.NumbersTo; },
     [](Description& d, std::uint64_t v) { d.NumbersTo = v; }, true},
    {"types", 1, [](const Description& d) -> std::uint64_t { return d.Types ? 1 : 0; },
     [](Description& d, std::uint64_t v) { d.Types = v == 1; }, true},
};

// The rules a described survey runs.
SurveyPlan PlanOf(const Description& description);

// A row; with a description, its constant CSV columns too, and its highway's type where
// the description says the rows have types. Without `numbered` the row lacks the number
// columns, as outputs written before them did.
Record Of(const SurveyRow& row, const Description* description = nullptr, bool numbered = true);

// Outcome, then the longest runs first; ties in rule order so the output is stable. With
// top > 0, only the top longest finishers.
std::vector<const SurveyRow*> Sorted(const std::vector<SurveyRow>& rows, std::uint64_t top);
} // namespace SurveyRecords
