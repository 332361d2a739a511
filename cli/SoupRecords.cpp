#include "SoupRecords.h"

#include "ArgumentText.h"
#include "Csv.h"
#include "FieldOptions.h"
#include "ReadFile.h"
#include "RecordWriter.h"
#include "RowCells.h"
#include "Rule.h"
#include "RuntimeFailure.h"
#include "SoupOptions.h"
#include "StandardOutput.h"
#include "UsageError.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <iterator>
#include <map>
#include <set>

namespace SoupRecords
{
namespace
{
using Number = ArgumentText::Number;

bool ReadCount(const std::string& text, std::uint64_t& value, std::uint64_t most = UINT64_MAX)
{
    const Number number = ArgumentText::ReadNumber(text);
    value = number.Magnitude;
    return number.Status == Number::Whole && number.Magnitude <= most;
}

// The constant columns, in this order after a row's own: the one table the writer and the
// reader walk. Get gives the cell's text; Set reads it back, false when it is none.
struct Column
{
    const char* Name;
    std::string (*Get)(const Description&);
    bool (*Set)(Description&, const std::string&);
};

#define SOUP_COUNT_COLUMN(name, member, most)                                                      \
    Column                                                                                         \
    {                                                                                              \
        name, [](const Description& d) { return std::to_string(d.member); },                       \
            [](Description& d, const std::string& text)                                            \
        { return ReadCount(text, d.member, most); }                                                \
    }

const Column Columns[] = {
    {"rule", [](const Description& d) { return d.Rule; },
     [](Description& d, const std::string& text)
     {
         const Rule::Parsed rule = Rule::Parse(text, Rule::MostLetters);
         d.Rule = text;
         return rule.Value && rule.Value->Letters() == text;
     }},
    SOUP_COUNT_COLUMN("seed", Seed, UINT64_MAX),
    SOUP_COUNT_COLUMN("count", Count, UINT64_MAX),
    {"patch", [](const Description& d) { return std::to_string(d.Patch.Patch); },
     [](Description& d, const std::string& text)
     {
         std::uint64_t side = 0;
         d.Patch.Patch = ReadCount(text, side, Soup::MostPatch) ? static_cast<int>(side) : 0;
         return side >= 1;
     }},
    {"density",
     [](const Description& d)
     { return d.Patch.Dense ? SoupOptions::DensityText(d.Patch.Density) : std::string(); },
     [](Description& d, const std::string& text)
     {
         d.Patch.Dense = !text.empty();
         if (!d.Patch.Dense)
             return true;
         try
         {
             d.Patch.Density = SoupOptions::ParseDensity("density", text);
         }
         catch (const UsageError&)
         {
             return false;
         }
         return true;
     }},
    SOUP_COUNT_COLUMN("max_iterations", Cap, RunOptions::MostIterations),
    SOUP_COUNT_COLUMN("max_period", MaxPeriod, UINT64_MAX),
    SOUP_COUNT_COLUMN("max_memory", MaxMemory, UINT64_MAX),
    SOUP_COUNT_COLUMN("shard_index", ShardIndex, UINT64_MAX),
    SOUP_COUNT_COLUMN("shard_count", ShardCount, UINT64_MAX),
    SOUP_COUNT_COLUMN("soups_total", SoupsTotal, UINT64_MAX),
    SOUP_COUNT_COLUMN("soups_done", SoupsDone, UINT64_MAX),
};
#undef SOUP_COUNT_COLUMN

std::string TypeName(const SoupRow& row, int letters)
{
    return row.Type ? row.Type->Name(letters) : std::string();
}

Record RowRecord(const SoupRow& row, const Description& about, bool constants)
{
    Record record{
        {"index", row.Index, 5},
        {"outcome", TraitsOf(row.Outcome).Name, -8},
        Fields::Iterations(row.Iterations),
    };
    Fields::AddPosition(record, row.Position);
    const bool never = row.Outcome == RunOutcome::Never;
    record.push_back({"period", never ? Field::Value(row.Period) : Field::Value(nullptr), -6});
    Fields::AddHighway(record, row.Highway);
    record.push_back(
        {"type", row.Type ? Field::Value(TypeName(row, about.Letters())) : Field::Value(nullptr),
         -20});
    if (constants)
        for (const Column& column : Columns)
            record.push_back({column.Name, column.Get(about), 0, Field::Csv});
    return record;
}

// "12.5%" of the soups done.
std::string Share(std::uint64_t soups, std::uint64_t done)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2f%%",
                  done == 0 ? 0.0 : 100.0 * static_cast<double>(soups) / static_cast<double>(done));
    return text;
}

Record TypeRecord(const TypeCount& count, const Description& about, std::uint64_t done)
{
    return {
        {"type", count.Type.Name(about.Letters()), -20},
        {"period", count.Type.Period, 6},
        {"drift_a", count.Type.DriftA, 7},
        {"drift_b", count.Type.DriftB, 7},
        {"soups", count.Soups, 5},
        {"share", Share(count.Soups, done), 6, Field::Table | Field::Csv},
        {"first", count.First, 5},
    };
}

nlohmann::ordered_json Head(const Description& about, const std::vector<TypeCount>& types)
{
    nlohmann::ordered_json head = {{"rule", about.Rule},
                                   {"seed", about.Seed},
                                   {"count", about.Count},
                                   {"patch", about.Patch.Patch}};
    head["density"] = about.Patch.Dense
                          ? nlohmann::ordered_json(SoupOptions::DensityText(about.Patch.Density))
                          : nlohmann::ordered_json();
    head["max_iterations"] = about.Cap;
    head["max_period"] = about.MaxPeriod;
    head["max_memory"] = about.MaxMemory;
    if (about.ShardCount > 1)
        head["shard"] = {{"index", about.ShardIndex}, {"count", about.ShardCount}};
    head["complete"] = about.Complete();
    head["soups_total"] = about.SoupsTotal;
    head["soups_done"] = about.SoupsDone;
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const TypeCount& type : types)
    {
        list.push_back({{"type", type.Type.Name(about.Letters())},
                        {"period", type.Type.Period},
                        {"drift_a", type.Type.DriftA},
                        {"drift_b", type.Type.DriftB},
                        {"soups", type.Soups},
                        {"first", type.First}});
    }
    head["types"] = list;
    return head;
}

using RowCells::Cells;
using RowCells::Place;

const std::string& CellOf(const Place& place, const Cells& cells, const char* name)
{
    return RowCells::Cell(place, cells, name);
}

SoupRow RowOf(const Place& place, const Cells& cells, const Description& about)
{
    SoupRow row;
    row.Index = RowCells::Count(place, "index", CellOf(place, cells, "index"));
    const RowCells::Run run = RowCells::RunOf(place, cells, RunOptions::MostIterations);
    row.Outcome = run.Outcome;
    row.Iterations = run.Iterations;
    row.Position = run.Position;
    row.Period = run.Period;
    row.Highway = run.Highway;
    row.Type = RowCells::Type(place, "type", CellOf(place, cells, "type"), about.Letters());
    row.Done = true;
    return row;
}

Description DescriptionOf(const Place& place, const Cells& cells)
{
    Description about;
    for (const Column& column : Columns)
        if (!column.Set(about, CellOf(place, cells, column.Name)))
            place.Refuse(std::string(column.Name) + " " +
                         ArgumentText::Quote(CellOf(place, cells, column.Name)) +
                         " is out of range");
    return about;
}

std::string Header()
{
    return RecordWriter::CsvHeader(RowRecord(SoupRow{}, Description{}, true));
}

void ReadCsv(const std::string& path, const std::string& text, Input& input)
{
    const Place file{path, {}};
    const Csv::Reading csv = Csv::Read(text);
    if (!csv.Problem.empty())
        Place{path, csv.ProblemLine == 0 ? "" : "line " + std::to_string(csv.ProblemLine)}.Refuse(
            csv.Problem);
    const std::vector<std::string> names = Csv::Read(Header()).Lines.front().Cells;
    if (csv.Lines.empty() || csv.Lines.front().Cells != names)
        file.Refuse("is not a soups output: its first line is not the soups CSV header");
    std::vector<std::string> firstAbout;
    for (std::size_t i = 1; i < csv.Lines.size(); ++i)
    {
        const Place place{path, "line " + std::to_string(csv.Lines[i].Number)};
        const std::vector<std::string>& cells = csv.Lines[i].Cells;
        if (cells.size() != names.size())
            place.Refuse(std::to_string(cells.size()) + " cells under a header of " +
                         std::to_string(names.size()));
        Cells byName;
        for (std::size_t c = 0; c < names.size(); ++c)
            byName[names[c]] = cells[c];
        const std::vector<std::string> about(cells.end() - std::size(Columns), cells.end());
        if (i == 1)
        {
            input.About = DescriptionOf(place, byName);
            firstAbout = about;
        }
        else if (about != firstAbout)
            place.Refuse("its constant columns differ from line 2's: rows of two runs in one file");
        input.Rows.push_back(RowOf(place, byName, input.About));
    }
    if (input.Rows.empty())
        file.Refuse("holds no rows, so it does not say which soups it holds");
}

void ReadJson(const std::string& path, const std::string& text, Input& input)
{
    const Place file{path, {}};
    nlohmann::json document;
    try
    {
        document = nlohmann::json::parse(text);
    }
    catch (const nlohmann::json::exception&)
    {
        file.Refuse("is not whole JSON (truncated?)");
    }
    if (!document.is_object() || !document.contains("soups_total") || !document.contains("rows") ||
        !document["rows"].is_array())
        file.Refuse("is not a soups output");
    Cells head;
    for (const auto& [name, value] : document.items())
        if (name != "rows" && name != "types" && name != "shard" && name != "complete")
            head[name] = Csv::CellOf(value, true);
    head["shard_index"] = "1";
    head["shard_count"] = "1";
    if (document.contains("shard") && document["shard"].is_object())
    {
        head["shard_index"] = Csv::CellOf(document["shard"].value("index", nlohmann::json()), true);
        head["shard_count"] = Csv::CellOf(document["shard"].value("count", nlohmann::json()), true);
    }
    input.About = DescriptionOf(file, head);
    const nlohmann::json& complete = document.value("complete", nlohmann::json());
    if (!complete.is_boolean() || complete.get<bool>() != input.About.Complete())
        file.Refuse("complete " + complete.dump() + " while it holds " +
                    std::to_string(input.About.SoupsDone) + " of " +
                    std::to_string(input.About.SoupsTotal) + " soups");
    const nlohmann::json& rows = document["rows"];
    for (std::size_t i = 0; i < rows.size(); ++i)
    {
        const Place place{path, "row " + std::to_string(i + 1)};
        if (!rows[i].is_object())
            place.Refuse("is not an object");
        Cells byName;
        for (const auto& [name, value] : rows[i].items())
            byName[name] = Csv::CellOf(value, true);
        input.Rows.push_back(RowOf(place, byName, input.About));
    }
}

// The description adds up, and the rows are those of the shard it describes.
void Check(const std::string& path, const Input& input)
{
    const Place file{path, {}};
    const Description& about = input.About;
    if (about.ShardCount < 1 || about.ShardIndex < 1 || about.ShardIndex > about.ShardCount)
        file.Refuse("shard " + std::to_string(about.ShardIndex) + " of " +
                    std::to_string(about.ShardCount) + " is no run's");
    if (about.SoupsTotal != about.ShardSoups())
        file.Refuse("says " + std::to_string(about.SoupsTotal) + " soups, while its shard has " +
                    std::to_string(about.ShardSoups()));
    if (about.SoupsDone > about.SoupsTotal || input.Rows.size() != about.SoupsDone)
        file.Refuse("holds " + std::to_string(input.Rows.size()) + " rows while it says " +
                    std::to_string(about.SoupsDone) + " soups done of " +
                    std::to_string(about.SoupsTotal) + ": the file is cut short or was edited");
    std::set<std::uint64_t> seen;
    for (const SoupRow& row : input.Rows)
    {
        if (row.Index >= about.Count || row.Index % about.ShardCount != about.ShardIndex - 1)
            file.Refuse("holds soup " + std::to_string(row.Index) + ", which is not of shard " +
                        std::to_string(about.ShardIndex) + " of " +
                        std::to_string(about.ShardCount) + " of " + std::to_string(about.Count));
        if (!seen.insert(row.Index).second)
            file.Refuse("holds soup " + std::to_string(row.Index) + " twice");
    }
}

constexpr std::uint64_t MostInputBytes = std::uint64_t{1} << 30;
} // namespace

std::uint64_t Description::ShardSoups() const
{
    if (ShardCount == 0 || ShardIndex == 0 || ShardIndex > Count)
        return 0;
    return (Count - ShardIndex) / ShardCount + 1;
}

std::string Description::Run() const
{
    std::string words;
    for (const Column& column : Columns)
    {
        const std::string name = column.Name;
        if (name != "shard_index" && name != "soups_total" && name != "soups_done")
            words += (words.empty() ? "" : ", ") + name + " " + column.Get(*this);
    }
    return words;
}

std::vector<TypeCount> Types(const std::vector<SoupRow>& rows)
{
    std::map<HighwayType, TypeCount> found;
    for (const SoupRow& row : rows)
    {
        if (!row.Done || !row.Type)
            continue;
        auto [at, added] = found.try_emplace(*row.Type, TypeCount{*row.Type, 0, row.Index});
        ++at->second.Soups;
        at->second.First = std::min(at->second.First, row.Index);
    }
    std::vector<TypeCount> types;
    types.reserve(found.size());
    for (const auto& entry : found)
        types.push_back(entry.second);
    std::stable_sort(types.begin(), types.end(),
                     [](const TypeCount& a, const TypeCount& b) { return a.Soups > b.Soups; });
    return types;
}

void Print(OutputFormat::Kind format, const Description& about, const std::vector<SoupRow>& rows,
           bool typesOnly)
{
    std::vector<const SoupRow*> done;
    for (const SoupRow& row : rows)
        if (row.Done)
            done.push_back(&row);
    std::sort(done.begin(), done.end(),
              [](const SoupRow* a, const SoupRow* b) { return a->Index < b->Index; });
    const std::vector<TypeCount> types = Types(rows);
    const std::uint64_t count = done.size();
    const Record typeSample = TypeRecord(TypeCount{}, about, count);
    if (typesOnly)
    {
        RecordWriter writer(format, typeSample);
        for (const TypeCount& type : types)
            writer.Add(TypeRecord(type, about, count));
        writer.Finish(Head(about, {}));
        return;
    }
    const bool constants = format == OutputFormat::Csv;
    RecordWriter writer(format, RowRecord(SoupRow{}, about, constants));
    for (const SoupRow* row : done)
        writer.Add(RowRecord(*row, about, constants));
    writer.Finish(Head(about, types));
    if (format == OutputFormat::Table)
    {
        StandardOutput::Write("\n");
        RecordWriter table(format, typeSample);
        for (const TypeCount& type : types)
            table.Add(TypeRecord(type, about, count));
        table.Finish();
    }
}

bool IsSoupsOutput(const std::string& path)
{
    std::string text;
    if (ReadFile(path, MostInputBytes, text))
        return false;
    const std::string header = Header();
    return text.compare(0, header.size(), header) == 0 ||
           (text.find_first_not_of(" \t\r\n") != std::string::npos &&
            text[text.find_first_not_of(" \t\r\n")] == '{' &&
            text.find("\"soups_total\"") != std::string::npos);
}

Input Read(const std::string& path)
{
    const Place file{path, {}};
    std::string text;
    if (const ReadProblem problem = ReadFile(path, MostInputBytes, text))
    {
        if (problem.What == ReadProblem::System)
            file.Refuse("cannot be read: " + problem.Reason);
        file.Refuse("is " + problem.Reason + ", not a soups output");
    }
    Input input;
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        file.Refuse("is empty: the soups run that should have written it failed or is running");
    input.Json = text[first] == '{';
    if (input.Json)
        ReadJson(path, text, input);
    else
        ReadCsv(path, text, input);
    Check(path, input);
    return input;
}
} // namespace SoupRecords
