#pragma once

#include "AntField.h"
#include "AntPosition.h"
#include "FieldSummary.h"
#include "Highway.h"
#include "PackedField.h"
#include "RuleNumber.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

// One named value of an output row. A field has one name in every format: the table's
// column, the CSV header (a list of counts becomes NAME_0, NAME_1, ...), the JSON key and
// run's "name: value" line.
struct Field
{
    // A list of counts, a count missing where it would not fit 64 bits.
    using Counts = std::vector<std::optional<std::uint64_t>>;
    using Value =
        std::variant<std::nullptr_t, bool, std::int64_t, std::uint64_t, std::string, Counts>;

    // Which formats show the field.
    enum Formats : unsigned
    {
        Table = 1,
        Csv = 2,
        Json = 4,
        Everywhere = Table | Csv | Json,
    };

    std::string Name;
    Value Data;
    // Table column width, as in printf: negative for left-aligned. The name widens it.
    int Width = 0;
    unsigned Shown = Everywhere;
};

// A row of output: its fields in column order. Commands build one per row, so adding a
// column is adding a field there.
using Record = std::vector<Field>;

// The fields that several commands show, so that they have one name and one look.
namespace Fields
{
inline Field Rule(std::string rule)
{
    return {"rule", std::move(rule), -12};
}

// The rule's census number, or its mirror's for a rule that ends in L: the table says
// "4" or "4 mirror"; CSV and JSON give number and number_mirror.
inline void AddNumber(Record& record, std::string_view letters)
{
    const std::optional<RuleNumber> number = RuleNumber::Of(letters);
    std::string words = "none";
    if (number)
        words = std::to_string(number->Number) + (number->OfMirror ? " mirror" : "");
    record.push_back({"number", std::move(words), -10, Field::Table});
    const unsigned numbers = Field::Csv | Field::Json;
    record.push_back(
        {"number", number ? Field::Value(number->Number) : Field::Value(nullptr), 0, numbers});
    record.push_back({"number_mirror",
                      number ? Field::Value(number->OfMirror) : Field::Value(nullptr), 0, numbers});
}

inline Field Iterations(std::uint64_t iterations)
{
    return {"iterations", iterations, 10};
}

inline void AddPosition(Record& record, const AntPosition& position)
{
    record.push_back({"x", std::int64_t{position.X}, 3});
    record.push_back({"y", std::int64_t{position.Y}, 3});
    record.push_back({"direction", std::string(1, position.Direction), -1});
}

// The highway a run ends on: the table says it in words ("none", or "period 104, onset
// 9977, drift 2 2, certified at 10393"); CSV and JSON give the numbers, empty or null
// for none.
inline void AddHighway(Record& record, const Highway& highway)
{
    const bool found = highway.Found;
    std::string words = "none";
    if (found)
        words = "period " + std::to_string(highway.Period) + ", onset " +
                std::to_string(highway.Onset) + ", drift " + std::to_string(highway.DriftX) + " " +
                std::to_string(highway.DriftY) + ", certified at " +
                std::to_string(highway.CertifiedAt);
    record.push_back({"highway", std::move(words), -56, Field::Table});
    const unsigned numbers = Field::Csv | Field::Json;
    auto number = [found](auto value)
    { return found ? Field::Value(value) : Field::Value(nullptr); };
    record.push_back({"highway_period", number(highway.Period), 0, numbers});
    record.push_back({"highway_onset", number(highway.Onset), 0, numbers});
    record.push_back({"highway_drift_x", number(std::int64_t{highway.DriftX}), 0, numbers});
    record.push_back({"highway_drift_y", number(std::int64_t{highway.DriftY}), 0, numbers});
    record.push_back({"highway_certified_at", number(highway.CertifiedAt), 0, numbers});
}

// The visited cells and the box around them (inclusive; empty or null while none is).
inline void AddGrowth(Record& record, const FieldSummary& summary)
{
    const bool visited = summary.Visited > 0;
    auto side = [visited](int value)
    { return visited ? Field::Value(std::int64_t{value}) : Field::Value(nullptr); };
    record.push_back({"visited", summary.Visited, 7});
    const unsigned numbers = Field::Csv | Field::Json;
    record.push_back({"min_x", side(summary.MinX), 0, numbers});
    record.push_back({"min_y", side(summary.MinY), 0, numbers});
    record.push_back({"max_x", side(summary.MaxX), 0, numbers});
    record.push_back({"max_y", side(summary.MaxY), 0, numbers});
}

// How many colour counts a row of a rule shows: 0 to 12 up to twelve letters, as rows
// always had, and 0 to the rule's letters beyond.
inline std::size_t ColoursShown(std::size_t letters)
{
    return std::max<std::size_t>(AntField::ColourCount, letters + 1);
}

// Cells per colour value; colour 0 is a cell the ant never visited.
inline Field Colours(const PackedField::ColourCounts& counts, std::size_t letters,
                     unsigned shown = Field::Everywhere)
{
    const auto end = counts.begin() + static_cast<std::ptrdiff_t>(ColoursShown(letters));
    return {"colours", Field::Counts(counts.begin(), end), 0, shown};
}

// The box of the visited cells, on the plane.
inline void AddBox(Record& record, std::int64_t minX, std::int64_t minY, std::int64_t maxX,
                   std::int64_t maxY)
{
    record.push_back({"min_x", minX, 0, Field::Csv | Field::Json});
    record.push_back({"min_y", minY, 0, Field::Csv | Field::Json});
    record.push_back({"max_x", maxX, 0, Field::Csv | Field::Json});
    record.push_back({"max_y", maxY, 0, Field::Csv | Field::Json});
}
} // namespace Fields
