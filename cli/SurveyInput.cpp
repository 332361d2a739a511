#include "SurveyInput.h"

#include "ArgumentText.h"
#include "Csv.h"
#include "OutputFormat.h"
#include "PackedField.h"
#include "ReadFile.h"
#include "RecordWriter.h"
#include "RowCells.h"
#include "Rule.h"
#include "RuleNumber.h"
#include "RuleText.h"
#include "RuntimeFailure.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <iterator>
#include <map>
#include <set>
#include <string_view>

namespace
{
using RowCells::Cell;
using RowCells::Cells;
using RowCells::Coordinate;
using RowCells::Count;
using RowCells::Place;

// Survey outputs of every rule of 1 to 17 letters take tens of MB; more is no output.
constexpr std::uint64_t MostInputBytes = std::uint64_t{1} << 30;

std::string ReadWhole(const std::string& path)
{
    const Place file{path, {}};
    std::string text;
    if (const ReadProblem problem = ReadFile(path, MostInputBytes, text))
    {
        if (problem.What == ReadProblem::System)
            file.Refuse("cannot be read: " + problem.Reason);
        file.Refuse("is " + problem.Reason + ", not a survey output");
    }
    return text;
}

SurveyRow RowOf(const Place& place, const Cells& cells, const SurveyRecords::Description& about)
{
    const std::uint64_t cap = about.Cap;
    auto cell = [&](const char* name) -> const std::string& { return Cell(place, cells, name); };
    SurveyRow row;
    row.Rule = cell("rule");
    // A survey writes a rule as its letters alone, with no padding.
    const Rule::Parsed rule = Rule::Parse(row.Rule, Rule::MostLetters);
    if (!rule.Value)
        place.Refuse(RuleText::Refusal(row.Rule, rule));
    if (rule.Value->Letters() != row.Rule)
        place.Refuse("rule " + ArgumentText::Quote(row.Rule) +
                     " is padded; a survey writes "
                     "letters alone");
    // The number is the rule's own, so one that is not says the row was edited.
    if (cells.count("number") > 0)
    {
        const std::optional<RuleNumber> number = RuleNumber::Of(row.Rule);
        const std::string& mirror = cell("number_mirror");
        if (Count(place, "number", cell("number")) != number->Number ||
            mirror != (number->OfMirror ? "true" : "false"))
            place.Refuse("number " + cell("number") + (mirror == "true" ? " of the mirror" : "") +
                         " is not rule " + row.Rule + "'s");
    }
    const RowCells::Run run = RowCells::RunOf(place, cells, cap);
    if (run.Outcome == RunOutcome::Cap && run.Iterations != cap)
        place.Refuse("a capped row of " + cell("iterations") + " iterations under a cap of " +
                     std::to_string(cap));
    row.Outcome = run.Outcome;
    row.Iterations = run.Iterations;
    row.Position = run.Position;
    row.Period = run.Period;
    row.Highway = run.Highway;
    if (about.Types)
    {
        const std::string& type = cell("highway_type");
        row.Type = RowCells::Type(place, "highway_type", type, static_cast<int>(row.Rule.size()));
        const Highway& highway = row.Highway;
        if (row.Type &&
            (!highway.Found || HighwayType::Of(highway.Period, highway.DriftX, highway.DriftY,
                                               row.Type->Change) != *row.Type))
            place.Refuse("highway_type " + ArgumentText::Quote(type) +
                         " is not the type of the row's highway");
    }
    row.Growth.Visited = Count(place, "visited", cell("visited"));
    if (row.Growth.Visited > 0)
    {
        row.Growth.MinX = Coordinate(place, "min_x", cell("min_x"));
        row.Growth.MinY = Coordinate(place, "min_y", cell("min_y"));
        row.Growth.MaxX = Coordinate(place, "max_x", cell("max_x"));
        row.Growth.MaxY = Coordinate(place, "max_y", cell("max_y"));
    }
    row.Done = true;
    return row;
}

SurveyRecords::Description DescriptionOf(const Place& place, const Cells& cells)
{
    SurveyRecords::Description about;
    for (const SurveyRecords::AboutColumn& column : SurveyRecords::AboutColumns)
        if (!column.Optional || cells.count(column.Name) > 0)
            column.Set(about,
                       Count(place, column.Name, Cell(place, cells, column.Name), column.Most));
    return about;
}

void ReadCsv(const std::string& path, const std::string& text, SurveyInput& input)
{
    const Place file{path, {}};
    std::string_view firstLine(text);
    firstLine = firstLine.substr(0, firstLine.find('\n'));
    if (!firstLine.empty() && firstLine.back() == '\r')
        firstLine.remove_suffix(1);
    // The header with any of the optional columns, in their order.
    std::vector<const SurveyRecords::AboutColumn*> optional;
    for (const SurveyRecords::AboutColumn& column : SurveyRecords::AboutColumns)
        if (column.Optional)
            optional.push_back(&column);
    // Outputs from before the number columns are read too.
    std::string header;
    SurveyRecords::Description sample;
    for (unsigned shown = 0; shown < 2u << optional.size(); ++shown)
    {
        sample = SurveyRecords::Description{};
        for (std::size_t i = 0; i < optional.size(); ++i)
            if ((shown >> i & 1u) != 0)
                optional[i]->Set(sample, optional[i]->Get(sample) + 1);
        const bool numbered = (shown >> optional.size() & 1u) == 0;
        header = RecordWriter::CsvHeader(SurveyRecords::Of(SurveyRow{}, &sample, numbered));
        if (firstLine == std::string_view(header).substr(0, header.size() - 1))
            break;
    }
    const Csv::Reading headerCells = Csv::Read(header);
    const std::vector<std::string>& names = headerCells.Lines.front().Cells;
    if (firstLine != std::string_view(header).substr(0, header.size() - 1))
    {
        const bool table = firstLine.rfind("rule ", 0) == 0;
        file.Refuse(table
                        ? "is a table; merge and --resume read the CSV or JSON of survey"
                        : "is not a survey output: its first line is not the survey's CSV header");
    }
    const Csv::Reading csv = Csv::Read(text);
    if (!csv.Problem.empty())
        Place{path, csv.ProblemLine == 0 ? "" : "line " + std::to_string(csv.ProblemLine)}.Refuse(
            csv.Problem);
    const std::vector<Csv::Line>& lines = csv.Lines;
    const auto aboutColumns = std::count_if(std::begin(SurveyRecords::AboutColumns),
                                            std::end(SurveyRecords::AboutColumns),
                                            [&](const SurveyRecords::AboutColumn& column)
                                            { return SurveyRecords::Shown(column, sample); });
    std::vector<std::string> firstAbout;
    for (std::size_t i = 1; i < lines.size(); ++i)
    {
        const Place place{path, "line " + std::to_string(lines[i].Number)};
        const std::vector<std::string>& cells = lines[i].Cells;
        if (cells.size() != names.size())
            place.Refuse(std::to_string(cells.size()) + " cells under a header of " +
                         std::to_string(names.size()));
        Cells byName;
        for (std::size_t c = 0; c < names.size(); ++c)
            byName[names[c]] = cells[c];
        // The survey's own columns come last.
        const std::vector<std::string> about(cells.end() - aboutColumns, cells.end());
        if (i == 1)
        {
            input.About = DescriptionOf(place, byName);
            firstAbout = about;
        }
        else if (about != firstAbout)
            place.Refuse(
                "its survey columns differ from line 2's: rows of two surveys in one file");
        input.Rows.push_back(RowOf(place, byName, input.About));
    }
    if (input.Rows.empty())
        file.Refuse("holds no rows, so it does not say which survey it comes from");
}

void ReadJson(const std::string& path, const std::string& text, SurveyInput& input)
{
    const Place file{path, {}};
    nlohmann::json document;
    try
    {
        document = nlohmann::json::parse(text);
    }
    catch (const nlohmann::json::exception& error)
    {
        // Without the library's "[json.exception...] " prefix.
        const std::string what = error.what();
        const std::size_t close = what.find("] ");
        file.Refuse("is not whole JSON (truncated?): " +
                    (close == std::string::npos ? what : what.substr(close + 2)));
    }
    if (!document.is_object())
        file.Refuse("is not a survey output: not a JSON object");
    auto member = [&](const nlohmann::json& object, const char* name) -> const nlohmann::json&
    {
        if (!object.is_object() || !object.contains(name))
            file.Refuse(std::string("is not a survey output: no ") + name);
        return object.at(name);
    };
    auto count =
        [&](const nlohmann::json& object, const char* name, std::uint64_t most = UINT64_MAX)
    { return Count(file, name, Csv::CellOf(member(object, name), false), most); };
    SurveyRecords::Description& about = input.About;
    // The same limits as the CSV's columns.
    auto most = [](std::string_view column)
    {
        for (const SurveyRecords::AboutColumn& about : SurveyRecords::AboutColumns)
            if (column == about.Name)
                return about.Most;
        return std::uint64_t{0};
    };
    about.LettersFrom =
        static_cast<int>(count(member(document, "letters"), "from", most("letters_from")));
    about.LettersTo =
        static_cast<int>(count(member(document, "letters"), "to", most("letters_to")));
    about.Cap = count(document, "max_iterations");
    about.MaxPeriod = count(document, "max_period");
    about.Top = count(document, "top");
    about.RulesTotal = count(document, "rules_total");
    about.RulesDone = count(document, "rules_done");
    if (document.contains("field"))
    {
        about.FieldSize = count(document["field"], "size", most("field_size"));
        const nlohmann::json& plane = member(document["field"], "plane");
        if (!plane.is_boolean())
            file.Refuse("field plane " + plane.dump() + " is not true or false");
        about.Plane = plane.get<bool>();
    }
    if (document.contains("max_memory"))
        about.MaxMemory = count(document, "max_memory", most("max_memory"));
    if (document.contains("numbers"))
    {
        about.NumbersFrom = count(document["numbers"], "from", most("numbers_from"));
        about.NumbersTo = count(document["numbers"], "to", most("numbers_to"));
    }
    if (document.contains("types"))
    {
        const nlohmann::json& types = document["types"];
        if (!types.is_boolean())
            file.Refuse("types " + types.dump() + " is not true or false");
        about.Types = types.get<bool>();
    }
    if (document.contains("shard"))
    {
        about.ShardIndex = count(document["shard"], "index");
        about.ShardCount = count(document["shard"], "count");
    }
    const nlohmann::json& complete = member(document, "complete");
    if (!complete.is_boolean() || complete.get<bool>() != about.Complete())
        file.Refuse("complete " + complete.dump() + " while it holds " +
                    std::to_string(about.RulesDone) + " of " + std::to_string(about.RulesTotal) +
                    " rules");
    const nlohmann::json& rows = member(document, "rows");
    if (!rows.is_array())
        file.Refuse("is not a survey output: rows is not a list");
    about.Rows = rows.size();
    for (std::size_t i = 0; i < rows.size(); ++i)
    {
        const Place place{path, "row " + std::to_string(i + 1)};
        if (!rows[i].is_object())
            place.Refuse("is not an object");
        Cells byName;
        for (const auto& [name, value] : rows[i].items())
            byName[name] = name == "number_mirror" && value.is_boolean()
                               ? value.dump()
                               : Csv::CellOf(value, name == "rule" || name == "outcome" ||
                                                        name == "direction" ||
                                                        name == "highway_type");
        input.Rows.push_back(RowOf(place, byName, about));
    }
}

// The description adds up, and the rows are the survey's it describes.
void Check(const std::string& path, SurveyInput& input)
{
    const Place file{path, {}};
    const SurveyRecords::Description& about = input.About;
    if (about.LettersFrom < 1 || about.LettersFrom > about.LettersTo)
        file.Refuse("letters " + std::to_string(about.LettersFrom) + " to " +
                    std::to_string(about.LettersTo) + " are no survey's");
    if ((about.NumbersFrom > 0 || about.NumbersTo > 0) &&
        (about.NumbersFrom < 1 || about.NumbersFrom > about.NumbersTo ||
         RuleNumber::LengthOf(about.NumbersFrom) != about.LettersFrom ||
         RuleNumber::LengthOf(about.NumbersTo) != about.LettersTo))
        file.Refuse("numbers " + std::to_string(about.NumbersFrom) + " to " +
                    std::to_string(about.NumbersTo) + " of letters " + about.Letters() +
                    " are no survey's");
    const std::uint64_t planned = about.NumbersFrom > 0
                                      ? about.NumbersTo - about.NumbersFrom + 1
                                      : SurveyPlan::CountOf(about.LettersFrom, about.LettersTo);
    if (planned > SurveyPlan::MostRules)
        file.Refuse("describes " + std::to_string(planned) + " rules, more than a survey takes");
    if (about.ShardCount < 1 || about.ShardIndex < 1 || about.ShardIndex > about.ShardCount ||
        about.ShardCount > static_cast<std::uint64_t>(INT_MAX))
        file.Refuse("shard " + std::to_string(about.ShardIndex) + " of " +
                    std::to_string(about.ShardCount) + " is no survey's");
    Survey survey(SurveyRecords::PlanOf(about), about.Cap);
    if (about.ShardCount > 1)
        survey.SetShard(static_cast<int>(about.ShardIndex - 1), static_cast<int>(about.ShardCount));
    if (about.RulesTotal != survey.RuleCount())
        file.Refuse("says " + std::to_string(about.RulesTotal) + " rules, while its survey has " +
                    std::to_string(survey.RuleCount()));
    if (about.RulesDone > about.RulesTotal)
        file.Refuse("says " + std::to_string(about.RulesDone) + " rules done of " +
                    std::to_string(about.RulesTotal));
    const std::uint64_t rows = input.Rows.size();
    if (rows != about.Rows)
        file.Refuse("holds " + std::to_string(rows) + " rows while it says " +
                    std::to_string(about.Rows) + ": the file is cut short or was edited");
    if (about.Top == 0 ? rows != about.RulesDone : rows > std::min(about.Top, about.RulesDone))
        file.Refuse("holds " + std::to_string(rows) + " rows for " +
                    std::to_string(about.RulesDone) + " rules done" +
                    (about.Top > 0 ? " and --top " + std::to_string(about.Top) : std::string()));
    const std::vector<std::string> rules = survey.Rules();
    const std::set<std::string> ofSurvey(rules.begin(), rules.end());
    std::set<std::string> seen;
    for (const SurveyRow& row : input.Rows)
    {
        if (ofSurvey.count(row.Rule) == 0)
            file.Refuse("holds rule " + row.Rule + ", which is not of its survey (" +
                        (about.NumbersFrom > 0 ? "numbers " + about.Numbers()
                                               : "letters " + about.Letters()) +
                        ", shard " + std::to_string(about.ShardIndex) + " of " +
                        std::to_string(about.ShardCount) + ")");
        if (!seen.insert(row.Rule).second)
            file.Refuse("holds rule " + row.Rule + " twice");
        if (about.Top > 0 && row.Outcome != RunOutcome::Finished)
            file.Refuse("holds rule " + row.Rule + ", not finished, under --top");
    }
}
} // namespace

SurveyInput SurveyInput::Read(const std::string& path)
{
    const std::string text = ReadWhole(path);
    // A byte-order mark is no part of either format, but editors add one.
    const std::size_t start = text.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
    const std::size_t first = text.find_first_not_of(" \t\r\n", start);
    if (first == std::string::npos)
        Place{path, {}}.Refuse("is empty: the survey that should have written it failed or is "
                               "still running");
    SurveyInput input;
    input.Json = text[first] == '{' || text[first] == '[';
    if (input.Json)
        ReadJson(path, text.substr(start), input);
    else
        ReadCsv(path, text.substr(start), input);
    Check(path, input);
    return input;
}
