#include "SummaryCommand.h"

#include "ArgumentText.h"
#include "Record.h"
#include "RecordWriter.h"
#include "RuntimeFailure.h"
#include "SoupRecords.h"
#include "StandardOutput.h"
#include "SurveyInput.h"
#include "SurveySummary.h"
#include "UsageError.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <map>

namespace
{
// The name of each outcome rank, as the rows write it.
const char* RankName(int rank)
{
    for (const OutcomeTraits& traits : Outcomes)
        if (traits.Rank == rank)
            return traits.Name;
    return "";
}

Record LengthRecord(const SurveySummary::Length& length)
{
    Record record{{"letters", std::int64_t{length.Letters}, 7}, {"rules", length.Rules, 8}};
    for (int rank = 0; rank < OutcomeRanks; ++rank)
        record.push_back({RankName(rank), length.Ended[static_cast<std::size_t>(rank)], 8});
    record.push_back({"proven", length.Proven, 8});
    record.push_back(
        {"types", length.Typed ? Field::Value(length.Types) : Field::Value(nullptr), 5});
    return record;
}

Record TypeRecord(const SurveySummary::TypeCount& count, int nameWidth)
{
    return {
        {"letters", std::int64_t{count.Letters}, 7},
        {"type", count.Type.Name(count.Letters), -nameWidth},
        {"period", count.Type.Period, 6},
        {"drift_a", count.Type.DriftA, 7},
        {"drift_b", count.Type.DriftB, 7},
        {"rules", count.Rules, 6},
        {"first", count.First, -12},
    };
}

nlohmann::ordered_json TypeList(const std::vector<SurveySummary::TypeCount>& types)
{
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const SurveySummary::TypeCount& type : types)
        list.push_back({{"letters", type.Letters},
                        {"type", type.Type.Name(type.Letters)},
                        {"period", type.Type.Period},
                        {"drift_a", type.Type.DriftA},
                        {"drift_b", type.Type.DriftB},
                        {"rules", type.Rules},
                        {"first", type.First}});
    return list;
}
} // namespace

SummaryCommand::SummaryCommand(CLI::App& line)
    : Command(line.add_subcommand(
          "summary", "Sum up what surveys found: outcomes, proven highways and their types.")),
      Format(Options())
{
    Options()
        .add_option("FILE", Files,
                    "survey outputs, CSV or JSON: the shards of one survey, or several surveys")
        ->type_name("");
    Options()
        .add_flag("--types", TypesOnly, "print the table of highway types alone")
        ->disable_flag_override();
    Options().footer(
        "One row per rule length: letters, rules, how many ended as finished, never, cap,\n"
        "memory and highway, how many proved a highway (proven, whatever the outcome) and\n"
        "the distinct highway types among them, unknown (- or null) unless every input\n"
        "of that length ran with survey --types. Then the types: per length, each with\n"
        "the rules that reached it and the first of them by census number, most rules\n"
        "first (the table format prints them after the lengths, JSON as \"types\", CSV only\n"
        "with --types, which prints them alone). A rule in two inputs, a --top output or\n"
        "no survey output is refused with exit status 1 and nothing printed; an incomplete\n"
        "input is summed up, and the exit status is 1.");
}

int SummaryCommand::Execute()
{
    if (Files.empty())
        throw UsageError("missing FILE: the survey outputs to sum up");
    const OutputFormat::Kind format = Format.Chosen();
    SurveySummary summary;
    std::map<std::string, std::string> seen; // rule -> file
    std::string incomplete;
    for (const std::string& path : Files)
    {
        const std::string name = ArgumentText::QuotePath(path);
        if (SoupRecords::IsSoupsOutput(path))
            throw RuntimeFailure(name + " is a soups output; summary reads survey outputs");
        const SurveyInput input = SurveyInput::Read(path);
        if (input.About.Top > 0)
            throw RuntimeFailure(name + " holds only the " + std::to_string(input.About.Top) +
                                 " longest finishers (--top): it cannot be summed up");
        for (const SurveyRow& row : input.Rows)
        {
            const auto [at, added] = seen.emplace(row.Rule, path);
            if (!added)
                throw RuntimeFailure(name + " repeats rule " + row.Rule + ", as " +
                                     ArgumentText::QuotePath(at->second) + " holds it");
        }
        if (!input.About.Complete() && incomplete.empty())
            incomplete = name + " is incomplete: " + std::to_string(input.About.RulesDone) +
                         " of " + std::to_string(input.About.RulesTotal) +
                         " rules (an interrupted survey)";
        summary.Add(input.Rows, input.About.Types);
    }

    const std::vector<SurveySummary::TypeCount> types = summary.Types();
    int nameWidth = 4;
    for (const SurveySummary::TypeCount& type : types)
        nameWidth = std::max(nameWidth, static_cast<int>(type.Type.Name(type.Letters).size()));
    const Record typeSample = TypeRecord(SurveySummary::TypeCount{}, nameWidth);
    if (TypesOnly)
    {
        RecordWriter writer(format, typeSample);
        for (const SurveySummary::TypeCount& type : types)
            writer.Add(TypeRecord(type, nameWidth));
        writer.Finish();
    }
    else
    {
        const std::vector<SurveySummary::Length> lengths = summary.Lengths();
        RecordWriter writer(format, LengthRecord(SurveySummary::Length{}));
        for (const SurveySummary::Length& length : lengths)
            writer.Add(LengthRecord(length));
        writer.Finish({{"types", TypeList(types)}});
        const bool typed = std::any_of(lengths.begin(), lengths.end(),
                                       [](const SurveySummary::Length& l) { return l.Typed; });
        if (format == OutputFormat::Table && typed)
        {
            StandardOutput::Write("\n");
            RecordWriter table(format, typeSample);
            for (const SurveySummary::TypeCount& type : types)
                table.Add(TypeRecord(type, nameWidth));
            table.Finish();
        }
    }
    if (!incomplete.empty())
    {
        std::fprintf(stderr, "formicula-cli: %s\n", incomplete.c_str());
        return 1;
    }
    return 0;
}
