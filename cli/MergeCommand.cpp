#include "MergeCommand.h"

#include "ArgumentText.h"
#include "RecordWriter.h"
#include "Rule.h"
#include "RuntimeFailure.h"
#include "StandardOutput.h"
#include "SurveyRecords.h"
#include "UsageError.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

namespace
{
std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw RuntimeFailure("cannot read " + ArgumentText::Quote(path) + ": " +
                             std::strerror(errno));
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad())
        throw RuntimeFailure("cannot read " + ArgumentText::Quote(path) + ": " +
                             std::strerror(errno));
    return text.str();
}

[[noreturn]] void Bad(const std::string& path, const std::string& problem)
{
    throw RuntimeFailure(ArgumentText::Quote(path) + " is not a survey output: " + problem);
}

std::uint64_t Number(const std::string& path, const std::string& text)
{
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
        Bad(path, "not a count: " + ArgumentText::Quote(text));
    return std::stoull(text);
}

std::int64_t Signed(const std::string& path, const std::string& text)
{
    const std::string digits = !text.empty() && text[0] == '-' ? text.substr(1) : text;
    const auto magnitude = static_cast<std::int64_t>(Number(path, digits));
    return digits.size() < text.size() ? -magnitude : magnitude;
}

// The fields of a row as text, by name, in the names SurveyRecords gives them.
SurveyRow RowOf(const std::string& path, const std::map<std::string, std::string>& cells)
{
    auto cell = [&](const char* name) -> const std::string&
    {
        const auto found = cells.find(name);
        if (found == cells.end())
            Bad(path, std::string("no ") + name);
        return found->second;
    };
    SurveyRow row;
    row.Rule = cell("rule");
    // A survey writes a rule as its letters alone, with no padding.
    const Rule::Parsed rule = Rule::Parse(row.Rule);
    if (!rule.Value || rule.Value->Letters() != row.Rule)
        Bad(path, "bad rule " + ArgumentText::Quote(row.Rule));
    if (!SurveyRecords::ParseOutcome(cell("outcome"), row.Outcome))
        Bad(path, "bad outcome " + ArgumentText::Quote(cell("outcome")));
    row.Iterations = Number(path, cell("iterations"));
    row.Position.X = static_cast<int>(Signed(path, cell("x")));
    row.Position.Y = static_cast<int>(Signed(path, cell("y")));
    const std::string& direction = cell("direction");
    if (direction.size() != 1 || std::string("UDLR").find(direction[0]) == std::string::npos)
        Bad(path, "bad direction " + ArgumentText::Quote(direction));
    row.Position.Direction = direction[0];
    if (row.Outcome == RunOutcome::Never)
        row.Period = Number(path, cell("period"));
    if (!cell("highway_period").empty())
    {
        row.Highway.Found = true;
        row.Highway.Period = Number(path, cell("highway_period"));
        row.Highway.Onset = Number(path, cell("highway_onset"));
        row.Highway.DriftX = static_cast<int>(Signed(path, cell("highway_drift_x")));
        row.Highway.DriftY = static_cast<int>(Signed(path, cell("highway_drift_y")));
    }
    row.Done = true;
    return row;
}

std::vector<std::string> Split(const std::string& line)
{
    std::vector<std::string> cells;
    std::string cell;
    std::istringstream in(line);
    while (std::getline(in, cell, ','))
        cells.push_back(cell);
    if (!line.empty() && line.back() == ',')
        cells.emplace_back();
    return cells;
}

void ReadCsv(const std::string& path, const std::string& text, std::vector<SurveyRow>& rows)
{
    std::istringstream in(text);
    std::string line;
    std::getline(in, line);
    const std::vector<std::string> names = Split(line);
    while (std::getline(in, line))
    {
        const std::vector<std::string> cells = Split(line);
        if (cells.size() != names.size())
            Bad(path, "a row of " + std::to_string(cells.size()) + " cells under " +
                          std::to_string(names.size()) + " names");
        std::map<std::string, std::string> byName;
        for (std::size_t i = 0; i < names.size(); ++i)
            byName[names[i]] = cells[i];
        rows.push_back(RowOf(path, byName));
    }
}

std::string JsonText(const nlohmann::json& value)
{
    if (value.is_null())
        return "";
    return value.is_string() ? value.get<std::string>() : value.dump();
}
} // namespace

MergeCommand::MergeCommand(CLI::App& line)
    : Command(line.add_subcommand(
          "merge", "Join the outputs of the shards of one survey into the whole survey's."))
{
    Options().add_option("FILE", Files, "survey outputs, all CSV or all JSON")->type_name("");
    Options().add_option("--top", Top, "as the shards were given it")->type_name("K");
    Options().footer(
        "Prints in the inputs' format exactly what the survey prints when run whole: the\n"
        "shards of `survey --shard I/N` give it all their rows, and merge sorts them. JSON\n"
        "inputs are checked to hold every shard once. Exit status 1 when an input cannot be\n"
        "read, is no survey output, repeats a rule, or the survey is incomplete.");
}

int MergeCommand::Execute()
{
    if (Files.empty())
        throw UsageError("missing FILE: the survey outputs to merge");
    const std::uint64_t top =
        Options().count("--top") > 0 ? ArgumentText::ParseCount("--top", Top) : 0;

    std::vector<SurveyRow> rows;
    bool json = false;
    nlohmann::ordered_json head;
    std::uint64_t total = 0;
    std::uint64_t done = 0;
    bool complete = true;
    std::set<std::int64_t> shards;
    std::int64_t shardCount = 0;
    for (std::size_t i = 0; i < Files.size(); ++i)
    {
        const std::string& path = Files[i];
        const std::string text = ReadFile(path);
        const bool isJson = text.find_first_not_of(" \t\r\n") != std::string::npos &&
                            text[text.find_first_not_of(" \t\r\n")] == '{';
        if (i == 0)
            json = isJson;
        else if (isJson != json)
            throw RuntimeFailure("the inputs mix CSV and JSON; merge outputs of one format");
        if (!json)
        {
            ReadCsv(path, text, rows);
            continue;
        }
        nlohmann::ordered_json document;
        try
        {
            document = nlohmann::ordered_json::parse(text);
            const nlohmann::ordered_json settings = {
                {"letters", document.at("letters")},
                {"max_iterations", document.at("max_iterations")},
                {"max_period", document.at("max_period")}};
            if (i == 0)
                head = settings;
            else if (settings != head)
                throw RuntimeFailure(ArgumentText::Quote(path) +
                                     " comes from a survey of other letters, cap or period");
            total += document.at("rules_total").get<std::uint64_t>();
            done += document.at("rules_done").get<std::uint64_t>();
            complete = complete && document.at("complete").get<bool>();
            const std::int64_t index =
                document.contains("shard") ? document["shard"].at("index").get<std::int64_t>() : 1;
            const std::int64_t count =
                document.contains("shard") ? document["shard"].at("count").get<std::int64_t>() : 1;
            if ((shardCount != 0 && count != shardCount) || !shards.insert(index).second)
                throw RuntimeFailure(ArgumentText::Quote(path) + " repeats shard " +
                                     std::to_string(index) + " or comes from another split");
            shardCount = count;
            for (const auto& item : document.at("rows"))
            {
                std::map<std::string, std::string> byName;
                for (const auto& [name, value] : item.items())
                    byName[name] = JsonText(value);
                rows.push_back(RowOf(path, byName));
            }
        }
        catch (const nlohmann::json::exception& error)
        {
            Bad(path, error.what());
        }
    }
    if (json && static_cast<std::int64_t>(shards.size()) != shardCount)
        throw RuntimeFailure("the inputs hold " + std::to_string(shards.size()) + " of " +
                             std::to_string(shardCount) + " shards");
    std::set<std::string> rules;
    for (const SurveyRow& row : rows)
        if (!rules.insert(row.Rule).second)
            throw RuntimeFailure("rule " + row.Rule + " is in more than one input");

    const auto format = json ? OutputFormat::Json : OutputFormat::Csv;
    RecordWriter writer(format, SurveyRecords::Of(SurveyRow{}));
    for (const SurveyRow* row : SurveyRecords::Sorted(rows, top))
        writer.Add(SurveyRecords::Of(*row));
    complete = complete && done == total;
    head["complete"] = complete;
    head["rules_total"] = total;
    head["rules_done"] = done;
    writer.Finish(head);
    if (json && !complete)
    {
        std::fprintf(stderr, "formicula-cli: incomplete: %llu of %llu rules\n",
                     static_cast<unsigned long long>(done), static_cast<unsigned long long>(total));
        return 1;
    }
    return 0;
}
