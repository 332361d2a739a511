#include "MergeCommand.h"

#include "ArgumentText.h"
#include "OptionChecks.h"
#include "RecordWriter.h"
#include "RuntimeFailure.h"
#include "SoupRecords.h"
#include "StandardOutput.h"
#include "SurveyInput.h"
#include "SurveyRecords.h"
#include "UsageError.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <map>

MergeCommand::MergeCommand(CLI::App& line)
    : Command(line.add_subcommand(
          "merge", "Join the outputs of the shards of one survey into the whole survey's."))
{
    Options()
        .add_option("FILE", Files, "survey outputs, or soups outputs, all CSV or all JSON")
        ->type_name("");
    Options()
        .add_flag("--types", Types, "soups: print the table of highway types alone")
        ->disable_flag_override();
    Options()
        .add_option("--top", Top, "as the shards were given it")
        ->type_name("K")
        ->check(OptionChecks::Count("--top"));
    Options().footer(
        "Prints in the inputs' format exactly what the survey prints when run whole: the\n"
        "shards of `survey --shard I/N` give it all their rows, and merge sorts them. The\n"
        "inputs must be one survey's shards, each once and whole. Exit status 1, with nothing\n"
        "printed, when an input cannot be read, is no survey output or a truncated one, or\n"
        "comes from another survey; exit status 1 after the rows when a shard is incomplete.");
}

int MergeCommand::Execute()
{
    if (Files.empty())
        throw UsageError("missing FILE: the survey outputs to merge");
    if (SoupRecords::IsSoupsOutput(Files.front()))
        return MergeSoups();
    std::uint64_t top = Top;

    std::vector<SurveyInput> inputs;
    std::map<std::uint64_t, std::string> shards; // index -> file
    for (const std::string& path : Files)
    {
        inputs.push_back(SurveyInput::Read(path));
        const SurveyInput& input = inputs.back();
        const SurveyInput& first = inputs.front();
        const std::string name = ArgumentText::QuotePath(path);
        const std::string firstName = ArgumentText::QuotePath(Files.front());
        auto differs =
            [&](const std::string& what, const std::string& value, const std::string& firstValue)
        {
            if (value != firstValue)
                throw RuntimeFailure(name + " comes from a survey of " + what + " " + value + ", " +
                                     firstName + " from one of " + firstValue);
        };
        differs("format", input.Json ? "JSON" : "CSV", first.Json ? "JSON" : "CSV");
        differs("letters", input.About.Letters(), first.About.Letters());
        differs("numbers", input.About.Numbers(), first.About.Numbers());
        differs("cap", std::to_string(input.About.Cap), std::to_string(first.About.Cap));
        differs("field", input.About.Field(), first.About.Field());
        differs("--max-memory", std::to_string(input.About.MaxMemory),
                std::to_string(first.About.MaxMemory));
        differs("period limit", std::to_string(input.About.MaxPeriod),
                std::to_string(first.About.MaxPeriod));
        differs("--top", std::to_string(input.About.Top), std::to_string(first.About.Top));
        if (input.About.Types != first.About.Types)
            throw RuntimeFailure(
                name + " comes from a survey " + (input.About.Types ? "with" : "without") +
                " --types, " + firstName + " from one " + (first.About.Types ? "with" : "without"));
        differs("shard count", std::to_string(input.About.ShardCount),
                std::to_string(first.About.ShardCount));
        const auto [at, added] = shards.emplace(input.About.ShardIndex, path);
        if (!added)
            throw RuntimeFailure(name + " repeats shard " + std::to_string(input.About.ShardIndex) +
                                 " of " + std::to_string(input.About.ShardCount) + ", as " +
                                 ArgumentText::QuotePath(at->second) + " holds it");
    }
    const SurveyRecords::Description& some = inputs.front().About;
    for (std::uint64_t index = 1; index <= some.ShardCount; ++index)
        if (shards.count(index) == 0)
            throw RuntimeFailure("shard " + std::to_string(index) + " of " +
                                 std::to_string(some.ShardCount) +
                                 " is missing: no input holds it");
    // Each shard holds its own longest finishers, so they hold the whole survey's longest
    // ones up to their --top, and no further.
    if (some.Top > 0 && (top == 0 || top > some.Top))
    {
        if (top > some.Top)
            throw RuntimeFailure(ArgumentText::QuotePath(Files.front()) + " holds only the " +
                                 std::to_string(some.Top) +
                                 " longest finishers of its shard: merge with --top " +
                                 std::to_string(some.Top) + " or less");
        top = some.Top;
    }

    SurveyRecords::Description about = some;
    about.Top = top;
    about.ShardIndex = about.ShardCount = 1;
    about.RulesTotal = about.RulesDone = 0;
    std::vector<SurveyRow> rows;
    std::string incomplete;
    for (std::size_t i = 0; i < inputs.size(); ++i)
    {
        about.RulesTotal += inputs[i].About.RulesTotal;
        about.RulesDone += inputs[i].About.RulesDone;
        if (!inputs[i].About.Complete() && incomplete.empty())
            incomplete = ArgumentText::QuotePath(Files[i]) +
                         " is incomplete: " + std::to_string(inputs[i].About.RulesDone) + " of " +
                         std::to_string(inputs[i].About.RulesTotal) +
                         " rules (an interrupted survey)";
        rows.insert(rows.end(), inputs[i].Rows.begin(), inputs[i].Rows.end());
    }
    const std::vector<const SurveyRow*> sorted = SurveyRecords::Sorted(rows, top);
    about.Rows = sorted.size();

    const auto format = inputs.front().Json ? OutputFormat::Json : OutputFormat::Csv;
    RecordWriter writer(format, SurveyRecords::Of(SurveyRow{}, &about));
    for (const SurveyRow* row : sorted)
        writer.Add(SurveyRecords::Of(*row, &about));
    writer.Finish(about.Head());
    if (!incomplete.empty())
    {
        std::fprintf(stderr, "formicula-cli: %s\n", incomplete.c_str());
        return 1;
    }
    return 0;
}

int MergeCommand::MergeSoups()
{
    if (Options().count("--top") > 0)
        throw UsageError("--top is for survey outputs, not soups");
    std::vector<SoupRecords::Input> inputs;
    std::map<std::uint64_t, std::string> shards; // index -> file
    for (const std::string& path : Files)
    {
        inputs.push_back(SoupRecords::Read(path));
        const SoupRecords::Input& input = inputs.back();
        const SoupRecords::Input& first = inputs.front();
        const std::string name = ArgumentText::QuotePath(path);
        if (input.Json != first.Json)
            throw RuntimeFailure(name + " is " + (input.Json ? "JSON" : "CSV") + ", " +
                                 ArgumentText::QuotePath(Files.front()) + " " +
                                 (first.Json ? "JSON" : "CSV"));
        if (input.About.Run() != first.About.Run())
            throw RuntimeFailure(name + " comes from soups of " + input.About.Run() + ", " +
                                 ArgumentText::QuotePath(Files.front()) + " from soups of " +
                                 first.About.Run());
        const auto [at, added] = shards.emplace(input.About.ShardIndex, path);
        if (!added)
            throw RuntimeFailure(name + " repeats shard " + std::to_string(input.About.ShardIndex) +
                                 " of " + std::to_string(input.About.ShardCount) + ", as " +
                                 ArgumentText::QuotePath(at->second) + " holds it");
    }
    SoupRecords::Description about = inputs.front().About;
    for (std::uint64_t index = 1; index <= about.ShardCount; ++index)
        if (shards.count(index) == 0)
            throw RuntimeFailure("shard " + std::to_string(index) + " of " +
                                 std::to_string(about.ShardCount) +
                                 " is missing: no input holds it");
    about.ShardIndex = about.ShardCount = 1;
    about.SoupsTotal = about.SoupsDone = 0;
    std::vector<SoupRow> rows;
    std::string incomplete;
    for (std::size_t i = 0; i < inputs.size(); ++i)
    {
        about.SoupsTotal += inputs[i].About.SoupsTotal;
        about.SoupsDone += inputs[i].About.SoupsDone;
        if (!inputs[i].About.Complete() && incomplete.empty())
            incomplete = ArgumentText::QuotePath(Files[i]) +
                         " is incomplete: " + std::to_string(inputs[i].About.SoupsDone) + " of " +
                         std::to_string(inputs[i].About.SoupsTotal) + " soups";
        rows.insert(rows.end(), inputs[i].Rows.begin(), inputs[i].Rows.end());
    }
    SoupRecords::Print(inputs.front().Json ? OutputFormat::Json : OutputFormat::Csv, about, rows,
                       Types);
    if (!incomplete.empty())
    {
        std::fprintf(stderr, "formicula-cli: %s\n", incomplete.c_str());
        return 1;
    }
    return 0;
}
