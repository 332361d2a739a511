#pragma once

#include <nlohmann/json_fwd.hpp>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// CSV as this program writes it and reads it back, one set of quoting rules for both: a
// cell holding a comma, a quote or a line break is quoted, its quotes doubled; records end
// in "\n" (a "\r" before it is dropped, for files that passed through Windows).
namespace Csv
{
std::string Cell(std::string_view text);

struct Line
{
    std::size_t Number = 0; // the file's line the record starts on, from 1
    std::vector<std::string> Cells;
};

// What is wrong with a text as CSV; Problem is empty when it is whole.
struct Reading
{
    std::vector<Line> Lines;
    std::string Problem;
    std::size_t ProblemLine = 0; // 0 when the text is cut short: the whole file's problem
};

// Every record of the text. A text that does not end in a line break, or ends inside a
// quoted cell, is cut short; a quote inside an unquoted cell, or text after a closing quote,
// is no CSV of this program's.
Reading Read(std::string_view text);

// A JSON value as the CSV would hold it, so that both readings go through one check.
// Strings only where `text` allows: a string or a fraction where a number belongs reads
// as no number of the column's.
std::string CellOf(const nlohmann::json& value, bool text);
} // namespace Csv
